// The 3-D viewer: preset cameras, axes, the measuring grid and its ids, clearing, the
// point-size keys and the cursor read-out.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QStandardItemModel>
#include <QToolButton>

#include <vtkCamera.h>
#include <vtkCommand.h>
#include <vtkPropCollection.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>

#include "display/viewer_geometry.h"
#include "gui_test_support.h"
#include "app/manwindow_form.h"

namespace {

class ViewerTest : public ::testing::Test, public WindowFixtureBase {
protected:
    Ui::manwindowClass* ui() { return window->form(); }
    vtkRenderer* renderer() { return ui()->screen->renderWindow()->GetRenderers()->GetFirstRenderer(); }
    int props() { return renderer()->GetViewProps()->GetNumberOfItems(); }
    std::size_t shapes() { return window->viewer()->getShapeActorMap()->size(); }
    std::size_t clouds() { return window->viewer()->getCloudActorMap()->size(); }
    void key(char code, const char* sym) {
        vtkRenderWindowInteractor* iren = ui()->screen->interactor();
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

TEST_F(ViewerTest, PresetViewsPlaceTheCamera) {
    vtkCamera* camera = renderer()->GetActiveCamera();
    ui()->comboBox_View->setCurrentIndex(1);  // Top
    expectVector(camera->GetPosition(), 0, 0, 1);
    expectVector(camera->GetFocalPoint(), 0, 0, 0);
    expectVector(camera->GetViewUp(), 0, 1, 0);

    ui()->comboBox_View->setCurrentIndex(2);  // Left
    expectVector(camera->GetPosition(), -1, 0, 0);
    expectVector(camera->GetFocalPoint(), 0, 0, -0.2);
    expectVector(camera->GetViewUp(), 0, 0, 1, 1e-6);

    ui()->comboBox_View->setCurrentIndex(0);  // Front
    expectVector(camera->GetPosition(), 0, -1, 0);
    expectVector(camera->GetFocalPoint(), 0, 0.2, -0.2);
    // The view-up is kept perpendicular to the direction of view, so it tilts a little.
    EXPECT_GT(camera->GetViewUp()[2], 0.9);
}

TEST_F(ViewerTest, AxesToggleAddsAndRemovesTheCoordinateSystem) {
    const int before = props();
    ui()->toolButton_Coor->click();
    EXPECT_TRUE(window->axesShown());
    EXPECT_EQ(props(), before + 1);
    ui()->toolButton_Coor->click();
    EXPECT_FALSE(window->axesShown());
    EXPECT_EQ(props(), before);
}

TEST_F(ViewerTest, GridHasItsLinesRingsAndLabelsUnderTheirIds) {
    auto viewer = window->viewer();
    vtkCamera* camera = renderer()->GetActiveCamera();
    camera->SetPosition(1e6, 1e6, 1e6);
    ui()->toolButton_MeaGrid->click();
    EXPECT_FALSE(window->gridHidden());
    // 51 lines each way, 25 rings of 36 chords, 13 labels.
    EXPECT_EQ(shapes(), 102u + 900u + 13u);
    for (const char* id : {"Line-5000", "Line0", "Line5000", "Line-4959", "Line41", "Line5041", "Circle2000",
                           "Circle200350", "Circle5000350", "Circle2", "Circle6", "Circle50"})
        EXPECT_TRUE(viewer->contains(id)) << id;
    for (const char* id : {"Line5200", "Circle54", "Circle0", "Circle200360"}) EXPECT_FALSE(viewer->contains(id)) << id;
    // The camera was reset to take in the grid.
    EXPECT_LT(camera->GetPosition()[0], 1e5);

    // With a cloud to look at, hiding the grid resets the camera onto it.
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {200.0, 500, 9, 2}}));
    camera->SetPosition(1e6, 1e6, 1e6);
    ui()->toolButton_MeaGrid->click();
    EXPECT_TRUE(window->gridHidden());
    EXPECT_EQ(shapes(), 0u);
    EXPECT_FALSE(viewer->contains("Line0"));
    EXPECT_LT(camera->GetPosition()[0], 1e5);
}

TEST(ViewerGeometry, GridLabelsStandOnThePositiveYAxisEveryFourMetres) {
    const std::vector<k740::GridLabel> labels = k740::gridLabels();
    ASSERT_EQ(labels.size(), 13u);
    EXPECT_EQ(labels.front().text, "2m");
    EXPECT_EQ(labels[1].text, "6m");
    EXPECT_EQ(labels.back().text, "50m");
    EXPECT_EQ(labels.back().id, "Circle50");
    for (const k740::GridLabel& l : labels) {
        EXPECT_NEAR(l.position[0], 0.0, 0.01);
        EXPECT_GT(l.position[1], 0.0);
    }
    EXPECT_NEAR(labels[1].position[1], 600.0, 1e-6);

    // Ring chords join up: each ends where the next begins.
    const std::vector<k740::GridLine> chords = k740::gridRingChords();
    ASSERT_EQ(chords.size(), 900u);
    EXPECT_NEAR(chords[0].from[0], 200.0, 1e-9);
    EXPECT_NEAR(chords[0].to[0], chords[1].from[0], 1e-9);
    EXPECT_NEAR(chords[35].to[0], chords[0].from[0], 0.01);  // the ring closes
}

