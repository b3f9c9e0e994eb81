// Which frame the player shows next: the playback loop's index rules without the thread, the
// gate or the frames, so that every sequence of directions, pauses and steps can be checked.
#pragma once

#include <cstddef>

namespace k740 {

// Pause after each played frame for a speed step: 0 normal (110 ms), 1 "2x" (80), 2 "3x"
// (50), 3 "0.5x" (130), 4 and any other value "0.25x" (150).
int framePauseMs(int playSpeedStep);

// Direction as the player reads it: -1 for a negative value, else +1.
inline int normalizedDirection(int playDirection) { return playDirection < 0 ? -1 : 1; }

// One pass of the player over a file of `frames` frames, from frame 0.
//
// Per iteration the player notes the direction, passes the pause gate and calls enter() with
// the direction before and after the gate; it shows the frame enter() returns, sleeps, and
// calls leave() with the direction then in force.
class PlaybackSequencer {
public:
    enum class End {
        None,                // go on
        LastFrame,           // the last frame was shown: the end of the file
        FirstFrameBackward,  // frame 0 was shown going backward: show it once more, then end
    };

    explicit PlaybackSequencer(std::size_t frames = 0) : frames_(static_cast<long>(frames)) {}

    // The frame to show, or -1 when play ends here without a frame: no frames at all, or a
    // reversal at the gate that steps below frame 0. A direction changed while waiting at
    // the gate corrects for the step already taken, so reversing after frame k shows k - 1
    // (or k + 1), not k - 2.
    long enter(int directionBeforeGate, int directionAfterGate);
    // After frame enter() returned was shown.
    End leave(int direction);

    // The next enter() starts from `next` instead (a seek): below 0 it ends play there, past
    // the last frame it shows the last one.
    void seek(long next) { index_ = next < 0 ? -1 : next; }

    long index() const { return index_; }

private:
    long frames_;
    long index_ = 0;
};

}  // namespace k740
