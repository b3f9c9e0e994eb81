// The CSV export file: its header line and one data line per point, written with the
// stream's default number formatting.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "acquisition/lidar_frame.h"
#include "acquisition/packet_format.h"
#include "display/point_math.h"

namespace k740 {

// The header line, without its end of line.
extern const char* const kCsvHeader;

// How x, y, z become whole centimetres in view mode 1 (view mode index 0). The export pass
// truncates toward zero as the display does; exporting the last frame while the display is
// paused adds 0.5 before truncating.
enum class CsvWholeCm { TruncateTowardZero, AddHalfThenTruncate };

struct CsvExportOptions {
    int protocol = kProtocol16;       // distance divisor: index 0 -> / 0.5, index 1 -> / 0.25
    int viewMode = 0;                 // view-mode combo index: 0 "View Mode 1", 1 "View Mode 2"
    float angleMin = 0.0f;            // degrees, inclusive
    float angleMax = 360.0f;          // degrees, inclusive
    CsvWholeCm wholeCm = CsvWholeCm::TruncateTowardZero;
};

// Coordinates of one exported point by the options' view mode and whole-centimetre rule.
PointCm exportCoordinates(double distanceMm, double azimuthDeg, const CsvExportOptions& options);

// One exported point: what a CSV data line or a point-cloud file holds.
struct ExportPoint {
    PointCm p;                 // cm
    int intensity = 0;
    double azimuthDeg = 0.0;   // pointAngle
    double distanceCm = 0.0;   // scaled distance / 10
    std::uint64_t timeStamp = 0;
};

// Calls fn(const ExportPoint&) for every measured point of the frame whose azimuth lies in
// [angleMin, angleMax], in frame order; the entries the carry-over left behind are skipped,
// and nothing else. Returns the number of points passed on. The CSV rows and the point-cloud
// files of k740-convert both come from here.
template <class Fn>
std::size_t forEachExportPoint(const LidarDataSingleLine& frame, const CsvExportOptions& options, Fn&& fn);

void writeCsvHeader(std::ostream& out);

// One data line: FreamID, x, y, z (cm, float), intensity, azimuth (degrees), distance (cm),
// time stamp.
void writeCsvLine(std::ostream& out, int frameId, const PointCm& p, int intensity, double azimuthDeg,
                  double distanceCm, std::uint64_t timeStamp);

// Writes the points of one frame whose azimuth lies in [angleMin, angleMax], each with the
// given FreamID. Returns the number of lines written.
std::size_t writeCsvFrame(std::ostream& out, const LidarDataSingleLine& frame, int frameId,
                          const CsvExportOptions& options);

template <class Fn>
std::size_t forEachExportPoint(const LidarDataSingleLine& frame, const CsvExportOptions& options, Fn&& fn) {
    const double lo = options.angleMin;
    const double hi = options.angleMax;
    std::size_t n = frame.pointAngle.size();
    // A frame always has equal vectors; a damaged one is written only as far as all reach.
    if (frame.distance.size() < n) n = frame.distance.size();
    if (frame.intensity.size() < n) n = frame.intensity.size();
    if (frame.timeStamp.size() < n) n = frame.timeStamp.size();
    std::size_t passed = 0;
    ExportPoint e;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = frame.pointAngle[i];
        if (!(lo <= a && a <= hi)) continue;
        if (frame.isLeftBehind(i)) continue;  // left behind by the carry-over: no measurement
        const double d = scaleDistance(frame.distance[i], options.protocol);  // millimetres
        e.p = exportCoordinates(d, a, options);
        e.intensity = frame.intensity[i];
        e.azimuthDeg = a;
        e.distanceCm = d / 10.0;
        e.timeStamp = frame.timeStamp[i];
        fn(static_cast<const ExportPoint&>(e));
        ++passed;
    }
    return passed;
}

}  // namespace k740
