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

    // Where the live carry-over left entries behind when it moved early points of the next
    // revolution over: among the entries [leftBehindBegin, leftBehindEnd), those it moved
    // (every field set to 0; the others there have an azimuth of 20 degrees or more). They
    // stay in the record but are no measurements. An empty range in every other frame.
    std::size_t leftBehindBegin = 0;
    std::size_t leftBehindEnd = 0;

    void clear() {
        blockAngle.clear();
        distance.clear();
        intensity.clear();
        pointAngle.clear();
        timeStamp.clear();
        leftBehindBegin = leftBehindEnd = 0;
    }
    std::size_t pointCount() const { return pointAngle.size(); }
    // True for an entry the carry-over left behind: by where it lies, not by its values (a
    // measured point may read all zero too).
    bool isLeftBehind(std::size_t i) const {
        return leftBehindBegin <= i && i < leftBehindEnd && i < pointAngle.size() && pointAngle[i] == 0.0;
    }
    bool empty() const { return distance.empty() && pointAngle.empty() && blockAngle.empty(); }
    bool operator==(const LidarDataSingleLine& o) const {
        return blockAngle == o.blockAngle && distance == o.distance && intensity == o.intensity &&
               pointAngle == o.pointAngle && timeStamp == o.timeStamp &&
               leftBehindBegin == o.leftBehindBegin && leftBehindEnd == o.leftBehindEnd;
    }
};
