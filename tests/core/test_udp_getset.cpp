// The socket layer and the status receiver over real loopback UDP: complete packets only,
// stop and restart on the same port, multicast on the loopback interface, hostile datagrams.
#include <gtest/gtest.h>

#include <QObject>
#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "acquisition/packet_format.h"
#include "device/GetSet.h"
#include "device/device_packet.h"
#include "device/device_texts.h"
#include "platform/udp_socket.h"
#include "qt_support.h"
#include "receiver_harness.h"

using namespace k740test;

namespace {

k740::DevicePacket packetWithSpeed(std::uint16_t rpm) {
    k740::DevicePacketFields f;
    f.motorSpeed = rpm;
    f.mac = {{0xDE, 0xAD, 0xBE, 0xEF, 0x00, static_cast<std::uint8_t>(rpm & 0xFF)}};
    f.ppsDeviationRaw = 0x8000;
    f.board2HighVoltage = 321;
    f.board2Threshold = 9;
    f.board3Version = {{20, 24, 5, 12, 1, 0x23}};
    return k740::buildDevicePacket(f);
}

QByteArray bytesOf(const k740::DevicePacket& p) {
    return QByteArray(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.size()));
}

class StatusReceiverTest : public ReceiverHarness<GetSet> {
protected:
    using ReceiverHarness<GetSet>::send;
    void send(const k740::DevicePacket& p) { send(p.data(), p.size()); }
    // Sends a closing packet and waits until it has come through: everything sent before it
    // has then been read (one sender, one receiver, loopback keeps the order).
    bool sendSentinelAndWait(std::uint16_t rpm) {
        const std::size_t before = raw.size();
        send(packetWithSpeed(rpm));
        return waitUntil([&] { return raw.size() > before; });
    }
};

}  // namespace

TEST(UdpSocket, ReportsFullLengthOfOversizedDatagramsAndTimesOut) {
    k740::UdpSocket rx, tx;
    ASSERT_TRUE(rx.open());
    ASSERT_TRUE(rx.bind(0, "127.0.0.1"));
    ASSERT_TRUE(rx.setNonBlocking(true));
    ASSERT_TRUE(tx.open());
    ASSERT_TRUE(tx.bind(0, "127.0.0.1"));
    const std::uint16_t port = rx.localPort();
    ASSERT_NE(port, 0);

    char buf[100];
    EXPECT_EQ(rx.waitReadable(30), 0);
    EXPECT_EQ(rx.receiveFrom(buf, sizeof buf), -1) << "nothing queued";

    std::vector<char> big(3000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i);
    ASSERT_EQ(tx.sendTo(big.data(), big.size(), "127.0.0.1", port), 3000);
    ASSERT_EQ(rx.waitReadable(2000), 1);
    std::string from;
    std::uint16_t fromPort = 0;
    EXPECT_EQ(rx.receiveFrom(buf, sizeof buf, &from, &fromPort), 3000);
    EXPECT_EQ(std::memcmp(buf, big.data(), sizeof buf), 0);
    EXPECT_EQ(from, "127.0.0.1");
    EXPECT_EQ(fromPort, tx.localPort());
    EXPECT_EQ(rx.receiveFrom(buf, sizeof buf), -1) << "the cut datagram is gone";

    ASSERT_EQ(tx.sendTo(buf, 0, "127.0.0.1", port), 0);
    ASSERT_EQ(rx.waitReadable(2000), 1);
    EXPECT_EQ(rx.receiveFrom(buf, sizeof buf), 0) << "an empty datagram is not 'nothing'";

    rx.close();
    EXPECT_FALSE(rx.isOpen());
    EXPECT_EQ(rx.waitReadable(10), -1);
    EXPECT_EQ(rx.receiveFrom(buf, sizeof buf), -1);
    EXPECT_EQ(rx.localPort(), 0);
}

