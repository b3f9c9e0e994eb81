// The receive engine: set-up checks and their words, the socket, the loop with its bounded
// wait, and the hand-on of each datagram to the frame assembly or the device-packet rules.
#include "acquisition/receive_engine.h"

#include <chrono>
#include <thread>
#include <vector>

namespace k740 {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// True when another socket holds the port on every address or on the loopback address, so
// that a receiver bound here would share (and lose) the stream of another program, such as
// a second viewer. Probes bind without address reuse and are closed at once.
bool portHeldOnEveryAddress(std::uint16_t port) {
    if (port == 0) return false;
    UdpSocket any;
    if (!any.open()) return false;
    if (any.bind(port)) return false;
    if (!any.lastErrorWasAddressInUse()) return false;
    UdpSocket loopback;
    if (!loopback.open()) return false;
    return !loopback.bind(port, "127.0.0.1") && loopback.lastErrorWasAddressInUse();
}

}  // namespace

std::string portProblem(const std::string& text, bool allowAny, std::uint16_t* port) {
    const std::string t = trimmed(text);
    const char* const range = allowAny ? "0 to 65535" : "1 to 65535";
    const std::string words = std::string("a port is a whole number from ") + range;
    if (t.empty()) return words + ", not nothing";
    unsigned long value = 0;
    for (const char c : t) {
        if (c < '0' || c > '9' || value > 65535) return words + ", not '" + t + "'";
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value > 65535 || (value == 0 && !allowAny)) return words + ", not '" + t + "'";
    if (port) *port = static_cast<std::uint16_t>(value);
    return std::string();
}

bool isMulticastGroup(const std::string& text) {
    std::uint32_t address = 0;
    return UdpSocket::parseIPv4(text, &address) && (address >> 28) == 0xE;
}

std::string groupProblem(const std::string& group) {
    if (group.empty() || isMulticastGroup(group)) return std::string();
    return "group takes a multicast address (224.0.0.0 to 239.255.255.255), not '" + group + "'";
}

std::string interfaceProblem(const std::string& interfaceAddress, const std::string& group) {
    if (interfaceAddress.empty()) return std::string();
    if (group.empty()) return "an interface is for joining a group: give the group too";
    if (!UdpSocket::parseIPv4(interfaceAddress, nullptr))
        return "interface takes an IPv4 address, not '" + interfaceAddress + "'";
    return std::string();
}

std::string settingsProblem(const ReceiveSettings& settings) {
    std::string why = groupProblem(settings.group);
    if (why.empty()) why = interfaceProblem(settings.interfaceAddress, settings.group);
    return why;
}

// ---- the engine ----

ReceiveEngine::ReceiveEngine(Role role, ReceiveSink* sink) : m_Role(role), m_Sink(sink) {
    if (m_Role == Role::LiveStream) {
        m_Assembler = std::make_unique<LiveFrameAssembler>(
            [this](LidarDataSingleLine&& frame) { m_Sink->frame(std::move(frame)); });
    }
}

ReceiveEngine::~ReceiveEngine() { m_Socket.close(); }

bool ReceiveEngine::fail(const std::string& reason) {
    m_Socket.close();
    m_ReceiveBufferBytes = 0;
    m_LastError = reason;
    return false;
}

