// The speed buttons of the playback transport: which speed and direction a press of the
// forward or backward speed button leads to, the pause step the player then uses and the
// icon each button shows. Pure logic: no widgets, no player.
#pragma once

#include <QString>

namespace k740 {

enum class SeekButton { Forward, Backward };

// The speeds in the order a button cycles through them; the value is the player's
// playSpeedStep for that speed.
enum class SeekSpeed { Normal = 0, Double = 1, Triple = 2, Half = 3, Quarter = 4 };

constexpr int kSeekSpeeds = 5;

// The speed after `speed` in the cycle normal -> 2x -> 3x -> 0.5x -> 0.25x -> normal.
SeekSpeed nextSeekSpeed(SeekSpeed speed);

// The icon a speed button shows at a speed, as loaded at run time
// ("./Resources/images/Seekforward_2x.png" and so on).
QString seekIconPath(SeekButton button, SeekSpeed speed);

// The state of both speed cycles.
struct SeekCycle {
    SeekSpeed forward = SeekSpeed::Normal;
    SeekSpeed backward = SeekSpeed::Normal;
    // The button pressed last since the speeds were reset: its next press advances its cycle,
    // the other button's first press lands on normal speed.
    bool forwardSeekUsed = false;
    bool backwardSeekUsed = false;
};

// What a press leads to.
struct SeekOutcome {
    SeekCycle cycle;
    int playSpeedStep = 0;  // for the player
    int direction = 0;      // +1 forward, -1 backward, 0 unchanged
    QString forwardIcon;    // new icon of the forward button, empty: unchanged
    QString backwardIcon;   // new icon of the backward button, empty: unchanged
};

// A press of a speed button. `filePlays`: a file is playing or paused within a pass that has
// not ended; otherwise the press only puts its own button back to normal speed.
SeekOutcome pressSeek(const SeekCycle& cycle, SeekButton button, bool filePlays);

// Both buttons back to normal speed (Play, the end of a pass): both speeds, step 0, both
// icons. Which button was used last stays: after Play, a further press of the button used
// before goes on to 2x.
SeekOutcome resetSeek(const SeekCycle& current);

}  // namespace k740
