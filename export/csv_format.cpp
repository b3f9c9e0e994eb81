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

// A line: FreamID, x, y, z, intensity, azimuth, distance, timestamp.
constexpr std::size_t kFieldsRoom = textLineRoom(5, 1, 1);
constexpr std::size_t kFrameIdRoom = textLineRoom(0, 1, 0);
constexpr std::size_t kLineRoom = kFrameIdRoom + kFieldsRoom;
static_assert(kLineRoom == 12 + 5 * 33 + 12 + 21, "FreamID and intensity, five numbers, timestamp");

// One data line at p after its "FreamID," (already there); returns its end. Numbers take the
// stream's default format, printf's "%g" (putNumberG), without the stream's locale
// machinery: this runs for every point of every exported frame.
char* putCsvFields(char* p, const PointCm& pt, int intensity, double azimuthDeg, double distanceCm,
                   std::uint64_t timeStamp) {
    char* const end = p + kFieldsRoom;
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
        char* p = std::to_chars(text, text + kIntTextRoom, frameId).ptr;
        *p++ = ',';
        size = static_cast<std::size_t>(p - text);
    }
    char* put(char* p) const {
        std::memcpy(p, text, size);
        return p + size;
    }
    char text[kFrameIdRoom];
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
