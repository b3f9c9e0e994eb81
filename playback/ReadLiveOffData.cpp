// The capture-file player thread.
#include "playback/ReadLiveOffData.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

#include "acquisition/metatypes.h"
#include "playback/playback_sequencer.h"
#include "playback/real_time_pace.h"

std::atomic<int> playDirection{1};
std::atomic<int> playSpeedStep{0};
std::atomic<int> stepOnce{0};
std::atomic<int> playbackFinished{0};

namespace {

std::int64_t wallNowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

// The recorded pace of one pass: the clock and what it was set for.
struct ReadLiveOffData::PaceState {
    explicit PaceState(const std::vector<std::int64_t>& times) : pace(times) {}
    k740::RealTimePace pace;
    int speedStep = 0;  // the speed and direction the clock runs for
    int direction = 1;
    long lastShown = -1;  // the frame shown last at the recorded pace, and when
    std::int64_t lastShownUs = 0;
};

ReadLiveOffData::ReadLiveOffData(QObject* parent) : QThread(parent) { k740::registerMetaTypes(); }

ReadLiveOffData::~ReadLiveOffData() { stopPlayback(); }

CaptureOpenResult ReadLiveOffData::open(const QString& path, bool singleLine,
                                        const std::function<bool(int)>& progress) {
    CaptureOpenResult result;
    QElapsedTimer timer;
    timer.start();
    const std::string name = QFile::encodeName(path).toStdString();
    k740::CaptureProgress onProgress;
    if (progress) {
        onProgress = [&progress](std::int64_t done, std::int64_t total) {
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
            return progress(percent);
        };
    }
    k740::CatalogResult built = k740::buildFrameCatalog(name, singleLine, onProgress);
    result.milliseconds = timer.elapsed();
    if (!built.status.opened || built.cancelled) {
        result.error = QString::fromStdString(built.status.error);
        return result;  // the previous file stays loaded
    }
    const std::size_t limit = static_cast<std::size_t>(std::numeric_limits<int>::max());
    if (built.catalog.frames.size() > limit || built.catalog.sliderFrames > limit) {
        result.error = QStringLiteral("the capture file holds more frames than can be played");
        return result;
    }
    stopPlayback();  // the player reads the catalog: release it only once the thread is gone
    catalog_ = std::move(built.catalog);
    path8_ = name;
    path_ = path;
    current_ = -1;
    seekFrame_ = -1;
    peek_.reset();
    if (progress) progress(100);
    result.opened = true;
    result.complete = built.status.complete;
    result.error = QString::fromStdString(built.status.error);
    result.packets = catalog_.packets;
    result.frames = frameCount();
    result.sliderFrames = sliderFrameCount();
    return result;
}

void ReadLiveOffData::seekTo(int frame, bool shown) {
    const int frames = frameCount();
    if (frames <= 0) return;
    const int clamped = frame < 0 ? 0 : (frame >= frames ? frames - 1 : frame);
    seekShown_ = shown;
    seekFrame_ = clamped;
    if (shown) current_ = clamped;
}

bool ReadLiveOffData::frameAt(int frame, LidarDataSingleLine* out) {
    if (frame < 0 || frame >= frameCount()) return false;
    if (!peek_) {
        peek_ = std::make_unique<k740::CaptureFrameSource>();
        if (!peek_->open(path8_, &catalog_)) {
            peek_.reset();
            return false;
        }
    }
    return peek_->decode(static_cast<std::size_t>(frame), *out);
}

bool ReadLiveOffData::play() {
    if (path_.isEmpty()) return false;
    if (isRunning() && !ending_.load()) {
        gate_.open();
        return true;
    }
    wait();  // a pass that ended (or is returning after its end report): reap it first
    gate_.clearInterrupt();
    gate_.open();
    playbackFinished = 0;
    ending_ = false;
    current_ = -1;
    inFlight_.clear();  // frames of an earlier pass have been taken or dropped by now
    start();
    return true;
}

void ReadLiveOffData::pause() { gate_.close(); }

void ReadLiveOffData::frameConsumed() { inFlight_.release(); }

bool ReadLiveOffData::waitForWindow() {
    for (;;) {
        if (inFlight_.hasRoom()) return true;
        if (!gate_.sleepFor(std::chrono::milliseconds(2))) return false;
    }
}

void ReadLiveOffData::stepForward() {
    playDirection = 1;
    stepOnce = 1;
    gate_.open();
}

void ReadLiveOffData::stepBackward() {
    playDirection = -1;
    stepOnce = 1;
    gate_.open();
}

void ReadLiveOffData::stopPlayback() {
    gate_.interrupt();
    wait();
    gate_.clearInterrupt();
    gate_.open();
}

void ReadLiveOffData::sendFrame(int index, const LidarDataSingleLine& frame) {
    if (inFlight_.limit() > 0) inFlight_.takeAlways();
    emit sendFrameIndex(index);
    emit SendData(frame);
}

ReadLiveOffData::Turn ReadLiveOffData::awaitTurn(long k, PaceState& state) {
    const int direction = k740::normalizedDirection(playDirection.load());
    const int speed = playSpeedStep.load();
    const double factor = k740::paceFactor(speed);
    if (state.pace.anchored() && (speed != state.speedStep || direction != state.direction)) {
        // Another speed or direction: the clock counts afresh from the frame shown last.
        if (state.lastShown >= 0)
            state.pace.anchor(state.lastShown, state.lastShownUs, factor);
        else
            state.pace.reset();
    }
    state.speedStep = speed;
    state.direction = direction;
    // The first frame of a play, and the first after a pause or a seek, comes at once.
    if (!state.pace.anchored()) state.pace.anchor(k, wallNowUs(), factor);
    // The operator acts while the player waits for a turn (a turn can be seconds away at
    // "0.25x"): a pause, a seek, another speed or direction, or "Real time" unticked are
    // taken up at once instead of after the wait.
    auto operatorActed = [&] {
        return gate_.isClosed() || seekFrame_.load() >= 0 || !realTime_.load() ||
               playSpeedStep.load() != speed || k740::normalizedDirection(playDirection.load()) != direction;
    };
    // Sleeps until wall time `until` in short slices; false when stopped or the operator acted.
    constexpr std::int64_t kSliceUs = 10'000;
    Turn turn;
    auto sleepUntil = [&](std::int64_t until, const std::function<bool()>& done) {
        for (std::int64_t now = wallNowUs(); now < until && !done(); now = wallNowUs()) {
            if (operatorActed()) {
                turn.outcome = Turn::Again;
                return false;
            }
            const std::int64_t us = std::min(until - now, kSliceUs);
            if (!gate_.sleepFor(std::chrono::milliseconds((us + 999) / 1000))) {
                turn.outcome = Turn::Stopped;
                return false;
            }
        }
        return true;
    };
    for (;;) {
        const k740::PaceStep step = state.pace.next(k, direction, wallNowUs());
        skipped_ += step.skipped;
        k = step.frame;
        turn.frame = k;
        if (!sleepUntil(step.showAtUs, [] { return false; })) return turn;
        // The frame before must be drawn first. Waiting for it past the next frame's turn
        // makes this one too late as well: round again, and it is passed over. The frame at
        // the end of the way is never passed over and goes at its turn.
        const int limit = inFlight_.limit() > 0 ? 1 : 0;
        const long after = k + direction;
        if (limit <= 0 || after < 0 || after >= state.pace.frames()) return turn;
        if (!sleepUntil(state.pace.dueAt(after), [&] { return inFlight_.inFlight() < limit; })) return turn;
        if (inFlight_.inFlight() < limit) return turn;
    }
}

void ReadLiveOffData::finish(bool resetDirection) {
    ending_ = true;  // the thread returns right after the report: a play then restarts it
    seekFrame_ = -1;  // a seek that came too late for this pass does not carry into the next
    playbackFinished = 1;
    if (resetDirection) playDirection = 1;
    // A player that stops leaves its gate open, even after a single step closed it, so that
    // the next play does not block at once.
    gate_.open();
    emit SendBool(true);
}

void ReadLiveOffData::run() {
    // Analysis progress over the file's packets: p / (count - 1) * 100, and 100 for a file of
    // one packet. The catalog was built at loading; the values are reported as they change.
    const std::uint64_t packets = catalog_.packets;
    int reported = -1;
    for (std::uint64_t p = 0; p < packets; ++p) {
        const int percent = packets == 1 ? 100 : static_cast<int>(p * 100 / (packets - 1));
        if (percent != reported) {
            reported = percent;
            emit SendanalysisDataschedule(percent);
        }
    }

    k740::CaptureFrameSource source;
    const std::size_t frames = catalog_.frames.size();
    if (frames == 0 || !source.open(path8_, &catalog_)) {
        // Nothing to play (or the file is gone): end at once and say so, so the window
        // returns to idle instead of waiting for an end that never comes.
        finish(true);
        return;
    }
    k740::PlaybackSequencer sequencer(frames);
    PaceState pace(k740::frameTimesUs(catalog_));
    LidarDataSingleLine frame;
    int retryDirection = 0;  // non-zero: the direction of a turn given up (see awaitTurn)
    for (;;) {
        // At the fixed pauses the window first takes what it has been sent (a seek made
        // meanwhile applies next); at the recorded pace a frame not taken in its turn is
        // passed over instead (awaitTurn), so the clock never waits for the window.
        if (!realTime_.load() && !waitForWindow()) return;
        // The direction before the gate: after a turn given up, the one that turn was for.
        int before = retryDirection != 0 ? retryDirection : playDirection.load();
        retryDirection = 0;
        const bool waited = gate_.isClosed();
        if (!gate_.pass()) return;  // stopped from outside
        if (waited) pace.pace.reset();  // after a pause or a step the clock starts afresh
        const int seek = seekFrame_.exchange(-1);
        if (seek >= 0) {
            // The operator moved the slider: go on from there in the direction now in force.
            const int direction = k740::normalizedDirection(playDirection.load());
            sequencer.seek(seekShown_.load() ? long(seek) + direction : long(seek));
            before = playDirection.load();
            pace.pace.reset();
        }
        const int direction = playDirection.load();
        long k = sequencer.enter(before, direction);
        if (k < 0) {
            finish(true);
            return;
        }
        const bool realTime = realTime_.load();
        if (realTime) {
            const Turn turn = awaitTurn(k, pace);
            if (turn.outcome == Turn::Stopped) return;
            if (turn.frame != k) sequencer.seek(turn.frame);  // frames passed over
            if (turn.outcome == Turn::Again) {
                // The operator acted while the player waited: round again from the gate, the
                // frame still next in line in the direction it was going.
                retryDirection = direction;
                continue;
            }
            k = turn.frame;
        } else {
            pace.pace.reset();
            pace.lastShown = -1;
        }
        std::string error;
        if (!source.decode(static_cast<std::size_t>(k), frame, &error)) {
            // The file changed or was cut short since it was opened: the end of what can play.
            finish(true);
            return;
        }
        current_ = static_cast<int>(k);
        sendFrame(static_cast<int>(k), frame);
        if (realTime) {
            pace.lastShown = k;
            pace.lastShownUs = wallNowUs();
        } else {
            const int override = pauseOverride_.load();
            const int pause = override >= 0 ? override : k740::framePauseMs(playSpeedStep.load());
            if (!gate_.sleepFor(std::chrono::milliseconds(pause))) return;
        }
        if (stepOnce.exchange(0) == 1) gate_.close();
        switch (sequencer.leave(playDirection.load())) {
            case k740::PlaybackSequencer::End::None:
                break;
            case k740::PlaybackSequencer::End::LastFrame:
                finish(false);
                return;
            case k740::PlaybackSequencer::End::FirstFrameBackward:
                sendFrame(0, frame);  // frame 0 once more, as the end marker
                finish(true);
                return;
        }
    }
}
