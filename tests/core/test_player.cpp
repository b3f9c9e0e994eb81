// The capture-file player: its index rules without a thread (directions, reversals, steps,
// the ends), and the player thread over real and generated captures (frames equal to the
// converter's dump, steps and the gate, the end reports, loading).
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/metatypes.h"
#include "capture_writer.h"
#include "packet_writer.h"
#include "playback/ReadLiveOffData.h"
#include "playback/playback_sequencer.h"
#include "qt_support.h"

using namespace k740test;
using End = k740::PlaybackSequencer::End;

namespace {

// Plays a sequencer with a fixed direction and no pauses, returning the frames shown (the
// end marker frame included) and how play ended.
std::vector<long> playThrough(k740::PlaybackSequencer& s, int direction, End* how,
                              int maxFrames = 100) {
    std::vector<long> shown;
    for (int i = 0; i < maxFrames; ++i) {
        const long k = s.enter(direction, direction);
        if (k < 0) {
            *how = End::None;
            return shown;
        }
        shown.push_back(k);
        const End e = s.leave(direction);
        if (e == End::FirstFrameBackward) shown.push_back(0);
        if (e != End::None) {
            *how = e;
            return shown;
        }
    }
    return shown;
}

}  // namespace

TEST(PlaybackSequencer, ForwardPlayEndsAfterTheLastFrameAndBackwardShowsFrameZeroTwice) {
    End how;
    k740::PlaybackSequencer forward(4);
    EXPECT_EQ(playThrough(forward, 1, &how), (std::vector<long>{0, 1, 2, 3}));
    EXPECT_EQ(how, End::LastFrame);

    // Forward to frame 3, then backward from the next frame on (direction changed while
    // the frame was shown, not at the gate): 2, 1, 0 and 0 again as the end.
    k740::PlaybackSequencer s(6);
    std::vector<long> shown;
    for (int i = 0; i < 4; ++i) {
        shown.push_back(s.enter(1, 1));
        ASSERT_EQ(s.leave(i < 3 ? 1 : -1), End::None);
    }
    std::vector<long> rest = playThrough(s, -1, &how);
    shown.insert(shown.end(), rest.begin(), rest.end());
    EXPECT_EQ(shown, (std::vector<long>{0, 1, 2, 3, 2, 1, 0, 0}));
    EXPECT_EQ(how, End::FirstFrameBackward);

    // One frame: shown once, the end of the file.
    k740::PlaybackSequencer one(1);
    EXPECT_EQ(playThrough(one, 1, &how), (std::vector<long>{0}));
    EXPECT_EQ(how, End::LastFrame);
    // No frames: play ends before any frame.
    k740::PlaybackSequencer none(0);
    EXPECT_EQ(none.enter(1, 1), -1);
}

TEST(PlaybackSequencer, ReversingAtTheGateContinuesWithTheNeighbourOfTheFrameShown) {
    for (long k = 2; k <= 5; ++k) {
        SCOPED_TRACE(k);
        // Forward to frame k, reverse while waiting at the gate: k - 1 next, not k - 2.
        k740::PlaybackSequencer s(8);
        for (long i = 0; i <= k; ++i) {
            ASSERT_EQ(s.enter(1, 1), i);
            ASSERT_EQ(s.leave(1), End::None);
        }
        EXPECT_EQ(s.enter(1, -1), k - 1);
        ASSERT_EQ(s.leave(-1), End::None);
        // And reversing forward again continues with (k - 1) + 1.
        EXPECT_EQ(s.enter(-1, 1), k);
    }
    // Reversing after frame 0 steps below the first frame: play ends without a frame.
    k740::PlaybackSequencer s(5);
    ASSERT_EQ(s.enter(1, 1), 0);
    ASSERT_EQ(s.leave(1), End::None);
    EXPECT_EQ(s.enter(1, -1), -1);
    EXPECT_EQ(s.index(), 0);
    // A direction value other than -1 and +1 counts by its sign.
    k740::PlaybackSequencer t(5);
    ASSERT_EQ(t.enter(7, 7), 0);
    ASSERT_EQ(t.leave(3), End::None);
    EXPECT_EQ(t.enter(3, 1), 1);
}

