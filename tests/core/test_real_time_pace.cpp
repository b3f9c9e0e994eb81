// Playback at the recorded pace: the timeline (gaps shortened), show times at every speed both
// ways, late frames passed over, no drift when drawing is slower than the capture.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "playback/capture_index.h"
#include "playback/real_time_pace.h"

using k740::PaceStep;
using k740::RealTimePace;

namespace {

constexpr std::int64_t kMs = 1000;  // microseconds

// Frame times of a capture recorded at `hz` for `frames` frames, from an arbitrary epoch.
std::vector<std::int64_t> steadyCapture(int frames, int hz) {
    std::vector<std::int64_t> t;
    for (int i = 0; i < frames; ++i) t.push_back(1'700'000'000'000'000 + i * (1'000'000 / hz));
    return t;
}

// A whole capture played on a simulated clock where each frame takes `drawUs` to draw.
struct SimulatedPlay {
    std::vector<long> shown;
    std::vector<std::int64_t> shownAt;
    long skipped = 0;
};
SimulatedPlay simulatePlay(RealTimePace& pace, int speedStep, std::int64_t drawUs) {
    SimulatedPlay play;
    std::int64_t now = 0;
    pace.anchor(0, now, k740::paceFactor(speedStep));
    long k = 0;
    for (;;) {
        const PaceStep step = pace.next(k, +1, now);
        play.skipped += step.skipped;
        now = std::max(now, step.showAtUs);
        play.shown.push_back(step.frame);
        play.shownAt.push_back(now);
        now += drawUs;
        if (step.frame == pace.frames() - 1) return play;
        k = step.frame + 1;
    }
}

}  // namespace

TEST(RecordedPace, BackwardStepsAndJumpsOverTenSecondsPlayAsATenthOfASecond) {
    const std::vector<std::int64_t> times = {
        1'000'000,   // frame 0
        1'050'000,   // +50 ms
        1'100'000,   // +50 ms
        1'090'000,   // backwards: 100 ms
        11'090'000,  // exactly 10 s: kept
        21'090'001,  // 10 s and a microsecond: 100 ms
        21'140'001,  // +50 ms
    };
    EXPECT_EQ(k740::recordedTimeline(times),
              (std::vector<std::int64_t>{0, 50 * kMs, 100 * kMs, 200 * kMs, 10'200 * kMs,
                                         10'300 * kMs, 10'350 * kMs}));
    EXPECT_TRUE(k740::recordedTimeline({}).empty());

    // Backward play walks the same steps: from frame 6 to frame 3 takes as long as forward.
    RealTimePace pace(times);
    pace.anchor(6, 0, 1.0);
    EXPECT_EQ(pace.dueAt(3), 10'150 * kMs);
    pace.anchor(3, 0, 1.0);
    EXPECT_EQ(pace.dueAt(6), 10'150 * kMs);
}

TEST(RecordedPace, TheSpeedButtonsMultiplyThePaceInBothDirections) {
    // 21 frames at 20 Hz: frame 20 is one second after frame 0.
    RealTimePace pace(steadyCapture(21, 20));
    const std::int64_t start = 5 * kMs;
    const std::pair<int, std::int64_t> speeds[] = {{0, 1'000'000}, {1, 500'000}, {2, 333'333},
                                                   {3, 2'000'000}, {4, 4'000'000}, {9, 4'000'000}};
    for (const auto& [step, oneSecondTakes] : speeds) {
        SCOPED_TRACE(step);
        pace.anchor(0, start, k740::paceFactor(step));
        EXPECT_EQ(pace.dueAt(20), start + oneSecondTakes);
        pace.anchor(20, start, k740::paceFactor(step));
        EXPECT_EQ(pace.dueAt(0), start + oneSecondTakes) << "backward";
    }
}

TEST(RecordedPace, LateFramesArePassedOverButNeverTheEndOfTheWay) {
    RealTimePace pace(steadyCapture(21, 20));
    pace.anchor(0, 0, 1.0);
    // At 130 ms frame 1 (due 50) is late and frame 2 (due 100) is already due: 1 is passed
    // over, 2 goes at once, 3 (due 150) waits.
    PaceStep step = pace.next(1, +1, 130 * kMs);
    EXPECT_EQ(step.frame, 2);
    EXPECT_EQ(step.skipped, 1);
    EXPECT_EQ(step.showAtUs, 100 * kMs);
    // Far too late: everything up to the last frame is passed over, the last one shown.
    step = pace.next(1, +1, 3'600'000 * kMs);
    EXPECT_EQ(step.frame, 20);
    EXPECT_EQ(step.skipped, 19);
    // Backward the end of the way is frame 0.
    pace.anchor(20, 0, 1.0);
    step = pace.next(19, -1, 3'600'000 * kMs);
    EXPECT_EQ(step.frame, 0);
    EXPECT_EQ(step.skipped, 19);
    // Not anchored or no frames: nothing to show.
    EXPECT_EQ(RealTimePace({}).next(0, +1, 0).frame, -1);
}

TEST(RecordedPace, SlowDrawingSkipsFramesAndTheClockDoesNotDrift) {
    // A minute at 20 Hz drawn at 70 ms a frame, at 1x and 2x: the last frame still comes at
    // its recorded time, and every frame is shown once, in order, or counted as skipped.
    RealTimePace pace(steadyCapture(1200, 20));
    for (int speedStep : {0, 1}) {
        SCOPED_TRACE(speedStep);
        const SimulatedPlay play = simulatePlay(pace, speedStep, 70 * kMs);
        const std::int64_t lastDue = speedStep == 0 ? 59'950 * kMs : 29'975 * kMs;
        EXPECT_GE(play.shownAt.back(), lastDue);
        EXPECT_LE(play.shownAt.back(), lastDue + 70 * kMs);
        EXPECT_EQ(static_cast<long>(play.shown.size()) + play.skipped, 1200);
        EXPECT_GT(play.skipped, 0);
        EXPECT_EQ(std::adjacent_find(play.shown.begin(), play.shown.end(), std::greater_equal<>()),
                  play.shown.end());
    }
    // Drawing faster than the capture: every frame shown, each at its own time.
    const SimulatedPlay fast = simulatePlay(pace, 0, 10 * kMs);
    EXPECT_EQ(fast.skipped, 0);
    ASSERT_EQ(fast.shown.size(), 1200u);
    for (std::size_t i = 0; i < fast.shownAt.size(); i += 97) EXPECT_EQ(fast.shownAt[i], std::int64_t(i) * 50 * kMs);
}
