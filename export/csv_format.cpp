// CSV export lines.
#include "export/csv_format.h"

#include <cmath>

namespace k740 {

const char* const kCsvHeader = "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp";

namespace {

constexpr int kViewModeWholeCm = 0;  // "View Mode 1"
constexpr int kViewModeExact = 1;    // "View Mode 2"

// Whole centimetres are whole numbers: a value truncated from (-1, 0) is written "0", not "-0".
inline float positiveZero(float v) { return v + 0.0f; }

PointCm exportCoordinates(double distanceMm, double azimuthDeg, const CsvExportOptions& o) {
    if (o.viewMode != kViewModeWholeCm) return pointCoordinates(distanceMm, azimuthDeg, o.viewMode);
    PointCm p;
    if (o.wholeCm == CsvWholeCm::AddHalfThenTruncate) {
        p = pointCoordinates(distanceMm, azimuthDeg, kViewModeExact);
        p.x = static_cast<float>(std::trunc(static_cast<double>(p.x) + 0.5));
        p.y = static_cast<float>(std::trunc(static_cast<double>(p.y) + 0.5));
        p.z = static_cast<float>(std::trunc(static_cast<double>(p.z) + 0.5));
    } else {
        p = pointCoordinates(distanceMm, azimuthDeg, kViewModeWholeCm);
    }
    p.x = positiveZero(p.x);
    p.y = positiveZero(p.y);
    p.z = positiveZero(p.z);
    return p;
}

}  // namespace

void writeCsvHeader(std::ostream& out) { out << kCsvHeader << '\n'; }

void writeCsvLine(std::ostream& out, int frameId, const PointCm& p, int intensity, double azimuthDeg,
                  double distanceCm, std::uint64_t timeStamp) {
    out << frameId << ',' << p.x << ',' << p.y << ',' << p.z << ',' << intensity << ',' << azimuthDeg << ','
        << distanceCm << ',' << timeStamp << '\n';
}

std::size_t writeCsvFrame(std::ostream& out, const LidarDataSingleLine& frame, int frameId,
                          const CsvExportOptions& options) {
    const double lo = options.angleMin;
    const double hi = options.angleMax;
    std::size_t n = frame.pointAngle.size();
    // A frame always has equal vectors; a damaged one is written only as far as all reach.
    if (frame.distance.size() < n) n = frame.distance.size();
    if (frame.intensity.size() < n) n = frame.intensity.size();
    if (frame.timeStamp.size() < n) n = frame.timeStamp.size();
    std::size_t written = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double a = frame.pointAngle[i];
        if (!(lo <= a && a <= hi)) continue;
        const double d = scaleDistance(frame.distance[i], options.protocol);  // millimetres
        const PointCm p = exportCoordinates(d, a, options);
        writeCsvLine(out, frameId, p, frame.intensity[i], a, d / 10.0, frame.timeStamp[i]);
        ++written;
    }
    return written;
}

}  // namespace k740
