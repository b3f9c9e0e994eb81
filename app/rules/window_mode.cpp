// The window's mode table: transitions, permissions with their refusal texts, derived flags.
#include "app/rules/window_mode.h"

namespace k740 {

namespace {

bool isLive(WindowMode m) { return m == WindowMode::Live || m == WindowMode::LivePaused; }
bool isPlayback(WindowMode m) {
    return m == WindowMode::Playing || m == WindowMode::PlaybackPaused;
}

Verdict refuse(Verdict::Box box, const char* text) {
    Verdict v;
    v.allowed = false;
    v.box = box;
    v.title = QStringLiteral("warn");
    v.text = QString::fromUtf8(text);
    return v;
}

Verdict quietRefusal() {
    Verdict v;
    v.allowed = false;
    return v;
}

// The refusal texts, each said in one place.
constexpr const char* kPlayingRefusesLive =
    "The current video is playing and the real - time lidar display cannot be turned on";
constexpr const char* kNotLiveRefusesPause =
    "This operation cannot be performed because lidar data is not being played";
constexpr const char* kConnectFirst = "Please connect the lidar first";
// The trailing blank is part of the text.
constexpr const char* kLiveRefusesPlayback =
    "The real-time lidar data is being played. Please close the lidar connection before playing "
    "offline data ";
// Said in the same words as the refusal of Play: a file opened now would load behind the
// live cloud.
constexpr const char* kLiveRefusesOpening =
    "The real-time lidar data is being played. Please close the lidar connection before opening "
    "a capture file";

}  // namespace

WindowMode nextMode(WindowMode mode, WindowEvent event) {
    switch (event) {
        case WindowEvent::LiveOn:
            // A paused file stays parked with the player while the live display runs.
            return (mode == WindowMode::Idle || mode == WindowMode::PlaybackPaused)
                       ? WindowMode::Live
                       : mode;
        case WindowEvent::LiveOff:
            return isLive(mode) ? WindowMode::Idle : mode;
        case WindowEvent::DisplayPaused:
            return mode == WindowMode::Live ? WindowMode::LivePaused : mode;
        case WindowEvent::DisplayResumed:
            return mode == WindowMode::LivePaused ? WindowMode::Live : mode;
        case WindowEvent::PlaybackStarted:
            return (mode == WindowMode::Idle || mode == WindowMode::PlaybackPaused)
                       ? WindowMode::Playing
                       : mode;
        case WindowEvent::PlaybackPaused:
            return mode == WindowMode::Playing ? WindowMode::PlaybackPaused : mode;
        case WindowEvent::PlaybackEnded:
            return isPlayback(mode) ? WindowMode::Idle : mode;
        case WindowEvent::FileOpened:
        case WindowEvent::FrameShown:
        case WindowEvent::RecordingStarted:
        case WindowEvent::RecordingStopped:
            return mode;
    }
    return mode;
}

bool WindowState::sameAs(WindowMode mode, bool fileLoaded, bool finished, bool recording,
                         bool parked) const {
    return mode_ == mode && fileLoaded_ == fileLoaded && finished_ == finished &&
           recording_ == recording && fileParked_ == parked;
}

void WindowState::apply(WindowEvent event) {
    const WindowMode before = mode_;
    const bool loaded = fileLoaded_, finished = finished_, recording = recording_, parked = fileParked_;
    mode_ = nextMode(mode_, event);
    switch (event) {
        case WindowEvent::LiveOn:
            if (before == WindowMode::PlaybackPaused && mode_ == WindowMode::Live) fileParked_ = true;
            break;
        case WindowEvent::LiveOff:
            if (isLive(before) && fileParked_) {
                mode_ = WindowMode::PlaybackPaused;
                fileParked_ = false;
            }
            break;
        case WindowEvent::PlaybackStarted:
            if (mode_ == WindowMode::Playing) finished_ = false;
            break;
        case WindowEvent::PlaybackEnded:
            if (isPlayback(before)) finished_ = true;
            break;
        case WindowEvent::FileOpened:
            // A new file starts from its beginning, not where one was paused.
            fileLoaded_ = true;
            finished_ = false;
            fileParked_ = false;
            break;
        case WindowEvent::FrameShown:
            finished_ = false;
            break;
        case WindowEvent::RecordingStarted:
        case WindowEvent::RecordingStopped:
            recording_ = event == WindowEvent::RecordingStarted;
            break;
        case WindowEvent::DisplayPaused:
        case WindowEvent::DisplayResumed:
        case WindowEvent::PlaybackPaused:
            break;
    }
    if (sameAs(before, loaded, finished, recording, parked)) return;
    for (const Follower& f : followers_) f(*this);
}

Verdict mayRun(const WindowState& state, WindowAction action) {
    const WindowMode m = state.mode();
    switch (action) {
        case WindowAction::ToggleLive:
            if (m == WindowMode::Playing) return refuse(Verdict::Box::Warning, kPlayingRefusesLive);
            return {};
        case WindowAction::PauseDisplay:
            if (!isLive(m)) return refuse(Verdict::Box::Warning, kNotLiveRefusesPause);
            return {};
        case WindowAction::ToggleRecording:
            // A running recording can always be stopped, live display or not: otherwise it
            // would go on writing until the display is switched on again.
            if (state.recording()) return {};
            if (!isLive(m)) return refuse(Verdict::Box::Information, kConnectFirst);
            return {};
        case WindowAction::OpenExportOptions:
            if (!isLive(m)) return refuse(Verdict::Box::Information, kConnectFirst);
            return {};
        case WindowAction::OpenFile:
            // Open stays disabled from the first Play until the player's end report.
            if (isPlayback(m)) return quietRefusal();
            if (isLive(m)) return refuse(Verdict::Box::Warning, kLiveRefusesOpening);
            return {};
        case WindowAction::Play:
            if (isLive(m)) return refuse(Verdict::Box::Warning, kLiveRefusesPlayback);
            if (!state.fileLoaded()) return quietRefusal();
            return {};
        case WindowAction::StepFrame:
            // A single step plays a frame: refused while live like Play.
            if (isLive(m)) return refuse(Verdict::Box::Warning, kLiveRefusesPlayback);
            if (!state.fileLoaded() || m == WindowMode::Playing) return quietRefusal();
            return {};
    }
    return quietRefusal();
}

bool liveRunning(const WindowState& s) { return isLive(s.mode()); }
bool displayRunning(const WindowState& s) { return s.mode() != WindowMode::LivePaused; }
bool notPlayingOffline(const WindowState& s) { return s.mode() != WindowMode::Playing; }
bool playbackActive(const WindowState& s) { return isPlayback(s.mode()); }
bool playbackFinished(const WindowState& s) { return s.finished(); }

const char* modeName(WindowMode mode) {
    switch (mode) {
        case WindowMode::Idle:
            return "idle";
        case WindowMode::Live:
            return "live";
        case WindowMode::LivePaused:
            return "live, display paused";
        case WindowMode::Playing:
            return "playing";
        case WindowMode::PlaybackPaused:
            return "playback paused";
    }
    return "?";
}

const char* actionName(WindowAction action) {
    switch (action) {
        case WindowAction::ToggleLive:
            return "toggle live";
        case WindowAction::PauseDisplay:
            return "pause display";
        case WindowAction::ToggleRecording:
            return "toggle recording";
        case WindowAction::OpenExportOptions:
            return "export options";
        case WindowAction::OpenFile:
            return "open file";
        case WindowAction::Play:
            return "play";
        case WindowAction::StepFrame:
            return "single step";
    }
    return "?";
}

}  // namespace k740