TEST(PlaybackSequencer, SpeedStepsOutsideTheTableTakeItsSlowestPause) {
    EXPECT_EQ(k740::framePauseMs(-1), k740::framePauseMs(4));
    EXPECT_EQ(k740::framePauseMs(9), k740::framePauseMs(4));
}

// ---- the player thread ----

namespace {

std::string realCapture(const char* name) { return std::string(K740_TESTDATA) + "/real/" + name; }

// What the player reported, in the order it arrived in this thread.
struct Played : QObject {
    std::vector<int> indexes;
    std::vector<LidarDataSingleLine> frames;
    std::vector<int> progress;
    int ends = 0;
    explicit Played(ReadLiveOffData& player) {
        connect(&player, &ReadLiveOffData::sendFrameIndex, this,
                [this](int i) { indexes.push_back(i); });
        connect(&player, &ReadLiveOffData::SendData, this,
                [this](LidarDataSingleLine f) { frames.push_back(std::move(f)); });
        connect(&player, &ReadLiveOffData::SendanalysisDataschedule, this,
                [this](int p) { progress.push_back(p); });
        connect(&player, &ReadLiveOffData::SendBool, this,
                [this](bool finished) { ends += finished ? 1 : 100; });
    }
};

class Player : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApp();
        k740::registerMetaTypes();
        playDirection = 1;
        playSpeedStep = 0;
        stepOnce = 0;
        playbackFinished = 0;
        player.setFramePauseOverride(0);
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    // Waits until the player stands at its closed gate having shown `frames` frames.
    bool pausedAfter(const Played& p, std::size_t frames) {
        return waitUntil(
            [&] { return p.frames.size() == frames && player.pauseGate().waiting() == 1; });
    }
    QTemporaryDir dir;
    ReadLiveOffData player;
};

// Frames as `k740-convert dump` prints them.
std::vector<LidarDataSingleLine> convertDump(const std::string& file) {
    QProcess p;
    p.start(QString(K740_TOOLS_DIR) + "/k740-convert", {"dump", QString::fromStdString(file)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    std::vector<LidarDataSingleLine> frames;
    std::istringstream in(p.readAllStandardOutput().toStdString());
    std::string tag;
    while (in >> tag) {
        if (tag == "F") {
            std::size_t index, blocks, points;
            in >> index >> blocks >> points;
            frames.emplace_back();
            frames.back().blockAngle.resize(blocks);
        } else {
            std::string az, dist;
            int intensity;
            unsigned long long ts;
            in >> az >> dist >> intensity >> ts;
            LidarDataSingleLine& f = frames.back();
            f.pointAngle.push_back(std::strtod(az.c_str(), nullptr));
            f.distance.push_back(std::strtod(dist.c_str(), nullptr));
            f.intensity.push_back(intensity);
            f.timeStamp.push_back(ts);
        }
    }
    return frames;
}

}  // namespace

TEST_F(Player, PlayedFramesEqualTheConverterDump) {
    const std::string file = realCapture("rotating-32ch-b.pcap");
    const std::vector<LidarDataSingleLine> dump = convertDump(file);
    ASSERT_GE(dump.size(), 5u);
    const CaptureOpenResult r = player.open(QString::fromStdString(file), false);
    ASSERT_TRUE(r.opened) << r.error.toStdString();
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.packets, 876u);
    EXPECT_EQ(r.frames, static_cast<int>(dump.size()));
    EXPECT_GE(r.sliderFrames, r.frames);

    Played played(player);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }, 20000));
    ASSERT_EQ(played.frames.size(), dump.size());
    for (std::size_t k = 0; k < dump.size(); ++k) {
        const LidarDataSingleLine& f = played.frames[k];
        EXPECT_EQ(played.indexes[k], static_cast<int>(k));
        EXPECT_EQ(f.blockAngle.size(), dump[k].blockAngle.size()) << k;
        EXPECT_EQ(f.pointAngle, dump[k].pointAngle) << k;
        EXPECT_EQ(f.distance, dump[k].distance) << k;
        EXPECT_EQ(f.intensity, dump[k].intensity) << k;
        EXPECT_EQ(f.timeStamp, dump[k].timeStamp) << k;
    }
    EXPECT_EQ(playbackFinished.load(), 1);
    EXPECT_FALSE(player.isPaused());
    // Analysis progress: rising from 0 to 100.
    ASSERT_FALSE(played.progress.empty());
    EXPECT_EQ(played.progress.front(), 0);
    EXPECT_EQ(played.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(played.progress.begin(), played.progress.end()));
}

