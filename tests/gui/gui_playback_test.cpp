// The Offline tab's transport on a shown window: opening real and generated captures, playing
// to the end, pause and resume, single steps, the speed cycles, the refusal while live runs,
// re-opening and a capture without frames.
#include <gtest/gtest.h>

#include <algorithm>

#include <QComboBox>
#include <QDir>
#include <QProcess>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>

#include "app/playback_room.h"
#include "gui_test_support.h"
#include "playback/ReadLiveOffData.h"
#include "tests/core/capture_writer.h"
#include "tests/core/packet_writer.h"

namespace {

using k740::WindowMode;

QString realCapture(const char* name) {
    return QStringLiteral(K740_TESTDATA "/real/") + QString::fromLatin1(name);
}

class Playback : public ::testing::Test, public WindowFixtureBase {
protected:
    void SetUp() override {
        ASSERT_TRUE(exposed);
        playDirection = 1;
        playSpeedStep = 0;
        stepOnce = 0;
        playbackFinished = 0;
        // Frames follow each other without the speed table's pauses; a few milliseconds keep
        // the player from running through a file before a test can pause it.
        playerOf(*window)->setFramePauseOverride(5);
    }
    k740::PlaybackRoom* room() { return roomOf<k740::PlaybackRoom>(*window); }
    WindowMode mode() { return window->modeState().mode(); }

    // "Open" answered with this file.
    bool open(const QString& file) {
        dialogs.answer.fileName = file;
        dialogs.calls.clear();
        named<QToolButton>(*window, "toolButton_Open")->click();
        return room()->fileName() == file;
    }
    bool playedToTheEnd() {
        return waitUntil([&] { return mode() == WindowMode::Idle && window->modeState().finished(); },
                         60000);
    }
    bool pausedAt(int frameIndex) {
        return waitUntil(
            [&] {
                return playerOf(*window)->pauseGate().waiting() == 1 &&
                       room()->frameIndex() == frameIndex;
            },
            10000);
    }
    // A generated capture: `packets` data packets turning 25 degrees each (about 14 a frame).
    QString generated(const char* name, int packets) {
        const std::vector<k740test::TestRecord> records = k740test::sweepRecords(packets);
        const QString file = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(k740test::writeFile(
            file.toStdString(),
            k740test::captureBytes(records, k740test::CaptureFormat::PcapLittleMicro)));
        return file;
    }
    QTemporaryDir dir;
};

TEST_F(Playback, RealCapturePlaysToItsEndAndTheWindowReturnsToIdle) {
    const QString file = realCapture("rotating-32ch-b.pcap");
    ASSERT_TRUE(open(file));
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, k740::Dialogs::Kind::OpenFile);
    // The slider runs over the frames that play (this file's azimuth wraps are one more).
    const int count = playerOf(*window)->frameCount();
    ASSERT_GT(count, 1);
    EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->maximum(), count - 1);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->maximum(), count);
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Play")->isEnabled());

    const long long drawnBefore = window->framesDrawn();
    named<QToolButton>(*window, "toolButton_Play")->click();
    EXPECT_EQ(mode(), WindowMode::Playing);
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_Open")->isEnabled());
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_GoToEnd")->isEnabled());
    EXPECT_EQ(room()->playIcon(), QStringLiteral("./Resources/images/Pause.png"));
    // The live display is refused while the file plays (the texts are the mode table's).
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    ASSERT_GE(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls.back().kind, k740::Dialogs::Kind::Warning);
    EXPECT_EQ(mode(), WindowMode::Playing);

    ASSERT_TRUE(playedToTheEnd());
    EXPECT_EQ(window->framesDrawn() - drawnBefore, playerOf(*window)->frameCount());
    EXPECT_FALSE(window->realTimeCloud().empty());
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Open")->isEnabled());
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_GoToEnd")->isEnabled());
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 0);
    EXPECT_EQ(room()->playIcon(), QStringLiteral("./Resources/images/Play.png"));
    EXPECT_TRUE(named<QProgressBar>(*window, "analysedata")->isHidden());  // analysis reached 100

    // Play after the end starts a new pass from frame 0.
    named<QToolButton>(*window, "toolButton_Play")->click();
    EXPECT_EQ(mode(), WindowMode::Playing);
    ASSERT_TRUE(playedToTheEnd());
    EXPECT_EQ(window->framesDrawn() - drawnBefore, 2 * playerOf(*window)->frameCount());
}

