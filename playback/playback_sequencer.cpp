// The playback loop's index rules.
#include "playback/playback_sequencer.h"

namespace k740 {

int framePauseMs(int playSpeedStep) {
    switch (playSpeedStep) {
        case 0:
            return 110;
        case 1:
            return 80;
        case 2:
            return 50;
        case 3:
            return 130;
        default:
            return 150;
    }
}

long PlaybackSequencer::enter(int directionBeforeGate, int directionAfterGate) {
    const int before = normalizedDirection(directionBeforeGate);
    const int after = normalizedDirection(directionAfterGate);
    if (after != before) index_ += 2 * after;
    if (frames_ <= 0 || index_ < 0) {
        index_ = 0;
        return -1;
    }
    // Only a correction past the last frame gets here (the last frame always ends play):
    // show the last frame, which ends play.
    if (index_ >= frames_) index_ = frames_ - 1;
    return index_;
}

PlaybackSequencer::End PlaybackSequencer::leave(int direction) {
    if (index_ == frames_ - 1) {
        index_ = 0;
        return End::LastFrame;
    }
    const int d = normalizedDirection(direction);
    if (index_ == 0 && d < 0) return End::FirstFrameBackward;
    index_ += d;
    return End::None;
}

}  // namespace k740
