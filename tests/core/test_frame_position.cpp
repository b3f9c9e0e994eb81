// The Offline tab's position in a capture file: the slider and the counter over exactly the
// frames that play (as `k740-convert info` counts them), the moves of the step buttons and
// keys in every mode, and what the operator is told once a damaged file has opened.
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
using k740::WindowState;

namespace {

// "frames: M" of `k740-convert info`; -1 when it does not say.
int infoFrames(const QString& file) {
    QProcess p;
    p.start(QString(K740_TOOLS_DIR) + "/k740-convert", {"info", file});
    if (!p.waitForFinished(60000)) return -1;
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^frames: (\\d+)$"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(p.readAllStandardOutput()));
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// A generated capture of sweeping data packets, cut `cut` bytes short of its end.
QString sweepCapture(const QTemporaryDir& dir, const char* name, int packets, std::size_t cut = 0) {
    std::vector<std::uint8_t> bytes = k740test::captureBytes(
        k740test::sweepRecords(packets), k740test::CaptureFormat::PcapLittleMicro);
    bytes.resize(bytes.size() - cut);
    const QString file = dir.filePath(QString::fromLatin1(name));
    return k740test::writeFile(file.toStdString(), bytes) ? file : QString();
}

}  // namespace

TEST(FramePosition, SliderAndCounterSpanExactlyTheFramesThatPlay) {
    QTemporaryDir dir;
    // The real file's azimuth wraps (7) and the generated one's (the first block compared
    // with 0) are one more than the frames: the count that once sized the slider.
    const QString files[] = {QStringLiteral(K740_TESTDATA "/real/rotating-32ch-b.pcap"),
                             sweepCapture(dir, "sweep.pcap", 300)};
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        ReadLiveOffData player;
        const CaptureOpenResult r = player.open(file, false);
        ASSERT_TRUE(r.opened && r.complete) << r.error.toStdString();
        ASSERT_GT(r.frames, 2);
        EXPECT_NE(r.sliderFrames, r.frames);  // the file tells the two counts apart

        FramePosition p{r.frames, -1};
        const int last = k740::sliderMaximum(p.frames);
        EXPECT_EQ(last, r.frames - 1);
        EXPECT_EQ(k740::counterValue(p), 0);  // nothing shown yet
        EXPECT_EQ(k740::sliderValue(p), 0);
        // End: the handle at the right end, the counter at the file's count, as info says.
        p.shown = k740::moveTarget(p, FrameMove::Last);
        EXPECT_EQ(k740::sliderValue(p), last);
        EXPECT_EQ(k740::counterValue(p), infoFrames(file));
        // The handle's right end is a frame the player can show.
        LidarDataSingleLine frame;
        EXPECT_TRUE(player.frameAt(k740::sliderValue(p), &frame));
        EXPECT_FALSE(frame.distance.empty());
        p.shown = k740::moveTarget(p, FrameMove::First);
        EXPECT_EQ(k740::sliderValue(p), 0);
        EXPECT_EQ(k740::counterValue(p), 1);
    }
    // A file without frames: the slider has the one position 0, the counter stays at 0.
    EXPECT_EQ(k740::sliderMaximum(0), 0);
    EXPECT_EQ(k740::counterValue(FramePosition{0, 3}), 0);
}

TEST(FramePosition, StepsAndKeysMoveOneFrameWithinTheFile) {
    // A file just opened stands before its first frame.
    const FramePosition opened{5, -1};
    EXPECT_EQ(k740::moveTarget(opened, FrameMove::StepForward), 0);
    EXPECT_EQ(k740::moveTarget(opened, FrameMove::StepBackward), -1);
    EXPECT_EQ(k740::moveTarget(opened, FrameMove::Last), 4);
    // In the middle: one frame either way; at the ends nothing further.
    EXPECT_EQ(k740::moveTarget(FramePosition{5, 2}, FrameMove::StepForward), 3);
    EXPECT_EQ(k740::moveTarget(FramePosition{5, 2}, FrameMove::StepBackward), 1);
    EXPECT_EQ(k740::moveTarget(FramePosition{5, 4}, FrameMove::StepForward), -1);
    EXPECT_EQ(k740::moveTarget(FramePosition{5, 0}, FrameMove::StepBackward), -1);
    EXPECT_EQ(k740::moveTarget(FramePosition{5, 0}, FrameMove::First), 0);
    // Ten presses from the start walk ten frames, one each, and stop at the last.
    FramePosition p{8, -1};
    int moved = 0;
    for (int press = 0; press < 10; ++press) {
        const int next = k740::moveTarget(p, FrameMove::StepForward);
        if (next < 0) continue;
        EXPECT_EQ(next, p.shown + 1);
        p.shown = next;
        ++moved;
    }
    EXPECT_EQ(moved, 8);
    EXPECT_EQ(p.shown, 7);
    // Without frames no move leads anywhere.
    for (FrameMove m : {FrameMove::StepForward, FrameMove::StepBackward, FrameMove::First,
                        FrameMove::Last})
        EXPECT_EQ(k740::moveTarget(FramePosition{0, -1}, m), -1);
}