TEST(UdpSocket, ParsesOnlyDottedQuads) {
    std::uint32_t a = 0;
    EXPECT_TRUE(k740::UdpSocket::parseIPv4("192.168.1.222", &a));
    EXPECT_EQ(a, 0xC0A801DEu);
    EXPECT_TRUE(k740::UdpSocket::parseIPv4("0.0.0.0", &a));
    EXPECT_EQ(a, 0u);
    for (const char* bad : {"", "256.1.1.1", "1.2.3", "1.2.3.4.", "1..2.3", "a.b.c.d", "1.2.3.4 ",
                            " 1.2.3.4", "1.2.3.0004", "-1.2.3.4"})
        EXPECT_FALSE(k740::UdpSocket::parseIPv4(bad, &a)) << bad;
}

TEST_F(StatusReceiverTest, StatusArrivesAsValues) {
    start();
    const k740::DevicePacket p = packetWithSpeed(600);
    send(p);
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 1; }));
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(int(statuses[0].motorSpeed), 600);
    EXPECT_EQ(k740::board3VersionText(statuses[0].board3Version), "2024.5.12-V.1.2.3");
    ASSERT_EQ(values[0].size(), 19u);
    EXPECT_EQ(k740::macText(values[0]), "de-ad-be-ef-00-58");
    EXPECT_EQ(k740::ppsDeviationText(values[0][6]), "-327.67");
    EXPECT_EQ(values[0][16], 321);
    EXPECT_EQ(values[0][18], 9);
    EXPECT_EQ(raw[0], bytesOf(p));

    // The next packet must not change what was handed over before.
    send(packetWithSpeed(1200));
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 2; }));
    EXPECT_EQ(int(statuses[0].motorSpeed), 600);
    EXPECT_EQ(raw[0], bytesOf(p));
    EXPECT_EQ(int(statuses[1].motorSpeed), 1200);
    EXPECT_EQ(rx.packetsAccepted(), 2);
}

TEST_F(StatusReceiverTest, IncompleteOversizedAndForeignDatagramsAreDropped) {
    start();
    const k740::DevicePacket good = packetWithSpeed(600);
    send(good);
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 1; }));

    // A short datagram after a good one must not be completed with the earlier packet's bytes.
    send(good.data(), 600);
    send(good.data(), 1205);
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0);
    send(longer.data(), longer.size());
    k740::DevicePacket foreign = good;
    foreign[7] = 0x56;
    send(foreign);
    ASSERT_TRUE(sendSentinelAndWait(300));

    ASSERT_EQ(statuses.size(), 2u);
    EXPECT_EQ(int(statuses[1].motorSpeed), 300);
    EXPECT_EQ(rx.datagramsDropped(), 4);
}

TEST_F(StatusReceiverTest, StopAndStartAgainRebindsTheSamePort) {
    start();
    const std::uint16_t port = port_;
    send(packetWithSpeed(600));
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 1; }));

    stop();
    EXPECT_FALSE(rx.isRunning());
    EXPECT_EQ(rx.boundPort(), 0);
    {
        // The port is really free again.
        k740::UdpSocket probe;
        ASSERT_TRUE(probe.open());
        EXPECT_TRUE(probe.bind(port));
    }

    start(port);
    EXPECT_EQ(port_, port);
    send(packetWithSpeed(700));
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 2; }));
    EXPECT_EQ(int(statuses[1].motorSpeed), 700);

    // The main window's own sequence: clear the flag, close, and start again at once without
    // waiting for the thread.
    rx.m_Running = false;
    rx.closeSocket();
    rx.m_Running = true;
    rx.m_Port = port;
    rx.setupSocket();
    rx.start();
    EXPECT_EQ(rx.boundPort(), port);
    send(packetWithSpeed(800));
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 3; }));
    EXPECT_EQ(statuses[2].motorSpeed, 800);
}

