// Frame assembly: how consecutive packets become frames, for the live stream and for
// capture-file analysis. Free of sockets and threads; frames leave through a sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "acquisition/lidar_frame.h"
#include "acquisition/packet_decoder.h"
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

    int protocol() const { return m_Protocol; }

    // Frames dropped at the cap since construction, and the blocks and points now held.
    long long framesCapped() const { return m_FramesCapped; }
    std::size_t blocksUnderAssembly() const {
        return m_Main.blockAngle.size() + m_Second.blockAngle.size();
    }
    std::size_t pointsUnderAssembly() const {
        return m_Main.distance.size() + m_Second.distance.size() + m_Single.distance.size();
    }

    static constexpr std::size_t kCarryWindow = 100;  // last points examined for carry-over
    static constexpr double kCarryAngle = 20.0;       // degrees

private:
    void addStrongEchoPacket(const std::uint8_t* packet, int pendingProtocol,
                             BlockObserver* observer);
    void addDualEchoPacket(const std::uint8_t* packet, int returnMode);
    void emitFrame(LidarDataSingleLine& frame);
    void dropCappedFrame();

    FrameSink m_Sink;
    LidarDataSingleLine m_Main;
    LidarDataSingleLine m_Second;
    LidarDataSingleLine m_Single;
    LidarDataSingleLine m_Carry;
    int m_Protocol = kProtocol16;
    int m_LastReturnMode = kStrongEcho;
    long long m_FramesCapped = 0;
};

// Where the capture-file analysis ends its frames, decided from the block azimuths alone
// (single-line mode: from the packets' start azimuths). The one place of that rule: the
// analysis below decodes its frames by it, and the frame catalog (playback/capture_index.h)
// records the frames' spans in the file by it, so the two cannot disagree.
//
// Data packets: a block whose azimuth wraps (azimuthWraps) against the previous block of the
// open frame ends that frame and is its last block; the block after it opens the next frame.
// Single-line packets: a packet with start azimuth exactly 270 ends the frame and is its last
// packet. A frame that reaches the frame cap without ending is dropped there.
class AnalysisFrameBoundaries {
public:
    enum class Step {
        Added,   // the block (packet) opened a frame or joined the open one
        Ends,    // the block (packet) completes the open frame as its last
        Capped,  // the open frame reached the cap with this block (packet) and is dropped
    };

    explicit AnalysisFrameBoundaries(bool singleLine) : m_SingleLine(singleLine) {}

    // False when the next block (packet) opens a new frame.
    bool frameOpen() const { return m_Size > 0; }
    // The next block of a data packet, by its azimuth in degrees (blockAzimuth).
    Step addBlock(double azimuth) {
        if (m_Size > 0 && azimuthWraps(m_Previous, azimuth)) {
            m_Size = 0;  // the next block opens a new frame
            return Step::Ends;
        }
        m_Previous = azimuth;
        if (++m_Size >= kMaxFrameBlocks) {
            m_Size = 0;
            return Step::Capped;
        }
        return Step::Added;
    }
    // The next single-line packet, by its start azimuth (singleLineStartAzimuth).
    Step addSingleLinePacket(float startAzimuth);
    void reset() { m_Size = 0; }
    bool singleLine() const { return m_SingleLine; }

private:
    bool m_SingleLine;
    std::size_t m_Size = 0;    // blocks (single-line: points) of the open frame
    double m_Previous = 0.0;   // azimuth of the open frame's last block
};

// Capture-file analysis: every data packet uses the 30-point layout, no carry-over, no echo
// selection; frames end where AnalysisFrameBoundaries says. A frame still under assembly
// after the last packet is not emitted; one that reaches the frame cap is dropped and
// counted, as in live assembly.
class CaptureFrameAnalyzer {
public:
    explicit CaptureFrameAnalyzer(bool singleLine) : m_Boundaries(singleLine) {}

    // Feeds one sensor payload (1206 or 778 bytes); packets with other leading bytes or a
    // wrong length are skipped. Returns the number of frames completed by this packet.
    int addPacket(const std::uint8_t* payload, std::size_t length, const FrameSink& sink);
    void reset() {
        m_Work.clear();
        m_Boundaries.reset();
    }
    bool singleLine() const { return m_Boundaries.singleLine(); }
    long long framesCapped() const { return m_FramesCapped; }
    std::size_t pointsUnderAssembly() const { return m_Work.distance.size(); }

private:
    AnalysisFrameBoundaries m_Boundaries;
    LidarDataSingleLine m_Work;
    long long m_FramesCapped = 0;
};

}  // namespace k740
