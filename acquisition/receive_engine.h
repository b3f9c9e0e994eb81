// The receive engine: one UDP port of the sensor, from the socket's set-up to the values it
// hands on. It owns the checks of a port, a group and an interface and the words of their
// failures, reads datagrams with a bounded wait until told to stop, and runs either the live
// display's frame assembly or the device-packet rules on them. Finished frames and device
// information packets leave as values through a Sink. No threads of its own and no Qt: the
// caller runs the loop on a thread of its choosing (the receiver threads, the consumer
// library's listener, k740-convert).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "acquisition/frame_assembler.h"
#include "device/device_packet.h"
#include "platform/udp_socket.h"

namespace k740 {

// Where a receiver listens.
struct ReceiveSettings {
    std::uint16_t port = 2368;     // 0 takes any free port
    std::string group;             // multicast group to join, empty for none
    std::string interfaceAddress;  // interface the group is joined on, empty for any
    int receiveBuffer = 0;         // bytes asked of the system for the receive buffer, 0 = its default
};

// Receive buffer asked for on the data port: a burst of the stream must not be lost (the
// system's default holds about 150 ms of it).
constexpr int kLiveStreamReceiveBuffer = 4 * 1024 * 1024;

// ---- The checks, before a socket is made. Each returns "" when the text is acceptable,
// otherwise what is wrong, in the words every front end shows. ----

// A port typed as text: a whole number 0..65535 (1..65535 when !allowAny), blanks around it
// ignored. Sets *port when acceptable.
std::string portProblem(const std::string& text, bool allowAny, std::uint16_t* port);
// A group: empty (none), or a dotted multicast address 224.0.0.0 to 239.255.255.255.
bool isMulticastGroup(const std::string& text);
std::string groupProblem(const std::string& group);
// An interface: empty (any), or a dotted IPv4 address, and then only with a group.
std::string interfaceProblem(const std::string& interfaceAddress, const std::string& group);
// The group and the interface of the settings together.
std::string settingsProblem(const ReceiveSettings& settings);

// What leaves the engine. Called on the loop's thread; the values are the sink's to keep.
class ReceiveSink {
public:
    virtual ~ReceiveSink() = default;
    // A finished frame of the live stream.
    virtual void frame(LidarDataSingleLine&& /*frame*/) {}
    // A device information packet (on the data port as on the device port), a copy of the bytes.
    virtual void devicePacket(const DevicePacket& /*packet*/) {}
};

// Frames on their way to a consumer that says when it has taken each: at most `limit` at a
// time (0 = no limit). The live shells drop a frame that finds no room (and count it); the
// player waits for room instead.
class FramesInFlight {
public:
    void setLimit(int limit) { m_Limit.store(limit < 0 ? 0 : limit); }
    int limit() const { return m_Limit.load(); }
    bool hasRoom() const {
        const int limit = m_Limit.load();
        return limit <= 0 || m_InFlight.load() < limit;
    }
    // One frame goes out: false (and counted as dropped) when there is no room for it.
    bool take() {
        if (!hasRoom()) {
            ++m_Dropped;
            return false;
        }
        ++m_InFlight;
        ++m_Sent;
        return true;
    }
    // One frame goes out whatever the room (a sender that waited for room, or one that must
    // not wait).
    void takeAlways() {
        ++m_InFlight;
        ++m_Sent;
    }
    // The consumer has taken one frame.
    void release() {
        int n = m_InFlight.load();
        while (n > 0 && !m_InFlight.compare_exchange_weak(n, n - 1)) {
        }
    }
    // A new session: frames of the earlier one have been taken or dropped by now.
    void clear() { m_InFlight.store(0); }
    int inFlight() const { return m_InFlight.load(); }
    long long sent() const { return m_Sent.load(); }
    long long dropped() const { return m_Dropped.load(); }

private:
    std::atomic<int> m_Limit{0};
    std::atomic<int> m_InFlight{0};
    std::atomic<long long> m_Sent{0};
    std::atomic<long long> m_Dropped{0};
};

class ReceiveEngine {
public:
    enum class Role {
        LiveStream,     // the data port: frame assembly, device packets passed on too
        DevicePackets,  // the device port: whole device information packets only
    };

