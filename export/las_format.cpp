// LAS 1.2 header and point records.
#include "export/las_format.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/byte_order.h"

namespace k740 {

const char* const kLasSystemIdentifier = "RV-K740-P host tool";

namespace {

// Offsets inside the public header block.
constexpr std::size_t kSignature = 0;          // "LASF"
constexpr std::size_t kVersionMajor = 24;
constexpr std::size_t kVersionMinor = 25;
constexpr std::size_t kSystemIdentifier = 26;  // char[32]
constexpr std::size_t kGeneratingSoftware = 58;  // char[32]
constexpr std::size_t kCreationDay = 90;
constexpr std::size_t kCreationYear = 92;
constexpr std::size_t kHeaderSizeField = 94;
constexpr std::size_t kOffsetToPoints = 96;
constexpr std::size_t kRecordCount = 100;      // variable-length records
constexpr std::size_t kPointFormat = 104;
constexpr std::size_t kPointLength = 105;
constexpr std::size_t kPointCount = 107;
constexpr std::size_t kPointsByReturn = 111;   // five counts
constexpr std::size_t kScale = 131;            // x, y, z: doubles
constexpr std::size_t kOffset = 155;           // x, y, z: doubles
constexpr std::size_t kBounds = 179;           // max x, min x, max y, min y, max z, min z

// One return per pulse: return number 1 of 1, in bits 0-2 and 3-5 of the record's byte 14.
constexpr std::uint8_t kSingleReturn = 1 | (1 << 3);

void putDouble(std::uint8_t* p, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    writeLE32(p, static_cast<std::uint32_t>(bits));
    writeLE32(p + 4, static_cast<std::uint32_t>(bits >> 32));
}

void putText(std::uint8_t* p, const std::string& text) {
    std::memcpy(p, text.data(), std::min<std::size_t>(text.size(), 31));  // the rest stays zero
}

// Centimetres to steps of 0.0001 m, to the nearest step.
std::int32_t steps(float cm) { return static_cast<std::int32_t>(std::llround(static_cast<double>(cm) * 100.0)); }

}  // namespace

LasPoint lasPoint(const ExportPoint& e, std::uint64_t frameIndex) {
    LasPoint p;
    p.x = steps(e.p.x);
    p.y = steps(e.p.y);
    p.z = steps(e.p.z);
    p.intensity = static_cast<std::uint16_t>(std::clamp(e.intensity, 0, 65535));
    p.pointSourceId = static_cast<std::uint16_t>(frameIndex % 65536u);
    p.gpsTime = static_cast<double>(e.timeStamp) / 1e6;  // microseconds
    return p;
}

void encodeLasPoint(const LasPoint& p, std::uint8_t* out) {
    std::memset(out, 0, kLasPointSize);
    writeLE32(out + 0, static_cast<std::uint32_t>(p.x));
    writeLE32(out + 4, static_cast<std::uint32_t>(p.y));
    writeLE32(out + 8, static_cast<std::uint32_t>(p.z));
    writeLE16(out + 12, p.intensity);
    out[14] = kSingleReturn;
    // 15 classification (0: never classified), 16 scan angle rank, 17 user data: zero.
    writeLE16(out + 18, p.pointSourceId);
    putDouble(out + 20, p.gpsTime);
}

void LasSummary::add(const LasPoint& p) {
    const std::int32_t v[3] = {p.x, p.y, p.z};
    for (int a = 0; a < 3; ++a) {
        if (points_ == 0 || v[a] < min_[a]) min_[a] = v[a];
        if (points_ == 0 || v[a] > max_[a]) max_[a] = v[a];
    }
    ++points_;
}

void encodeLasHeader(const LasSummary& s, const LasFileInfo& info, std::uint8_t* out) {
    std::memset(out, 0, kLasHeaderSize);
    std::memcpy(out + kSignature, "LASF", 4);
    // File source ID, global encoding (GPS week time) and project ID stay zero.
    out[kVersionMajor] = 1;
    out[kVersionMinor] = 2;
    putText(out + kSystemIdentifier, kLasSystemIdentifier);
    putText(out + kGeneratingSoftware, info.generatingSoftware);
    writeLE16(out + kCreationDay, static_cast<std::uint16_t>(info.creationDayOfYear));
    writeLE16(out + kCreationYear, static_cast<std::uint16_t>(info.creationYear));
    writeLE16(out + kHeaderSizeField, static_cast<std::uint16_t>(kLasHeaderSize));
    writeLE32(out + kOffsetToPoints, static_cast<std::uint32_t>(kLasHeaderSize));
    writeLE32(out + kRecordCount, 0);
    out[kPointFormat] = kLasPointFormat;
    writeLE16(out + kPointLength, static_cast<std::uint16_t>(kLasPointSize));
    const auto count = static_cast<std::uint32_t>(std::min(s.points(), kLasMaxPoints));
    writeLE32(out + kPointCount, count);
    writeLE32(out + kPointsByReturn, count);  // every point is a first return
    for (int a = 0; a < 3; ++a) {
        putDouble(out + kScale + 8 * a, kLasScale);
        putDouble(out + kOffset + 8 * a, 0.0);
        putDouble(out + kBounds + 16 * a, s.max(a) * kLasScale);
        putDouble(out + kBounds + 16 * a + 8, s.min(a) * kLasScale);
    }
}

}  // namespace k740