TEST_F(Playback, PauseStepsAndResume) {
    ASSERT_TRUE(open(generated("steps.pcap", 140)));
    ASSERT_GE(playerOf(*window)->frameCount(), 6);
    // The player holds itself after frame 2 (in its own thread, so no frame slips past);
    // then the operator presses pause.
    ReadLiveOffData* player = playerOf(*window);
    const QMetaObject::Connection hold = QObject::connect(
        player, &ReadLiveOffData::sendFrameIndex, player,
        [player](int index) {
            if (index == 2) player->pause();
        },
        Qt::DirectConnection);
    named<QToolButton>(*window, "toolButton_Play")->click();
    const int k = 2;
    ASSERT_TRUE(pausedAt(k + 1));
    QObject::disconnect(hold);
    named<QToolButton>(*window, "toolButton_Play")->click();  // pause
    EXPECT_EQ(mode(), WindowMode::PlaybackPaused);
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_GoToEnd")->isEnabled());
    EXPECT_EQ(room()->playIcon(), QStringLiteral("./Resources/images/Play.png"));

    named<QToolButton>(*window, "toolButton_GoToEnd")->click();
    ASSERT_TRUE(pausedAt(k + 2));
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), k + 2);  // frame numbers from 1
    EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->value(), k + 1);  // frame indices
    named<QToolButton>(*window, "toolButton_GoToStart")->click();  // reversing shows the frame before, not two before
    ASSERT_TRUE(pausedAt(k + 1));
    EXPECT_EQ(playerOf(*window)->currentFrame(), k);
    EXPECT_EQ(room()->seekBackwardIcon(), QStringLiteral("./Resources/images/Seekbackward.png"));

    named<QToolButton>(*window, "toolButton_Play")->click();  // resume: forward again, to the end
    EXPECT_EQ(mode(), WindowMode::Playing);
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_GoToStart")->isEnabled());
    ASSERT_TRUE(playedToTheEnd());
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Open")->isEnabled());

    // After the end report the file stands before its first frame again: a step shows frame
    // 0 (and clears a pending step), a step backward from there leads nowhere.
    stepOnce = 1;
    const long long drawn = window->framesDrawn();
    named<QToolButton>(*window, "toolButton_GoToEnd")->click();
    EXPECT_EQ(stepOnce.load(), 0);
    EXPECT_EQ(mode(), WindowMode::Idle);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 1);
    EXPECT_EQ(window->framesDrawn(), drawn + 1);
    named<QToolButton>(*window, "toolButton_GoToStart")->click();
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 1);
    EXPECT_EQ(window->framesDrawn(), drawn + 1);
}

// The cycles themselves are the seek-speed rules' core tests; here the buttons reach them.
TEST_F(Playback, DraggingTheSliderWhilePlayingIsOneSeekAndTheWindowAnswers) {
    // A long capture: some two thousand frames.
    ASSERT_TRUE(open(generated("long.pcap", 29000)));
    const int frames = playerOf(*window)->frameCount();
    ASSERT_GE(frames, 1900);
    QSlider* slider = named<QSlider>(*window, "Slider_Frame");
    std::vector<int> shown;  // the frames the player shows, in order
    const QMetaObject::Connection log = QObject::connect(
        playerOf(*window), &ReadLiveOffData::sendFrameIndex, window.get(),
        [&shown](int index) { shown.push_back(index); });
    named<QToolButton>(*window, "toolButton_Play")->click();
    ASSERT_TRUE(waitUntil([&] { return room()->frameIndex() >= 20; }, 20000));

    // The operator takes the handle and drags it to the middle (as QSlider's mouse handling
    // does), then holds it there while the file plays on from that frame.
    const int middle = frames / 2;
    slider->setSliderDown(true);
    slider->setSliderPosition(middle);
    shown.clear();
    ASSERT_TRUE(waitUntil([&] { return room()->frameIndex() >= middle + 20; }, 20000))
        << "the counter stands at " << room()->frameIndex();
    EXPECT_EQ(slider->sliderPosition(), middle);  // the handle stays under the hand
    // One seek: the player went on from the frame asked for, one frame at a time, never back
    // (a frame or two shown before the seek may still have been on their way).
    const auto from = std::find(shown.begin(), shown.end(), middle);
    ASSERT_NE(from, shown.end());
    EXPECT_LE(from - shown.begin(), 2);
    for (auto k = from + 1; k != shown.end(); ++k) ASSERT_EQ(*k, *(k - 1) + 1);

    // Dragged on to the right end and held there: the last frame, and the pass ends while the
    // handle is still held (the end report moving a held slider once set off an endless
    // exchange between the slider and the counter). Then let go.
    shown.clear();
    slider->setSliderPosition(slider->maximum());
    ASSERT_TRUE(playedToTheEnd());
    slider->setSliderDown(false);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 0);  // the end: the counter starts over
    EXPECT_EQ(slider->value(), 0);
    QObject::disconnect(log);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), frames - 1);
    EXPECT_LE(shown.size(), 3u) << "frames shown after the seek to the end";
    // The window still answers: Home shows the first frame.
    room()->seekToFrame(0);
    EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->value(), 1);
}

