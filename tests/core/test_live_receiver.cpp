// The live receiver over real loopback UDP: frames, device packets on the data port,
// oversized datagrams, pause, stop and restart, multicast, bounded frames in flight, idle cost.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QObject>
#include <cstring>
#include <vector>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/frame_assembler.h"
#include "packet_writer.h"
#include "platform/udp_socket.h"
#include "qt_support.h"
#include "receiver_harness.h"

using namespace k740test;

namespace {

std::vector<DataPacket> revolutionPackets() {
    std::vector<DataPacket> packets;
    packets.push_back(makeSweepPacket(35800, 100));  // 358, 359, 0: first boundary
    for (std::uint32_t s = 1000; s < 36000; s += 1200) packets.push_back(makeSweepPacket(s, 100));
    return packets;  // ends at the second boundary
}

class LiveReceiverTest : public ReceiverHarness<GetlidarData_1> {
protected:
    void SetUp() override {
        ReceiverHarness<GetlidarData_1>::SetUp();
        QObject::connect(&rx, &GetlidarData_1::SendData, &ctx,
                         [this](LidarDataSingleLine f) { frames.push_back(std::move(f)); });
    }
    void sendAll(const std::vector<DataPacket>& packets) {
        int i = 0;
        for (const auto& p : packets) {
            send(p.data(), p.size());
            if (++i % 8 == 0) QThread::msleep(1);  // stay well inside the socket buffer
        }
    }

    std::vector<LidarDataSingleLine> frames;
};

}  // namespace

TEST_F(LiveReceiverTest, FramesArriveAsTheAssemblyBuildsThem) {
    rx.m_PendingProtocol = 1;
    start();
    const auto packets = revolutionPackets();
    sendAll(packets);
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 2; }));

    std::vector<LidarDataSingleLine> expected;
    k740::LiveFrameAssembler offline([&](LidarDataSingleLine&& f) { expected.push_back(std::move(f)); });
    for (const auto& p : packets) offline.addDataPacket(p.data(), 0, 1);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_TRUE(frames[0] == expected[0]);
    EXPECT_TRUE(frames[1] == expected[1]);
    EXPECT_EQ(frames[1].pointAngle.size(), 360u * 30);
    EXPECT_EQ(rx.protocol(), 1);
}

TEST_F(LiveReceiverTest, DevicePacketOnTheDataPortReachesTheStatusSignals) {
    start();
    DataPacket dev{};
    const std::uint8_t header[8] = {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55};
    std::copy(header, header + 8, dev.begin());
    dev[8] = 0x02;  // motor speed 600
    dev[9] = 0x58;
    for (int i = 18; i < 24; ++i) dev[i] = static_cast<std::uint8_t>(0xA0 + i);
    dev[24] = 0x09;  // data port 2368
    dev[25] = 0x40;
    dev[50] = 0xFF;
    dev[51] = 0xFF;
    dev[103] = 77;
    send(dev.data(), dev.size());
    ASSERT_TRUE(waitUntil([&] { return raw.size() >= 1; }));
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0], k740::decodeStatusValues(dev.data()));
    EXPECT_EQ(values[0].size(), 19u);
    EXPECT_EQ(values[0][0], 0xA0 + 18);
    EXPECT_EQ(values[0][7], 2368);
    EXPECT_EQ(values[0][18], 77);
    EXPECT_EQ(raw[0], QByteArray(reinterpret_cast<const char*>(dev.data()), 1206));
    const SettingData decoded = k740::decodeSettingData(dev.data());
    EXPECT_EQ(std::memcmp(&statuses[0], &decoded, sizeof(SettingData)), 0);
    EXPECT_TRUE(frames.empty());
}

TEST_F(LiveReceiverTest, OversizedAndOddDatagramsAreDroppedAndPauseDrains) {
    start();
    const auto packets = revolutionPackets();
    // Oversized datagrams that begin like a data packet must never be decoded from a cut read.
    std::vector<std::uint8_t> big(2000);
    std::copy(packets[0].begin(), packets[0].end(), big.begin());
    for (std::size_t n : {1207u, 1300u, 2000u, 1205u, 778u, 0u}) send(big.data(), n);
    for (int k = 0; k < 3; ++k) {
        std::vector<std::uint8_t> longer(packets[k].begin(), packets[k].end());
        longer.push_back(0);
        send(longer.data(), longer.size());
    }
    pumpFor(200);
    EXPECT_TRUE(frames.empty());

    // While paused, everything is read and thrown away.
    rx.m_Paused = true;
    sendAll(packets);
    pumpFor(300);
    EXPECT_TRUE(frames.empty());
    rx.m_Paused = false;
    pumpFor(50);
    EXPECT_TRUE(frames.empty()) << "nothing queued during the pause is decoded afterwards";
    sendAll(packets);
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 2; }));
}

