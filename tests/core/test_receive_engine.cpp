// The receive engine: its set-up checks and their words (the same from every front end; a
// port in use is in the receivers' set-up tests), the loop's frames and device packets
// through the sink over loopback, and the socket never replaced under a running loop.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/receive_engine.h"
#include "app/rules/live_settings.h"
#include "device/device_packet.h"
#include "k740/k740.h"
#include "packet_writer.h"
#include "platform/udp_socket.h"
#include "qt_support.h"

namespace {

using k740::ReceiveEngine;
using k740::ReceiveSettings;

// Collects what the engine hands on; read by the test thread while the loop runs.
struct Collect : k740::ReceiveSink {
    std::mutex lock;
    std::vector<LidarDataSingleLine> frames;
    std::vector<k740::DevicePacket> devices;
    void frame(LidarDataSingleLine&& f) override {
        std::lock_guard<std::mutex> g(lock);
        frames.push_back(std::move(f));
    }
    void devicePacket(const k740::DevicePacket& p) override {
        std::lock_guard<std::mutex> g(lock);
        devices.push_back(p);
    }
};

bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

ReceiveSettings anyPort() {
    ReceiveSettings s;
    s.port = 0;
    return s;
}

}  // namespace

TEST(ReceiveChecks, PortsGroupsAndInterfacesAreReadOnceWithTheirWords) {
    std::uint16_t port = 1;
    EXPECT_EQ(k740::portProblem(" 2368 ", false, &port), "");
    EXPECT_EQ(port, 2368);
    EXPECT_EQ(k740::portProblem("0", true, &port), "");
    EXPECT_EQ(port, 0);
    port = 7;
    EXPECT_EQ(k740::portProblem("0", false, &port), "a port is a whole number from 1 to 65535, not '0'");
    EXPECT_EQ(k740::portProblem("65536", true, &port), "a port is a whole number from 0 to 65535, not '65536'");
    EXPECT_EQ(k740::portProblem("99999999999", true, &port),
              "a port is a whole number from 0 to 65535, not '99999999999'");
    EXPECT_EQ(k740::portProblem("23a", true, &port), "a port is a whole number from 0 to 65535, not '23a'");
    EXPECT_EQ(k740::portProblem("  ", false, &port), "a port is a whole number from 1 to 65535, not nothing");
    EXPECT_EQ(port, 7) << "a refused text leaves the port as it was";

    for (const char* group : {"", "224.0.0.0", "224.1.1.1", "239.255.255.255"})
        EXPECT_EQ(k740::groupProblem(group), "") << group;
    for (const char* group : {"223.255.255.255", "240.0.0.1", "192.168.1.222", "224.1.1", "224.1.1.1x", "group"})
        EXPECT_EQ(k740::groupProblem(group),
                  std::string("group takes a multicast address (224.0.0.0 to 239.255.255.255), not '") + group + "'");

    EXPECT_EQ(k740::interfaceProblem("", ""), "");
    EXPECT_EQ(k740::interfaceProblem("127.0.0.1", "239.1.1.1"), "");
    EXPECT_EQ(k740::interfaceProblem("127.0.0.1", ""), "an interface is for joining a group: give the group too");
    EXPECT_EQ(k740::interfaceProblem("eth0", "239.1.1.1"), "interface takes an IPv4 address, not 'eth0'");
}

