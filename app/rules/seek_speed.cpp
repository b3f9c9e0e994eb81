// The speed buttons' cycles and icons.
#include "app/rules/seek_speed.h"

namespace k740 {

SeekSpeed nextSeekSpeed(SeekSpeed speed) {
    return static_cast<SeekSpeed>((static_cast<int>(speed) + 1) % kSeekSpeeds);
}

QString seekIconPath(SeekButton button, SeekSpeed speed) {
    static const char* const kSuffix[kSeekSpeeds] = {"", "_2x", "_3x", "_0.5x", "_0.25x"};
    const QString base = button == SeekButton::Forward ? QStringLiteral("Seekforward")
                                                       : QStringLiteral("Seekbackward");
    return QStringLiteral("./Resources/images/") + base +
           QString::fromLatin1(kSuffix[static_cast<int>(speed)]) + QStringLiteral(".png");
}

SeekOutcome resetSeek(const SeekCycle& current) {
    SeekOutcome out;
    out.cycle.forwardSeekUsed = current.forwardSeekUsed;
    out.cycle.backwardSeekUsed = current.backwardSeekUsed;
    out.forwardIcon = seekIconPath(SeekButton::Forward, SeekSpeed::Normal);
    out.backwardIcon = seekIconPath(SeekButton::Backward, SeekSpeed::Normal);
    return out;
}

SeekOutcome pressSeek(const SeekCycle& cycle, SeekButton button, bool filePlays) {
    SeekOutcome out;
    out.cycle = cycle;
    const bool forward = button == SeekButton::Forward;
    SeekSpeed& own = forward ? out.cycle.forward : out.cycle.backward;
    QString& ownIcon = forward ? out.forwardIcon : out.backwardIcon;
    if (!filePlays) {
        own = SeekSpeed::Normal;
        out.playSpeedStep = 0;
        ownIcon = seekIconPath(button, SeekSpeed::Normal);
        return out;
    }
    const bool used = forward ? cycle.forwardSeekUsed : cycle.backwardSeekUsed;
    if (used) {
        own = nextSeekSpeed(own);
    } else {
        // The first press after the other button (or the first ever) starts at normal speed
        // and puts the other button back to normal.
        own = SeekSpeed::Normal;
        const SeekButton other = forward ? SeekButton::Backward : SeekButton::Forward;
        (forward ? out.cycle.backward : out.cycle.forward) = SeekSpeed::Normal;
        (forward ? out.backwardIcon : out.forwardIcon) = seekIconPath(other, SeekSpeed::Normal);
    }
    out.cycle.forwardSeekUsed = forward;
    out.cycle.backwardSeekUsed = !forward;
    out.playSpeedStep = static_cast<int>(own);
    out.direction = forward ? 1 : -1;
    ownIcon = seekIconPath(button, own);
    return out;
}

}  // namespace k740
