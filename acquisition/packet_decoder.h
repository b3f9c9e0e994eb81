// Decoding rules shared by the live receiver, the capture-file player and the tools:
// block azimuths, points of a block, point times, interpolation one block behind,
// the frame boundary and single-line packets.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "acquisition/lidar_frame.h"
#include "acquisition/packet_format.h"

namespace k740 {

// Which channel records of a block are points.
enum class BlockLayout {
    TwoPoints,     // protocol "1.6": records 0 and 16
    ThirtyPoints,  // protocol "1.7" and every dual-echo mode: records 0..14 and 16..30
};

inline BlockLayout layoutForProtocol(int protocol) {
    return protocol == kProtocol17 ? BlockLayout::ThirtyPoints : BlockLayout::TwoPoints;
}
inline int pointsPerBlock(BlockLayout layout) {
    return layout == BlockLayout::ThirtyPoints ? 30 : 2;
}

// The one rule for "is this a sensor payload": exactly 1206 bytes beginning FF EE, or with
// singleLine exactly 778 bytes beginning A2 5C. Live datagrams, capture records and the
// capture-file analysis all ask this.
bool isSensorPayload(const std::uint8_t* payload, std::size_t length, bool singleLine);

// The one azimuth-wrap rule: consecutive block azimuths (degrees) more than 180 apart mark
// the end of a revolution.
inline bool azimuthWraps(double previous, double current) { return std::fabs(current - previous) > 180.0; }

// Block azimuth in degrees: raw / 100 in single precision, widened; raw >= 36000 gives 0.
// Inline: the catalog takes it for every block of a file.
inline double blockAzimuth(std::uint16_t raw) {
    const float a = static_cast<float>(raw) / 100.0f;
    return a >= 360.0f ? 0.0 : static_cast<double>(a);
}

// Point time: T + 3.125 i - 596.875 in double, truncated toward zero. A time that would be
// negative (T below 597) is 0.
std::uint64_t pointTime(std::uint32_t packetTime, int timeIndex);

// Appends block b of a data packet to the frame: its azimuth to blockAngle and its points to
// distance, intensity and timeStamp (pointAngle follows through interpolation).
void appendBlock(LidarDataSingleLine& frame, const std::uint8_t* packet, int b, BlockLayout layout);

// Gives the previous block's n points their azimuths once the frame holds two blocks.
void interpolatePreviousBlock(LidarDataSingleLine& frame, int n);

// True when the last two block azimuths differ by more than 180 degrees.
bool frameBoundaryReached(const LidarDataSingleLine& frame);

// Gives the last block's n points their azimuths (at a frame boundary).
void completeLastBlock(LidarDataSingleLine& frame, int n);

// Makes every per-point vector as long as pointAngle, dropping points that never received
// an azimuth, so that index k means the same point in all four.
void trimToAngledPoints(LidarDataSingleLine& frame);

// Start azimuth of a single-line packet: BE32 / 10000 in single precision.
float singleLineStartAzimuth(const std::uint8_t* packet);

// A single-line packet with start azimuth exactly 270 completes its frame.
inline bool singleLineFrameEnds(float startAzimuth) { return startAzimuth == 270.0f; }

// Appends the 250 points of a single-line packet; returns true when it completes the frame
// (singleLineFrameEnds).
bool appendSingleLinePacket(LidarDataSingleLine& frame, const std::uint8_t* packet);

}  // namespace k740
