// The viewer's comforts in a shown window: settings remembered in a file, the live figures,
// seeking with the slider and the keys, the snapshot, the trail, a dropped file and the toggles
// that show their state. Their rules (which values are taken back, the figures' text, the
// slider's frames, the fading, the names) are core tests.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include "app/demo_session.h"
#include "app/figures_room.h"
#include "app/playback_room.h"
#include "app/settings_memory.h"
#include "app/snapshot_room.h"
#include "gui_test_support.h"
#include "playback/ReadLiveOffData.h"

namespace {

QString realCapture(const char* name) {
    return QStringLiteral(K740_TESTDATA "/real/") + QString::fromLatin1(name);
}

class Comfort : public ::testing::Test, public WindowFixtureBase {
protected:
    QTemporaryDir dir;
};

TEST_F(Comfort, SettingsComeBackInTheNextRunAndAnInvalidStoredValueIsNotApplied) {
    ASSERT_TRUE(exposed);
    const QString file = dir.filePath("viewer.conf");
    named<QLineEdit>(*window, "lineEdit_portNumber")->setText("4001");
    named<QLineEdit>(*window, "lineEdit_2")->setText("");
    named<QComboBox>(*window, "comboBox_4")->setCurrentIndex(2);
    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(1);
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    named<QToolButton>(*window, "tolbtn_LidarDataList")->click();  // the dock goes
    k740::Dialogs::setLastFolders({{"Save CSV", dir.path()}});
    ASSERT_TRUE(window->settingsMemory(file)->store());

    {
        WindowFixtureBase next;
        const auto memory = next.window->settingsMemory(file);
        memory->restore(false);
        EXPECT_TRUE(memory->rejected().isEmpty());
        EXPECT_EQ(named<QLineEdit>(*next.window, "lineEdit_portNumber")->text(), "4001");
        EXPECT_EQ(named<QLineEdit>(*next.window, "lineEdit_2")->text(), "");
        EXPECT_EQ(named<QComboBox>(*next.window, "comboBox_4")->currentIndex(), 2);
        EXPECT_EQ(named<QComboBox>(*next.window, "comboBox_degree")->currentIndex(), 1);
        EXPECT_FALSE(next.window->gridHidden());
        EXPECT_TRUE(named<QToolButton>(*next.window, "toolButton_MeaGrid")->isChecked());
        EXPECT_TRUE(named<QDockWidget>(*next.window, "LidraDataDock")->isHidden());
        EXPECT_EQ(k740::Dialogs::lastFolders().value("Save CSV").toString(), dir.path());
    }
    // A port typed into the file by hand is logged and not applied; the demo's own fields
    // are neither applied nor stored over.
    {
        QSettings edit(file, QSettings::IniFormat);
        edit.setValue("live/dataPort", "70000");
    }
    WindowFixtureBase demo;
    named<QLineEdit>(*demo.window, "lineEdit_portNumber")->setText("5555");
    const auto memory = demo.window->settingsMemory(file);
    memory->restore(true);
    EXPECT_EQ(memory->rejected(), QStringList{"live/dataPort"});
    EXPECT_EQ(named<QLineEdit>(*demo.window, "lineEdit_portNumber")->text(), "5555");
    ASSERT_TRUE(memory->store());
    EXPECT_EQ(QSettings(file, QSettings::IniFormat).value("live/dataPort").toString(), "2368");
    k740::Dialogs::setLastFolders({});
}

TEST_F(Comfort, FiguresShowTheStreamTheSensorAndASilence) {
    ASSERT_TRUE(exposed);
    QString why;
    auto demo = k740::DemoSession::start(*window, 600, &why);
    ASSERT_TRUE(demo) << why.toStdString();
    k740::FiguresRoom* figures = roomOf<k740::FiguresRoom>(*window);
    ASSERT_TRUE(waitUntil([&] {
        figures->tick();
        return figures->label()->text().contains("sensor 127.0.0.2") &&
               figures->label()->text().contains("600 rpm") &&
               !figures->label()->text().startsWith("0.0 frames/s");
    }, 8000)) << figures->label()->text().toStdString();
    EXPECT_TRUE(figures->label()->text().contains("packets/s"));
    demo.reset();  // the sensor stops; the window stays live
    ASSERT_TRUE(waitUntil([&] {
        figures->tick();
        return figures->label()->text().contains("no data for");
    }, 8000)) << figures->label()->text().toStdString();
    EXPECT_TRUE(figures->label()->styleSheet().contains("red"));
    window->stopReceivers(2000);
}

TEST_F(Comfort, SeekingWithTheSliderCounterAndKeysShowsTheFrame) {
    ASSERT_TRUE(exposed);
    ASSERT_TRUE(window->openCaptureFile(realCapture("rotating-32ch-b.pcap")));
    const int frames = playerOf(*window)->frameCount();
    ASSERT_GE(frames, 5);
    // The keys of the Offline tab work on a file just opened and never played: every press of
    // Right one frame, Left back one.
    named<QTabWidget>(*window, "tabWidget")->setCurrentWidget(named<QWidget>(*window, "Tab_4"));
    QApplication::setActiveWindow(window.get());  // shortcuts need an active window
    named<QSlider>(*window, "Slider_Frame")->setFocus();
    long long drawn = window->framesDrawn();
    for (int press = 0; press < 3; ++press) QTest::keyClick(named<QSlider>(*window, "Slider_Frame"), Qt::Key_Right);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 3);
    EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->value(), 2);
    QTest::keyClick(named<QSlider>(*window, "Slider_Frame"), Qt::Key_Left);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 2);
    EXPECT_EQ(window->framesDrawn(), drawn + 4);

    drawn = window->framesDrawn();
    named<QSlider>(*window, "Slider_Frame")->setSliderPosition(3);  // the handle moved to the fourth frame, index 3
    EXPECT_EQ(window->framesDrawn(), drawn + 1);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 4);
    LidarDataSingleLine expected;
    ASSERT_TRUE(playerOf(*window)->frameAt(3, &expected));
    EXPECT_EQ(window->lastFrame().timeStamp, expected.timeStamp);

    // End, Home; Space plays from there.
    QTest::keyClick(named<QSlider>(*window, "Slider_Frame"), Qt::Key_End);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), frames);
    QTest::keyClick(named<QSlider>(*window, "Slider_Frame"), Qt::Key_Home);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 1);
    // A number typed into the counter shows that frame once Return is pressed.
    drawn = window->framesDrawn();
    named<QSpinBox>(*window, "Spbox_Frame")->setFocus();
    named<QSpinBox>(*window, "Spbox_Frame")->selectAll();
    QTest::keyClicks(named<QSpinBox>(*window, "Spbox_Frame"), QStringLiteral("5"));
    EXPECT_EQ(window->framesDrawn(), drawn);  // nothing yet while typing
    QTest::keyClick(named<QSpinBox>(*window, "Spbox_Frame"), Qt::Key_Return);
    EXPECT_EQ(window->framesDrawn(), drawn + 1);
    EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->value(), 4);
    named<QSlider>(*window, "Slider_Frame")->setFocus();
    QTest::keyClick(named<QSlider>(*window, "Slider_Frame"), Qt::Key_Space);
    EXPECT_TRUE(roomOf<k740::PlaybackRoom>(*window)->frameIndex() >= 1);
    EXPECT_FALSE(window->notPlayingOffline());
    ASSERT_TRUE(waitUntil([&] { return named<QSpinBox>(*window, "Spbox_Frame")->value() >= 3; }, 5000));
    QTest::keyClick(named<QSlider>(*window, "Slider_Frame"), Qt::Key_Space);  // pause
    EXPECT_TRUE(window->notPlayingOffline());
}

