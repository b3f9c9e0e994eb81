// The main window's mode and the one table that says which action may run in it. Pure logic:
// no widgets, no threads, so the rules are tested without a display.
#pragma once

#include <QString>
#include <functional>
#include <vector>

namespace k740 {

// What the window is doing. Live display and playback exclude each other; pausing the display
// is a kind of live, pausing playback a kind of playback.
enum class WindowMode {
    Idle,            // neither live display nor playback
    Live,            // the live display runs
    LivePaused,      // the live display runs, drawing is paused ("Pause")
    Playing,         // a capture file plays
    PlaybackPaused,  // a capture file is paused (single steps allowed)
};

// What changes the mode.
enum class WindowEvent {
    LiveOn,
    LiveOff,
    DisplayPaused,
    DisplayResumed,
    PlaybackStarted,  // Play pressed: start or resume
    PlaybackPaused,   // Play pressed again
    PlaybackEnded,    // the player reported its end
    FileOpened,       // a capture file was loaded: it stands before its first frame
    FrameShown,       // a seek showed a frame of the file: it is no longer at its end
    RecordingStarted,
    RecordingStopped,
};

// Actions the operator starts whose permission depends on the mode.
enum class WindowAction {
    ToggleLive,         // "Lidar": on or off
    PauseDisplay,       // "Pause" / "Paly ": pause or resume drawing
    ToggleRecording,    // "Record": start a recording, or stop the running one
    OpenExportOptions,  // "SaveData": the CSV export options
    OpenFile,           // "Open": load a capture file
    Play,               // the play/pause transport button
    StepFrame,          // single step forward or backward
};

constexpr WindowMode kAllModes[] = {WindowMode::Idle, WindowMode::Live, WindowMode::LivePaused,
                                    WindowMode::Playing, WindowMode::PlaybackPaused};
constexpr WindowAction kAllActions[] = {
    WindowAction::ToggleLive,        WindowAction::PauseDisplay, WindowAction::ToggleRecording,
    WindowAction::OpenExportOptions, WindowAction::OpenFile,     WindowAction::Play,
    WindowAction::StepFrame};

// The mode and the facts that stand beside it. They change only through events; whoever
// follows them is told after each event that changed something.
class WindowState {
public:
    WindowState() = default;
    // A state as it stands: in `mode`, with or without a loaded file and a running recording.
    explicit WindowState(WindowMode mode, bool fileLoaded = false, bool recording = false)
        : mode_(mode), fileLoaded_(fileLoaded), recording_(recording) {}
    WindowState(const WindowState&) = delete;
    WindowState& operator=(const WindowState&) = delete;

    WindowMode mode() const { return mode_; }
    bool fileLoaded() const { return fileLoaded_; }  // a capture file is loaded: the transport may run
    bool finished() const { return finished_; }  // the player reported its end; the next Play starts at frame 0
    bool recording() const { return recording_; }  // a recording runs (it outlives the live display)
    // A paused file waits with the player while the live display runs: switching the live
    // display off again returns to the paused file (its counter, steps and speeds).
    bool fileParked() const { return fileParked_; }

    // Moves to the mode the event leads to and keeps the facts that follow from it.
    void apply(WindowEvent event);

    // `follower` is called after every event that changed the mode or a fact.
    using Follower = std::function<void(const WindowState&)>;
    void follow(Follower follower) { followers_.push_back(std::move(follower)); }

private:
    bool sameAs(WindowMode mode, bool fileLoaded, bool finished, bool recording, bool parked) const;

    WindowMode mode_ = WindowMode::Idle;
    bool fileLoaded_ = false;
    bool finished_ = false;
    bool recording_ = false;
    bool fileParked_ = false;
    std::vector<Follower> followers_;
};

// The mode an event leads to. An event that does not apply in a mode leaves it unchanged.
WindowMode nextMode(WindowMode mode, WindowEvent event);

// The answer of the table: may the action run now, and if not, what the operator is told.
struct Verdict {
    enum class Box { None, Warning, Information };
    bool allowed = true;
    Box box = Box::None;  // refused without a box: the control is disabled in that state
    QString title;
    QString text;
};

Verdict mayRun(const WindowState& state, WindowAction action);

// The window's named state flags, each derived from the state.
bool liveRunning(const WindowState& s);        // live display switched on
bool displayRunning(const WindowState& s);     // false while drawing is paused with "Pause"
bool notPlayingOffline(const WindowState& s);  // false while a capture file plays
bool playbackActive(const WindowState& s);     // playing or paused within a file
bool playbackFinished(const WindowState& s);   // the player reported its end

// A read-only flag that follows the state: reads like the bool it replaces, cannot be
// written, so the mode stays the one place that decides.
class ModeFlag {
public:
    using Rule = bool (*)(const WindowState&);
    ModeFlag(const WindowState& state, Rule rule) : state_(&state), rule_(rule) {}
    ModeFlag(const ModeFlag&) = delete;
    ModeFlag& operator=(const ModeFlag&) = delete;
    operator bool() const { return rule_(*state_); }  // NOLINT: reads as the flag it stands for

private:
    const WindowState* state_;
    Rule rule_;
};

const char* modeName(WindowMode mode);
const char* actionName(WindowAction action);

}  // namespace k740
