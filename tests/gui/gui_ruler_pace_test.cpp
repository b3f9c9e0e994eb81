// The ruler in every preset view with frames arriving, and the "Real time" check box with its
// place in the remembered settings.
#include <gtest/gtest.h>
#include <vtkCommand.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkRendererCollection.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cmath>

#include "app/ruler_room.h"
#include "app/settings_memory.h"
#include "gui_test_support.h"
#include "playback/ReadLiveOffData.h"

namespace {

class RulerAndPace : public ::testing::Test, public WindowFixtureBase {
protected:
    vtkRenderer* renderer() { return named<QVTKOpenGLNativeWidget>(*window, "screen")->renderWindow()->GetRenderers()->GetFirstRenderer(); }
    // Where a point of the cloud is on the screen now, by VTK's own transform.
    void displayOf(const k740::CloudPoint& p, double* x, double* y) {
        renderer()->SetWorldPoint(p.x, p.y, p.z, 1.0);
        renderer()->WorldToDisplay();
        const double* d = renderer()->GetDisplayPoint();
        *x = d[0];
        *y = d[1];
    }
    // A left click at display pixels, as the view's interactor receives it.
    void click(double x, double y) {
        vtkRenderWindowInteractor* iren = named<QVTKOpenGLNativeWidget>(*window, "screen")->interactor();
        iren->SetEventInformation(int(std::lround(x)), int(std::lround(y)));
        iren->InvokeEvent(vtkCommand::LeftButtonPressEvent, nullptr);
        iren->InvokeEvent(vtkCommand::LeftButtonReleaseEvent, nullptr);
    }
    void expectAt(const std::optional<k740::RulerPoint>& got, const k740::CloudPoint& want) {
        ASSERT_TRUE(got.has_value());
        EXPECT_FLOAT_EQ(float(got->x), want.x);
        EXPECT_FLOAT_EQ(float(got->y), want.y);
    }
};

TEST_F(RulerAndPace, TheRulerMeasuresBetweenClickedPointsInEveryViewAndStaysWhileFramesArrive) {
    ASSERT_TRUE(exposed);
    // A wall 6 m out from 10 to 80 degrees: its points differ in x and in y, so each preset
    // view shows them apart.
    std::vector<TestPoint> wall;
    for (int a = 10; a <= 80; a += 10) wall.push_back({double(a), 3000, 100, 1});
    window->CalculateCoordinates(makeFrame(wall));
    const k740::Cloud cloud = window->realTimeCloud();
    ASSERT_EQ(cloud.size(), wall.size());
    k740::RulerRoom* ruler = roomOf<k740::RulerRoom>(*window);
    QToolButton* measure = named<QWidget>(*window, "Tab_1")->findChild<QToolButton*>(QStringLiteral("toolButton_Measure"));
    ASSERT_NE(measure, nullptr);

    // Not armed: a click measures nothing.
    double x, y;
    displayOf(cloud[1], &x, &y);
    click(x, y);
    EXPECT_EQ(ruler->pointsChosen(), 0);

    measure->click();
    ASSERT_TRUE(ruler->armed());
    for (int preset : {0, 1, 2}) {
        SCOPED_TRACE(preset);
        named<QComboBox>(*window, "comboBox_View")->setCurrentIndex(preset);
        // In every view a click near a point takes it; a third click starts again.
        for (int i : {0, 3, 1, 6}) {
            displayOf(cloud[i], &x, &y);
            click(x + 2, y - 2);
        }
        expectAt(ruler->pointA(), cloud[1]);
        expectAt(ruler->pointB(), cloud[6]);
        const double length = std::hypot(cloud[6].x - cloud[1].x, cloud[6].y - cloud[1].y);
        EXPECT_TRUE(ruler->text().startsWith(QStringLiteral("Length: %1 cm").arg(length, 0, 'f', 1)))
            << ruler->text().toStdString();
        EXPECT_TRUE(viewerOf(*window)->contains("ruler_line"));
    }
    // Far from every point: nothing changes.
    EXPECT_FALSE(ruler->clickAt(2, 2));
    EXPECT_EQ(ruler->pointsChosen(), 2);

    // Frames keep arriving, the grid comes and goes: the line stays where it was put.
    const QString text = ruler->text();
    for (int i = 0; i < 3; ++i) window->CalculateCoordinates(makeFrame({{45.0, 4000, 9, 1}}));
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    EXPECT_TRUE(viewerOf(*window)->contains("ruler_line"));
    EXPECT_EQ(ruler->text(), text);

    // Escape over the view takes it away; the button stays as it is.
    QApplication::setActiveWindow(window.get());
    named<QVTKOpenGLNativeWidget>(*window, "screen")->setFocus();
    QTest::keyClick(named<QVTKOpenGLNativeWidget>(*window, "screen"), Qt::Key_Escape);
    EXPECT_EQ(ruler->pointsChosen(), 0);
    EXPECT_FALSE(viewerOf(*window)->contains("ruler_line"));
    EXPECT_TRUE(ruler->armed());
}

TEST_F(RulerAndPace, TheRealTimeBoxSetsThePlayerAndIsRemembered) {
    // The pacing itself and the frames skipped are the core tests' (RecordedPace).
    ASSERT_TRUE(exposed);
    QCheckBox* box = named<QWidget>(*window, "Tab_4")->findChild<QCheckBox*>(QStringLiteral("checkBox_RealTime"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(playerOf(*window)->realTime());
    box->click();
    EXPECT_TRUE(playerOf(*window)->realTime());

    QTemporaryDir dir;
    const QString settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    const auto memory = window->settingsMemory(settingsFile);
    ASSERT_TRUE(memory->store());
    box->click();
    EXPECT_FALSE(playerOf(*window)->realTime());
    memory->restore(false);
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(playerOf(*window)->realTime());
}

}  // namespace
