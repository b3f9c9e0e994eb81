// The 3-D viewer: preset cameras fitted to the scene, axes, the measuring grid, clearing,
// keyboard focus and the point-size keys, and the cursor read-out.
#include <gtest/gtest.h>
#include <vtkActor.h>
#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkMapper.h>
#include <vtkPolyData.h>
#include <vtkPropCollection.h>
#include <vtkProperty.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QStandardItemModel>
#include <QToolButton>
#include <array>
#include <cmath>

#include "display/viewer_geometry.h"
#include "app/picking_room.h"
#include "gui_test_support.h"

namespace {

class ViewerTest : public ::testing::Test, public WindowFixtureBase {
protected:
    vtkRenderer* renderer() {
        return named<QVTKOpenGLNativeWidget>(*window, "screen")->renderWindow()->GetRenderers()->GetFirstRenderer();
    }
    int props() { return renderer()->GetViewProps()->GetNumberOfItems(); }
    std::size_t shapes() { return viewerOf(*window)->getShapeActorMap()->size(); }
    std::size_t clouds() { return viewerOf(*window)->getCloudActorMap()->size(); }
    void key(char code, const char* sym) {
        vtkRenderWindowInteractor* iren = named<QVTKOpenGLNativeWidget>(*window, "screen")->interactor();
        iren->SetKeyEventInformation(0, 0, code, 1, sym);
        iren->InvokeEvent(vtkCommand::KeyPressEvent, nullptr);
        iren->InvokeEvent(vtkCommand::KeyReleaseEvent, nullptr);
    }
};

void expectVector(const double* v, double x, double y, double z, double tolerance = 1e-9) {
    EXPECT_NEAR(v[0], x, tolerance);
    EXPECT_NEAR(v[1], y, tolerance);
    EXPECT_NEAR(v[2], z, tolerance);
}

// The direction of view (unit vector from the camera to its focal point).
std::array<double, 3> direction(const double* from, const double* to) {
    std::array<double, 3> d = {to[0] - from[0], to[1] - from[1], to[2] - from[2]};
    const double n = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    for (double& v : d) v /= n;
    return d;
}

TEST_F(ViewerTest, EveryPresetKeepsItsDirectionAndViewUpAndShowsTheWholeCloud) {
    // A cloud 20 m across, well away from the origin the presets look at.
    window->CalculateCoordinates(makeFrame(
        {{10.0, 3000, 9, 1}, {100.0, 5000, 9, 2}, {200.0, 4000, 9, 3}, {300.0, 2000, 9, 4}}));
    const k740::Cloud cloud = window->realTimeCloud();
    ASSERT_EQ(cloud.size(), 4u);
    vtkCamera* camera = renderer()->GetActiveCamera();
    for (int index : {1, 2, 0}) {        // Top, Left, Front (each a change of the list)
        camera->SetPosition(0, 0, 1e6);  // somewhere the operator left it
        camera->SetFocalPoint(0, 0, 0);
        named<QComboBox>(*window, "comboBox_View")->setCurrentIndex(index);
        k740::CameraPreset preset;
        ASSERT_TRUE(k740::presetView(index, &preset));
        const auto want = direction(preset.position, preset.focalPoint);
        const auto got = direction(camera->GetPosition(), camera->GetFocalPoint());
        expectVector(got.data(), want[0], want[1], want[2], 1e-6);
        // The view-up stays the preset's, kept perpendicular to the direction of view.
        const double* up = camera->GetViewUp();
        EXPECT_GT(up[0] * preset.viewUp[0] + up[1] * preset.viewUp[1] + up[2] * preset.viewUp[2],
                  0.98)
            << index;
        // Every point lies inside the camera's view volume (planes face inwards).
        double planes[24];
        camera->GetFrustumPlanes(renderer()->GetTiledAspectRatio(), planes);
        for (const k740::CloudPoint& p : cloud)
            for (int k = 0; k < 6; ++k)
                EXPECT_GE(planes[4 * k] * p.x + planes[4 * k + 1] * p.y + planes[4 * k + 2] * p.z +
                              planes[4 * k + 3],
                          0.0)
                    << "preset " << index << " plane " << k << " point " << p.x << "," << p.y;
    }
}

TEST_F(ViewerTest, PresetsWithNothingShownStandBackAndChoosingTheShownOneAppliesItAgain) {
    vtkCamera* camera = renderer()->GetActiveCamera();
    named<QComboBox>(*window, "comboBox_View")->setCurrentIndex(1);  // Top, nothing shown yet
    // Not a centimetre from the origin: far enough to take in metres of the plane.
    EXPECT_GT(camera->GetDistance(), 500.0);
    expectVector(camera->GetViewUp(), 0, 1, 0);

    // The operator turns the view, then picks "Top" again from the list.
    camera->SetPosition(300, -200, 50);
    emit named<QComboBox>(*window, "comboBox_View")->activated(1);
    const auto got = direction(camera->GetPosition(), camera->GetFocalPoint());
    expectVector(got.data(), 0, 0, -1, 1e-6);
    EXPECT_GT(camera->GetDistance(), 500.0);
}

TEST_F(ViewerTest, PointerEnteringTheViewGivesItKeyboardFocus) {
    named<QComboBox>(*window, "comboBox_View")->setFocus();
    QWidget* screen = named<QVTKOpenGLNativeWidget>(*window, "screen");
    ASSERT_NE(window->focusWidget(), screen);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(screen, &enter);
    EXPECT_EQ(window->focusWidget(), screen);
}

TEST_F(ViewerTest, AxesToggleAddsAndRemovesTheCoordinateSystem) {
    const int before = props();
    named<QToolButton>(*window, "toolButton_Coor")->click();
    EXPECT_TRUE(window->axesShown());
    EXPECT_EQ(props(), before + 1);
    named<QToolButton>(*window, "toolButton_Coor")->click();
    EXPECT_FALSE(window->axesShown());
    EXPECT_EQ(props(), before);
}

// Line cells of a grid shape as drawn, with its look.
vtkIdType lineCells(pcl::visualization::PCLVisualizer& viewer, const char* id, double* opacity) {
    vtkActor* actor = vtkActor::SafeDownCast(viewer.getShapeActorMap()->at(id));
    if (!actor) return -1;
    *opacity = actor->GetProperty()->GetOpacity();
    return vtkPolyData::SafeDownCast(actor->GetMapper()->GetInput())->GetNumberOfLines();
}

TEST_F(ViewerTest, GridDrawsItsLinesRingsAndLabelsInAFewShapes) {
    auto viewer = viewerOf(*window);
    vtkCamera* camera = renderer()->GetActiveCamera();
    camera->SetPosition(1e6, 1e6, 1e6);
    const int before = props();
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    EXPECT_FALSE(window->gridHidden());
    // One shape of 51 lines each way, one of 25 rings of 36 chords, one per label.
    EXPECT_EQ(shapes(), 2u + 13u);
    EXPECT_EQ(props(), before + 15);
    double opacity = 0;
    EXPECT_EQ(lineCells(*viewer, "grid_lines", &opacity), 102);
    EXPECT_EQ(opacity, k740::kGridOpacity);
    EXPECT_EQ(lineCells(*viewer, "grid_rings", &opacity), 900);
    EXPECT_EQ(opacity, k740::kGridOpacity);
    EXPECT_TRUE(viewer->contains("Circle50"));  // the labels' ids are the geometry test's
    // The camera was reset to take in the grid.
    EXPECT_LT(camera->GetPosition()[0], 1e5);

    // With a cloud to look at, hiding the grid resets the camera onto it.
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {200.0, 500, 9, 2}}));
    camera->SetPosition(1e6, 1e6, 1e6);
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    EXPECT_TRUE(window->gridHidden());
    EXPECT_EQ(shapes(), 0u);
    EXPECT_FALSE(viewer->contains("grid_lines"));
    EXPECT_LT(camera->GetPosition()[0], 1e5);
}

