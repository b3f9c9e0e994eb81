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

void writeCsvHeader(std::ostream& out);

// One data line: FreamID, x, y, z (cm, float), intensity, azimuth (degrees), distance (cm),
// time stamp.
void writeCsvLine(std::ostream& out, int frameId, const PointCm& p, int intensity, double azimuthDeg,
                  double distanceCm, std::uint64_t timeStamp);

// Writes the points of one frame whose azimuth lies in [angleMin, angleMax], each with the
// given FreamID. Returns the number of lines written.
std::size_t writeCsvFrame(std::ostream& out, const LidarDataSingleLine& frame, int frameId,
                          const CsvExportOptions& options);

}  // namespace k740