TEST_F(Player, StepsReversalsAndTheEndsOnTheThread) {
    const CaptureOpenResult r =
        player.open(QString::fromStdString(realCapture("rotating-32ch-b.pcap")), false);
    ASSERT_TRUE(r.opened);
    ASSERT_GE(r.frames, 5);
    Played played(player);

    // Start with a single step: frame 0, then the player waits at its closed gate.
    stepOnce = 1;
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(pausedAfter(played, 1));
    EXPECT_TRUE(player.isPaused());
    player.stepForward();
    ASSERT_TRUE(pausedAfter(played, 2));
    player.stepForward();
    ASSERT_TRUE(pausedAfter(played, 3));
    // Reverse while paused after frame 2 and play on: 1, 0, and 0 again as the end.
    player.setDirection(-1);
    player.play();
    ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }));
    EXPECT_EQ(played.indexes, (std::vector<int>{0, 1, 2, 1, 0, 0}));
    EXPECT_TRUE(played.frames[4] == played.frames[5]);
    EXPECT_EQ(playDirection.load(), 1);  // the end resets the direction
    EXPECT_FALSE(player.isPaused());

    // After the end, play starts again from frame 0 (steps backward on the thread are the
    // window tests' GoToStart). Stopping it from outside at its gate is no end report.
    played.frames.clear();
    stepOnce = 1;
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(pausedAfter(played, 1));
    EXPECT_EQ(played.indexes.back(), 0);
    player.stopPlayback();
    EXPECT_EQ(played.ends, 1);
    EXPECT_FALSE(player.isPaused());

    // A single step onto the last frame ends play and leaves the gate open.
    ASSERT_TRUE(
        player.open(QString::fromStdString(realCapture("rotating-16ch-a.pcap")), false).opened);
    ASSERT_GE(player.frameCount(), 1);
    played.indexes.clear();
    played.frames.clear();
    const std::size_t last = static_cast<std::size_t>(player.frameCount());
    stepOnce = 1;
    ASSERT_TRUE(player.play());
    for (std::size_t k = 1; k < last; ++k) {
        ASSERT_TRUE(pausedAfter(played, k));
        player.stepForward();
    }
    ASSERT_TRUE(waitUntil([&] { return played.ends == 2 && player.isFinished(); }));
    EXPECT_EQ(played.frames.size(), last);
    EXPECT_FALSE(player.isPaused());
}

TEST_F(Player, SeekingShowsTheFrameAndPlayGoesOnFromThere) {
    ASSERT_TRUE(
        player.open(QString::fromStdString(realCapture("rotating-32ch-b.pcap")), false).opened);
    ASSERT_GE(player.frameCount(), 6);
    Played played(player);
    // The window shows frame 3 itself while the player waits; a step goes on to 4, a reversed
    // step from there back to 3.
    LidarDataSingleLine three;
    ASSERT_TRUE(player.frameAt(3, &three));
    stepOnce = 1;
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(pausedAfter(played, 1));
    player.seekTo(3, true);
    player.stepForward();
    ASSERT_TRUE(pausedAfter(played, 2));
    player.stepBackward();
    ASSERT_TRUE(pausedAfter(played, 3));
    EXPECT_EQ(played.indexes, (std::vector<int>{0, 4, 3}));
    EXPECT_TRUE(played.frames[2] == three) << "the frame decoded for the window is the played one";
    // While playing, a seek shows the frame asked for next; past the end it is the last one.
    player.setDirection(1);
    player.seekTo(1000000, false);
    player.play();
    ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }));
    EXPECT_EQ(played.indexes.back(), player.frameCount() - 1);
    EXPECT_FALSE(player.frameAt(player.frameCount(), &three));
}

