// Building one frame's clouds and table rows without a window: colours per point, the table's
// first thirty visible points in their fixed formats, the angle limit, points without echo
// and the split into the highlighted region.
#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <cstdint>
#include <tuple>
#include <vector>

#include "display/cloud_builder.h"

namespace {

using k740::CloudPoint;

struct Pt {
    double azimuth;      // degrees
    double rawDistance;  // count as the sensor sends it
    int intensity;
    std::uint64_t timeStamp;
};

LidarDataSingleLine frameOf(const std::vector<Pt>& points) {
    LidarDataSingleLine f;
    for (const Pt& p : points) {
        f.pointAngle.push_back(p.azimuth);
        f.distance.push_back(p.rawDistance);
        f.intensity.push_back(p.intensity);
        f.timeStamp.push_back(p.timeStamp);
    }
    return f;
}

struct Built {
    k740::Cloud scratch, realTime, clicked;
    std::vector<k740::TableRow> rows;
    k740::CloudBuildCounts counts;
};

Built build(LidarDataSingleLine frame, const k740::CloudOptions& options) {
    Built b;
    b.counts = k740::buildFrameClouds(frame, options, b.scratch, b.realTime, b.clicked, b.rows);
    return b;
}

std::tuple<int, int, int> rgb(const CloudPoint& p) { return {p.r, p.g, p.b}; }

TEST(CloudBuilder, EachPointTakesTheColourOfItsModeAndItsOwnValues) {
    const LidarDataSingleLine frame =
        frameOf({{10.0, 800, 0, 1}, {100.0, 800, 200, 2}, {300.0, 800, 31, 3}});
    k740::CloudOptions options;
    options.colourMode = k740::kColourIntensity;
    Built b = build(frame, options);
    ASSERT_EQ(b.realTime.size(), 3u);
    EXPECT_EQ(rgb(b.realTime[0]), std::make_tuple(0, 0, 255));
    EXPECT_EQ(rgb(b.realTime[1]), std::make_tuple(255, 110, 0));
    EXPECT_EQ(rgb(b.realTime[2]), std::make_tuple(0, 248, 255));

    options.colourMode = k740::kColourAzimuth;
    b = build(frame, options);
    EXPECT_EQ(rgb(b.realTime[0]), std::make_tuple(0, 255, 255));
    EXPECT_EQ(rgb(b.realTime[1]), std::make_tuple(0, 125, 192));
    EXPECT_EQ(rgb(b.realTime[2]), std::make_tuple(255, 255, 0));
}

TEST(CloudBuilder, TableListsTheFirstThirtyVisiblePointsInFixedFormats) {
    std::vector<Pt> points;
    points.push_back({90.0, 63.5, 7, 123456789012ULL});  // 12.7 cm along +x
    points.push_back({10.0, 0.0, 5, 2});                 // no echo: neither drawn nor listed
    for (int i = 0; i < 40; ++i)
        points.push_back({20.0 + i, 500.0 + i, i, 1000ULL + std::uint64_t(i)});
    k740::CloudOptions options;
    options.viewMode = 1;
    const Built b = build(frameOf(points), options);

    ASSERT_EQ(b.rows.size(), 30u);
    const k740::TableRow& first = b.rows[0];
    EXPECT_EQ(first[0], QStringLiteral("0"));
    EXPECT_EQ(first[1], QStringLiteral("12.7000 0.0000 0.0000"));
    EXPECT_EQ(first[2], QStringLiteral("90.000"));
    EXPECT_EQ(first[3], QStringLiteral("12.7000"));
    EXPECT_EQ(first[4], QStringLiteral("7"));
    EXPECT_EQ(first[5], QStringLiteral("123456789012"));
    // Row 29 is the 29th generated point: 48 degrees, 528 counts = 105.6 cm.
    const k740::TableRow& last = b.rows[29];
    EXPECT_EQ(last[0], QStringLiteral("29"));
    EXPECT_EQ(last[2], QStringLiteral("48.000"));
    EXPECT_EQ(last[3], QStringLiteral("105.6000"));
    EXPECT_EQ(last[4], QStringLiteral("28"));
    EXPECT_EQ(last[5], QStringLiteral("1028"));
    const QStringList xyz = last[1].split(QLatin1Char(' '));
    ASSERT_EQ(xyz.size(), 3);
    for (const QString& v : xyz)
        EXPECT_EQ(v.section(QLatin1Char('.'), 1).size(), 4) << v.toStdString();

    EXPECT_EQ(b.realTime.size(), 41u);
    // The scratch cloud takes every computed point, the one without echo too.
    EXPECT_EQ(b.scratch.size(), 42u);
    EXPECT_EQ(b.counts.computed, 42u);
    EXPECT_EQ(b.counts.visible, 41u);
}

TEST(CloudBuilder, AngleLimitHidesPointsBeyondItFromCloudAndTable) {
    k740::CloudOptions options;
    options.viewMode = 1;
    options.angleLimit = 90.0f;
    LidarDataSingleLine frame = frameOf({{10.0, 400, 1, 1},
                                         {90.0, 400, 2, 2},
                                         {90.5, 400, 3, 3},
                                         {180.0, 400, 4, 4},
                                         {269.5, 400, 5, 5},
                                         {270.0, 400, 6, 6},
                                         {350.0, 400, 7, 7}});
    k740::Cloud scratch, realTime, clicked;
    std::vector<k740::TableRow> rows;
    k740::buildFrameClouds(frame, options, scratch, realTime, clicked, rows);
    ASSERT_EQ(rows.size(), 4u);
    const char* listed[] = {"10.000", "90.000", "270.000", "350.000"};
    for (int r = 0; r < 4; ++r) EXPECT_EQ(rows[std::size_t(r)][2], QLatin1String(listed[r]));
    EXPECT_EQ(realTime.size(), 4u);
    EXPECT_EQ(scratch.size(), 7u);
    // Hidden points leave the frame with distance 0, the others scaled (protocol 1.6: / 0.5).
    EXPECT_EQ(frame.distance[2], 0.0);
    EXPECT_EQ(frame.distance[0], 800.0);
}

TEST(CloudBuilder, PointsInsideTheSelectionBoxGoToTheClickedCloud) {
    // Nothing picked: the box is the origin, which in view mode 1 catches points within 1 cm.
    k740::CloudOptions options;
    options.viewMode = 0;
    Built b = build(frameOf({{45.0, 2, 10, 1}, {45.0, 600, 10, 2}}), options);
    ASSERT_EQ(b.clicked.size(), 1u);
    EXPECT_EQ(b.clicked[0].x, 0.0f);
    EXPECT_EQ(b.realTime.size(), 1u);

    // A picked region: bounds inclusive, the region hook sees each point in it, no table rows.
    options.viewMode = 1;
    options.box = {10, 20, -1, 1, 0, 0};
    options.selectionActive = true;
    LidarDataSingleLine frame = frameOf({{90.0, 50, 1, 1},     // x 10 cm: on the lower bound
                                         {90.0, 100, 1, 2},    // x 20 cm: on the upper bound
                                         {90.0, 106, 1, 3},    // x 21.2 cm: outside
                                         {270.0, 50, 1, 4}});  // x -10 cm: outside
    k740::Cloud scratch, realTime, clicked;
    std::vector<k740::TableRow> rows;
    std::vector<std::size_t> hooked;
    k740::buildFrameClouds(frame, options, scratch, realTime, clicked, rows,
                           [&](const CloudPoint&, std::size_t index) { hooked.push_back(index); });
    EXPECT_EQ(hooked, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(clicked.size(), 2u);
    EXPECT_EQ(realTime.size(), 2u);
    EXPECT_TRUE(rows.empty());
}

}  // namespace
