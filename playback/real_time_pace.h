// Playback at the recorded pace: when each frame of a capture is shown, taken from the capture
// records' own time stamps and multiplied by the speed buttons' factor. Pure: time stamps in,
// show times out (with the frames that come too late to be drawn, and long gaps shortened).
// The player thread asks it, the clock and the waiting stay with the player.
#pragma once

#include <cstdint>
#include <vector>

namespace k740 {

// Neighbouring frames whose time stamps go backwards, or jump by more than kPaceLongestStepUs,
// are kPaceGapStepUs apart in play (a capture paused for an hour does not wait an hour).
constexpr std::int64_t kPaceLongestStepUs = 10'000'000;  // 10 s
constexpr std::int64_t kPaceGapStepUs = 100'000;         // 100 ms

// The factor a speed step puts on the recorded pace: 0 normal 1, 1 "2x" 2, 2 "3x" 3,
// 3 "0.5x" 0.5, 4 (and any other value) "0.25x" 0.25.
double paceFactor(int playSpeedStep);

// Each frame's place in play, in microseconds after frame 0 at normal speed: the sum of the
// steps between neighbours before it, a step being the difference of their time stamps, or
// kPaceGapStepUs where that is negative or longer than kPaceLongestStepUs.
std::vector<std::int64_t> recordedTimeline(const std::vector<std::int64_t>& frameTimesUs);

// The frame to show next, when, and how many were passed over to get there.
struct PaceStep {
    long frame = -1;
    std::int64_t showAtUs = 0;  // wall clock, microseconds
    long skipped = 0;
};

// The clock of one play: anchored at a frame shown at a wall time, every other frame is due
// its distance on the recorded timeline later, divided by the speed factor. Going backward
// walks the same steps in reverse. A new anchor (after a pause, a seek, a change of speed or
// direction) starts the count afresh, so nothing accumulates and the clock never drifts.
class RealTimePace {
public:
    explicit RealTimePace(const std::vector<std::int64_t>& frameTimesUs);

    long frames() const { return static_cast<long>(m_Timeline.size()); }
    bool anchored() const { return m_AnchorFrame >= 0; }
    // `frame` is (or was) shown at wall time wallUs; from there the pace is the recorded one
    // times `factor` (a factor of 0 or less counts as 1).
    void anchor(long frame, std::int64_t wallUs, double factor);
    void reset() { m_AnchorFrame = -1; }
    double factor() const { return m_Factor; }

    // The wall time frame `frame` is due (the anchor's time while not anchored).
    std::int64_t dueAt(long frame) const;

    // The next frame to show going in `direction` (+1 / -1), `candidate` being the next in
    // line, when the clock reads nowUs: a frame whose follower is already due cannot be drawn
    // in its turn and is passed over; the frame at the end of the way (the last going
    // forward, frame 0 going backward) is never passed over. showAtUs may lie in the past:
    // show it at once.
    PaceStep next(long candidate, int direction, std::int64_t nowUs) const;

private:
    std::vector<std::int64_t> m_Timeline;
    long m_AnchorFrame = -1;
    std::int64_t m_AnchorWallUs = 0;
    double m_Factor = 1.0;
};

}  // namespace k740
