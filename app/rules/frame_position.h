// Where the Offline tab stands in a loaded capture file: the slider's range and value, the
// counter's, and the frame a single step, Home or End leads to. Pure logic: no widgets, no
// player, so a file opened by the dialog, the command line, a drop or the recent-files menu
// gets the same answers.
#pragma once

#include <QString>

#include "app/rules/window_mode.h"

namespace k740 {

// The frames of the loaded file and the one on screen.
struct FramePosition {
    int frames = 0;  // frames the file's catalog holds (the frames the player plays)
    int shown = -1;  // index of the file's frame on screen; -1: none yet (opened, or a pass ended)
};

// The slider runs over exactly the file's frames: its values are frame indices 0 … frames − 1
// (0 … 0 for a file without frames).
int sliderMaximum(int frames);
// Where the slider's handle stands: the frame on screen, the first frame before any.
int sliderValue(const FramePosition& p);
// The counter shows frame numbers from 1, 0 before the first; its range is 0 … frames, so
// its largest value is the file's frame count.
int counterValue(const FramePosition& p);

// Moves within the file by the transport's keys and step buttons.
enum class FrameMove { StepForward, StepBackward, First, Last };

// The frame a move leads to, or -1 when it leads nowhere: a step past either end, or a file
// without frames. Before any frame is shown the file stands before its first frame: a step
// forward shows frame 0, a step backward leads nowhere.
int moveTarget(const FramePosition& p, FrameMove move);

// May the move run now (never with a box: a key held while it may not does nothing)? Single
// steps whenever the file is loaded and does not play — paused, opened and not yet played, or
// after its end — Home and End also while it plays. Nothing while the live display runs.
bool moveAllowed(const WindowState& state, FrameMove move);

// What the operator is told once a file has opened: nothing, that it could not be read to its
// end (`error` says where) and how many frames play, or that it holds no frames in the format
// `format`. `frames` is the count the player plays, the one the slider runs over. Box None:
// nothing to say.
struct OpenedNotice {
    Verdict::Box box = Verdict::Box::None;
    QString title;
    QString text;
};
OpenedNotice openedFileNotice(const QString& file, bool complete, const QString& error,
                              int frames, const QString& format);

}  // namespace k740
