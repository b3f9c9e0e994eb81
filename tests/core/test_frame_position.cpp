// The Offline tab's position in a capture file: the slider and the counter over exactly the
// frames that play (as `k740-convert info` counts them, whole or cut short), and the moves of
// the step buttons and keys.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/rules/frame_position.h"
#include "capture_writer.h"
#include "playback/ReadLiveOffData.h"

using k740::FrameMove;
using k740::FramePosition;
using k740::WindowMode;

namespace {

// "frames: M" of `k740-convert info`; -1 when it does not say.
int infoFrames(const QString& file) {
    QProcess p;
    p.start(QString(K740_TOOLS_DIR) + "/k740-convert", {"info", file});
    p.waitForFinished(60000);
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^frames: (\\d+)$"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

}  // namespace

TEST(FramePosition, SliderCounterAndWarningSpanExactlyTheFramesThatPlay) {
    // Both files have one azimuth wrap more than frames (the count that once sized the slider
    // and the warning); the generated one is cut short in its last record.
    QTemporaryDir dir;
    std::vector<std::uint8_t> bytes = k740test::captureBytes(
        k740test::sweepRecords(200), k740test::CaptureFormat::PcapLittleMicro);
    bytes.resize(bytes.size() - 300);
    const QString cut = dir.filePath(QStringLiteral("cut.pcap"));
    ASSERT_TRUE(k740test::writeFile(cut.toStdString(), bytes));
    for (const QString& file : {QStringLiteral(K740_TESTDATA "/real/rotating-32ch-b.pcap"), cut}) {
        SCOPED_TRACE(file.toStdString());
        ReadLiveOffData player;
        const CaptureOpenResult r = player.open(file, false);
        ASSERT_TRUE(r.opened) << r.error.toStdString();
        ASSERT_GT(r.frames, 2);
        ASSERT_NE(r.sliderFrames, r.frames);
        const int info = infoFrames(file);
        EXPECT_EQ(r.frames, info);

        FramePosition p{r.frames, -1};
        EXPECT_EQ(k740::counterValue(p), 0);  // nothing shown yet
        // End: the handle at the slider's right end, the counter at info's count, and that
        // end is a frame the player can show.
        p.shown = k740::moveTarget(p, FrameMove::Last);
        EXPECT_EQ(k740::sliderValue(p), k740::sliderMaximum(r.frames));
        EXPECT_EQ(k740::counterValue(p), info);
        LidarDataSingleLine frame;
        EXPECT_TRUE(player.frameAt(k740::sliderValue(p), &frame));
        EXPECT_FALSE(player.frameAt(k740::sliderMaximum(r.frames) + 1, &frame));

        // A file cut short says how many frames play: the same count.
        const k740::OpenedNotice notice = k740::openedFileNotice(
            file, r.complete, r.error, r.frames, QStringLiteral("K740"));
        EXPECT_EQ(notice.box, r.complete ? k740::Verdict::Box::None : k740::Verdict::Box::Warning);
        if (!r.complete) {
            EXPECT_TRUE(notice.text.contains(QStringLiteral("The %1 frames before").arg(info)))
                << notice.text.toStdString();
        }
    }
    EXPECT_EQ(k740::sliderMaximum(0), 0);  // a file without frames: the one position 0
}

TEST(FramePosition, EveryMoveStepsOnceWithinTheFileWhileItDoesNotPlay) {
    // Ten presses of Right on a file of 8 frames just opened: frames 0 … 7, one a press, then
    // nothing further; Left from frame 0 leads nowhere.
    FramePosition p{8, -1};
    std::vector<int> shown;
    for (int press = 0; press < 10; ++press) {
        const int next = k740::moveTarget(p, FrameMove::StepForward);
        if (next >= 0) shown.push_back(p.shown = next);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(k740::moveTarget(p, FrameMove::StepBackward), 6);
    EXPECT_EQ(k740::moveTarget(FramePosition{8, 0}, FrameMove::StepBackward), -1);
    EXPECT_EQ(k740::moveTarget(FramePosition{8, -1}, FrameMove::StepBackward), -1);
    EXPECT_EQ(k740::moveTarget(FramePosition{0, -1}, FrameMove::Last), -1);

    // Steps whenever a loaded file does not play (opened, paused, ended); Home and End also
    // while it plays; nothing while the live display runs, even with a file parked beside it.
    const struct {
        WindowMode mode;
        bool fileLoaded, steps, homeEnd;
    } cases[] = {
        {WindowMode::Idle, true, true, true},          {WindowMode::PlaybackPaused, true, true, true},
        {WindowMode::Playing, true, false, true},      {WindowMode::Idle, false, false, false},
        {WindowMode::LivePaused, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(k740::modeName(c.mode));
        const k740::WindowState s(c.mode, c.fileLoaded);
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::StepForward), c.steps);
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::StepBackward), c.steps);
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::Last), c.homeEnd);
    }
}