TEST_F(ViewerTest, HidingTheGridKeepsTheAxesAndTheirFlag) {
    named<QToolButton>(*window, "toolButton_Coor")->click();
    const int withAxes = props();
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    EXPECT_TRUE(window->axesShown());
    EXPECT_EQ(props(), withAxes);
}

TEST_F(ViewerTest, ClearWithAxesShownEndsWithAxesAndNothingElse) {
    named<QToolButton>(*window, "toolButton_Coor")->click();
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {20.0, 500, 9, 2}}));
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    roomOf<k740::PickingRoom>(*window)->selectBox({1, 2, 3, 4, 5, 6}, 7);
    ASSERT_EQ(clouds(), 2u);
    ASSERT_GT(shapes(), 0u);
    ASSERT_GT(tableModelOf(*window)->rowCount(), 0);

    named<QToolButton>(*window, "toolButton_clear")->click();
    EXPECT_EQ(clouds(), 0u);
    EXPECT_EQ(shapes(), 0u);
    EXPECT_TRUE(window->axesShown());
    EXPECT_EQ(tableModelOf(*window)->rowCount(), 0);
    EXPECT_EQ(tableModelOf(*window)->columnCount(), 6);
    EXPECT_FALSE(roomOf<k740::PickingRoom>(*window)->selection().active);
    EXPECT_EQ(roomOf<k740::PickingRoom>(*window)->selection().box.maxZ, 0.0f);
    EXPECT_EQ(roomOf<k740::PickingRoom>(*window)->selection().pickedCount, 0);

    // The grid went with the clear and the window knows it: "MeaGrid" draws it again.
    EXPECT_TRUE(window->gridHidden());
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    EXPECT_FALSE(window->gridHidden());
    EXPECT_TRUE(viewerOf(*window)->contains("grid_rings"));
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();

    // The axes are there: taking them away removes one prop.
    const int withAxes = props();
    named<QToolButton>(*window, "toolButton_Coor")->click();
    EXPECT_EQ(props(), withAxes - 1);
}

