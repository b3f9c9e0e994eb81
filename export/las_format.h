// LAS 1.2 point clouds of point data format 1: the 227-byte public header and the 28-byte
// point records, laid out as the ASPRS LAS 1.2 format describes them (little-endian, no
// variable-length records). Coordinates are metres stored as whole multiples of 0.0001 m
// with offset 0; the intensity, the point's time as GPS time in seconds and the frame's
// index (modulo 65536) as the point source ID travel with each point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "export/csv_format.h"

namespace k740 {

constexpr std::size_t kLasHeaderSize = 227;     // public header block of version 1.2
constexpr std::size_t kLasPointSize = 28;       // point data record format 1
constexpr std::uint8_t kLasPointFormat = 1;
constexpr double kLasScale = 0.0001;            // metres per coordinate step
// The largest point count the header's 32-bit field holds.
constexpr std::uint64_t kLasMaxPoints = 0xFFFFFFFFull;
// The header's system identifier: who made the file.
extern const char* const kLasSystemIdentifier;

// One point record as stored: coordinates in steps of kLasScale metres.
struct LasPoint {
    std::int32_t x = 0, y = 0, z = 0;
    std::uint16_t intensity = 0;
    std::uint16_t pointSourceId = 0;  // frame index modulo 65536
    double gpsTime = 0.0;             // seconds
};

// The record of one exported point (coordinates in cm, time stamp in microseconds) of the
// frame with the given index (from 0).
LasPoint lasPoint(const ExportPoint& e, std::uint64_t frameIndex);

// Writes the 28 bytes of one record at out.
void encodeLasPoint(const LasPoint& p, std::uint8_t* out);

// What the header says about the points that follow it.
class LasSummary {
public:
    void add(const LasPoint& p);
    std::uint64_t points() const { return points_; }
    // Bounds in coordinate steps; all zero while there is no point.
    std::int32_t min(int axis) const { return points_ ? min_[axis] : 0; }
    std::int32_t max(int axis) const { return points_ ? max_[axis] : 0; }

private:
    std::uint64_t points_ = 0;
    std::int32_t min_[3] = {0, 0, 0};
    std::int32_t max_[3] = {0, 0, 0};
};

// The header fields that are not about the points.
struct LasFileInfo {
    std::string generatingSoftware;  // at most 31 characters are kept
    int creationDayOfYear = 0;       // 1..366
    int creationYear = 0;
};

// Writes the 227 bytes of the public header at out. The point count must not exceed
// kLasMaxPoints (the caller refuses more).
void encodeLasHeader(const LasSummary& summary, const LasFileInfo& info, std::uint8_t* out);

}  // namespace k740