TEST(ReceiveChecks, AUnicastGroupIsRefusedByEveryFrontEndInTheSameWords) {
    const std::string words =
        "group takes a multicast address (224.0.0.0 to 239.255.255.255), not '192.168.1.222'";
    Collect sink;
    ReceiveEngine engine(ReceiveEngine::Role::LiveStream, &sink);
    ReceiveSettings s = anyPort();
    s.group = "192.168.1.222";
    EXPECT_FALSE(engine.open(s));
    EXPECT_EQ(engine.lastError(), words);
    EXPECT_EQ(engine.boundPort(), 0);

    k740::ListenOptions o;
    o.port = 0;
    o.group = "192.168.1.222";
    try {
        k740::Listener live(o);
        ADD_FAILURE() << "the listener joined a unicast address";
    } catch (const k740::Error& e) {
        EXPECT_EQ(e.kind(), k740::ErrorKind::InvalidArgument);
        EXPECT_EQ(std::string(e.what()), words);
    }

    k740test::ensureCoreApp();
    GetlidarData_1 receiver;
    receiver.m_Port = 0;
    receiver.m_MulticastIp = QStringLiteral(" 192.168.1.222 ");
    EXPECT_FALSE(receiver.setupSocket());
    EXPECT_EQ(receiver.lastError().toStdString(), words);
    EXPECT_EQ(receiver.boundPort(), 0);
    EXPECT_FALSE(k740::isGroupField(QStringLiteral("192.168.1.222")));
}

TEST(ReceiveEngineLoop, FramesAndDevicePacketsReachTheSinkAsValuesOverLoopback) {
    // What the live assembly makes of the stream, fed directly.
    std::vector<k740test::DataPacket> packets;
    for (int p = 0; p < 40; ++p) packets.push_back(k740test::makeSweepPacket((30000 + 2500 * p) % 36000, 200, 1000 * p));
    std::vector<LidarDataSingleLine> want;
    k740::LiveFrameAssembler assembler([&want](LidarDataSingleLine&& f) { want.push_back(std::move(f)); });
    for (const auto& p : packets) assembler.addDatagram(p.data(), p.size(), 0, 1);
    ASSERT_GE(want.size(), 2u);

    Collect sink;
    ReceiveEngine engine(ReceiveEngine::Role::LiveStream, &sink);
    engine.pendingProtocol = 1;
    ASSERT_TRUE(engine.open(anyPort())) << engine.lastError();
    std::thread loop([&engine] { engine.run(); });
    k740::UdpSocket out;
    ASSERT_TRUE(out.open());
    const std::uint16_t port = engine.boundPort();
    long long sent = 0;
    const auto send = [&](const void* data, std::size_t n) {
        ASSERT_EQ(out.sendTo(data, n, "127.0.0.1", port), static_cast<long>(n));
        ++sent;
        if (sent % 16 == 0) {
            ASSERT_TRUE(waitFor([&] { return engine.datagramsReceived() >= sent; }));
        }
    };
    for (std::size_t i = 0; i < packets.size(); ++i) {
        send(packets[i].data(), packets[i].size());
        if (i == 5) {
            // A device information packet on the data port, and a datagram longer than a
            // packet that begins like one: only the first is passed on.
            const k740::DevicePacket device = k740::buildDevicePacket(k740::DevicePacketFields{});
            send(device.data(), device.size());
            std::vector<std::uint8_t> longer(device.begin(), device.end());
            longer.push_back(0);
            send(longer.data(), longer.size());
        }
    }
    ASSERT_TRUE(waitFor([&] { return engine.datagramsReceived() >= sent; }));
    EXPECT_EQ(engine.protocol(), 1);

    // The socket is never replaced under a running loop; close() ends the loop.
    EXPECT_FALSE(engine.open(anyPort()));
    EXPECT_EQ(engine.lastError().rfind("The previous receive loop on port", 0), 0u) << engine.lastError();
    engine.close();
    loop.join();
    EXPECT_FALSE(engine.loopActive());
    EXPECT_EQ(engine.boundPort(), 0) << "the loop closed the socket on its way out";

    std::lock_guard<std::mutex> g(sink.lock);
    ASSERT_EQ(sink.frames.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_TRUE(sink.frames[i] == want[i]) << "frame " << i;
    ASSERT_EQ(sink.devices.size(), 1u);
    EXPECT_EQ(sink.devices[0], k740::buildDevicePacket(k740::DevicePacketFields{}));
}