TEST_F(ViewerTest, PlusAndMinusKeysChangeThePointSizeWithinOneToTen) {
    for (int i = 0; i < 12; ++i) key('+', "plus");
    EXPECT_EQ(window->pointSize(), 10);
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}}));
    double size = 0;
    viewerOf(*window)->getPointCloudRenderingProperties(
        pcl::visualization::PCL_VISUALIZER_POINT_SIZE, size, "realTime_points");
    EXPECT_EQ(size, 10.0);
    for (int i = 0; i < 3; ++i) key('-', "minus");
    EXPECT_EQ(window->pointSize(), 7);
    for (int i = 0; i < 12; ++i) key('-', "minus");
    EXPECT_EQ(window->pointSize(), 1);
    key('a', "a");
    EXPECT_EQ(window->pointSize(), 1);
}

TEST_F(ViewerTest, OtherKeysTypedOverTheViewChangeNothingAndAStrayXCannotArmPicking) {
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {20.0, 600, 9, 2}}));
    vtkCamera* camera = renderer()->GetActiveCamera();
    double before[3];
    camera->GetPosition(before);
    const QStringList shotsBefore = QDir::current().entryList({QStringLiteral("screenshot*")});
    // The visualizer's own letters: picking, screenshots, styles, camera resets, quitting.
    for (const char* k : {"x", "j", "u", "g", "r", "f", "l", "s", "w", "p", "e", "q", "o", "c"})
        key(k[0], k);
    expectVector(camera->GetPosition(), before[0], before[1], before[2]);
    EXPECT_EQ(QDir::current().entryList({QStringLiteral("screenshot*")}), shotsBefore);
    EXPECT_EQ(window->pointSize(), 1);

    // Frames keep coming, and a rectangle dragged after the stray "x" is a plain turn of the
    // view, not a pick behind the picking room's back.
    vtkRenderWindowInteractor* iren = named<QVTKOpenGLNativeWidget>(*window, "screen")->interactor();
    for (int i = 0; i < 3; ++i) {
        window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {20.0, 600, 9, 2}}));
        iren->SetEventInformation(100 + 20 * i, 100, 0, 0);
        iren->InvokeEvent(vtkCommand::LeftButtonPressEvent, nullptr);
        iren->SetEventInformation(300, 250 + i, 0, 0);
        iren->InvokeEvent(vtkCommand::MouseMoveEvent, nullptr);
        iren->InvokeEvent(vtkCommand::LeftButtonReleaseEvent, nullptr);
    }
    EXPECT_FALSE(roomOf<k740::PickingRoom>(*window)->selection().active);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(ViewerTest, ReadoutTextFollowsEachFrameUnlessARegionIsPicked) {
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}}));
    EXPECT_TRUE(viewerOf(*window)->contains("0"));
    const QString text = window->readoutTextShown();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Distance:"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("    Azimuth:")));
    // A second frame updates the one overlay instead of adding another.
    const std::size_t before = shapes();
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_EQ(shapes(), before);

    named<QToolButton>(*window, "toolButton_clear")->click();
    roomOf<k740::PickingRoom>(*window)->selectBox({}, 0);
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_FALSE(viewerOf(*window)->contains("0"));

    // Area picking armed: no read-out either.
    named<QToolButton>(*window, "toolButton_clear")->click();
    named<QToolButton>(*window, "toolButton_selectCloud")->click();
    ASSERT_FALSE(roomOf<k740::PickingRoom>(*window)->selection().readoutOn);
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_FALSE(viewerOf(*window)->contains("0"));
    named<QToolButton>(*window, "toolButton_selectCloud")->click();  // disarmed again
}

}  // namespace
