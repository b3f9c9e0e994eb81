// Frame assembly: how consecutive packets become frames, for the live stream and for
// capture-file analysis. Free of sockets and threads; frames leave through a sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "acquisition/lidar_frame.h"
#include "acquisition/packet_format.h"

namespace k740 {

using FrameSink = std::function<void(LidarDataSingleLine&& frame)>;

// Called for every block of a data packet decoded in the strong-echo mode, after the block's
// points were appended: the block's 100 bytes, its index 0..11 and the protocol in force.
// The GPS time-stamp test hangs here.
class BlockObserver {
public:
    virtual ~BlockObserver() = default;
    virtual void onBlock(const std::uint8_t* block, int blockIndex, int protocol) = 0;
};

// Live assembly: carry-over of early points, pending protocol applied at the boundary,
// echo split and merge, single-line frames.
class LiveFrameAssembler {
public:
    explicit LiveFrameAssembler(FrameSink sink);

    // Empties the three frames under assembly (start of a receive loop).
    void reset();

    // A 1206-byte data packet (leading FF EE already checked).
    void addDataPacket(const std::uint8_t* packet, int returnMode, int pendingProtocol,
                       BlockObserver* observer = nullptr);
    // A 778-byte single-line packet (leading A2 5C already checked).
    void addSingleLinePacket(const std::uint8_t* packet);

    // Classifies a datagram and feeds data and single-line packets; returns the kind so that
    // the caller can handle device information packets.
    PacketKind addDatagram(const std::uint8_t* data, std::size_t length, int returnMode,
                           int pendingProtocol, BlockObserver* observer = nullptr);

    int protocol() const { return protocol_; }

    static constexpr std::size_t kCarryWindow = 100;  // last points examined for carry-over
    static constexpr double kCarryAngle = 20.0;       // degrees

private:
    void addStrongEchoPacket(const std::uint8_t* packet, int pendingProtocol, BlockObserver* observer);
    void addDualEchoPacket(const std::uint8_t* packet, int returnMode);
    void emitFrame(LidarDataSingleLine& frame);

    FrameSink sink_;
    LidarDataSingleLine main_;
    LidarDataSingleLine second_;
    LidarDataSingleLine single_;
    LidarDataSingleLine carry_;
    int protocol_ = kProtocol16;
    int lastReturnMode_ = kStrongEcho;
};

// Capture-file analysis: every data packet uses the 30-point layout, no carry-over, no echo
// selection; single-line packets complete a frame at start azimuth 270. A frame still under
// assembly after the last packet is not emitted.
class CaptureFrameAnalyzer {
public:
    explicit CaptureFrameAnalyzer(bool singleLine) : singleLine_(singleLine) {}

    // Feeds one sensor payload (1206 or 778 bytes); packets with other leading bytes or a
    // wrong length are skipped. Returns the number of frames completed by this packet.
    int addPacket(const std::uint8_t* payload, std::size_t length, const FrameSink& sink);
    void reset() { work_.clear(); }
    bool singleLine() const { return singleLine_; }

private:
    bool singleLine_;
    LidarDataSingleLine work_;
};

}  // namespace k740