    // The sink must outlive the engine.
    ReceiveEngine(Role role, ReceiveSink* sink);
    ~ReceiveEngine();
    ReceiveEngine(const ReceiveEngine&) = delete;
    ReceiveEngine& operator=(const ReceiveEngine&) = delete;

    // Makes the socket: the settings are checked, then open, receive buffer, bind to any
    // address, join, non-blocking. False, with lastError() saying why ("Port 2368 is in use",
    // "Cannot join multicast group 239.1.1.1 on 127.0.0.1: ..."), when a step fails or a loop
    // still runs; no half-made socket stays then.
    bool open(const ReceiveSettings& settings);
    std::string lastError() const;
    // A running loop ends at its next look at the flags and closes the socket on its way out;
    // otherwise the socket is closed at once.
    void close();
    // Port actually bound, 0 when none.
    std::uint16_t boundPort() const;
    // Receive buffer the system granted at the last open() (as it reports it: Linux reports
    // twice the usable size), 0 when none.
    int receiveBufferBytes() const { return m_ReceiveBufferBytes.load(); }

    // The receive loop, on the caller's thread: waits at most kWaitMs for a datagram, reads
    // everything queued and hands each on, until `running` is cleared or close() is called.
    // Starts with empty frames.
    void run();
    // True while run() is inside its loop.
    bool loopActive() const;

    // Handles one datagram as the loop does (the bytes are read before the call returns).
    void handleDatagram(const std::uint8_t* data, std::size_t length);
    // Empties the frames under assembly, as the loop does when it starts.
    void resetAssembly();

    // Controls, written by any thread and read by the loop at every datagram.
    std::atomic<bool> running{true};
    std::atomic<bool> paused{false};       // live: datagrams are read and thrown away
    std::atomic<int> returnMode{0};        // live: 0 strong echo, 1 dual, 2 first, 3 second
    std::atomic<int> pendingProtocol{0};   // live: applies at the next frame boundary
    std::atomic<bool> observing{false};    // live: the block observer is served
    std::atomic<BlockObserver*> blockObserver{nullptr};

    // Protocol in force for the frame under assembly.
    int protocol() const { return m_Protocol.load(std::memory_order_relaxed); }
    // Frames dropped because they reached the frame cap without an azimuth wrap.
    long long framesCapped() const { return m_FramesCapped.load(std::memory_order_relaxed); }
    // Every datagram read since construction, whatever became of it (counted once handled).
    long long datagramsReceived() const { return m_Datagrams.load(); }
    // Device role: whole device packets passed on, and datagrams dropped for their length or
    // header (a longer one included).
    long long devicePacketsAccepted() const { return m_DevicePackets.load(); }
    long long datagramsDropped() const { return m_Dropped.load(); }

    static constexpr int kWaitMs = 20;  // longest wait before the flags are seen again
    // Longest datagram taken whole; a longer one is never decoded from a cut read.
    static constexpr std::size_t kDatagramCapacity = 1206;

private:
    bool fail(const std::string& reason);

    const Role m_Role;
    ReceiveSink* const m_Sink;
    std::unique_ptr<LiveFrameAssembler> m_Assembler;
    DevicePacket m_Device{};

    UdpSocket m_Socket;
    // The socket's open and close against the loop's start and end.
    mutable std::mutex m_Lock;
    bool m_LoopActive = false;
    std::atomic<bool> m_CloseRequested{false};
    std::string m_LastError;
    std::atomic<int> m_ReceiveBufferBytes{0};

    std::atomic<int> m_Protocol{0};
    std::atomic<long long> m_FramesCapped{0};
    std::atomic<long long> m_Datagrams{0};
    std::atomic<long long> m_DevicePackets{0};
    std::atomic<long long> m_Dropped{0};
};

}  // namespace k740
