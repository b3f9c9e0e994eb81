// Measuring a picked region: the box from the picked indices, the in-box test, the stored
// frame's rows inside the box, and the running statistics with their text.
#include <gtest/gtest.h>

#include <vector>

#include "display/region_stats.h"

namespace {

using k740::PointCm;
using Cloud = std::vector<PointCm>;

PointCm pt(float x, float y, float z = 0) {
    PointCm p;
    p.x = x;
    p.y = y;
    p.z = z;
    return p;
}

TEST(RegionPick, BoxOverPickedPointsSkipsIndicesBeyondTheCloud) {
    const Cloud cloud = {pt(1, 5), pt(-3, 2), pt(4, -1, 2)};
    Cloud picked;
    k740::SelectionBox box;
    ASSERT_TRUE(k740::pickRegion(std::vector<int>{2, 7, 0, -1, 3}, cloud, picked, &box));
    ASSERT_EQ(picked.size(), 2u);
    EXPECT_EQ(picked[0].x, 4.0f);
    EXPECT_EQ(picked[1].x, 1.0f);
    const float bounds[] = {box.minX, box.maxX, box.minY, box.maxY, box.minZ, box.maxZ};
    const float expected[] = {1, 4, -1, 5, 0, 2};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(bounds[i], expected[i]) << i;

    // Inclusive on all six bounds.
    EXPECT_TRUE(box.contains(1, -1, 0));
    EXPECT_TRUE(box.contains(4, 5, 2));
    EXPECT_FALSE(box.contains(0.999f, 0, 0));
    EXPECT_FALSE(box.contains(2, 5.001f, 1));
    EXPECT_FALSE(box.contains(2, 0, 2.001f));

    // A pick without points (none, or only indices beyond the cloud) changes nothing.
    const Cloud before = picked;
    EXPECT_FALSE(k740::pickRegion(std::vector<int>{}, cloud, picked, &box));
    EXPECT_FALSE(k740::pickRegion(std::vector<int>{3, 5}, cloud, picked, &box));
    ASSERT_EQ(picked.size(), before.size());
    EXPECT_EQ(picked[0].x, before[0].x);
    EXPECT_EQ(box.maxX, 4.0f);
}

TEST(RegionPick, StoredFrameRowsFollowTheDrawnCoordinatesAndWrapAtThePickedCount) {
    // Protocol "1.6": raw / 0.5 mm. 63.5 counts at 90 degrees: x = 12.7 cm, drawn (and so
    // boxed) as 12 in view mode 1; listing it as 13 would put it in a box it was never in.
    LidarDataSingleLine f;
    f.pointAngle = {90.0, 90.0, 90.0, 270.0, 90.0, 0.0};
    f.distance = {63.5, 70.0, 74.0, 63.5, 80.0, 0.0};  // x 12.7, 14, 14.8, -12.7, 16; no echo
    f.intensity = {1, 2, 3, 4, 5, 6};
    f.timeStamp = {10, 20, 30, 40, 50, 60};
    k740::SelectionBox box;
    box.minX = 13;
    box.maxX = 16;
    box.minY = -1;
    box.maxY = 1;
    const std::vector<k740::BoxRow> rows = k740::frameRowsInBox(f, 0, 0, box, 2);
    // Three points in the box (14, 14, 16); rows 0, 1, 0: the later ones stand.
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].row, 0);
    EXPECT_EQ(rows[0].p.x, 16.0f);
    EXPECT_EQ(rows[0].intensity, 5);
    EXPECT_DOUBLE_EQ(rows[0].distanceMm, 160.0);
    EXPECT_EQ(rows[1].row, 1);
    EXPECT_EQ(rows[1].p.x, 14.0f);
    EXPECT_EQ(rows[1].timeStamp, 30u);

    // A box on the upper edge of a drawn point lists it: [12, 12] holds the truncated 12.7.
    box.minX = box.maxX = 12;
    ASSERT_EQ(k740::frameRowsInBox(f, 0, 0, box, 9).size(), 1u);
    EXPECT_EQ(k740::frameRowsInBox(f, 0, 0, box, 9)[0].intensity, 1);

    // View mode 2 keeps 12.7, 14, 14.8 and 16 exact.
    box.minX = 13;
    box.maxX = 16;
    EXPECT_EQ(k740::frameRowsInBox(f, 0, 1, box, 9).size(), 3u);
    EXPECT_TRUE(k740::frameRowsInBox(f, 0, 0, box, 0).empty());

    // A point without an echo sits at the origin and is a point of a region there.
    box = k740::SelectionBox();
    box.minX = box.minY = -20;
    box.maxX = box.maxY = 20;
    const std::vector<k740::BoxRow> nearOrigin = k740::frameRowsInBox(f, 0, 0, box, 9);
    ASSERT_EQ(nearOrigin.size(), 6u);
    EXPECT_EQ(nearOrigin.back().intensity, 6);
}

TEST(RegionStatistics, RefreshedAfterNPointsWithAveragesOverN) {
    k740::RegionStatistics s;
    s.reset(4);
    const float xs[] = {1, 3, 2, 6}, ys[] = {-1, 0, 5, 4};
    for (int frame = 0; frame < 2; ++frame) {
        for (int k = 0; k < 4; ++k) {
            const k740::RegionStatistics::Step step = s.add(xs[k] + frame, ys[k]);
            EXPECT_EQ(step.row, k);
            // The first point of the second frame closes the first frame's four.
            EXPECT_EQ(step.textRefreshed, frame == 1 && k == 0);
        }
    }
    // Text of the first frame: x 1..6 sum 12, y -1..5 sum 8.
    EXPECT_EQ(s.text(),
              "x_Min:1.000000    x_Max:6.000000    x_Average:3.000000    x_Error:5.000000\n"
              "y_Min:-1.000000    y_Max:5.000000    y_Average:2.000000    y_Error:6.000000");
    // The fifth point of a frame (more in the box than were picked) starts a new round.
    s.add(0, 0);
    EXPECT_EQ(s.text().rfind("x_Min:2.000000    x_Max:7.000000    x_Average:4.000000", 0), 0u);
}

TEST(RegionStatistics, ResetStartsAfreshAndNoRegionBuildsNoText) {
    k740::RegionStatistics s;
    s.reset(2);
    s.add(100, 100);
    s.reset(2);  // a new pick: the old point does not count
    s.add(1, 1);
    s.add(3, 3);
    s.add(0, 0);
    EXPECT_NE(s.text().find("x_Average:2.000000"), std::string::npos);

    // With nothing picked the averages would divide by zero: no text, however many points.
    s.reset(0);
    EXPECT_TRUE(s.text().empty());
    for (int i = 0; i < 10; ++i) EXPECT_FALSE(s.add(float(i), 0).textRefreshed);
    EXPECT_TRUE(s.text().empty());
}

}  // namespace
