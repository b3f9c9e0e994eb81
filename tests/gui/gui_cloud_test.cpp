// Frames reaching the window's live point cloud: the form's lists (colour, view mode,
// protocol) and the angle field feed the cloud builder, its rows fill the data table, the
// pause drops frames, and both clouds keep their ids and actors frame after frame. The
// per-point rules themselves are tested without a window in the core tests.
#include <gtest/gtest.h>
#include <vtkMapper.h>
#include <vtkPolyData.h>

#include <QComboBox>
#include <QStandardItemModel>

#include "display/cloud_builder.h"
#include "app/picking_room.h"
#include "gui_test_support.h"

namespace {

using k740::CloudPoint;

class CloudTest : public ::testing::Test, public WindowFixtureBase {
protected:
    QString cell(int row, int column) {
        QStandardItem* item = tableModelOf(*window)->item(row, column);
        return item ? item->text() : QString();
    }
    static std::tuple<int, int, int> rgb(const CloudPoint& p) { return {p.r, p.g, p.b}; }
};

TEST_F(CloudTest, TheFormsListsAndAngleLimitReachTheCloud) {
    // Protocol 1.6: 63.5 counts at 90 degrees lie 12.7 cm along +x, truncated to 12 in mode 1.
    const LidarDataSingleLine frame = makeFrame({{90.0, 63.5, 9, 1}, {200.0, 63.5, 9, 2}});
    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(0);
    named<QComboBox>(*window, "comboBox_4")->setCurrentIndex(3);  // Azimuth
    window->CalculateCoordinates(frame);
    k740::Cloud cloud = window->realTimeCloud();
    ASSERT_EQ(cloud.size(), 2u);
    EXPECT_EQ(cloud[0].x, 12.0f);
    EXPECT_EQ(rgb(cloud[0]), std::make_tuple(0, 125, 192));

    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(1);
    named<QComboBox>(*window, "comboBox_agree")->setCurrentIndex(1);  // protocol 1.7: twice as far
    named<QComboBox>(*window, "comboBox_4")->setCurrentIndex(4);      // LaserID
    window->CalculateCoordinates(frame);
    cloud = window->realTimeCloud();
    EXPECT_NEAR(cloud[0].x, 25.4, 1e-4);
    EXPECT_EQ(rgb(cloud[0]), std::make_tuple(102, 102, 255));
    // The stored frame keeps the raw counts.
    EXPECT_EQ(window->lastFrame().distance[0], 63.5);

    k740::g_DisplayAngleLimit = 90.0f;
    window->CalculateCoordinates(frame);
    EXPECT_EQ(window->realTimeCloud().size(), 1u);
    EXPECT_EQ(window->frameCloud().size(), 2u);
    k740::g_DisplayAngleLimit = 180.0f;
}

TEST_F(CloudTest, TableShowsTheFirstThirtyRowsAndTheNextFrameOverwritesThem) {
    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(1);
    std::vector<TestPoint> points;
    points.push_back({90.0, 63.5, 7, 123456789012ULL});
    for (int i = 0; i < 40; ++i) points.push_back({20.0 + i, 500.0 + i, i, 1000ULL + i});
    window->CalculateCoordinates(makeFrame(points));
    EXPECT_EQ(window->tableRows(), 30);
    EXPECT_EQ(tableModelOf(*window)->rowCount(), 30);
    EXPECT_EQ(cell(0, 1), QStringLiteral("12.7000 0.0000 0.0000"));
    EXPECT_EQ(cell(0, 5), QStringLiteral("123456789012"));
    EXPECT_EQ(cell(29, 0), QStringLiteral("29"));
    EXPECT_EQ(cell(29, 5), QStringLiteral("1028"));

    // The next frame overwrites the rows from the top.
    window->CalculateCoordinates(makeFrame({{300.0, 100, 3, 77}}));
    EXPECT_EQ(window->tableRows(), 1);
    EXPECT_EQ(cell(0, 2), QStringLiteral("300.000"));
    EXPECT_EQ(cell(0, 5), QStringLiteral("77"));
}

TEST_F(CloudTest, PausedDisplayDropsFramesAndKeepsTheLastOne) {
    const LidarDataSingleLine first = makeFrame({{30.0, 600, 40, 1}, {60.0, 600, 50, 2}});
    window->CalculateCoordinates(first);
    const k740::Cloud before = window->realTimeCloud();
    const QString firstCell = cell(0, 2);

    putInMode(*window, k740::WindowMode::LivePaused);
    window->CalculateCoordinates(makeFrame({{200.0, 900, 10, 9}}));
    EXPECT_TRUE(window->lastFrame() == first);
    EXPECT_EQ(window->realTimeCloud().size(), before.size());
    EXPECT_EQ(window->realTimeCloud()[0].x, before[0].x);
    EXPECT_EQ(cell(0, 2), firstCell);
    EXPECT_EQ(window->framesDrawn(), 1);

    putInMode(*window, k740::WindowMode::Live);
    window->CalculateCoordinates(makeFrame({{200.0, 900, 10, 9}}));
    EXPECT_EQ(window->realTimeCloud().size(), 1u);
    EXPECT_EQ(cell(0, 2), QStringLiteral("200.000"));
}

TEST_F(CloudTest, BothCloudsKeepTheirIdsAndActorsFrameAfterFrame) {
    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(1);
    roomOf<k740::PickingRoom>(*window)->selectBox({10, 20, -1, 1, 0, 0}, 2);
    window->CalculateCoordinates(makeFrame({{90.0, 50, 1, 1}, {270.0, 50, 1, 4}}));
    auto viewer = viewerOf(*window);
    ASSERT_TRUE(viewer->contains("realTime_points"));
    ASSERT_TRUE(viewer->contains("clicked_points"));
    const auto realTimeActor = viewer->getCloudActorMap()->at("realTime_points").actor;
    double size = 0;
    viewer->getPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE, size,
                                             "clicked_points");
    EXPECT_EQ(size, 5.0);
    viewer->getPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE, size,
                                             "realTime_points");
    EXPECT_EQ(size, 1.0);

    // A bigger frame, then a smaller one: the same actor shows exactly the new points.
    std::vector<TestPoint> many;
    for (int i = 0; i < 50; ++i) many.push_back({100.0 + i, 400.0, 1, std::uint64_t(i)});
    window->CalculateCoordinates(makeFrame(many));
    auto shownPoints = [&] {
        vtkMapper* mapper = viewer->getCloudActorMap()->at("realTime_points").actor->GetMapper();
        return vtkPolyData::SafeDownCast(mapper->GetInput())->GetNumberOfPoints();
    };
    EXPECT_EQ(shownPoints(), 50);
    window->CalculateCoordinates(
        makeFrame({{90.0, 50, 1, 1}, {270.0, 50, 1, 4}, {180.0, 70, 1, 5}}));
    EXPECT_EQ(shownPoints(), 2);  // one of the three is in the picked box
    EXPECT_EQ(viewer->getCloudActorMap()->size(), 2u);
    EXPECT_EQ(viewer->getCloudActorMap()->at("realTime_points").actor, realTimeActor);
    EXPECT_EQ(window->clickedCloud().size(), 1u);
}

}  // namespace
