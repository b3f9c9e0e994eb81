// The Offline tab's position in a loaded capture file.
#include "app/rules/frame_position.h"

#include <algorithm>

namespace k740 {

int sliderMaximum(int frames) { return std::max(0, frames - 1); }

int sliderValue(const FramePosition& p) {
    if (p.frames <= 0) return 0;
    return std::clamp(p.shown, 0, p.frames - 1);
}

int counterValue(const FramePosition& p) {
    if (p.frames <= 0 || p.shown < 0) return 0;
    return std::min(p.shown, p.frames - 1) + 1;
}

int moveTarget(const FramePosition& p, FrameMove move) {
    if (p.frames <= 0) return -1;
    const int shown = std::min(p.shown, p.frames - 1);
    switch (move) {
        case FrameMove::First:
            return 0;
        case FrameMove::Last:
            return p.frames - 1;
        case FrameMove::StepForward:
            return shown + 1 < p.frames ? shown + 1 : -1;
        case FrameMove::StepBackward:
            return shown > 0 ? shown - 1 : -1;
    }
    return -1;
}

bool moveAllowed(const WindowState& state, FrameMove move) {
    if (!state.fileLoaded() || liveRunning(state)) return false;
    if (move == FrameMove::First || move == FrameMove::Last) return true;
    return mayRun(state, WindowAction::StepFrame).allowed;
}

OpenedNotice openedFileNotice(const QString& file, bool complete, const QString& error,
                              int frames, const QString& format) {
    OpenedNotice notice;
    notice.title = QStringLiteral("warn");
    if (!complete) {
        notice.box = Verdict::Box::Warning;
        notice.text = QStringLiteral("The capture file \"%1\" could not be read to its end (%2). "
                                     "The %3 frames before that can be played.")
                          .arg(file, error)
                          .arg(frames);
    } else if (frames == 0) {
        notice.box = Verdict::Box::Information;
        notice.text = QStringLiteral("There are no frames in the capture file \"%1\" in the "
                                     "format \"%2\" (the model list on the K740-P tab).")
                          .arg(file, format);
    }
    return notice;
}

}  // namespace k740
