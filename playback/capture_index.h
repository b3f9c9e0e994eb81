// Sensor packets of a capture file: which records are sensor packets, loading their
// payloads for playback, the main window's frame count for its slider, and a streaming
// frame counter that agrees with the capture-file analysis without holding any points.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/packet_format.h"

namespace k740 {

// Sensor payload size in a capture: 1206-byte data packets, or 778-byte single-line packets.
inline std::size_t sensorPayloadSize(bool singleLine) {
    return singleLine ? kSingleLinePacketSize : kDataPacketSize;
}

// The capture-file rule for one record: captured length 1248 and FF EE right after the
// 42-byte Ethernet/IPv4/UDP header (single-line mode: 820 and A2 5C). Ports, addresses and
// the header bytes themselves are not examined.
bool isSensorRecord(const std::uint8_t* frame, std::size_t capturedLength, bool singleLine);

// Payloads of the sensor packets of one capture file, in file order, in one contiguous block.
class SensorPackets {
public:
    explicit SensorPackets(bool singleLine = false) : singleLine_(singleLine) {}

    bool singleLine() const { return singleLine_; }
    std::size_t payloadSize() const { return sensorPayloadSize(singleLine_); }
    std::size_t size() const { return bytes_.size() / payloadSize(); }
    bool empty() const { return bytes_.empty(); }
    const std::uint8_t* packet(std::size_t i) const { return bytes_.data() + i * payloadSize(); }

    // Copies one payload of payloadSize() bytes.
    void append(const std::uint8_t* payload);
    void reserve(std::size_t packets) { bytes_.reserve(packets * payloadSize()); }
    // Empties the list and switches the mode.
    void clear(bool singleLine);
    // One pointer per packet, into this list (valid while it is not changed).
    std::vector<const std::uint8_t*> pointers() const;

private:
    bool singleLine_;
    std::vector<std::uint8_t> bytes_;
};

// Outcome of reading a capture file. A truncated or damaged file keeps what was read up to
// the fault: complete is false and error says why.
struct CaptureReadStatus {
    bool opened = false;
    bool complete = false;
    std::string error;
    std::uint64_t records = 0;  // records read, sensor or not
    bool ok() const { return opened && complete; }
};

// Loads the sensor packets of a capture file in file order (replacing what `out` held).
CaptureReadStatus loadSensorPackets(const std::string& path, bool singleLine, SensorPackets& out);

// The frame count the main window sizes its frame slider with: single-line mode counts the
// packets whose start azimuth is exactly 270; otherwise every block whose azimuth differs by
// more than 180 degrees from the block before it, across packet borders, the file's very
// first block compared with 0.
std::size_t sliderFrameCount(const std::uint8_t* const* packets, std::size_t count, bool singleLine);
std::size_t sliderFrameCount(const SensorPackets& packets);

// Counts the frames the capture-file analysis cuts from a packet sequence, from the block
// azimuths alone: a frame ends where a block differs by more than 180 degrees from the
// previous block of the same frame, and the next frame starts afresh with the block after
// it. A frame still open after the last packet is not counted.
class CaptureFrameCounter {
public:
    explicit CaptureFrameCounter(bool singleLine) : singleLine_(singleLine) {}

    // Takes one sensor payload; packets the analysis skips (wrong length or leading bytes)
    // are skipped here too. Returns the frames completed by this packet.
    int addPacket(const std::uint8_t* payload, std::size_t length);
    std::uint64_t frames() const { return frames_; }
    void reset();

private:
    bool singleLine_;
    bool havePrevious_ = false;
    double previous_ = 0.0;
    std::uint64_t frames_ = 0;
};

// Counts of one capture file, read as a stream (memory does not grow with the file).
struct CaptureSummary {
    CaptureReadStatus status;
    std::uint64_t packets = 0;  // sensor packets by the capture-file rule
    std::uint64_t frames = 0;   // frames of the capture-file analysis
};

CaptureSummary summarizeCaptureFile(const std::string& path, bool singleLine);

}  // namespace k740
