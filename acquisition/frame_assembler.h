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

// Frame cap. A frame ends only on an azimuth wrap (or a single-line packet at 270 degrees), so
// a stopped motor, a lost boundary packet or a hostile sender would grow the frame under
// assembly for ever. The sensor measures one block every 30 time slots of 3.125 us (93.75 us)
// at every speed; at the slowest speed, 300 rpm (200 ms a revolution), a revolution holds
// 2134 blocks (rounded up). A frame that reaches four such revolutions without a wrap is
// dropped (it is no revolution, and emitting it would draw several turns on top of each
// other), counted, and assembly starts afresh with the next block.
constexpr std::size_t kSlowestRevolutionUs = 60 * 1000 * 1000 / 300;
constexpr std::size_t kBlocksPerSlowestRevolution = (kSlowestRevolutionUs * 100 + 9375 - 1) / 9375;
constexpr std::size_t kMaxFrameBlocks = 4 * kBlocksPerSlowestRevolution;
// Single-line frames: four packets make a revolution; the same four revolutions.
constexpr std::size_t kMaxSingleLineFramePoints = 4 * 4 * kSingleLinePoints;
static_assert(kBlocksPerSlowestRevolution == 2134, "blocks of one revolution at 300 rpm");

// True when a frame still under assembly has reached the cap and must be dropped.
inline bool frameReachedCap(const LidarDataSingleLine& frame) {
    return frame.blockAngle.size() >= kMaxFrameBlocks;
}
inline bool singleLineFrameReachedCap(const LidarDataSingleLine& frame) {
    return frame.distance.size() >= kMaxSingleLineFramePoints;
}

// Called for every block of a data packet decoded in the strong-echo mode, after the block's
// points were appended: the block's 100 bytes, its index 0..11 and the protocol in force.
// The GPS time-stamp test hangs here (the live receiver calls it while the test runs).
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

    // Frames dropped at the cap since construction, and the blocks and points now held.
    long long framesCapped() const { return framesCapped_; }
    std::size_t blocksUnderAssembly() const {
        return main_.blockAngle.size() + second_.blockAngle.size();
    }
    std::size_t pointsUnderAssembly() const {
        return main_.distance.size() + second_.distance.size() + single_.distance.size();
    }

    static constexpr std::size_t kCarryWindow = 100;  // last points examined for carry-over
    static constexpr double kCarryAngle = 20.0;       // degrees

private:
    void addStrongEchoPacket(const std::uint8_t* packet, int pendingProtocol,
                             BlockObserver* observer);
    void addDualEchoPacket(const std::uint8_t* packet, int returnMode);
    void emitFrame(LidarDataSingleLine& frame);
    void dropCappedFrame();

    FrameSink sink_;
    LidarDataSingleLine main_;
    LidarDataSingleLine second_;
    LidarDataSingleLine single_;
    LidarDataSingleLine carry_;
    int protocol_ = kProtocol16;
    int lastReturnMode_ = kStrongEcho;
    long long framesCapped_ = 0;
};

// Capture-file analysis: every data packet uses the 30-point layout, no carry-over, no echo
// selection; single-line packets complete a frame at start azimuth 270. A frame still under
// assembly after the last packet is not emitted; one that reaches the frame cap is dropped
// and counted, as in live assembly.
class CaptureFrameAnalyzer {
public:
    explicit CaptureFrameAnalyzer(bool singleLine) : singleLine_(singleLine) {}

    // Feeds one sensor payload (1206 or 778 bytes); packets with other leading bytes or a
    // wrong length are skipped. Returns the number of frames completed by this packet.
    int addPacket(const std::uint8_t* payload, std::size_t length, const FrameSink& sink);
    void reset() { work_.clear(); }
    bool singleLine() const { return singleLine_; }
    long long framesCapped() const { return framesCapped_; }
    std::size_t pointsUnderAssembly() const { return work_.distance.size(); }

private:
    bool singleLine_;
    LidarDataSingleLine work_;
    long long framesCapped_ = 0;
};

}  // namespace k740
