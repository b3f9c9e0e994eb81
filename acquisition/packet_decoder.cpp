// Decoding rules for data packets and single-line packets.
#include "acquisition/packet_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace k740 {

bool isSensorPayload(const std::uint8_t* payload, std::size_t length, bool singleLine) {
    if (payload == nullptr) return false;
    if (singleLine)
        return length == kSingleLinePacketSize && payload[0] == kSingleLineFlag0 && payload[1] == kSingleLineFlag1;
    return length == kDataPacketSize && payload[0] == kBlockFlag0 && payload[1] == kBlockFlag1;
}

PacketKind classifyDatagram(const std::uint8_t* data, std::size_t length) {
    if (isSensorPayload(data, length, false)) return PacketKind::Data;
    if (isSensorPayload(data, length, true)) return PacketKind::SingleLine;
    if (data != nullptr && length == kDataPacketSize && std::memcmp(data, kDeviceHeader, sizeof kDeviceHeader) == 0)
        return PacketKind::DeviceInfo;
    return PacketKind::Unknown;
}

std::uint64_t pointTime(std::uint32_t packetTime, int timeIndex) {
    const double t = static_cast<double>(packetTime) + 3.125 * timeIndex - 596.875;
    return t > 0.0 ? static_cast<std::uint64_t>(t) : 0;
}

namespace {

inline void appendRecord(LidarDataSingleLine& f, const std::uint8_t* rec, std::uint32_t T, int i) {
    f.distance.push_back(static_cast<double>(readLE16(rec)));
    f.intensity.push_back(rec[2]);
    f.timeStamp.push_back(pointTime(T, i));
}

// Appends azimuths base + (step / n) j, j = 0..n-1, wrapping values at or above 360.
inline void appendAzimuths(LidarDataSingleLine& f, double base, float step, int n) {
    const float q = step / static_cast<float>(n);
    for (int j = 0; j < n; ++j) {
        const float offset = q * static_cast<float>(j);
        const double v = base + static_cast<double>(offset);
        f.pointAngle.push_back(v < 360.0 ? v : v - 360.0);
    }
}

inline float azimuthStep(double a0, double a1) {
    float step = static_cast<float>(a1) - static_cast<float>(a0);
    if (!(step >= 0.0f)) step += 360.0f;
    return step;
}

}  // namespace

void appendBlock(LidarDataSingleLine& frame, const std::uint8_t* packet, int b, BlockLayout layout) {
    const std::uint8_t* block = packet + kBlockSize * static_cast<std::size_t>(b);
    frame.blockAngle.push_back(blockAzimuth(readLE16(block + kBlockAzimuthOffset)));
    const std::uint32_t T = readLE32(packet + kTimeStampOffset);
    const std::uint8_t* rec = block + kFirstRecordOffset;
    if (layout == BlockLayout::TwoPoints) {
        appendRecord(frame, rec, T, 2 * b + 0);
        appendRecord(frame, rec + 16 * kRecordSize, T, 2 * b + 16);
        return;
    }
    const int base = 30 * b;
    for (int c = 0; c < 31; ++c) {
        if (c == 15) continue;  // record 15 carries the GPS date, record 31 the GPS time
        appendRecord(frame, rec + c * kRecordSize, T, base + c);
    }
}

namespace {
// The last two block azimuths, when the frame holds two blocks.
inline bool lastTwoAzimuths(const LidarDataSingleLine& frame, double* a0, double* a1) {
    const std::size_t k = frame.blockAngle.size();
    if (k < 2) return false;
    *a0 = frame.blockAngle[k - 2];
    *a1 = frame.blockAngle[k - 1];
    return true;
}
}  // namespace

void interpolatePreviousBlock(LidarDataSingleLine& frame, int n) {
    double a0, a1;
    if (lastTwoAzimuths(frame, &a0, &a1)) appendAzimuths(frame, a0, azimuthStep(a0, a1), n);
}

bool frameBoundaryReached(const LidarDataSingleLine& frame) {
    double a0, a1;
    return lastTwoAzimuths(frame, &a0, &a1) && azimuthWraps(a0, a1);
}

void completeLastBlock(LidarDataSingleLine& frame, int n) {
    double a0, a1;
    if (lastTwoAzimuths(frame, &a0, &a1)) appendAzimuths(frame, a1, azimuthStep(a0, a1), n);
}

void trimToAngledPoints(LidarDataSingleLine& frame) {
    std::size_t n = frame.pointAngle.size();
    n = std::min(n, frame.distance.size());
    n = std::min(n, frame.intensity.size());
    n = std::min(n, frame.timeStamp.size());
    frame.pointAngle.resize(n);
    frame.distance.resize(n);
    frame.intensity.resize(n);
    frame.timeStamp.resize(n);
}

float singleLineStartAzimuth(const std::uint8_t* packet) {
    return static_cast<float>(readBE32(packet + kSingleLineAzimuthOffset)) / 10000.0f;
}

bool appendSingleLinePacket(LidarDataSingleLine& frame, const std::uint8_t* packet) {
    const float start = singleLineStartAzimuth(packet);
    const std::uint8_t* rec = packet + kSingleLineFirstPoint;
    for (std::size_t k = 0; k < kSingleLinePoints; ++k, rec += kRecordSize) {
        frame.pointAngle.push_back(static_cast<double>(start) + kSingleLinePointStep * static_cast<double>(k));
        frame.distance.push_back(static_cast<double>(readLE16(rec)));
        frame.intensity.push_back(rec[2]);
        frame.timeStamp.push_back(0);
    }
    return singleLineFrameEnds(start);
}

}  // namespace k740