bool ReceiveEngine::open(const ReceiveSettings& settings) {
    std::lock_guard<std::mutex> lock(m_Lock);
    const std::uint16_t port = settings.port;
    if (m_LoopActive) {
        // The socket is never replaced under a running loop.
        m_LastError = "The previous receive loop on port " + std::to_string(port) + " has not ended";
        return false;
    }
    m_CloseRequested = false;
    m_Socket.close();
    m_LastError.clear();
    m_ReceiveBufferBytes = 0;
    const ReceiveSettings s{settings.port, trimmed(settings.group), trimmed(settings.interfaceAddress),
                            settings.receiveBuffer};
    if (const std::string why = settingsProblem(s); !why.empty()) return fail(why);

    if (!m_Socket.open()) return fail("Cannot open a UDP socket: " + m_Socket.lastErrorText());
    m_ReceiveBufferBytes = s.receiveBuffer > 0 ? m_Socket.requestReceiveBuffer(s.receiveBuffer)
                                               : m_Socket.receiveBufferSize();

    // Bind first, then join: the order every platform accepts.
    const std::string inUse = "Port " + std::to_string(port) + " is in use";
    if (portHeldOnEveryAddress(port)) return fail(inUse);
    // The port is shared only with a socket bound to one other address (a simulated sensor
    // on 127.0.0.2 answering configuration packets on this port): that socket keeps what is
    // sent to its address, this one receives the rest.
    m_Socket.setReuseAddress(true);
    if (!m_Socket.bind(port)) {
        if (m_Socket.lastErrorWasAddressInUse()) return fail(inUse);
        return fail("Cannot bind port " + std::to_string(port) + ": " + m_Socket.lastErrorText());
    }
    if (!s.group.empty() && !m_Socket.joinMulticast(s.group, s.interfaceAddress)) {
        return fail("Cannot join multicast group " + s.group + " on " +
                    (s.interfaceAddress.empty() ? std::string("any interface") : s.interfaceAddress) +
                    ": " + m_Socket.lastErrorText());
    }
    if (!m_Socket.setNonBlocking(true))
        return fail("Cannot make the socket on port " + std::to_string(port) +
                    " non-blocking: " + m_Socket.lastErrorText());
    return true;
}

std::string ReceiveEngine::lastError() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_LastError;
}

void ReceiveEngine::close() {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_LoopActive)
        m_CloseRequested = true;  // the loop owns the socket while it runs
    else
        m_Socket.close();
}

std::uint16_t ReceiveEngine::boundPort() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Socket.localPort();
}

bool ReceiveEngine::loopActive() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_LoopActive;
}

void ReceiveEngine::resetAssembly() {
    if (m_Assembler) m_Assembler->reset();
}

void ReceiveEngine::handleDatagram(const std::uint8_t* data, std::size_t length) {
    if (m_Role == Role::DevicePackets) {
        if (!isDevicePacket(data, length)) {
            ++m_Dropped;  // wrong length (short, or longer than a packet) or wrong header
            return;
        }
        ++m_DevicePackets;
        std::copy(data, data + kDevicePacketSize, m_Device.begin());
        m_Sink->devicePacket(m_Device);
        return;
    }
    if (paused.load()) return;  // drained and thrown away
    BlockObserver* observer = observing.load() ? blockObserver.load() : nullptr;
    const PacketKind kind =
        m_Assembler->addDatagram(data, length, returnMode.load(), pendingProtocol.load(), observer);
    if (kind == PacketKind::DeviceInfo) {
        std::copy(data, data + kDevicePacketSize, m_Device.begin());
        m_Sink->devicePacket(m_Device);
    }
    m_Protocol.store(m_Assembler->protocol(), std::memory_order_relaxed);
    m_FramesCapped.store(m_Assembler->framesCapped(), std::memory_order_relaxed);
}

void ReceiveEngine::run() {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_LoopActive = true;
    }
    resetAssembly();
    std::vector<std::uint8_t> buffer(kDatagramCapacity);
    const auto keepGoing = [this] { return running.load() && !m_CloseRequested.load(); };
    while (keepGoing()) {
        const int ready = m_Socket.waitReadable(kWaitMs);
        if (ready < 0) {
            // No socket (set-up failed or closed): idle without spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(kWaitMs));
            continue;
        }
        if (ready == 0) continue;
        // Drain everything queued; the socket is non-blocking.
        while (keepGoing()) {
            const long length = m_Socket.receiveFrom(buffer.data(), buffer.size());
            if (length < 0) break;
            if (static_cast<std::size_t>(length) > buffer.size()) {
                if (m_Role == Role::DevicePackets) ++m_Dropped;
            } else {
                handleDatagram(buffer.data(), static_cast<std::size_t>(length));
            }
            ++m_Datagrams;  // counted once handled, so a waiting caller sees the result
        }
    }
    std::lock_guard<std::mutex> lock(m_Lock);
    m_LoopActive = false;
    if (m_CloseRequested.exchange(false)) m_Socket.close();
}

}  // namespace k740
