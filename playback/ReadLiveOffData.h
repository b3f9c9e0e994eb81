// The capture-file player: loads a capture file's frame catalog and plays its frames to the
// main window at a chosen speed and direction, with pause and single steps. Frames are
// decoded one at a time from the file when they are played; nothing decoded is kept, and
// the packet bytes stay in the file.
//
// How the window drives it (all calls from the GUI thread):
//
//   ReadLiveOffData player;                       // one for the life of the window
//   connect(&player, &ReadLiveOffData::SendData, window, &manwindow::CalculateCoordinates);
//   connect(&player, &ReadLiveOffData::SendBool, window, &manwindow::FinshorStart);
//   connect(&player, &ReadLiveOffData::SendanalysisDataschedule, window, ...);
//   (all unique, queued: the signals come from the player's thread)
//
//   CaptureOpenResult r = player.open(path, comboBoxLidarModel->currentIndex() != 0, progress);
//   if (!r.opened) warn(r.error);                 // the previous file stays loaded
//   slider: the frames 0 .. player.frameCount() - 1
//
//   Play:       playDirection = +1; stepOnce = 0; player.play();   // starts or resumes
//   Pause:      player.pause();
//   Steps:      player.stepForward() / player.stepBackward()       // while paused
//   Speed:      playSpeedStep = 0..4; playDirection = +1 / -1 (or setDirection)
//   Pace:       player.setRealTime(true): frames come when the capture's record time stamps
//               say, times the speed step's factor; frames too late to be drawn are skipped
//               (framesSkipped()). The window calls frameConsumed() for every SendData it
//               has drawn (setMaxFramesInFlight), so the player knows what is drawn.
//   End report: SendBool(true) once per pass (the end of the file, frame 0 going backward,
//               or a file without frames); the player's thread has then returned, its gate
//               is open and playbackFinished is 1. The next play() starts at frame 0.
#pragma once

#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/lidar_frame.h"
#include "acquisition/receive_engine.h"
#include "playback/capture_index.h"
#include "playback/pause_gate.h"

// Process-wide playback controls, written by the GUI thread and read by the player:
extern std::atomic<int> playDirection;     // +1 (initial) forward, -1 backward
extern std::atomic<int> playSpeedStep;     // 0..4, the pause after each frame (framePauseMs)
extern std::atomic<int> stepOnce;          // 1: close the gate after the next frame
extern std::atomic<int> playbackFinished;  // set to 1 by the player when it reaches an end

// Outcome of loading a capture file.
struct CaptureOpenResult {
    bool opened = false;        // false: nothing changed, the previous file stays loaded
    bool complete = false;      // false with opened: damaged or truncated, the part before plays
    QString error;              // why not opened, or where reading stopped
    std::uint64_t packets = 0;  // sensor packets by the capture-file rule
    int frames = 0;             // frames the player plays
    int sliderFrames = 0;       // the window's count for its slider and spin box
    qint64 milliseconds = 0;    // time taken
};

class ReadLiveOffData : public QThread {
    Q_OBJECT
public:
    explicit ReadLiveOffData(QObject* parent = nullptr);
    ~ReadLiveOffData() override;

    // Loads a capture file in the calling thread: one pass over the file builds the frame
    // catalog (1248/820-byte records with FF EE / A2 5C after a 42-byte header). The mode is
    // fixed here for as long as the file stays loaded. `progress` gets 0..100 and may return
    // false to cancel. On success a running player is stopped first and the previous file is
    // released; on failure nothing changes.
    CaptureOpenResult open(const QString& path, bool singleLine,
                           const std::function<bool(int percent)>& progress = {});
    QString fileName() const { return path_; }
    bool singleLineMode() const { return catalog_.singleLine; }
    int frameCount() const { return static_cast<int>(catalog_.frames.size()); }
    int sliderFrameCount() const { return static_cast<int>(catalog_.sliderFrames); }
    // The loaded file's catalog and its name for the file functions (changed only by open).
    const k740::FrameCatalog& catalog() const { return catalog_; }
    const std::string& filePath() const { return path8_; }