TEST_F(LiveReceiverTest, StopAndStartRebindTheSamePort) {
    rx.m_PendingProtocol = 1;
    start();
    const std::uint16_t port = port_;
    sendAll(revolutionPackets());
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 2; }));
    rx.m_Running = false;
    rx.closeSocket();  // the window does not wait here
    // Starting again waits for the old loop before re-creating the socket.
    rx.m_Port = port;
    rx.m_Running = true;
    rx.m_PendingProtocol = 0;  // applies only from the first boundary of the new run
    rx.setupSocket();
    EXPECT_EQ(rx.boundPort(), port);
    rx.start();
    frames.clear();
    sendAll(revolutionPackets());
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 2; }));
    EXPECT_EQ(frames[0].pointAngle.size(), 3u * 30) << "the previous run's protocol applies until the first boundary";
    EXPECT_EQ(frames[1].pointAngle.size(), 360u * 2) << "then the protocol requested at this start";
}

TEST_F(LiveReceiverTest, BoundedFramesInFlightDropWholeFrames) {
    rx.setMaxFramesInFlight(2);
    rx.m_PendingProtocol = 1;
    start();
    // Five revolutions while the consumer does not run.
    std::vector<DataPacket> packets;
    packets.push_back(makeSweepPacket(35800, 100));
    for (int r = 0; r < 5; ++r)
        for (std::uint32_t s = 1000; s < 36000; s += 1200) packets.push_back(makeSweepPacket(s, 100));
    sendAll(packets);
    // Only frameConsumed() frees a place, so the event loop may run while the loop catches up.
    ASSERT_TRUE(waitUntil([&] { return rx.framesEmitted() + rx.framesDropped() >= 6; }));
    EXPECT_EQ(rx.framesEmitted(), 2);
    EXPECT_EQ(rx.framesDropped(), 4);
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 2; }));
    rx.frameConsumed();
    rx.frameConsumed();
    for (std::uint32_t s = 1000; s < 36000; s += 1200) packets.push_back(makeSweepPacket(s, 100));
    sendAll({packets.begin() + 1, packets.begin() + 31});
    ASSERT_TRUE(waitUntil([&] { return frames.size() == 3; }));
    for (const auto& f : frames) {
        EXPECT_EQ(f.distance.size(), f.pointAngle.size());
        EXPECT_EQ(f.timeStamp.size(), f.pointAngle.size());
    }
    EXPECT_EQ(frames[2].pointAngle.size(), 30u + 360u * 30) << "a frame that is handed on is whole";
}

TEST_F(LiveReceiverTest, MulticastOnTheLoopbackInterface) {
    rx.m_MulticastIp = "239.255.74.7";
    rx.m_InterfaceIp = "127.0.0.1";
    start();
    k740::UdpSocket mc;
    ASSERT_TRUE(mc.open());
    mc.setMulticastInterface("127.0.0.1");
    mc.setMulticastLoop(true);
    const auto packets = revolutionPackets();
    int i = 0;
    for (const auto& p : packets) {
        if (mc.sendTo(p.data(), p.size(), "239.255.74.7", port_) != 1206)
            GTEST_SKIP() << "this machine refuses multicast on the loopback interface";
        if (++i % 8 == 0) QThread::msleep(1);
    }
    if (!waitUntil([&] { return frames.size() >= 2; }, 3000))
        GTEST_SKIP() << "multicast on the loopback interface is not delivered on this machine";
    EXPECT_EQ(frames[1].pointAngle.size(), 360u * 2);
}

TEST_F(LiveReceiverTest, AnIdleReceiverCostsAlmostNoProcessorTime) {
    start();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    QThread::msleep(1000);
    getrusage(RUSAGE_SELF, &after);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
                       seconds(before.ru_stime);
    EXPECT_LT(cpu, 0.25) << "a busy-polling loop would use a whole second";
}
