// Frames becoming the live point cloud: scaling, coordinates, truncation, the angle limit, the
// colour modes with their 8-bit wrap-around, the data table, the pause drop and the split into
// the highlighted region.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QStandardItemModel>

#include "display/cloud_builder.h"
#include "gui_test_support.h"
#include "app/manwindow_form.h"

namespace {

using k740::CloudPoint;

class CloudTest : public ::testing::Test, public WindowFixtureBase {
protected:
    Ui::manwindowClass* ui() { return window->form(); }
    QString cell(int row, int column) {
        QStandardItem* item = window->tableModel()->item(row, column);
        return item ? item->text() : QString();
    }
    static std::tuple<int, int, int> rgb(const CloudPoint& p) { return {p.r, p.g, p.b}; }
};

// Points at 45 degrees, one per intensity, in frame order.
LidarDataSingleLine intensityFrame(const std::vector<int>& intensities) {
    std::vector<TestPoint> points;
    for (std::size_t i = 0; i < intensities.size(); ++i)
        points.push_back({45.0 + 0.01 * double(i), 1000.0 + double(i), intensities[i], i});
    return makeFrame(points);
}

TEST_F(CloudTest, IntensityModeWrapsEachChannelToEightBits) {
    ui()->comboBox_4->setCurrentIndex(0);
    const std::vector<std::pair<int, std::tuple<int, int, int>>> expected = {
        {0, {0, 0, 255}},     {31, {0, 248, 255}},  {32, {0, 255, 255}},  {63, {0, 255, 131}},
        {64, {192, 255, 0}},  {79, {252, 255, 0}},  {80, {0, 255, 0}},    {127, {188, 255, 0}},
        {128, {255, 254, 0}}, {200, {255, 110, 0}}, {255, {255, 0, 0}},
    };
    std::vector<int> intensities;
    for (const auto& e : expected) intensities.push_back(e.first);
    window->CalculateCoordinates(intensityFrame(intensities));
    const k740::Cloud cloud = window->realTimeCloud();
    ASSERT_EQ(cloud.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(rgb(cloud[i]), expected[i].second) << "intensity " << expected[i].first;
}

TEST_F(CloudTest, SolidElevationAzimuthAndLaserIdModes) {
    const LidarDataSingleLine frame = makeFrame({{0.0, 800, 10, 1},
                                                 {89.99, 800, 20, 2},
                                                 {90.0, 800, 30, 3},
                                                 {179.9, 800, 40, 4},
                                                 {180.0, 800, 50, 5},
                                                 {269.9, 800, 60, 6},
                                                 {270.0, 800, 70, 7},
                                                 {359.9, 800, 80, 8}});
    ui()->comboBox_4->setCurrentIndex(1);
    window->CalculateCoordinates(frame);
    for (const CloudPoint& p : window->realTimeCloud()) EXPECT_EQ(rgb(p), std::make_tuple(255, 255, 255));

    // This sensor measures in the horizontal plane (z = 0), which the elevation scale paints blue.
    ui()->comboBox_4->setCurrentIndex(2);
    window->CalculateCoordinates(frame);
    for (const CloudPoint& p : window->realTimeCloud()) {
        EXPECT_EQ(p.z, 0.0f);
        EXPECT_EQ(rgb(p), std::make_tuple(0, 0, 255));
    }

    ui()->comboBox_4->setCurrentIndex(3);
    window->CalculateCoordinates(frame);
    const std::tuple<int, int, int> quadrant[] = {{0, 255, 255}, {0, 125, 192}, {0, 255, 0}, {255, 255, 0}};
    const k740::Cloud azimuth = window->realTimeCloud();
    ASSERT_EQ(azimuth.size(), 8u);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(rgb(azimuth[i]), quadrant[i / 2]) << i;

    ui()->comboBox_4->setCurrentIndex(4);
    window->CalculateCoordinates(frame);
    for (const CloudPoint& p : window->realTimeCloud()) EXPECT_EQ(rgb(p), std::make_tuple(102, 102, 255));
}

TEST_F(CloudTest, ViewModeOneTruncatesTowardZeroAndProtocolsScaleDistances) {
    // Protocol 1.6: raw / 0.5 mm. 63.5 counts at 90 degrees lie 12.7 cm along +x; at 270 along -x.
    const LidarDataSingleLine frame = makeFrame({{90.0, 63.5, 9, 1}, {270.0, 63.5, 9, 2}});
    ui()->comboBox_degree->setCurrentIndex(0);
    window->CalculateCoordinates(frame);
    k740::Cloud cloud = window->realTimeCloud();
    ASSERT_EQ(cloud.size(), 2u);
    EXPECT_EQ(cloud[0].x, 12.0f);
    EXPECT_EQ(cloud[1].x, -12.0f);
    EXPECT_EQ(cloud[0].y, 0.0f);

    ui()->comboBox_degree->setCurrentIndex(1);
    window->CalculateCoordinates(frame);
    cloud = window->realTimeCloud();
    EXPECT_NEAR(cloud[0].x, 12.7, 1e-4);
    EXPECT_NEAR(cloud[1].x, -12.7, 1e-4);
    EXPECT_NEAR(cloud[0].y, 0.0, 1e-4);

    // Protocol 1.7: raw / 0.25 mm, so the same counts lie twice as far.
    ui()->comboBox_agree->setCurrentIndex(1);
    window->CalculateCoordinates(frame);
    EXPECT_NEAR(window->realTimeCloud()[0].x, 25.4, 1e-4);
    // The stored frame keeps the raw counts.
    EXPECT_EQ(window->lastFrame().distance[0], 63.5);
}

TEST_F(CloudTest, TableListsTheFirstThirtyVisiblePointsInFixedFormats) {
    ui()->comboBox_degree->setCurrentIndex(1);
    std::vector<TestPoint> points;
    points.push_back({90.0, 63.5, 7, 123456789012ULL});  // 12.7 cm along +x
    points.push_back({10.0, 0.0, 5, 2});                 // no echo: neither drawn nor listed
    for (int i = 0; i < 40; ++i) points.push_back({20.0 + i, 500.0 + i, i, 1000ULL + i});
    window->CalculateCoordinates(makeFrame(points));

    EXPECT_EQ(window->tableRows(), 30);
    EXPECT_EQ(window->tableModel()->rowCount(), 30);
    EXPECT_EQ(cell(0, 0), QStringLiteral("0"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("12.7000 0.0000 0.0000"));
    EXPECT_EQ(cell(0, 2), QStringLiteral("90.000"));  // nothing was picked: each point takes row 0
    EXPECT_EQ(cell(0, 3), QStringLiteral("12.7000"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("7"));
    EXPECT_EQ(cell(0, 5), QStringLiteral("123456789012"));
    // Row 29 is the 29th of the generated points: 48 degrees, 528 counts = 105.6 cm.
    EXPECT_EQ(cell(29, 0), QStringLiteral("29"));
    EXPECT_EQ(cell(29, 2), QStringLiteral("48.000"));
    EXPECT_EQ(cell(29, 3), QStringLiteral("105.6000"));
    EXPECT_EQ(cell(29, 4), QStringLiteral("28"));
    EXPECT_EQ(cell(29, 5), QStringLiteral("1028"));
    const QStringList xyz = cell(29, 1).split(QLatin1Char(' '));
    ASSERT_EQ(xyz.size(), 3);
    for (const QString& v : xyz) EXPECT_EQ(v.section(QLatin1Char('.'), 1).size(), 4) << v.toStdString();
    EXPECT_EQ(window->realTimeCloud().size(), 41u);
    // The scratch cloud takes every computed point, the one without echo too.
    EXPECT_EQ(window->frameCloud().size(), 42u);

    // The next frame overwrites the rows from the top.
    window->CalculateCoordinates(makeFrame({{300.0, 100, 3, 77}}));
    EXPECT_EQ(window->tableRows(), 1);
    EXPECT_EQ(cell(0, 2), QStringLiteral("300.000"));
    EXPECT_EQ(cell(0, 5), QStringLiteral("77"));
}

TEST_F(CloudTest, AngleLimitHidesPointsBeyondItFromViewAndTable) {
    k740::g_DisplayAngleLimit = 90.0f;
    ui()->comboBox_degree->setCurrentIndex(1);
    window->CalculateCoordinates(makeFrame({{10.0, 400, 1, 1},
                                            {90.0, 400, 2, 2},
                                            {90.5, 400, 3, 3},
                                            {180.0, 400, 4, 4},
                                            {269.5, 400, 5, 5},
                                            {270.0, 400, 6, 6},
                                            {350.0, 400, 7, 7}}));
    const k740::Cloud cloud = window->realTimeCloud();
    ASSERT_EQ(cloud.size(), 4u);
    EXPECT_EQ(window->tableRows(), 4);
    const char* listed[] = {"10.000", "90.000", "270.000", "350.000"};
    for (int r = 0; r < 4; ++r) EXPECT_EQ(cell(r, 2), QLatin1String(listed[r]));
    EXPECT_EQ(window->frameCloud().size(), 7u);
    k740::g_DisplayAngleLimit = 180.0f;
}

TEST_F(CloudTest, PausedDisplayDropsFramesAndKeepsTheLastOne) {
    const LidarDataSingleLine first = makeFrame({{30.0, 600, 40, 1}, {60.0, 600, 50, 2}});
    window->CalculateCoordinates(first);
    const k740::Cloud before = window->realTimeCloud();
    const QString firstCell = cell(0, 2);

    ManwindowProbe::displayRunning(*window) = false;
    window->CalculateCoordinates(makeFrame({{200.0, 900, 10, 9}}));
    EXPECT_TRUE(window->lastFrame() == first);
    EXPECT_EQ(window->realTimeCloud().size(), before.size());
    EXPECT_EQ(window->realTimeCloud()[0].x, before[0].x);
    EXPECT_EQ(cell(0, 2), firstCell);
    EXPECT_EQ(window->framesDrawn(), 1);

    ManwindowProbe::displayRunning(*window) = true;
    window->CalculateCoordinates(makeFrame({{200.0, 900, 10, 9}}));
    EXPECT_EQ(window->realTimeCloud().size(), 1u);
    EXPECT_EQ(cell(0, 2), QStringLiteral("200.000"));
}

TEST_F(CloudTest, PointsInsideTheSelectionBoxGoToTheClickedCloud) {
    // Nothing picked: the box is the origin, which in view mode 1 catches points within 1 cm.
    ui()->comboBox_degree->setCurrentIndex(0);
    window->CalculateCoordinates(makeFrame({{45.0, 2, 10, 1}, {45.0, 600, 10, 2}}));
    ASSERT_EQ(window->clickedCloud().size(), 1u);
    EXPECT_EQ(window->clickedCloud()[0].x, 0.0f);
    EXPECT_EQ(window->realTimeCloud().size(), 1u);

    // A picked region: bounds inclusive; the per-frame table gives way to the region's points.
    ui()->comboBox_degree->setCurrentIndex(1);
    ManwindowProbe::selectionBox(*window) = {10, 20, -1, 1, 0, 0};
    ManwindowProbe::selectionActive(*window) = true;
    const QString rowBefore = cell(0, 2);
    window->CalculateCoordinates(makeFrame({{90.0, 50, 1, 1},     // x 10 cm: on the lower bound
                                            {90.0, 100, 1, 2},    // x 20 cm: on the upper bound
                                            {90.0, 106, 1, 3},    // x 21 cm: outside
                                            {270.0, 50, 1, 4}}));  // x -10 cm: outside
    EXPECT_EQ(window->clickedCloud().size(), 2u);
    EXPECT_EQ(window->realTimeCloud().size(), 2u);
    EXPECT_EQ(window->tableRows(), 0);
    EXPECT_NE(cell(0, 2), rowBefore);
    EXPECT_EQ(cell(0, 2), QStringLiteral("90.000"));  // nothing was picked: each point takes row 0

    // Both clouds are shown under their ids and replaced, not appended, frame after frame.
    auto viewer = window->viewer();
    EXPECT_TRUE(viewer->contains("realTime_points"));
    EXPECT_TRUE(viewer->contains("clicked_points"));
    double size = 0;
    viewer->getPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE, size, "clicked_points");
    EXPECT_EQ(size, 5.0);
    viewer->getPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE, size, "realTime_points");
    EXPECT_EQ(size, 1.0);
    EXPECT_EQ(viewer->getCloudActorMap()->size(), 2u);
}

TEST(CloudBuilder, CallsTheRegionHookForEachPointInTheBox) {
    k740::CloudOptions options;
    options.viewMode = 1;
    options.box = {-100, 100, -100, 100, 0, 0};
    LidarDataSingleLine frame = makeFrame({{0.0, 100, 1, 1}, {0.0, 1000, 1, 2}, {180.0, 100, 1, 3}});
    k740::Cloud scratch, realTime, clicked;
    std::vector<k740::TableRow> rows;
    std::vector<std::size_t> hooked;
    const k740::CloudBuildCounts counts = k740::buildFrameClouds(
        frame, options, scratch, realTime, clicked, rows,
        [&](const CloudPoint&, std::size_t index) { hooked.push_back(index); });
    EXPECT_EQ(counts.computed, 3u);
    EXPECT_EQ(counts.visible, 3u);
    EXPECT_EQ(hooked, (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(clicked.size(), 2u);
    EXPECT_EQ(realTime.size(), 1u);
    // Distances are scaled in place (protocol 1.6: / 0.5).
    EXPECT_EQ(frame.distance[1], 2000.0);
}

}  // namespace
