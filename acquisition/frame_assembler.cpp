// Live frame assembly and capture-file analysis.
#include "acquisition/frame_assembler.h"

#include <utility>

#include "acquisition/packet_decoder.h"

namespace k740 {

LiveFrameAssembler::LiveFrameAssembler(FrameSink sink) : m_Sink(std::move(sink)) {}

void LiveFrameAssembler::reset() {
    m_Main.clear();
    m_Second.clear();
    m_Single.clear();
}

PacketKind LiveFrameAssembler::addDatagram(const std::uint8_t* data, std::size_t length,
                                           int returnMode, int pendingProtocol,
                                           BlockObserver* observer) {
    const PacketKind kind = classifyDatagram(data, length);
    if (kind == PacketKind::Data)
        addDataPacket(data, returnMode, pendingProtocol, observer);
    else if (kind == PacketKind::SingleLine)
        addSingleLinePacket(data);
    return kind;
}

void LiveFrameAssembler::addDataPacket(const std::uint8_t* packet, int returnMode,
                                       int pendingProtocol, BlockObserver* observer) {
    if (returnMode < kStrongEcho || returnMode > kDualEchoSecond) returnMode = kStrongEcho;
    if (returnMode != m_LastReturnMode) {
        // Blocks decoded under another echo mode use another layout and frame split: a frame
        // mixing them would pair points with the wrong azimuths. Start afresh.
        m_Main.clear();
        m_Second.clear();
        m_LastReturnMode = returnMode;
    }
    if (returnMode == kStrongEcho)
        addStrongEchoPacket(packet, pendingProtocol, observer);
    else
        addDualEchoPacket(packet, returnMode);
}

void LiveFrameAssembler::emitFrame(LidarDataSingleLine& frame) {
    trimToAngledPoints(frame);
    if (m_Sink) m_Sink(std::move(frame));
}

void LiveFrameAssembler::dropCappedFrame() {
    m_Main.clear();
    m_Second.clear();
    ++m_FramesCapped;
}

void LiveFrameAssembler::addStrongEchoPacket(const std::uint8_t* packet, int pendingProtocol,
                                             BlockObserver* observer) {
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        const BlockLayout layout = layoutForProtocol(m_Protocol);
        const int n = pointsPerBlock(layout);
        appendBlock(m_Main, packet, b, layout);
        if (observer) observer->onBlock(packet + kBlockSize * b, b, m_Protocol);
        interpolatePreviousBlock(m_Main, n);
        if (!frameBoundaryReached(m_Main)) {
            if (frameReachedCap(m_Main)) dropCappedFrame();
            continue;
        }

        completeLastBlock(m_Main, n);
        // Points among the last 100 whose azimuth is below 20 degrees already belong to the
        // next revolution: move them over, leaving zeroed entries behind.
        m_Carry.clear();
        const std::size_t count = m_Main.pointAngle.size();
        if (count >= kCarryWindow) {
            for (std::size_t k = count - kCarryWindow; k < count; ++k) {
                if (m_Main.pointAngle[k] < kCarryAngle) {
                    if (m_Carry.pointAngle.empty()) m_Main.leftBehindBegin = k;
                    m_Main.leftBehindEnd = k + 1;
                    m_Carry.pointAngle.push_back(m_Main.pointAngle[k]);
                    m_Carry.distance.push_back(m_Main.distance[k]);
                    m_Carry.intensity.push_back(m_Main.intensity[k]);
                    m_Carry.timeStamp.push_back(m_Main.timeStamp[k]);
                    m_Main.pointAngle[k] = 0;
                    m_Main.distance[k] = 0;
                    m_Main.intensity[k] = 0;
                    m_Main.timeStamp[k] = 0;
                }
            }
        }
        const std::size_t reserve = m_Main.distance.capacity();
        emitFrame(m_Main);
        m_Main.clear();
        m_Main.distance.reserve(reserve);
        m_Main.intensity.reserve(reserve);
        m_Main.pointAngle.reserve(reserve);
        m_Main.timeStamp.reserve(reserve);
        m_Main.blockAngle.reserve(reserve / 2 + 16);
        m_Protocol = (pendingProtocol == kProtocol17) ? kProtocol17 : kProtocol16;
        m_Main.pointAngle.insert(m_Main.pointAngle.end(), m_Carry.pointAngle.begin(),
                                m_Carry.pointAngle.end());
        m_Main.distance.insert(m_Main.distance.end(), m_Carry.distance.begin(), m_Carry.distance.end());
        m_Main.intensity.insert(m_Main.intensity.end(), m_Carry.intensity.begin(),
                               m_Carry.intensity.end());
        m_Main.timeStamp.insert(m_Main.timeStamp.end(), m_Carry.timeStamp.begin(),
                               m_Carry.timeStamp.end());
    }
}