TEST_F(Playback, SpeedButtonsReachThePlayerAndPlayResetsThem) {
    ASSERT_TRUE(open(generated("speeds.pcap", 140)));
    named<QToolButton>(*window, "toolButton_Play")->click();
    named<QToolButton>(*window, "toolButton_Play")->click();  // paused within the pass: the speeds still apply
    ASSERT_EQ(mode(), WindowMode::PlaybackPaused);
    named<QToolButton>(*window, "toolButton_SeekForward")->click();  // lands on normal forward
    named<QToolButton>(*window, "toolButton_SeekForward")->click();
    EXPECT_EQ(playSpeedStep.load(), 1);
    EXPECT_EQ(room()->seekForwardIcon(), QStringLiteral("./Resources/images/Seekforward_2x.png"));
    named<QToolButton>(*window, "toolButton_SeekBackward")->click();
    EXPECT_EQ(playDirection.load(), -1);
    EXPECT_TRUE(room()->backward());
    named<QToolButton>(*window, "toolButton_SeekBackward")->click();
    EXPECT_EQ(playSpeedStep.load(), 1);

    // Play resets both speeds and plays forward.
    named<QToolButton>(*window, "toolButton_Play")->click();
    EXPECT_EQ(playSpeedStep.load(), 0);
    EXPECT_EQ(playDirection.load(), 1);
    EXPECT_EQ(room()->seekBackwardIcon(), QStringLiteral("./Resources/images/Seekbackward.png"));
    ASSERT_TRUE(playedToTheEnd());
}

TEST_F(Playback, PlayIsRefusedWhileLiveRunsAndChangesNothing) {
    ASSERT_TRUE(open(realCapture("rotating-16ch-a.pcap")));
    putInMode(*window, WindowMode::Live);
    playSpeedStep = 3;
    dialogs.calls.clear();
    named<QToolButton>(*window, "toolButton_Play")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);  // the mode table's warning
    EXPECT_EQ(dialogs.calls[0].kind, k740::Dialogs::Kind::Warning);
    EXPECT_EQ(mode(), WindowMode::Live);
    EXPECT_EQ(playSpeedStep.load(), 3);
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Open")->isEnabled());
    EXPECT_FALSE(playerOf(*window)->isRunning());
    EXPECT_EQ(room()->playIcon(), QStringLiteral("./Resources/images/Play.png"));

    // Open and a dropped file are refused the same way, before any dialog, and the loaded
    // file stays.
    const QString other = realCapture("rotating-32ch-b.pcap");
    dialogs.calls.clear();
    dialogs.answer.fileName = other;
    named<QToolButton>(*window, "toolButton_Open")->click();
    EXPECT_FALSE(room()->openDropped({QUrl::fromLocalFile(other)}));
    ASSERT_EQ(dialogs.calls.size(), 2u);
    for (const auto& call : dialogs.calls) {
        EXPECT_EQ(call.kind, k740::Dialogs::Kind::Warning);
        EXPECT_TRUE(call.text.contains(QStringLiteral("close the lidar connection")));
    }
    EXPECT_EQ(room()->fileName(), realCapture("rotating-16ch-a.pcap"));
    putInMode(*window, WindowMode::Idle);
}

