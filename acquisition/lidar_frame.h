// One frame (one revolution) of measurements, as five parallel vectors.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct LidarDataSingleLine {
    std::vector<double> blockAngle;      // one entry per decoded block, degrees, 0 <= a < 360
    std::vector<double> distance;        // raw distance count per point (unscaled)
    std::vector<int> intensity;          // 0..255 per point
    std::vector<double> pointAngle;      // azimuth per point, degrees
    std::vector<std::uint64_t> timeStamp;  // per point, in the unit of the packet time stamp

    void clear() {
        blockAngle.clear();
        distance.clear();
        intensity.clear();
        pointAngle.clear();
        timeStamp.clear();
    }
    std::size_t pointCount() const { return pointAngle.size(); }
    // True for an entry the live carry-over left behind when it moved the point to the next
    // revolution: every field zero. It stays in the record but is no measurement.
    bool isZeroedEntry(std::size_t i) const {
        return i < pointAngle.size() && i < distance.size() && i < intensity.size() &&
               i < timeStamp.size() && pointAngle[i] == 0.0 && distance[i] == 0.0 &&
               intensity[i] == 0 && timeStamp[i] == 0;
    }
    bool empty() const { return distance.empty() && pointAngle.empty() && blockAngle.empty(); }
    bool operator==(const LidarDataSingleLine& o) const {
        return blockAngle == o.blockAngle && distance == o.distance && intensity == o.intensity &&
               pointAngle == o.pointAngle && timeStamp == o.timeStamp;
    }
};