void LiveFrameAssembler::addDualEchoPacket(const std::uint8_t* packet, int returnMode) {
    constexpr int n = 30;
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        LidarDataSingleLine& target = (b % 2 == 0) ? m_Main : m_Second;
        appendBlock(target, packet, b, BlockLayout::ThirtyPoints);
        interpolatePreviousBlock(target, n);
        if (!frameBoundaryReached(m_Main)) {
            if (frameReachedCap(m_Main) || frameReachedCap(m_Second)) dropCappedFrame();
            continue;
        }

        completeLastBlock(m_Main, n);
        completeLastBlock(m_Second, n);  // needs two blocks of its own, like the main frame
        if (returnMode == kDualEcho) {
            trimToAngledPoints(m_Second);
            m_Main.distance.insert(m_Main.distance.end(), m_Second.distance.begin(),
                                  m_Second.distance.end());
            m_Main.intensity.insert(m_Main.intensity.end(), m_Second.intensity.begin(),
                                   m_Second.intensity.end());
            m_Main.pointAngle.insert(m_Main.pointAngle.end(), m_Second.pointAngle.begin(),
                                    m_Second.pointAngle.end());
            m_Main.timeStamp.insert(m_Main.timeStamp.end(), m_Second.timeStamp.begin(),
                                   m_Second.timeStamp.end());
            emitFrame(m_Main);
        } else if (returnMode == kDualEchoFirst) {
            emitFrame(m_Main);
        } else {
            emitFrame(m_Second);
        }
        m_Main.clear();
        m_Second.clear();
        m_Single.clear();
    }
}

void LiveFrameAssembler::addSingleLinePacket(const std::uint8_t* packet) {
    if (!appendSingleLinePacket(m_Single, packet)) {
        if (singleLineFrameReachedCap(m_Single)) {
            m_Single.clear();
            ++m_FramesCapped;
        }
        return;
    }
    emitFrame(m_Single);
    m_Main.clear();
    m_Second.clear();
    m_Single.clear();
}

AnalysisFrameBoundaries::Step AnalysisFrameBoundaries::addSingleLinePacket(float startAzimuth) {
    m_Size += kSingleLinePoints;
    if (singleLineFrameEnds(startAzimuth)) {
        m_Size = 0;
        return Step::Ends;
    }
    if (m_Size >= kMaxSingleLineFramePoints) {
        m_Size = 0;
        return Step::Capped;
    }
    return Step::Added;
}

int CaptureFrameAnalyzer::addPacket(const std::uint8_t* payload, std::size_t length,
                                    const FrameSink& sink) {
    const bool singleLine = m_Boundaries.singleLine();
    if (!isSensorPayload(payload, length, singleLine)) return 0;
    int frames = 0;
    auto emit = [&] {
        LidarDataSingleLine done;
        done.distance.reserve(m_Work.distance.capacity());
        std::swap(done, m_Work);
        if (sink) sink(std::move(done));
        ++frames;
    };
    // What the boundary rule's answer means for the frame under work.
    auto follow = [&](AnalysisFrameBoundaries::Step step, auto&& completeFrame) {
        switch (step) {
            case AnalysisFrameBoundaries::Step::Added:
                break;
            case AnalysisFrameBoundaries::Step::Ends:
                completeFrame();
                emit();
                break;
            case AnalysisFrameBoundaries::Step::Capped:
                m_Work.clear();
                ++m_FramesCapped;
                break;
        }
    };
    if (singleLine) {
        appendSingleLinePacket(m_Work, payload);
        follow(m_Boundaries.addSingleLinePacket(singleLineStartAzimuth(payload)), [] {});
        return frames;
    }
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        appendBlock(m_Work, payload, b, BlockLayout::ThirtyPoints);
        interpolatePreviousBlock(m_Work, 30);
        follow(m_Boundaries.addBlock(m_Work.blockAngle.back()),
               [this] { completeLastBlock(m_Work, 30); });
    }
    return frames;
}

}  // namespace k740
