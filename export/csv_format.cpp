// CSV export lines.
#include "export/csv_format.h"

#include <charconv>
#include <cstring>

#include "export/number_text.h"

namespace k740 {

const char* const kCsvHeader = "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp";

PointCm exportCoordinates(double distanceMm, double azimuthDeg, const CsvExportOptions& o) {
    if (o.wholeCm == CsvWholeCm::AddHalfThenTruncate)
        return pointCoordinatesAddHalf(distanceMm, azimuthDeg, o.viewMode);
    return pointCoordinates(distanceMm, azimuthDeg, o.viewMode);
}

void writeCsvHeader(std::ostream& out) { out << kCsvHeader << '\n'; }

namespace {

// Widest line: 11 + 5 * 13 + 11 + 20 characters and the separators (and the 16 bytes the
// FreamID's copy takes).
constexpr std::size_t kLineRoom = 176;

// One data line at p after its "FreamID," (already there); returns its end. Numbers take the
// stream's default format, printf's "%g" (putNumberG), without the stream's locale
// machinery: this runs for every point of every exported frame.
char* putCsvFields(char* p, const PointCm& pt, int intensity, double azimuthDeg, double distanceCm,
                   std::uint64_t timeStamp) {
    char* const end = p + kLineRoom;
    p = putNumberG(p, pt.x);
    *p++ = ',';
    p = putNumberG(p, pt.y);
    *p++ = ',';
    p = putNumberG(p, pt.z);
    *p++ = ',';
    p = std::to_chars(p, end, intensity).ptr;
    *p++ = ',';
    p = putNumberG(p, azimuthDeg);
    *p++ = ',';
    p = putNumberG(p, distanceCm);
    *p++ = ',';
    p = std::to_chars(p, end, timeStamp).ptr;
    *p++ = '\n';
    return p;
}

// "FreamID," of a frame's lines.
struct FrameIdText {
    explicit FrameIdText(int frameId) {
        char* p = std::to_chars(text, text + sizeof text - 1, frameId).ptr;
        *p++ = ',';
        size = static_cast<std::size_t>(p - text);
    }
    char* put(char* p) const {
        std::memcpy(p, text, sizeof text);
        return p + size;
    }
    char text[16];
    std::size_t size;
};

}  // namespace

void writeCsvLine(std::ostream& out, int frameId, const PointCm& p, int intensity, double azimuthDeg,
                  double distanceCm, std::uint64_t timeStamp) {
    char line[kLineRoom];
    const char* end = putCsvFields(FrameIdText(frameId).put(line), p, intensity, azimuthDeg, distanceCm, timeStamp);
    out.write(line, end - line);
}

std::size_t writeCsvFrame(std::ostream& out, const LidarDataSingleLine& frame, int frameId,
                          const CsvExportOptions& options) {
    // Lines gather in a block handed to the stream at once: one stream call per few hundred
    // lines instead of one per line.
    char block[64 * 1024];
    char* q = block;
    const FrameIdText id(frameId);
    const std::size_t lines = forEachExportPoint(frame, options, [&](const ExportPoint& e) {
        if (static_cast<std::size_t>(block + sizeof block - q) < kLineRoom) {
            out.write(block, q - block);
            q = block;
        }
        q = putCsvFields(id.put(q), e.p, e.intensity, e.azimuthDeg, e.distanceCm, e.timeStamp);
    });
    if (q != block) out.write(block, q - block);
    return lines;
}

}  // namespace k740
