// The simulated sensor's sending thread: paces the sweep (or a capture being replayed) and
// the once-a-second device information packet over UDP.
#include "sim/sim_engine.h"

#include "acquisition/frame_assembler.h"

#include <algorithm>
#include <utility>

namespace k740::sim {

namespace {

// The thread wakes at most this often and sends whatever fell due meanwhile: a small burst.
constexpr auto kBurstInterval = std::chrono::milliseconds(2);
// At most this many packets go out in one wake-up. When the schedule lags by more than
// kMaxLag (a stalled machine) it is moved on instead of flooding the receiver.
constexpr int kMaxBurst = 256;
constexpr auto kMaxLag = std::chrono::seconds(1);
// One device information packet per simulated second (speedFactor shortens it).
constexpr double kDevicePeriodSeconds = 1.0;

std::int64_t wallClockNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

SimEngine::SimEngine(SimConfig config) : config_(std::move(config)), state_(initialState(config_)) {
    if (!(config_.speedFactor > 0.0)) config_.speedFactor = 1.0;
}

SimEngine::~SimEngine() {
    stop();
    closeReplay();
}

bool SimEngine::checkReplayFile(const std::string& path, std::string* error) {
    SensorRecordReader reader;
    if (reader.open(path, SensorKind::Either)) return true;
    if (error) *error = "cannot read capture file " + path + ": " + reader.error();
    return false;
}

bool SimEngine::openReplay(std::string* error) {
    if (replay_.open(config_.replayFile, SensorKind::Either)) return true;
    if (error) *error = "cannot read capture file " + config_.replayFile + ": " + replay_.error();
    return false;
}

void SimEngine::closeReplay() { replay_.close(); }

bool SimEngine::start(std::string* error) {
    if (thread_.joinable()) {
        if (running_) {
            if (error) *error = "the simulated sensor is already running";
            return false;
        }
        thread_.join();  // a replay that ended by itself
    }
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        socket_.close();
        closeReplay();
        return false;
    };
    const std::string& dest = config_.multicastGroup.empty() ? config_.host : config_.multicastGroup;
    std::uint32_t ignored = 0;
    if (!UdpSocket::parseIPv4(dest, &ignored)) return fail("not an IPv4 address: " + dest);
    if (!config_.replayFile.empty() && !openReplay(error)) return false;
    if (!socket_.open()) return fail("cannot create a UDP socket");
    if (!config_.sourceAddress.empty() && !socket_.bind(0, config_.sourceAddress))
        return fail("cannot bind to source address " + config_.sourceAddress);
    if (!config_.multicastGroup.empty()) {
        if (!config_.multicastInterface.empty() && !socket_.setMulticastInterface(config_.multicastInterface))
            return fail("cannot send multicast through interface " + config_.multicastInterface);
        socket_.setMulticastLoop(true);
    }
    dataDestination_ = dest;
    stopRequested_ = false;
    running_ = true;
    replayHaveBase_ = false;
    replaySentThisPass_ = 0;
    thread_ = std::thread(&SimEngine::run, this);
    return true;
}

void SimEngine::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    running_ = false;
    socket_.close();
    closeReplay();
}

bool SimEngine::running() const { return running_; }
std::uint64_t SimEngine::dataPacketsSent() const { return dataSent_; }
std::uint64_t SimEngine::devicePacketsSent() const { return deviceSent_; }

SimState SimEngine::state() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
}

void SimEngine::setDevicePacketSocket(UdpSocket* socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    deviceSocket_ = socket;
}

void SimEngine::setState(const SimState& state) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
    ++stateVersion_;
}

std::int64_t SimEngine::simulatedNowNs() const {
    const double elapsed = std::chrono::duration<double>(Clock::now() - t0_).count();
    return simStartNs_ + static_cast<std::int64_t>(elapsed * config_.speedFactor * 1e9);
}

bool SimEngine::fetchSynthetic(SweepGenerator& gen, Pending& out) {
    // While the motor stands the generator hands out empty packets: the schedule goes on,
    // nothing is sent.
    const std::int64_t simNs = gen.now();
    out.packet = gen.next();
    const double realSeconds = static_cast<double>(simNs - simStartNs_) * 1e-9 / config_.speedFactor;
    out.due = t0_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(realSeconds));
    return true;
}