TEST_F(Player, AWindowThatDrawsSlowlyHoldsThePlayerAtTheLimitAndASeekNeedsNoBacklog) {
    ASSERT_TRUE(
        player.open(QString::fromStdString(realCapture("rotating-32ch-b.pcap")), false).opened);
    ASSERT_GE(player.frameCount(), 6);
    player.setMaxFramesInFlight(2);
    Played played(player);
    ASSERT_TRUE(player.play());
    // Nothing taken: two frames sent, then the player waits (its pause being 0).
    ASSERT_TRUE(waitUntil([&] { return played.frames.size() == 2; }));
    QTest::qWait(50);
    EXPECT_EQ(played.frames.size(), 2u);
    EXPECT_TRUE(player.isRunning());
    // A seek made while it waits is the very next frame once one is taken.
    player.seekTo(4, false);
    player.frameConsumed();
    ASSERT_TRUE(waitUntil([&] { return played.frames.size() == 3; }));
    EXPECT_EQ(played.indexes, (std::vector<int>{0, 1, 4}));
    // Taking each frame lets the pass run to its end.
    while (played.ends == 0 && played.frames.size() < 50) {
        const std::size_t seen = played.frames.size();
        player.frameConsumed();
        waitUntil([&] { return played.ends == 1 || played.frames.size() > seen; });
    }
    ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }));
    EXPECT_EQ(played.indexes.back(), player.frameCount() - 1);
}

TEST_F(Player, AtTheRecordedPaceWhatIsNotDrawnIsSkippedAndTheEndStillComes) {
    // Nobody reports a frame drawn: at "3x" all but the first and the last come too late.
    ASSERT_TRUE(
        player.open(QString::fromStdString(realCapture("rotating-32ch-b.pcap")), false).opened);
    const int frames = player.frameCount();
    ASSERT_GE(frames, 3);
    playSpeedStep = 2;
    player.setRealTime(true);
    player.setMaxFramesInFlight(1);
    Played played(player);
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }, 20000));
    playSpeedStep = 0;
    EXPECT_EQ(played.indexes, (std::vector<int>{0, frames - 1}));
    EXPECT_EQ(player.framesSkipped(), frames - 2);
    EXPECT_EQ(player.framesInFlight(), 2);
    for (int i = 0; i < 3; ++i) player.frameConsumed();  // one report too many: not below 0
    EXPECT_EQ(player.framesInFlight(), 0);
}