TEST_F(Playback, ReopeningEmptiesTheViewAndAFailedOpenChangesNothing) {
    ASSERT_TRUE(open(realCapture("rotating-16ch-a.pcap")));
    named<QToolButton>(*window, "toolButton_Play")->click();
    ASSERT_TRUE(playedToTheEnd());
    ASSERT_TRUE(viewerOf(*window)->contains("realTime_points"));

    // A file that is no capture: named in a warning, the loaded file stays as it was.
    const int count = room()->frameCount();
    const QString bad = realCapture("README.md");
    EXPECT_FALSE(open(bad));
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].kind, k740::Dialogs::Kind::Warning);
    EXPECT_TRUE(dialogs.calls[1].text.contains(QStringLiteral("README.md")));
    EXPECT_EQ(room()->fileName(), realCapture("rotating-16ch-a.pcap"));
    EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->maximum(), count - 1);
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Play")->isEnabled());
    EXPECT_TRUE(viewerOf(*window)->contains("realTime_points"));

    // The second file: the view is emptied, the range is the new file's, and it plays.
    ASSERT_TRUE(open(realCapture("rotating-32ch-b.pcap")));
    EXPECT_FALSE(viewerOf(*window)->contains("realTime_points"));
    EXPECT_EQ(room()->playPresses(), 1);
    EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->maximum(), playerOf(*window)->frameCount() - 1);
    const long long before = window->framesDrawn();
    named<QToolButton>(*window, "toolButton_Play")->click();
    ASSERT_TRUE(playedToTheEnd());
    EXPECT_EQ(window->framesDrawn() - before, playerOf(*window)->frameCount());

    // A file only stepped through, never played, leaves the view to the next file too.
    ASSERT_TRUE(open(realCapture("rotating-16ch-a.pcap")));
    named<QToolButton>(*window, "toolButton_GoToEnd")->click();
    ASSERT_TRUE(viewerOf(*window)->contains("realTime_points"));
    ASSERT_TRUE(open(realCapture("rotating-32ch-b.pcap")));
    EXPECT_FALSE(viewerOf(*window)->contains("realTime_points"));
}

TEST_F(Playback, CapturesWithoutFramesEndAtOnce) {
    // No sensor packet at all (a single-line packet read as "K740"): range 0..0.
    const QString none = dir.filePath(QStringLiteral("no-packets.pcap"));
    ASSERT_TRUE(k740test::writeFile(
        none.toStdString(),
        k740test::captureBytes({k740test::udpRecord(k740test::makeSingleLinePacket(900000))},
                               k740test::CaptureFormat::PcapLittleMicro)));
    // One packet: counted for the slider, but no whole frame to play.
    const QString one = generated("one-packet.pcap", 1);
    for (const QString& file : {none, one}) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(open(file));
        EXPECT_EQ(playerOf(*window)->frameCount(), 0);
        EXPECT_EQ(named<QSlider>(*window, "Slider_Frame")->maximum(), 0);
        EXPECT_EQ(named<QSpinBox>(*window, "Spbox_Frame")->maximum(), 0);
        const long long before = window->framesDrawn();
        named<QToolButton>(*window, "toolButton_Play")->click();
        ASSERT_TRUE(playedToTheEnd());
        EXPECT_EQ(window->framesDrawn(), before);
        EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Open")->isEnabled());
        EXPECT_EQ(room()->playIcon(), QStringLiteral("./Resources/images/Play.png"));
        EXPECT_TRUE(window->notPlayingOffline());
    }
}

TEST_F(Playback, AFilePlaysInTheModeInForceWhenItWasOpened) {
    // Single-line packets turning 90 degrees each: a frame at every 270.
    std::vector<k740test::TestRecord> records;
    for (int p = 0; p < 12; ++p)
        records.push_back(k740test::udpRecord(k740test::makeSingleLinePacket(900000 * (p % 4))));
    const QString file = dir.filePath(QStringLiteral("single-line.pcap"));
    ASSERT_TRUE(k740test::writeFile(
        file.toStdString(), k740test::captureBytes(records, k740test::CaptureFormat::PcapNg)));
    named<QComboBox>(*window, "comboBoxLidarModel")->setCurrentIndex(1);
    ASSERT_TRUE(open(file));
    ASSERT_GT(playerOf(*window)->frameCount(), 0);
    named<QComboBox>(*window, "comboBoxLidarModel")->setCurrentIndex(0);  // changed after Open: this file is unaffected
    const long long before = window->framesDrawn();
    named<QToolButton>(*window, "toolButton_Play")->click();
    ASSERT_TRUE(playedToTheEnd());
    EXPECT_EQ(window->framesDrawn() - before, playerOf(*window)->frameCount());
    EXPECT_EQ(window->lastFrame().distance.size(), 250u * 4u);
}

TEST(ViewerProgramFile, MistakesWithTheCaptureFileEndTheProgramWithOne) {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("rv-k740-p"));
    const struct {
        QStringList arguments;
        const char* message;
    } cases[] = {{{QStringLiteral("/no/such/capture.pcap")}, "no capture file"},
                 {{QStringLiteral("--play")}, "--play needs a capture file"}};
    for (const auto& c : cases) {
        QProcess p;
        p.start(program, c.arguments);
        ASSERT_TRUE(p.waitForFinished(20000));
        const QString errors = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 1) << errors.toStdString();
        EXPECT_TRUE(errors.contains(QLatin1String(c.message))) << errors.toStdString();
    }
}

}  // namespace
