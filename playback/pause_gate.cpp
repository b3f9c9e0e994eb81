// The player's pause gate.
#include "playback/pause_gate.h"

namespace k740 {

void PauseGate::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
}

void PauseGate::open() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = false;
    }
    changed_.notify_all();
}

bool PauseGate::isClosed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

bool PauseGate::pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    changed_.wait(lock, [this] { return !closed_ || interrupted_; });
    --waiting_;
    return !interrupted_;
}

bool PauseGate::sleepFor(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return interrupted_; });
}

void PauseGate::interrupt() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    changed_.notify_all();
}

void PauseGate::clearInterrupt() {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = false;
}

int PauseGate::waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
}

}  // namespace k740
