// Region picking and its statistics.
#include "display/region_stats.h"

#include <algorithm>

#include "export/number_text.h"

namespace k740 {

std::vector<BoxRow> frameRowsInBox(const LidarDataSingleLine& frame, int protocol, int viewMode,
                                   const SelectionBox& box, int picked) {
    std::vector<BoxRow> rows;
    if (picked <= 0) return rows;
    std::size_t n = std::min(frame.pointAngle.size(), frame.distance.size());
    int k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        // The entries the carry-over left behind are no points of the region; every other
        // entry is, a point without an echo (distance 0) included.
        if (frame.isLeftBehind(i)) continue;
        const double d = scaleDistance(frame.distance[i], protocol);
        const double a = frame.pointAngle[i];
        // The box was made from the drawn cloud: the same coordinates decide what lies in it.
        const PointCm p = pointCoordinates(d, a, viewMode);
        if (!box.contains(p.x, p.y, p.z)) continue;
        if (k == picked) k = 0;
        BoxRow r;
        r.row = k++;
        r.p = p;
        r.azimuthDeg = a;
        r.distanceMm = d;
        r.intensity = i < frame.intensity.size() ? frame.intensity[i] : 0;
        r.timeStamp = i < frame.timeStamp.size() ? frame.timeStamp[i] : 0;
        // Rows past `picked` overwrite earlier ones in the table; keep only the latest of each.
        if (rows.size() < static_cast<std::size_t>(picked))
            rows.push_back(r);
        else
            rows[static_cast<std::size_t>(r.row)] = r;
    }
    return rows;
}

void RegionStatistics::reset(int picked) {
    picked_ = picked < 0 ? 0 : picked;
    count_ = 0;
    xMin_ = xMax_ = xSum_ = yMin_ = yMax_ = ySum_ = 0.0f;
    text_.clear();
}

RegionStatistics::Step RegionStatistics::add(float x, float y) {
    Step s;
    if (count_ >= picked_) {
        // A region without points (picked 0) never builds a text: the averages divide by it.
        if (count_ > 0 && picked_ > 0) {
            text_ = regionStatisticsText(xMin_, xMax_, xSum_, yMin_, yMax_, ySum_, picked_);
            s.textRefreshed = true;
        }
        count_ = 0;
    }
    s.row = count_;
    if (count_ == 0) {
        xMin_ = xMax_ = x;
        yMin_ = yMax_ = y;
        xSum_ = ySum_ = 0.0f;
    }
    xMin_ = std::min(xMin_, x);
    xMax_ = std::max(xMax_, x);
    yMin_ = std::min(yMin_, y);
    yMax_ = std::max(yMax_, y);
    xSum_ += x;
    ySum_ += y;
    ++count_;
    return s;
}

std::string regionStatisticsText(float xMin, float xMax, float xSum, float yMin, float yMax, float ySum,
                                 int n) {
    auto f = [](double v) { return fixedText(v, 6); };
    const double div = n > 0 ? n : 1;
    return "x_Min:" + f(xMin) + "    x_Max:" + f(xMax) + "    x_Average:" + f(xSum / div) + "    x_Error:" +
           f(double(xMax) - xMin) + "\ny_Min:" + f(yMin) + "    y_Max:" + f(yMax) + "    y_Average:" +
           f(ySum / div) + "    y_Error:" + f(double(yMax) - yMin);
}

}  // namespace k740