#ifndef _WIN32
namespace {

// Whether this machine delivers multicast on the loopback interface at all, tried with plain
// system calls so that a fault in our own socket layer cannot turn into a skip.
bool loopbackMulticastWorks(const char* group, std::string* why) {
    const int r = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    bool ok = false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t len = sizeof a;
    ip_mreq m{};
    inet_pton(AF_INET, group, &m.imr_multiaddr);
    inet_pton(AF_INET, "127.0.0.1", &m.imr_interface);
    in_addr lo{};
    inet_pton(AF_INET, "127.0.0.1", &lo);
    unsigned char loop = 1;
    char byte = 1;
    pollfd p{r, POLLIN, 0};
    if (r < 0 || s < 0) {
        *why = "no sockets";
    } else if (::bind(r, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
               getsockname(r, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        *why = "bind failed";
    } else if (setsockopt(r, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof m) != 0) {
        *why = std::string("joining on 127.0.0.1 refused: ") + std::strerror(errno);
    } else if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &lo, sizeof lo) != 0 ||
               setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
        *why = std::string("multicast interface 127.0.0.1 refused: ") + std::strerror(errno);
    } else {
        inet_pton(AF_INET, group, &a.sin_addr);
        if (::sendto(s, &byte, 1, 0, reinterpret_cast<sockaddr*>(&a), sizeof a) != 1)
            *why = std::string("sending to the group refused: ") + std::strerror(errno);
        else if (::poll(&p, 1, 1000) != 1)
            *why = "a datagram sent to the group on 127.0.0.1 never arrived";
        else
            ok = true;
    }
    if (r >= 0) ::close(r);
    if (s >= 0) ::close(s);
    return ok;
}

}  // namespace

TEST_F(StatusReceiverTest, JoinsTheGroupOnTheGivenInterface) {
    const char* group = "239.255.74.9";
    std::string why;
    if (!loopbackMulticastWorks(group, &why)) GTEST_SKIP() << "loopback multicast: " << why;

    rx.m_MulticastIp = group;
    rx.m_InterfaceIp = "127.0.0.1";
    start();
    k740::UdpSocket mc;
    ASSERT_TRUE(mc.open());
    ASSERT_TRUE(mc.setMulticastInterface("127.0.0.1"));
    ASSERT_TRUE(mc.setMulticastLoop(true));
    const k740::DevicePacket p = packetWithSpeed(900);
    ASSERT_EQ(mc.sendTo(p.data(), p.size(), group, port_), 1206);
    ASSERT_TRUE(waitUntil([&] { return raw.size() == 1; }));
    EXPECT_EQ(int(statuses[0].motorSpeed), 900);
}

TEST_F(StatusReceiverTest, AnIdleReceiverCostsAlmostNoProcessorTime) {
    start();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QThread::msleep(1000);
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) +
                       seconds(after.ru_stime) - seconds(before.ru_stime);
    EXPECT_LT(cpu, 0.25) << "a busy-polling loop would use a whole second";
}
#endif

TEST_F(StatusReceiverTest, RandomDatagramsOfEveryLengthGiveNothing) {
    start();
    std::mt19937 rng(740);
    std::vector<std::uint8_t> buf(2000);
    long long sent = 0;
    for (std::size_t n = 0; n <= 2000; ++n) {
        for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
        // Half of them begin like a device packet, so only the length can reject them; at
        // exactly 1206 bytes one header byte is then wrong.
        if (n % 2 == 0 || n == k740::kDevicePacketSize) {
            std::memcpy(buf.data(), k740::kDeviceHeader, std::min<std::size_t>(n, 8));
            if (n == k740::kDevicePacketSize) buf[rng() % 8] ^= 0x40;
        }
        send(buf.data(), n);
        ++sent;
        // Stay well inside the receive buffer so that every datagram reaches the loop.
        if (sent % 32 == 0) {
            ASSERT_TRUE(waitUntil([&] { return rx.datagramsDropped() >= sent - 8; }));
        }
    }
    ASSERT_TRUE(sendSentinelAndWait(4321));
    EXPECT_EQ(rx.datagramsDropped(), sent);
    ASSERT_EQ(statuses.size(), 1u);
    EXPECT_EQ(int(statuses[0].motorSpeed), 4321);
    EXPECT_TRUE(rx.isRunning());
}
