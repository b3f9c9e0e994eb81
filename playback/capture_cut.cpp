// Pieces of capture files.
#include "playback/capture_cut.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/byte_order.h"
#include "platform/pcap_file.h"
#include "platform/same_file.h"

namespace k740 {

namespace {

constexpr std::size_t kFileHeaderSize = 24;
constexpr std::size_t kRecordHeaderSize = 16;
constexpr std::uint32_t kMicrosecondMagic = 0xA1B2C3D4u;
constexpr std::uint32_t kNanosecondMagic = 0xA1B23C4Du;
constexpr std::size_t kSmallReadBuffer = 64 * 1024;  // the reader starts at a seek

class OutputFile {
public:
    ~OutputFile() {
        if (f_ != nullptr) std::fclose(f_);
    }
    bool open(const std::string& path) {
        errno = 0;
        f_ = std::fopen(path.c_str(), "wb");
        if (f_ == nullptr) error_ = std::string("cannot open for writing: ") + std::strerror(errno);
        return f_ != nullptr;
    }
    void write(const void* data, std::size_t size) {
        if (error_.empty() && std::fwrite(data, 1, size, f_) != size)
            error_ = std::string("write failed: ") + std::strerror(errno);
    }
    bool close() {
        const bool closed = std::fclose(f_) == 0;
        f_ = nullptr;
        if (!closed && error_.empty()) error_ = std::string("write failed: ") + std::strerror(errno);
        return error_.empty();
    }
    const std::string& error() const { return error_; }

private:
    std::FILE* f_ = nullptr;
    std::string error_;
};

}  // namespace

std::string checkFrameRange(std::uint64_t first, std::uint64_t last, std::size_t frames) {
    if (frames == 0) return "the capture holds no frames";
    if (first > last)
        return "the first frame (" + std::to_string(first) + ") comes after the last (" + std::to_string(last) + ")";
    if (last >= frames)
        return "frame " + std::to_string(last) + " is beyond the capture's last frame (" +
               std::to_string(frames - 1) + ")";
    return std::string();
}

CaptureCutResult cutCapture(const std::string& path, const FrameCatalog& catalog, std::uint64_t first,
                            std::uint64_t last, const std::string& outPath) {
    CaptureCutResult result;
    result.error = checkFrameRange(first, last, catalog.frames.size());
    if (!result.error.empty()) return result;
    if (isSameFile(path, outPath)) {
        result.error = "the output is the capture file itself";
        return result;
    }
    const FrameSpan& from = catalog.frames[first];
    const FrameSpan& to = catalog.frames[last];

    PcapFileReader reader;
    if (!reader.open(path, kSmallReadBuffer) || !reader.seek(from.filePosition)) {
        result.error = reader.error();
        return result;
    }
    OutputFile out;
    if (!out.open(outPath)) {
        result.error = out.error();
        return result;
    }
    const bool nano = reader.nanosecondTimeStamps();
    std::uint8_t header[kFileHeaderSize] = {};
    writeLE32(header, nano ? kNanosecondMagic : kMicrosecondMagic);
    writeLE16(header + 4, 2);  // version 2.4
    writeLE16(header + 6, 4);
    // 8: time zone, 12: accuracy, both zero.
    writeLE32(header + 16, reader.snapLength());
    writeLE32(header + 20, static_cast<std::uint32_t>(reader.linkType()));
    out.write(header, sizeof header);

    // From the frame's first packet on, the sensor packets are counted as the catalog counted
    // them; the copy ends with the last frame's last packet.
    std::uint64_t packet = from.firstPacket;
    bool done = false;
    FrameCatalogBuilder piece(catalog.singleLine, false);
    CaptureRecord record;
    std::uint8_t recordHeader[kRecordHeaderSize];
    while (!done && out.error().empty()) {
        const PcapFileReader::Result r = reader.next(record);
        if (r != PcapFileReader::Result::Record) {
            result.error = r == PcapFileReader::Result::Error
                               ? reader.error()
                               : std::string("the capture ends before the last frame's packets: it has "
                                             "changed since it was opened");
            break;
        }
        const bool sensor = isSensorRecord(record.data, record.capturedLength, catalog.singleLine);
        if (result.records == 0 && !sensor) {
            result.error = "the capture has changed since it was opened";
            break;
        }
        writeLE32(recordHeader, static_cast<std::uint32_t>(record.seconds));
        writeLE32(recordHeader + 4, nano ? record.nanoseconds : record.nanoseconds / 1000u);
        writeLE32(recordHeader + 8, record.capturedLength);
        writeLE32(recordHeader + 12, record.originalLength);
        out.write(recordHeader, sizeof recordHeader);
        out.write(record.data, record.capturedLength);
        ++result.records;
        if (sensor) {
            piece.addPacket(record.data + kCaptureHeaderSize, sensorPayloadSize(catalog.singleLine));
            ++result.sensorPackets;
            done = packet == to.lastPacket;
            ++packet;
        }
    }
    const bool closed = out.close();
    if (result.error.empty() && !closed) result.error = out.error();
    result.ok = result.error.empty();
    result.frames = piece.frames();
    if (!result.ok) {
        std::remove(outPath.c_str());  // no half piece left behind
        result.records = 0;
        result.sensorPackets = 0;
        result.frames = 0;
    }
    return result;
}

}  // namespace k740
