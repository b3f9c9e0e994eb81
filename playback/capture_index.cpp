// Capture-file loading, the slider's frame count and the streaming frame counter.
#include "playback/capture_index.h"

#include <cmath>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

#include "acquisition/packet_decoder.h"
#include "platform/pcap_file.h"

namespace k740 {

namespace {

// Every record in a classic pcap file has a 16-byte header in front of its bytes (pcapng
// blocks have more), so a file of S bytes holds at most S / (16 + record) sensor packets.
constexpr std::size_t kMinRecordOverhead = 16;

constexpr double kWrapThreshold = 180.0;  // degrees between two blocks that mark a new turn

std::size_t recordSize(bool singleLine) {
    return singleLine ? kCaptureSingleLineRecordSize : kCaptureDataRecordSize;
}

bool isDataPayload(const std::uint8_t* p, std::size_t length) {
    return p != nullptr && length >= kDataPacketSize && p[0] == kBlockFlag0 && p[1] == kBlockFlag1;
}

bool isSingleLinePayload(const std::uint8_t* p, std::size_t length) {
    return p != nullptr && length >= kSingleLinePacketSize && p[0] == kSingleLineFlag0 &&
           p[1] == kSingleLineFlag1;
}

std::uint16_t rawBlockAzimuth(const std::uint8_t* packet, std::size_t b) {
    return readLE16(packet + b * kBlockSize + kBlockAzimuthOffset);
}

// Reads every record of a capture file and hands each sensor payload to `take`.
template <typename Take>
CaptureReadStatus forEachSensorPayload(const std::string& path, bool singleLine, Take take) {
    CaptureReadStatus status;
    PcapFileReader reader;
    if (!reader.open(path)) {
        status.error = reader.error();
        return status;
    }
    status.opened = true;
    CaptureRecord record;
    for (;;) {
        const PcapFileReader::Result r = reader.next(record);
        if (r == PcapFileReader::Result::End) {
            status.complete = true;
            break;
        }
        if (r == PcapFileReader::Result::Error) {
            status.error = reader.error();
            break;
        }
        if (isSensorRecord(record.data, record.capturedLength, singleLine))
            take(record.data + kCaptureHeaderSize);
    }
    status.records = reader.recordsRead();
    return status;
}

}  // namespace

bool isSensorRecord(const std::uint8_t* frame, std::size_t capturedLength, bool singleLine) {
    if (frame == nullptr || capturedLength != recordSize(singleLine)) return false;
    const std::uint8_t* payload = frame + kCaptureHeaderSize;
    return singleLine ? (payload[0] == kSingleLineFlag0 && payload[1] == kSingleLineFlag1)
                      : (payload[0] == kBlockFlag0 && payload[1] == kBlockFlag1);
}

void SensorPackets::append(const std::uint8_t* payload) {
    bytes_.insert(bytes_.end(), payload, payload + payloadSize());
}

void SensorPackets::clear(bool singleLine) {
    bytes_.clear();
    singleLine_ = singleLine;
}

std::vector<const std::uint8_t*> SensorPackets::pointers() const {
    std::vector<const std::uint8_t*> list(size());
    for (std::size_t i = 0; i < list.size(); ++i) list[i] = packet(i);
    return list;
}

CaptureReadStatus loadSensorPackets(const std::string& path, bool singleLine, SensorPackets& out) {
    out = SensorPackets(singleLine);  // drops the previous file's buffers
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);
    if (!ec) {
        // An upper bound: pages reserved but never written are not backed by memory, and
        // growing a vector of hundreds of megabytes by copying would double the peak. A bound
        // the system refuses is simply not reserved.
        try {
            out.reserve(static_cast<std::size_t>(fileSize / (kMinRecordOverhead + recordSize(singleLine))));
        } catch (const std::bad_alloc&) {
        } catch (const std::length_error&) {
        }
    }
    try {
        return forEachSensorPayload(path, singleLine, [&out](const std::uint8_t* payload) { out.append(payload); });
    } catch (const std::bad_alloc&) {
        CaptureReadStatus status;
        status.opened = true;
        status.error = "not enough memory to hold the capture file's packets";
        return status;
    }
}

std::size_t sliderFrameCount(const std::uint8_t* const* packets, std::size_t count, bool singleLine) {
    std::size_t frames = 0;
    if (singleLine) {
        for (std::size_t p = 0; p < count; ++p)
            if (singleLineStartAzimuth(packets[p]) == 270.0f) ++frames;
        return frames;
    }
    double previous = 0.0;  // the file's first block is compared with 0
    for (std::size_t p = 0; p < count; ++p) {
        for (std::size_t b = 0; b < kBlockCount; ++b) {
            const double a = blockAzimuth(rawBlockAzimuth(packets[p], b));
            if (std::fabs(a - previous) > kWrapThreshold) ++frames;
            previous = a;
        }
    }
    return frames;
}

std::size_t sliderFrameCount(const SensorPackets& packets) {
    const std::vector<const std::uint8_t*> list = packets.pointers();
    return sliderFrameCount(list.data(), list.size(), packets.singleLine());
}

int CaptureFrameCounter::addPacket(const std::uint8_t* payload, std::size_t length) {
    int completed = 0;
    if (singleLine_) {
        if (!isSingleLinePayload(payload, length)) return 0;
        if (singleLineStartAzimuth(payload) == 270.0f) completed = 1;
    } else {
        if (!isDataPayload(payload, length)) return 0;
        for (std::size_t b = 0; b < kBlockCount; ++b) {
            const double a = blockAzimuth(rawBlockAzimuth(payload, b));
            if (havePrevious_ && std::fabs(a - previous_) > kWrapThreshold) {
                ++completed;
                havePrevious_ = false;  // the next block opens a new frame
            } else {
                previous_ = a;
                havePrevious_ = true;
            }
        }
    }
    frames_ += static_cast<std::uint64_t>(completed);
    return completed;
}

void CaptureFrameCounter::reset() {
    havePrevious_ = false;
    previous_ = 0.0;
    frames_ = 0;
}

CaptureSummary summarizeCaptureFile(const std::string& path, bool singleLine) {
    CaptureSummary summary;
    CaptureFrameCounter counter(singleLine);
    const std::size_t payload = sensorPayloadSize(singleLine);
    summary.status = forEachSensorPayload(path, singleLine, [&](const std::uint8_t* p) {
        ++summary.packets;
        counter.addPacket(p, payload);
    });
    summary.frames = counter.frames();
    return summary;
}

}  // namespace k740
