// CSV export lines.
#include "export/csv_format.h"

#include <charconv>
#include <cmath>

namespace k740 {

const char* const kCsvHeader = "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp";

PointCm exportCoordinates(double distanceMm, double azimuthDeg, const CsvExportOptions& o) {
    if (o.wholeCm == CsvWholeCm::AddHalfThenTruncate)
        return pointCoordinatesAddHalf(distanceMm, azimuthDeg, o.viewMode);
    return pointCoordinates(distanceMm, azimuthDeg, o.viewMode);
}

void writeCsvHeader(std::ostream& out) { out << kCsvHeader << '\n'; }

namespace {
// The stream's default format for a number: printf's %g with 6 significant digits, which is
// what std::to_chars gives with the general format and precision 6, without the stream's
// locale machinery (this runs for every point of every exported frame).
inline char* putNumber(char* p, char* end, double v) {
    // Whole numbers below 10^6 (every coordinate in view mode 1) print as plain integers in
    // %g; -0 keeps its sign there, so it takes the general path.
    if (v > -1e6 && v < 1e6 && v == static_cast<double>(static_cast<long>(v)) && !(v == 0.0 && std::signbit(v)))
        return std::to_chars(p, end, static_cast<long>(v)).ptr;
    return std::to_chars(p, end, v, std::chars_format::general, 6).ptr;
}
template <class Int>
inline char* putInteger(char* p, char* end, Int v) {
    return std::to_chars(p, end, v).ptr;
}
}  // namespace

void writeCsvLine(std::ostream& out, int frameId, const PointCm& p, int intensity, double azimuthDeg,
                  double distanceCm, std::uint64_t timeStamp) {
    // Widest line: 11 + 5 * 13 + 11 + 20 characters and the separators.
    char line[160];
    char* const end = line + sizeof line;
    char* q = putInteger(line, end, frameId);
    *q++ = ',';
    q = putNumber(q, end, p.x);
    *q++ = ',';
    q = putNumber(q, end, p.y);
    *q++ = ',';
    q = putNumber(q, end, p.z);
    *q++ = ',';
    q = putInteger(q, end, intensity);
    *q++ = ',';
    q = putNumber(q, end, azimuthDeg);
    *q++ = ',';
    q = putNumber(q, end, distanceCm);
    *q++ = ',';
    q = putInteger(q, end, timeStamp);
    *q++ = '\n';
    out.write(line, q - line);
}

std::size_t writeCsvFrame(std::ostream& out, const LidarDataSingleLine& frame, int frameId,
                          const CsvExportOptions& options) {
    return forEachExportPoint(frame, options, [&](const ExportPoint& e) {
        writeCsvLine(out, frameId, e.p, e.intensity, e.azimuthDeg, e.distanceCm, e.timeStamp);
    });
}

}  // namespace k740
