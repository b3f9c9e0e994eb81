// Live frame assembly and capture-file analysis.
#include "acquisition/frame_assembler.h"

#include <utility>

#include "acquisition/packet_decoder.h"

namespace k740 {

LiveFrameAssembler::LiveFrameAssembler(FrameSink sink) : sink_(std::move(sink)) {}

void LiveFrameAssembler::reset() {
    main_.clear();
    second_.clear();
    single_.clear();
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
    if (returnMode != lastReturnMode_) {
        // Blocks decoded under another echo mode use another layout and frame split: a frame
        // mixing them would pair points with the wrong azimuths. Start afresh.
        main_.clear();
        second_.clear();
        lastReturnMode_ = returnMode;
    }
    if (returnMode == kStrongEcho)
        addStrongEchoPacket(packet, pendingProtocol, observer);
    else
        addDualEchoPacket(packet, returnMode);
}

void LiveFrameAssembler::emitFrame(LidarDataSingleLine& frame) {
    trimToAngledPoints(frame);
    if (sink_) sink_(std::move(frame));
}

void LiveFrameAssembler::dropCappedFrame() {
    main_.clear();
    second_.clear();
    ++framesCapped_;
}

void LiveFrameAssembler::addStrongEchoPacket(const std::uint8_t* packet, int pendingProtocol,
                                             BlockObserver* observer) {
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        const BlockLayout layout = layoutForProtocol(protocol_);
        const int n = pointsPerBlock(layout);
        appendBlock(main_, packet, b, layout);
        if (observer) observer->onBlock(packet + kBlockSize * b, b, protocol_);
        interpolatePreviousBlock(main_, n);
        if (!frameBoundaryReached(main_)) {
            if (frameReachedCap(main_)) dropCappedFrame();
            continue;
        }

        completeLastBlock(main_, n);
        // Points among the last 100 whose azimuth is below 20 degrees already belong to the
        // next revolution: move them over, leaving zeroed entries behind.
        carry_.clear();
        const std::size_t count = main_.pointAngle.size();
        if (count >= kCarryWindow) {
            for (std::size_t k = count - kCarryWindow; k < count; ++k) {
                if (main_.pointAngle[k] < kCarryAngle) {
                    carry_.pointAngle.push_back(main_.pointAngle[k]);
                    carry_.distance.push_back(main_.distance[k]);
                    carry_.intensity.push_back(main_.intensity[k]);
                    carry_.timeStamp.push_back(main_.timeStamp[k]);
                    main_.pointAngle[k] = 0;
                    main_.distance[k] = 0;
                    main_.intensity[k] = 0;
                    main_.timeStamp[k] = 0;
                }
            }
        }
        const std::size_t reserve = main_.distance.capacity();
        emitFrame(main_);
        main_.clear();
        main_.distance.reserve(reserve);
        main_.intensity.reserve(reserve);
        main_.pointAngle.reserve(reserve);
        main_.timeStamp.reserve(reserve);
        main_.blockAngle.reserve(reserve / 2 + 16);
        protocol_ = (pendingProtocol == kProtocol17) ? kProtocol17 : kProtocol16;
        main_.pointAngle.insert(main_.pointAngle.end(), carry_.pointAngle.begin(),
                                carry_.pointAngle.end());
        main_.distance.insert(main_.distance.end(), carry_.distance.begin(), carry_.distance.end());
        main_.intensity.insert(main_.intensity.end(), carry_.intensity.begin(),
                               carry_.intensity.end());
        main_.timeStamp.insert(main_.timeStamp.end(), carry_.timeStamp.begin(),
                               carry_.timeStamp.end());
    }
}

void LiveFrameAssembler::addDualEchoPacket(const std::uint8_t* packet, int returnMode) {
    constexpr int n = 30;
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        LidarDataSingleLine& target = (b % 2 == 0) ? main_ : second_;
        appendBlock(target, packet, b, BlockLayout::ThirtyPoints);
        interpolatePreviousBlock(target, n);
        if (!frameBoundaryReached(main_)) {
            if (frameReachedCap(main_) || frameReachedCap(second_)) dropCappedFrame();
            continue;
        }

        completeLastBlock(main_, n);
        completeLastBlock(second_, n);  // needs two blocks of its own, like the main frame
        if (returnMode == kDualEcho) {
            trimToAngledPoints(second_);
            main_.distance.insert(main_.distance.end(), second_.distance.begin(),
                                  second_.distance.end());
            main_.intensity.insert(main_.intensity.end(), second_.intensity.begin(),
                                   second_.intensity.end());
            main_.pointAngle.insert(main_.pointAngle.end(), second_.pointAngle.begin(),
                                    second_.pointAngle.end());
            main_.timeStamp.insert(main_.timeStamp.end(), second_.timeStamp.begin(),
                                   second_.timeStamp.end());
            emitFrame(main_);
        } else if (returnMode == kDualEchoFirst) {
            emitFrame(main_);
        } else {
            emitFrame(second_);
        }
        main_.clear();
        second_.clear();
        single_.clear();
    }
}

void LiveFrameAssembler::addSingleLinePacket(const std::uint8_t* packet) {
    if (!appendSingleLinePacket(single_, packet)) {
        if (singleLineFrameReachedCap(single_)) {
            single_.clear();
            ++framesCapped_;
        }
        return;
    }
    emitFrame(single_);
    main_.clear();
    second_.clear();
    single_.clear();
}

int CaptureFrameAnalyzer::addPacket(const std::uint8_t* payload, std::size_t length,
                                    const FrameSink& sink) {
    if (!isSensorPayload(payload, length, singleLine_)) return 0;
    int frames = 0;
    if (singleLine_) {
        if (appendSingleLinePacket(work_, payload)) {
            LidarDataSingleLine done;
            std::swap(done, work_);
            if (sink) sink(std::move(done));
            ++frames;
        } else if (singleLineFrameReachedCap(work_)) {
            work_.clear();
            ++framesCapped_;
        }
        return frames;
    }
    for (int b = 0; b < static_cast<int>(kBlockCount); ++b) {
        appendBlock(work_, payload, b, BlockLayout::ThirtyPoints);
        interpolatePreviousBlock(work_, 30);
        if (!frameBoundaryReached(work_)) {
            if (frameReachedCap(work_)) {
                work_.clear();
                ++framesCapped_;
            }
            continue;
        }
        completeLastBlock(work_, 30);
        LidarDataSingleLine done;
        done.distance.reserve(work_.distance.capacity());
        std::swap(done, work_);
        if (sink) sink(std::move(done));
        ++frames;
    }
    return frames;
}

}  // namespace k740