TEST_F(ViewerTest, HidingTheGridKeepsTheAxesAndTheirFlag) {
    ui()->toolButton_Coor->click();
    const int withAxes = props();
    ui()->toolButton_MeaGrid->click();
    ui()->toolButton_MeaGrid->click();
    EXPECT_TRUE(window->axesShown());
    EXPECT_EQ(props(), withAxes);
}

TEST_F(ViewerTest, ClearWithAxesShownEndsWithAxesAndNothingElse) {
    ui()->toolButton_Coor->click();
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {20.0, 500, 9, 2}}));
    ui()->toolButton_MeaGrid->click();
    ManwindowProbe::selectionActive(*window) = true;
    ManwindowProbe::selectionBox(*window) = {1, 2, 3, 4, 5, 6};
    ManwindowProbe::pickedCount(*window) = 7;
    ASSERT_EQ(clouds(), 2u);
    ASSERT_GT(shapes(), 0u);
    ASSERT_GT(window->tableModel()->rowCount(), 0);

    ui()->toolButton_clear->click();
    EXPECT_EQ(clouds(), 0u);
    EXPECT_EQ(shapes(), 0u);
    EXPECT_TRUE(window->axesShown());
    EXPECT_EQ(window->tableModel()->rowCount(), 0);
    EXPECT_EQ(window->tableModel()->columnCount(), 6);
    EXPECT_FALSE(window->selectionActive());
    EXPECT_EQ(window->selectionBox().maxZ, 0.0f);
    EXPECT_EQ(ManwindowProbe::pickedCount(*window), 0);

    // The axes are there: taking them away removes one prop.
    const int withAxes = props();
    ui()->toolButton_Coor->click();
    EXPECT_EQ(props(), withAxes - 1);
}

TEST_F(ViewerTest, PlusAndMinusKeysChangeThePointSizeWithinOneToTen) {
    for (int i = 0; i < 12; ++i) key('+', "plus");
    EXPECT_EQ(window->pointSize(), 10);
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}}));
    double size = 0;
    window->viewer()->getPointCloudRenderingProperties(pcl::visualization::PCL_VISUALIZER_POINT_SIZE, size,
                                                       "realTime_points");
    EXPECT_EQ(size, 10.0);
    for (int i = 0; i < 3; ++i) key('-', "minus");
    EXPECT_EQ(window->pointSize(), 7);
    for (int i = 0; i < 12; ++i) key('-', "minus");
    EXPECT_EQ(window->pointSize(), 1);
    key('a', "a");
    EXPECT_EQ(window->pointSize(), 1);
}

TEST(ViewerGeometry, ReadoutAzimuthFollowsTheQuadrantRule) {
    EXPECT_NEAR(k740::readoutAzimuth(1, 1), 315.0, 1e-5);   // x >= 0, y >= 0: 360 - A
    EXPECT_NEAR(k740::readoutAzimuth(-1, 1), 225.0, 1e-5);  // x < 0, y > 0: 180 + A
    EXPECT_NEAR(k740::readoutAzimuth(-1, -1), 135.0, 1e-5); // x < 0, y < 0: 180 - A
    EXPECT_NEAR(k740::readoutAzimuth(1, -1), 45.0, 1e-5);   // x > 0, y < 0: A
    EXPECT_NEAR(k740::readoutAzimuth(std::sqrt(3.0), 1), 330.0, 1e-5);
    EXPECT_NEAR(k740::readoutAzimuth(0, 5), 270.0, 1e-5);
    EXPECT_NEAR(k740::readoutAzimuth(5, 0), 360.0, 1e-5);
    // On the negative axes no rule applies and A stands as computed.
    EXPECT_NEAR(k740::readoutAzimuth(-5, 0), 0.0, 1e-5);
    EXPECT_NEAR(k740::readoutAzimuth(0, -5), 90.0, 1e-5);
    EXPECT_NEAR(k740::readoutDistance(3, 4, 12), 13.0, 1e-12);
    EXPECT_EQ(k740::readoutText(13, 315.5), QStringLiteral("Distance:13.000000    Azimuth:315.500000"));
}

TEST_F(ViewerTest, ReadoutTextFollowsEachFrameUnlessARegionIsPicked) {
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}}));
    EXPECT_TRUE(window->viewer()->contains("0"));
    const QString text = window->readoutTextShown();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Distance:"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("    Azimuth:")));
    // A second frame updates the one overlay instead of adding another.
    const std::size_t before = shapes();
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_EQ(shapes(), before);

    ui()->toolButton_clear->click();
    ManwindowProbe::selectionActive(*window) = true;
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_FALSE(window->viewer()->contains("0"));

    ManwindowProbe::selectionActive(*window) = false;
    ManwindowProbe::readoutOn(*window) = false;
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_FALSE(window->viewer()->contains("0"));
}

}  // namespace
