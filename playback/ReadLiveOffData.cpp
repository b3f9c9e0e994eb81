// The capture-file player thread.
#include "playback/ReadLiveOffData.h"

#include <QElapsedTimer>
#include <QFile>
#include <chrono>
#include <limits>
#include <utility>

#include "acquisition/metatypes.h"
#include "playback/playback_sequencer.h"

std::atomic<int> playDirection{1};
std::atomic<int> playSpeedStep{0};
std::atomic<int> stepOnce{0};
std::atomic<int> playbackFinished{0};

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
    loaded_ = true;
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
    if (!loaded_ || frame < 0 || frame >= frameCount()) return false;
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
    if (!loaded_) return false;
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
    inFlight_ = 0;  // frames of an earlier pass have been taken or dropped by now
    start();
    return true;
}

void ReadLiveOffData::pause() { gate_.close(); }

void ReadLiveOffData::frameConsumed() {
    int n = inFlight_.load();
    while (n > 0 && !inFlight_.compare_exchange_weak(n, n - 1)) {
    }
}

bool ReadLiveOffData::waitForWindow() {
    for (;;) {
        const int limit = inFlightLimit_.load();
        if (limit <= 0 || inFlight_.load() < limit) return true;
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
    LidarDataSingleLine frame;
    for (;;) {
        // The window first takes what it has been sent; a seek made meanwhile applies next.
        if (!waitForWindow()) return;
        int before = playDirection.load();
        if (!gate_.pass()) return;  // stopped from outside
        const int seek = seekFrame_.exchange(-1);
        if (seek >= 0) {
            // The operator moved the slider: go on from there in the direction now in force.
            const int direction = k740::normalizedDirection(playDirection.load());
            sequencer.seek(seekShown_.load() ? long(seek) + direction : long(seek));
            before = playDirection.load();
        }
        const long k = sequencer.enter(before, playDirection.load());
        if (k < 0) {
            finish(true);
            return;
        }
        std::string error;
        if (!source.decode(static_cast<std::size_t>(k), frame, &error)) {
            // The file changed or was cut short since it was opened: the end of what can play.
            finish(true);
            return;
        }
        current_ = static_cast<int>(k);
        emit sendFrameIndex(static_cast<int>(k));
        ++inFlight_;
        emit SendData(frame);
        const int override = pauseOverride_.load();
        const int pause = override >= 0 ? override : k740::framePauseMs(playSpeedStep.load());
        if (!gate_.sleepFor(std::chrono::milliseconds(pause))) return;
        if (stepOnce.exchange(0) == 1) gate_.close();
        switch (sequencer.leave(playDirection.load())) {
            case k740::PlaybackSequencer::End::None:
                break;
            case k740::PlaybackSequencer::End::LastFrame:
                finish(false);
                return;
            case k740::PlaybackSequencer::End::FirstFrameBackward:
                emit sendFrameIndex(0);
                ++inFlight_;
                emit SendData(frame);  // frame 0 once more, as the end marker
                finish(true);
                return;
        }
    }
}