bool SimEngine::fetchReplay(Pending& out) {
    for (;;) {
        if (!replay_.isOpen()) return false;
        SensorRecord rec;
        if (replay_.next(rec) == SensorRecordReader::Result::Packet) {
            const std::int64_t t = rec.seconds * 1000000000LL + rec.nanoseconds;
            if (!replayHaveBase_) {
                replayHaveBase_ = true;
                replayFirstNs_ = t;
            }
            const double offset = static_cast<double>(std::max<std::int64_t>(0, t - replayFirstNs_)) * 1e-9 /
                                  config_.speedFactor;
            out.due = replayPassStart_ +
                      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(offset));
            out.due = std::max(out.due, replayLastDue_);  // records out of order go at once
            replayLastDue_ = out.due;
            out.packet.size = rec.length;
            std::copy(rec.payload, rec.payload + rec.length, out.packet.bytes.begin());
            ++replaySentThisPass_;
            return true;
        }
        // End of file or a damaged record: the pass is over.
        if (!config_.replayLoop || replaySentThisPass_ == 0) return false;
        if (!openReplay(nullptr)) return false;
        replayHaveBase_ = false;
        replaySentThisPass_ = 0;
        replayPassStart_ = replayLastDue_ + std::chrono::milliseconds(1);
    }
}

void SimEngine::run() {
    SimState state;
    std::uint64_t seenVersion = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state = state_;
        seenVersion = stateVersion_;
    }
    t0_ = Clock::now();
    simStartNs_ = wallClockNs();
    replayPassStart_ = t0_;
    replayLastDue_ = t0_;
    SweepGenerator gen(state, simStartNs_);
    const bool replaying = !config_.replayFile.empty();
    Clock::duration shift{0};  // how far the schedule was moved on after falling behind

    Pending pending;
    bool havePending = replaying ? fetchReplay(pending) : fetchSynthetic(gen, pending);
    Clock::time_point deviceDue = t0_;
    const auto devicePeriod = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(kDevicePeriodSeconds / config_.speedFactor));

    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopRequested_ && havePending) {
        if (stateVersion_ != seenVersion) {
            state = state_;
            seenVersion = stateVersion_;
            gen.setState(state);
        }
        lock.unlock();

        Clock::time_point now = Clock::now();
        if (now - (pending.due + shift) > kMaxLag) shift = now - pending.due;
        int burst = 0;
        while (havePending && pending.due + shift <= now && burst < kMaxBurst) {
            if (pending.packet.size > 0 &&
                socket_.sendTo(pending.packet.bytes.data(), pending.packet.size, dataDestination_,
                               state.dataPort) == static_cast<long>(pending.packet.size))
                ++dataSent_;
            havePending = replaying ? fetchReplay(pending) : fetchSynthetic(gen, pending);
            ++burst;
        }
        if (config_.deviceInfo && deviceDue <= now) {
            const auto pkt = buildDevicePacket(
                state, civilTime(simulatedNowNs(), state.timeSource == TimeSource::LocalClock));
            std::lock_guard<std::mutex> deviceLock(mutex_);
            UdpSocket& out = deviceSocket_ ? *deviceSocket_ : socket_;
            if (out.sendTo(pkt.data(), pkt.size(), config_.host, state.devicePort) ==
                static_cast<long>(pkt.size()))
                ++deviceSent_;
            deviceDue += devicePeriod;
            if (deviceDue <= now) deviceDue = now + devicePeriod;
        }

        Clock::time_point wakeAt = havePending ? pending.due + shift : now;
        if (config_.deviceInfo) wakeAt = std::min(wakeAt, deviceDue);
        wakeAt = std::max(wakeAt, now + kBurstInterval);
        if (burst >= kMaxBurst) wakeAt = now;  // still behind: go on at once
        lock.lock();
        wake_.wait_until(lock, wakeAt, [this] { return stopRequested_.load(); });
    }
    running_ = false;
}

std::vector<LidarDataSingleLine> sweepFrames(int rpm, int count) {
    SimConfig config;
    config.protocol = 1;
    config.rpm = rpm;
    SweepGenerator sweep(initialState(config), 0);
    std::vector<LidarDataSingleLine> frames;
    LiveFrameAssembler assembler([&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
    while (int(frames.size()) < count + 1) {
        const SimPacket p = sweep.next();
        if (p.size > 0) assembler.addDatagram(p.bytes.data(), p.size, 0, 1);
    }
    frames.erase(frames.begin());  // the first one starts mid-revolution
    return frames;
}

}  // namespace k740::sim