TEST_F(Comfort, SnapshotSavesTheViewAtItsSizeAndNamesAFolderItCannotWrite) {
    ASSERT_TRUE(exposed);
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}, {90.0, 700, 9, 2}}));
    const QString path = dir.filePath("view.png");
    dialogs.answer.fileName = path;
    ASSERT_TRUE(roomOf<k740::SnapshotRoom>(*window)->takeSnapshot());
    ASSERT_FALSE(dialogs.calls.empty());
    EXPECT_TRUE(dialogs.calls.back().text.startsWith("k740-")) << dialogs.calls.back().text.toStdString();
    EXPECT_TRUE(dialogs.calls.back().text.endsWith(".png"));
    const QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.size(), named<QVTKOpenGLNativeWidget>(*window, "screen")->grabFramebuffer().size());

    dialogs.calls.clear();
    EXPECT_FALSE(roomOf<k740::SnapshotRoom>(*window)->saveTo("/proc/no-such-folder/view.png"));
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_TRUE(dialogs.calls[0].text.endsWith("the folder \"/proc/no-such-folder\" cannot be written."))
        << dialogs.calls[0].text.toStdString();  // the one cause that happened
}

TEST_F(Comfort, TrailKeepsTheLastFramesUntilClearedOrTheProtocolChanges) {
    ASSERT_TRUE(exposed);
    auto* trail = window->findChild<QSpinBox*>("spinBox_Trail");
    ASSERT_NE(trail, nullptr);
    trail->setValue(4);
    for (int k = 0; k < 6; ++k) window->CalculateCoordinates(makeFrame({{10.0 * k, 500, 9, 1}}));
    EXPECT_EQ(roomOf<k740::ViewRoom>(*window)->trailFramesShown(), 3);
    EXPECT_TRUE(viewerOf(*window)->contains("trail_0"));
    named<QComboBox>(*window, "comboBox_agree")->setCurrentIndex(1);
    EXPECT_EQ(roomOf<k740::ViewRoom>(*window)->trailFramesShown(), 0);
    EXPECT_FALSE(viewerOf(*window)->contains("trail_0"));
    EXPECT_EQ(roomOf<k740::ViewRoom>(*window)->trailBytesHeld(), 0u);
    window->CalculateCoordinates(makeFrame({{10.0, 500, 9, 1}}));
    window->CalculateCoordinates(makeFrame({{20.0, 500, 9, 1}}));
    EXPECT_EQ(roomOf<k740::ViewRoom>(*window)->trailFramesShown(), 1);
    named<QToolButton>(*window, "toolButton_clear")->click();
    EXPECT_EQ(roomOf<k740::ViewRoom>(*window)->trailFramesShown(), 0);
}

TEST_F(Comfort, ADroppedFileOpensAndJoinsTheRecentFilesTogglesShowTheirState) {
    ASSERT_TRUE(exposed);
    const QString file = realCapture("rotating-16ch-a.pcap");
    EXPECT_TRUE(roomOf<k740::PlaybackRoom>(*window)->openDropped({QUrl(QStringLiteral("http://example.invalid/x")),
                                                 QUrl::fromLocalFile(file)}));
    EXPECT_EQ(roomOf<k740::PlaybackRoom>(*window)->fileName(), file);
    EXPECT_EQ(roomOf<k740::PlaybackRoom>(*window)->recentFiles().value(0), file);
    QMenu* menu = named<QToolButton>(*window, "toolButton_Open")->menu();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->actions().size(), 1);

    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_Coor")->isChecked());
    named<QToolButton>(*window, "toolButton_Coor")->click();
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Coor")->isChecked());
    named<QToolButton>(*window, "toolButton_MeaGrid")->click();
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_MeaGrid")->isChecked());
    named<QToolButton>(*window, "toolButton_clear")->click();  // the grid goes with the shapes, the axes stay
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_MeaGrid")->isChecked());
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Coor")->isChecked());
}

}  // namespace