TEST(FramePosition, MovesRunWhenAFileIsLoadedAndTheLiveDisplayIsOff) {
    const struct {
        WindowMode mode;
        bool fileLoaded;
        bool steps;     // Left, Right and the step buttons
        bool homeEnd;
    } cases[] = {
        {WindowMode::Idle, true, true, true},             // opened, never played, or ended
        {WindowMode::PlaybackPaused, true, true, true},
        {WindowMode::Playing, true, false, true},         // seeking while playing: yes
        {WindowMode::Idle, false, false, false},          // nothing loaded
        {WindowMode::Live, true, false, false},           // a file parked beside the live cloud
        {WindowMode::LivePaused, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(k740::modeName(c.mode)) + (c.fileLoaded ? " / loaded" : ""));
        WindowState s;
        s.mode = c.mode;
        s.fileLoaded = c.fileLoaded;
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::StepForward), c.steps);
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::StepBackward), c.steps);
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::First), c.homeEnd);
        EXPECT_EQ(k740::moveAllowed(s, FrameMove::Last), c.homeEnd);
    }
}

TEST(FramePosition, ATruncatedFileCountsTheFramesThatPlay) {
    QTemporaryDir dir;
    const QString file = sweepCapture(dir, "cut.pcap", 200, 300);  // the last record cut short
    ReadLiveOffData player;
    const CaptureOpenResult r = player.open(file, false);
    ASSERT_TRUE(r.opened);
    ASSERT_FALSE(r.complete);
    ASSERT_GT(r.frames, 0);
    EXPECT_NE(r.sliderFrames, r.frames);  // the count the warning once gave
    const k740::OpenedNotice notice =
        k740::openedFileNotice(file, r.complete, r.error, r.frames, QStringLiteral("K740"));
    EXPECT_EQ(notice.box, k740::Verdict::Box::Warning);
    EXPECT_TRUE(notice.text.contains(file));
    EXPECT_TRUE(notice.text.contains(r.error));
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("The (\\d+) frames before that can be played"))
            .match(notice.text);
    ASSERT_TRUE(m.hasMatch()) << notice.text.toStdString();
    // The warning's number is what End reaches, what the player plays and what info says.
    EXPECT_EQ(m.captured(1).toInt(), r.frames);
    EXPECT_EQ(m.captured(1).toInt(), infoFrames(file));
    LidarDataSingleLine frame;
    EXPECT_TRUE(player.frameAt(r.frames - 1, &frame));
    EXPECT_FALSE(player.frameAt(r.frames, &frame));

    // A whole file without frames in the chosen format says so; a whole file with frames
    // says nothing.
    const QString none = sweepCapture(dir, "one.pcap", 1);
    const CaptureOpenResult empty = player.open(none, false);
    ASSERT_TRUE(empty.opened && empty.complete);
    const k740::OpenedNotice nothing =
        k740::openedFileNotice(none, true, QString(), empty.frames, QStringLiteral("K740"));
    EXPECT_EQ(nothing.box, k740::Verdict::Box::Information);
    EXPECT_TRUE(nothing.text.contains(QStringLiteral("\"K740\"")));
    EXPECT_EQ(k740::openedFileNotice(file, true, QString(), 12, QStringLiteral("K740")).box,
              k740::Verdict::Box::None);
}