    // Starts the player (first play, or again after it finished: from frame 0) or, while it
    // runs, opens the gate. False when no file is loaded.
    bool play();
    // Closes the gate: the player stops before its next frame.
    void pause();
    // One frame forward (backward) while paused: sets playDirection, stepOnce = 1 and opens
    // the gate; the player shows one frame and closes the gate again.
    void stepForward();
    void stepBackward();
    void setDirection(int direction) { playDirection = direction < 0 ? -1 : 1; }
    // Ends the player's thread now, without an end report, and waits for it.
    void stopPlayback();

    // Seeking. The player's next frame is `frame` (when `shown`, the window already shows it:
    // the next one is the frame after it in the direction then in force, and it counts as
    // the frame shown last). Applies at the player's next frame, or when it starts.
    // Out-of-range frames are clamped.
    void seekTo(int frame, bool shown);
    // Decodes frame `frame` of the loaded file in the calling thread (to show it while the
    // player waits). False when no file is loaded or the frame cannot be read.
    bool frameAt(int frame, LidarDataSingleLine* out);

    k740::PauseGate& pauseGate() { return gate_; }
    bool isPaused() const { return gate_.isClosed(); }
    // The frame shown last (-1 before the first).
    int currentFrame() const { return current_.load(); }

    // Playback at the recorded pace (see playback/real_time_pace.h) instead of the speed
    // table's fixed pauses. Takes effect at the next frame.
    void setRealTime(bool on) { realTime_ = on; }
    bool realTime() const { return realTime_.load(); }
    // Frames skipped at the recorded pace because they could not be drawn in their turn,
    // since the player was made.
    long long framesSkipped() const { return skipped_.load(); }
    int framesInFlight() const { return inFlight_.inFlight(); }

    // Replaces the speed table's pause with a fixed one (milliseconds; -1: the table). For
    // tests and benchmarks.
    void setFramePauseOverride(int ms) { pauseOverride_ = ms; }

    // Frames on their way to the window at most (0, the default: no limit; nobody reports
    // drawing). With a limit the player waits before its next frame until the window has
    // taken enough of them (frameConsumed), so a window that draws slower than the player
    // plays is never flooded: memory stays bounded and a seek shows within a frame or two
    // instead of after a backlog. At the recorded pace, with any limit, the frame before must
    // have been taken first, and a frame whose turn passes meanwhile is skipped.
    void setMaxFramesInFlight(int count) { inFlight_.setLimit(count); }
    // The window has taken one SendData frame (drawn or not).
    void frameConsumed();

signals:
    void SendData(LidarDataSingleLine lidardata);  // once per played frame, a copy
    void SendBool(bool Finsh);                     // the end of a pass, always true
    void SendanalysisDataschedule(int schedule);   // analysis progress 0..100
    void sendFrameIndex(int index);                // index of the frame in the next SendData

protected:
    void run() override;

private:
    void finish(bool resetDirection);
    // Waits until the window may take one more frame; false when stopped from outside.
    bool waitForWindow();
    void sendFrame(int index, const LidarDataSingleLine& frame);
    // At the recorded pace: waits for frame k's turn (and for the frame before it to be
    // drawn). frame is the one to show, k or a later one when k came too late; Again when the
    // operator paused, sought or changed speed, direction or pace meanwhile (frame is then the
    // next in line), Stopped when the player is stopped.
    struct PaceState;
    struct Turn {
        enum Outcome { Show, Again, Stopped } outcome = Show;
        long frame = -1;
    };
    Turn awaitTurn(long k, PaceState& pace);

    k740::PauseGate gate_;
    k740::FrameCatalog catalog_;
    std::string path8_;  // the file name for the file functions
    QString path_;
    std::atomic<int> current_{-1};
    std::atomic<bool> ending_{false};
    std::atomic<int> pauseOverride_{-1};
    std::atomic<int> seekFrame_{-1};  // -1: none
    std::atomic<bool> seekShown_{false};
    std::atomic<bool> realTime_{false};
    std::atomic<long long> skipped_{0};
    k740::FramesInFlight inFlight_;  // the live receivers' hand-off, waited on instead of dropping
    std::unique_ptr<k740::CaptureFrameSource> peek_;  // the calling thread's reader for frameAt
};
