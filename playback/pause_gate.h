// The player's pause gate: a two-state gate that one thread closes and another opens (a mutex
// cannot do this: only its owner may unlock it). The player passes it once per frame and
// sleeps its frame pause on it, so a stop request wakes it at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace k740 {

class PauseGate {
public:
    void close();
    void open();
    bool isClosed() const;

    // Blocks while the gate is closed. False when interrupted (the player is to stop).
    bool pass();
    // Sleeps for `duration` unless interrupted first; false when interrupted.
    bool sleepFor(std::chrono::milliseconds duration);

    // Wakes every waiter and makes pass() and sleepFor() return false until cleared.
    void interrupt();
    void clearInterrupt();

    // Threads blocked in pass() now (lets callers wait for the player to reach the gate).
    int waiting() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closed_ = false;
    bool interrupted_ = false;
    int waiting_ = 0;
};

}  // namespace k740
