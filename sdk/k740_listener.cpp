// The consumer library's live stream: the receive engine's live assembly on a thread of the
// listener's own, its frames kept in a bounded queue for next(). No Qt: the engine's loop
// runs on a standard thread and hands its frames straight to the queue.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "acquisition/receive_engine.h"
#include "k740/k740.h"
#include "sdk/k740_shared.h"

namespace k740 {

struct Listener::Impl : ReceiveSink {
    ListenOptions options;
    ReceiveEngine engine{ReceiveEngine::Role::LiveStream, this};
    FramesInFlight inFlight;
    std::mutex lock;
    std::condition_variable arrived;
    std::deque<Frame> queue;
    bool stopped = false;
    std::size_t received = 0;
    std::shared_ptr<AzimuthTable> table = std::make_shared<AzimuthTable>();
    std::thread loop;  // last: ends before anything it uses

    // On the loop's thread, for every frame the engine finishes.
    void frame(LidarDataSingleLine&& f) override {
        if (!inFlight.take()) return;  // the queue is full: dropped, counted
        auto data = std::make_shared<FrameMaker::Data>();
        data->record = std::move(f);
        data->table = table;
        std::lock_guard<std::mutex> guard(lock);
        queue.push_back(FrameMaker::make(std::move(data), received++, options.protocol, options.viewMode));
        arrived.notify_all();
    }
};

Listener::Listener(const ListenOptions& options) : impl_(new Impl) {
    checkProtocolAndViewMode(options.protocol, options.viewMode);
    const int returnMode = static_cast<int>(options.returnMode);
    if (returnMode < kStrongEcho || returnMode > kDualEchoSecond)
        throw Error(ErrorKind::InvalidArgument, "return mode takes 0, 1, 2 or 3, not " + std::to_string(returnMode));
    ReceiveSettings settings;
    settings.port = options.port;
    settings.group = options.group;
    settings.interfaceAddress = options.interfaceAddress;
    settings.receiveBuffer = kLiveStreamReceiveBuffer;
    if (const std::string why = settingsProblem(settings); !why.empty())
        throw Error(ErrorKind::InvalidArgument, why);
    Impl& d = *impl_;
    d.options = options;
    if (d.options.maxQueued == 0) d.options.maxQueued = 1;
    d.inFlight.setLimit(static_cast<int>(std::min<std::size_t>(d.options.maxQueued, 1 << 20)));
    d.engine.pendingProtocol = static_cast<int>(options.protocol);
    d.engine.returnMode = returnMode;
    if (!d.engine.open(settings)) throw Error(ErrorKind::Network, d.engine.lastError());
    d.loop = std::thread([&d] { d.engine.run(); });
}

Listener::~Listener() {
    stop();
    impl_->engine.running = false;
    impl_->engine.close();
    if (impl_->loop.joinable()) impl_->loop.join();
}

std::uint16_t Listener::port() const { return impl_->engine.boundPort(); }
int Listener::receiveBufferBytes() const { return impl_->engine.receiveBufferBytes(); }
Protocol Listener::protocol() const { return static_cast<Protocol>(impl_->engine.protocol()); }
long long Listener::datagrams() const { return impl_->engine.datagramsReceived(); }
long long Listener::framesDropped() const { return impl_->inFlight.dropped(); }

void Listener::stop() {
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->stopped = true;
    impl_->arrived.notify_all();
}

std::optional<Frame> Listener::next(double timeoutSeconds) {
    Impl& d = *impl_;
    std::unique_lock<std::mutex> guard(d.lock);
    const auto ready = [&d] { return d.stopped || !d.queue.empty(); };
    if (timeoutSeconds < 0) {
        d.arrived.wait(guard, ready);
    } else {
        const auto wait = std::chrono::duration<double>(std::min(timeoutSeconds, 1e7));
        d.arrived.wait_for(guard, wait, ready);
    }
    if (d.stopped || d.queue.empty()) return std::nullopt;
    Frame f = std::move(d.queue.front());
    d.queue.pop_front();
    guard.unlock();
    d.inFlight.release();
    return f;
}

}  // namespace k740