TEST_F(Player, FilesWithoutFramesEndAtOnceAndOnePacketReportsFullProgress) {
    // One data packet (no frame) and one single-line packet that does not reach 270.
    const std::string data = path("one.pcap"), single = path("single.pcap");
    ASSERT_TRUE(writeFile(data, captureBytes({udpRecord(makeSweepPacket(100, 300))},
                                             CaptureFormat::PcapLittleMicro)));
    ASSERT_TRUE(writeFile(
        single, captureBytes({udpRecord(makeSingleLinePacket(900000))}, CaptureFormat::PcapNg)));
    for (const auto& [file, singleLine] :
         {std::make_pair(data, false), std::make_pair(single, true)}) {
        SCOPED_TRACE(file);
        const CaptureOpenResult r = player.open(QString::fromStdString(file), singleLine);
        ASSERT_TRUE(r.opened) << r.error.toStdString();
        EXPECT_EQ(r.packets, 1u);
        EXPECT_EQ(r.frames, 0);
        EXPECT_EQ(player.singleLineMode(), singleLine);
        playbackFinished = 0;
        Played played(player);
        ASSERT_TRUE(player.play());
        ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }));
        EXPECT_TRUE(played.frames.empty());
        EXPECT_EQ(played.progress, std::vector<int>{100});
        EXPECT_EQ(playbackFinished.load(), 1);
        EXPECT_FALSE(player.isPaused());
    }
    // Play pressed again straight from the end report starts a new pass each time.
    Played again(player);
    QObject::connect(&player, &ReadLiveOffData::SendBool, &again, [&] {
        if (again.ends < 3) player.play();
    });
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(waitUntil([&] { return again.ends == 3 && player.isFinished(); }));
    EXPECT_EQ(again.progress, (std::vector<int>{100, 100, 100}));
}

TEST_F(Player, AFailedOpenKeepsTheLoadedFileAndAReopenReplacesIt) {
    EXPECT_FALSE(player.play());  // nothing loaded
    const QString first = QString::fromStdString(realCapture("rotating-32ch-b.pcap"));
    ASSERT_TRUE(player.open(first, false).opened);
    const int frames = player.frameCount();
    const int slider = player.sliderFrameCount();

    for (const std::string& bad : {path("missing.pcap"), realCapture("README.md")}) {
        const CaptureOpenResult r = player.open(QString::fromStdString(bad), false);
        EXPECT_FALSE(r.opened);
        EXPECT_FALSE(r.error.isEmpty());
        EXPECT_EQ(player.fileName(), first);
        EXPECT_EQ(player.frameCount(), frames);
        EXPECT_EQ(player.sliderFrameCount(), slider);
    }
    // A cancelled load changes nothing either.
    const CaptureOpenResult cancelled =
        player.open(QString::fromStdString(realCapture("rotating-16ch-a.pcap")), false,
                    [](int) { return false; });
    EXPECT_FALSE(cancelled.opened);
    EXPECT_EQ(player.fileName(), first);

    // Re-opening while the player waits at its gate stops it and loads the new file.
    Played played(player);
    stepOnce = 1;
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(pausedAfter(played, 1));
    const QString second = QString::fromStdString(realCapture("rotating-16ch-a.pcap"));
    std::vector<int> progress;
    const CaptureOpenResult r = player.open(second, false, [&](int p) {
        progress.push_back(p);
        return true;
    });
    ASSERT_TRUE(r.opened);
    EXPECT_FALSE(player.isRunning());
    EXPECT_FALSE(player.isPaused());
    EXPECT_EQ(player.fileName(), second);
    EXPECT_EQ(r.packets, 84u);
    EXPECT_EQ(progress.back(), 100);
}

TEST_F(Player, AFileCutShortWhilePlayingEndsPlay) {
    const std::vector<TestRecord> records = sweepRecords(300);
    const std::string file = path("shrinking.pcap");
    const std::vector<std::uint8_t> full = captureBytes(records, CaptureFormat::PcapLittleMicro);
    ASSERT_TRUE(writeFile(file, full));
    const CaptureOpenResult r = player.open(QString::fromStdString(file), false);
    ASSERT_TRUE(r.opened);
    ASSERT_GE(r.frames, 6);
    Played played(player);
    stepOnce = 1;
    ASSERT_TRUE(player.play());
    ASSERT_TRUE(pausedAfter(played, 1));
    ASSERT_TRUE(
        writeFile(file, std::vector<std::uint8_t>(full.begin(), full.begin() + full.size() / 3)));
    player.play();
    ASSERT_TRUE(waitUntil([&] { return played.ends == 1 && player.isFinished(); }));
    EXPECT_GT(played.frames.size(), 1u);
    EXPECT_LT(played.frames.size(), static_cast<std::size_t>(r.frames));
}
