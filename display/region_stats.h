// Measuring a picked region without widgets: the box over the picked points, the in-box test,
// the stored frame's points inside the box, and the running x/y statistics with their text.
#pragma once

#include <string>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "display/point_math.h"

namespace k740 {

// Bounding box of the picked region in cm; inclusive on all six bounds. All zero while
// nothing is picked, so then only a point exactly at the origin lies in it.
struct SelectionBox {
    float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
    bool contains(float x, float y, float z) const {
        return minX <= x && x <= maxX && minY <= y && y <= maxY && minZ <= z && z <= maxZ;
    }
};

// Copies the points of `cloud` named by the picked indices into `picked` (indices outside the
// cloud are skipped) and sets the box over them. False, with box and picked untouched, when
// no index names a point. Works on any cloud with size(), operator[] and points with x, y, z.
template <class CloudT>
bool pickRegion(const std::vector<int>& indices, const CloudT& cloud, CloudT& picked,
                SelectionBox* box) {
    CloudT kept;
    const std::size_t size = cloud.size();
    for (const int i : indices)
        if (i >= 0 && static_cast<std::size_t>(i) < size)
            kept.push_back(cloud[static_cast<std::size_t>(i)]);
    if (kept.size() == 0) return false;
    SelectionBox b;
    b.minX = b.maxX = kept[0].x;
    b.minY = b.maxY = kept[0].y;
    b.minZ = b.maxZ = kept[0].z;
    for (std::size_t k = 1; k < kept.size(); ++k) {
        const auto& p = kept[k];
        if (p.x < b.minX) b.minX = p.x;
        if (p.x > b.maxX) b.maxX = p.x;
        if (p.y < b.minY) b.minY = p.y;
        if (p.y > b.maxY) b.maxY = p.y;
        if (p.z < b.minZ) b.minZ = p.z;
        if (p.z > b.maxZ) b.maxZ = p.z;
    }
    picked = std::move(kept);
    *box = b;
    return true;
}

// A point of the stored frame that lies in the box, for the data table.
struct BoxRow {
    int row = 0;  // table row; counts from 0 and starts again at 0 after `picked` rows
    PointCm p;
    double azimuthDeg = 0.0;
    double distanceMm = 0.0;  // scaled
    int intensity = 0;
    std::uint64_t timeStamp = 0;
};

// The measured points of a stored frame (raw distances) inside the box, with the coordinates
// the drawn cloud has (the box was made from them). At most `picked` rows are distinct;
// nothing when picked is 0.
std::vector<BoxRow> frameRowsInBox(const LidarDataSingleLine& frame, int protocol, int viewMode,
                                   const SelectionBox& box, int picked);

// The table row c of the running statistics is shown while it lies within the visible rows
// (from the vertical scroll bar's value to that value + 30).
inline bool regionRowVisible(int row, int scrollValue) {
    return scrollValue <= row && row <= scrollValue + 30;
}

// Running x/y statistics of the in-box points, refreshed every `picked` points. Reset when a
// region is picked and when the view is cleared.
class RegionStatistics {
public:
    struct Step {
        int row = 0;                 // table row of this point
        bool textRefreshed = false;  // text() holds new values (before this point was counted)
    };

    void reset(int picked);
    // Feeds one in-box point.
    Step add(float x, float y);

    int picked() const { return picked_; }
    int count() const { return count_; }
    const std::string& text() const { return text_; }

private:
    int picked_ = 0;
    int count_ = 0;
    float xMin_ = 0, xMax_ = 0, xSum_ = 0, yMin_ = 0, yMax_ = 0, ySum_ = 0;
    std::string text_;
};

// "x_Min:… x_Max:… x_Average:… x_Error:…\ny_Min:…" with six decimals; averages over n.
std::string regionStatisticsText(float xMin, float xMax, float xSum, float yMin, float yMax, float ySum,
                             int n);

}  // namespace k740
