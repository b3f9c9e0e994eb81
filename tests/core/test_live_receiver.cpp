// The live receiver over real loopback UDP: frames, device packets on the data port,
// oversized datagrams, pause, stop and restart, multicast, bounded frames in flight, idle cost.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QObject>
#include <algorithm>
#include <cstring>
#include <vector>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/frame_assembler.h"
#include "device/GetSet.h"
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
    void sendAll(const std::vector<DataPacket>& packets) { sendPaced(packets); }

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
    k740::LiveFrameAssembler offline(
        [&](LidarDataSingleLine&& f) { expected.push_back(std::move(f)); });
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
    rx.m_Paused = true;        // left over from a file played meanwhile: the new run draws
    rx.setupSocket();
    EXPECT_EQ(rx.boundPort(), port);
    rx.start();
    frames.clear();
    sendAll(revolutionPackets());
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 2; }));
    EXPECT_EQ(frames[0].pointAngle.size(), 3u * 30)
        << "the previous run's protocol applies until the first boundary";
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
        for (std::uint32_t s = 1000; s < 36000; s += 1200)
            packets.push_back(makeSweepPacket(s, 100));
    sendAll(packets);  // returns once the loop has read every packet
    // Only frameConsumed() frees a place, so the event loop may run while the loop catches up.
    EXPECT_EQ(rx.framesEmitted() + rx.framesDropped(), 6);
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
    long long i = 0;
    for (const auto& p : packets) {
        if (mc.sendTo(p.data(), p.size(), "239.255.74.7", port_) != 1206)
            GTEST_SKIP() << "this machine refuses multicast on the loopback interface";
        if (++i % 16 == 0 && !waitUntil([&] { return rx.datagramsReceived() >= i; }, 3000))
            GTEST_SKIP() << "multicast on the loopback interface is not delivered on this machine";
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
    const double cpu = seconds(after.ru_utime) - seconds(before.ru_utime) +
                       seconds(after.ru_stime) - seconds(before.ru_stime);
    EXPECT_LT(cpu, 0.25) << "a busy-polling loop would use a whole second";
}

// ---- Set-up failures, the receive buffer, the frame cap, the block observer ----

TEST(ReceiverSetUp, APortInUseOrAGroupThatCannotBeJoinedFailsWithTheReason) {
    ensureCoreApp();
    GetlidarData_1 first;
    first.m_Port = 0;
    ASSERT_TRUE(first.setupSocket()) << first.lastError().toStdString();
    const std::uint16_t port = first.boundPort();
    ASSERT_NE(port, 0);

    // A second viewer on the same port: neither receiver asks to share it.
    GetlidarData_1 second;
    second.m_Port = port;
    EXPECT_FALSE(second.setupSocket());
    EXPECT_EQ(second.lastError(), QStringLiteral("Port %1 is in use").arg(port));
    EXPECT_EQ(second.boundPort(), 0);
    EXPECT_EQ(second.receiveBufferBytes(), 0);
    EXPECT_FALSE(second.isRunning());
    GetSet status;
    status.m_Port = port;
    EXPECT_FALSE(status.setupSocket());
    EXPECT_EQ(status.lastError(), QStringLiteral("Port %1 is in use").arg(port));

    // A group joined on an interface this machine does not have (a documentation address).
    GetSet group;
    group.m_Port = 0;
    group.m_MulticastIp = QStringLiteral("239.255.74.11");
    group.m_InterfaceIp = QStringLiteral("192.0.2.1");
    EXPECT_FALSE(group.setupSocket());
    EXPECT_TRUE(group.lastError().startsWith(
        QStringLiteral("Cannot join multicast group 239.255.74.11 on 192.0.2.1: ")))
        << group.lastError().toStdString();
    EXPECT_EQ(group.boundPort(), 0) << "a failed set-up leaves no half-made socket";
    // Once the cause is gone the same receiver sets up, and the old reason is gone too.
    group.m_MulticastIp.clear();
    EXPECT_TRUE(group.setupSocket());
    EXPECT_TRUE(group.lastError().isEmpty());
    EXPECT_NE(group.boundPort(), 0);

    // The data socket asks for a large receive buffer; the device socket keeps the default.
    k740::UdpSocket plain;
    ASSERT_TRUE(plain.open());
    EXPECT_GE(first.receiveBufferBytes(), plain.receiveBufferSize());
    EXPECT_EQ(group.receiveBufferBytes(), plain.receiveBufferSize());
#ifdef __linux__
    if (geteuid() == 0) {  // with administrator rights the system cap does not apply
        EXPECT_GE(first.receiveBufferBytes(), GetlidarData_1::kReceiveBufferRequest);
    }
#endif
}

namespace {

// A motor that stands still: every block at 90 degrees.
std::vector<DataPacket> constantAzimuthPackets(std::size_t blocks) {
    return std::vector<DataPacket>((blocks + 11) / 12, makeSweepPacket(9000, 0));
}

}  // namespace

TEST(FrameCap, FramesThatNeverWrapStayWithinTheCapLiveAndInCaptureAnalysis) {
    const auto packets = constantAzimuthPackets(3 * k740::kMaxFrameBlocks + 12);
    int frames = 0;
    const auto count = [&](LidarDataSingleLine&&) { ++frames; };
    k740::LiveFrameAssembler live(count);
    k740::LiveFrameAssembler dual(count);
    k740::CaptureFrameAnalyzer capture(false);
    std::size_t liveMost = 0, dualMost = 0, captureMost = 0;
    for (const auto& p : packets) {
        live.addDataPacket(p.data(), k740::kStrongEcho, k740::kProtocol17);
        dual.addDataPacket(p.data(), k740::kDualEcho, k740::kProtocol17);
        capture.addPacket(p.data(), p.size(), count);
        liveMost = std::max(liveMost, live.blocksUnderAssembly());
        dualMost = std::max(dualMost, dual.blocksUnderAssembly());
        captureMost = std::max(captureMost, capture.pointsUnderAssembly());
    }
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(live.framesCapped(), 3);
    EXPECT_EQ(capture.framesCapped(), 3);
    EXPECT_GE(dual.framesCapped(), 1);
    EXPECT_LE(liveMost, k740::kMaxFrameBlocks);
    EXPECT_LE(dualMost, 2 * k740::kMaxFrameBlocks);
    EXPECT_LE(captureMost, 30 * k740::kMaxFrameBlocks);

    // Single-line packets that never reach 270 degrees.
    k740::LiveFrameAssembler singleLive(count);
    k740::CaptureFrameAnalyzer singleCapture(true);
    const auto stuck = makeSingleLinePacket(900000);
    for (std::size_t i = 0; i < 2 * k740::kMaxSingleLineFramePoints / 250; ++i) {
        singleLive.addSingleLinePacket(stuck.data());
        singleCapture.addPacket(stuck.data(), stuck.size(), count);
        EXPECT_LT(singleLive.pointsUnderAssembly(), k740::kMaxSingleLineFramePoints);
        EXPECT_LT(singleCapture.pointsUnderAssembly(), k740::kMaxSingleLineFramePoints);
    }
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(singleLive.framesCapped(), 2);
    EXPECT_EQ(singleCapture.framesCapped(), 2);

    // A real revolution at a little under 300 rpm (2118 blocks) is never cut.
    std::vector<LidarDataSingleLine> slow;
    k740::LiveFrameAssembler slowLive(
        [&](LidarDataSingleLine&& f) { slow.push_back(std::move(f)); });
    for (std::uint32_t s = 0; s < 3 * 36000; s += 12 * 17)
        slowLive.addDataPacket(makeSweepPacket(s % 36000, 17).data(), 0, 1);
    ASSERT_EQ(slow.size(), 3u);
    EXPECT_EQ(slowLive.framesCapped(), 0);
    for (const auto& f : slow) EXPECT_GT(f.blockAngle.size(), 2100u);
}

TEST_F(LiveReceiverTest, AFrameThatNeverWrapsIsCappedAndDecodingCarriesOn) {
    rx.m_PendingProtocol = 1;
    start();
    std::vector<DataPacket> packets = constantAzimuthPackets(k740::kMaxFrameBlocks + 240);
    sendAll(packets);  // returns once the loop has read them all
    EXPECT_EQ(rx.framesCapped(), 1);
    EXPECT_EQ(rx.framesEmitted(), 0);

    const auto real = revolutionPackets();
    sendAll(real);
    packets.insert(packets.end(), real.begin(), real.end());
    std::vector<LidarDataSingleLine> expected;
    k740::LiveFrameAssembler offline(
        [&](LidarDataSingleLine&& f) { expected.push_back(std::move(f)); });
    for (const auto& p : packets) offline.addDataPacket(p.data(), 0, 1);
    // The blocks left after the cap end at the jump to 358 degrees, then come two frames of
    // the real stream.
    ASSERT_EQ(expected.size(), 3u);
    ASSERT_TRUE(waitUntil([&] { return frames.size() >= 3; }));
    for (std::size_t i = 0; i < 3; ++i) EXPECT_TRUE(frames[i] == expected[i]) << "frame " << i;
    const std::size_t constantBlocks = 12 * (packets.size() - real.size());
    EXPECT_EQ(frames[0].blockAngle.size(), constantBlocks - k740::kMaxFrameBlocks + 1)
        << "the rest and the 358-degree block";
    EXPECT_EQ(frames[2].pointAngle.size(), 360u * 30) << "the first whole revolution after the cap";
}

TEST_F(LiveReceiverTest, TheBlockObserverSeesEveryStrongEchoBlockWhileTheGpsTestRuns) {
    struct Seen : k740::BlockObserver {
        std::vector<std::uint16_t> azimuths;
        std::vector<int> indexes;
        std::vector<int> protocols;
        void onBlock(const std::uint8_t* block, int blockIndex, int protocol) override {
            azimuths.push_back(k740::readLE16(block + k740::kBlockAzimuthOffset));
            indexes.push_back(blockIndex);
            protocols.push_back(protocol);
        }
    } seen;
    rx.setBlockObserver(&seen);
    start();
    const auto packets = revolutionPackets();
    sendAll({packets[1]});
    EXPECT_TRUE(seen.azimuths.empty()) << "no GPS test, no calls";

    rx.m_GpsTestActive = true;
    sendAll({packets[2], packets[3]});
    ASSERT_EQ(seen.azimuths.size(), 24u);
    for (int b = 0; b < 24; ++b) {
        EXPECT_EQ(seen.azimuths[b], 2200 + 1200 * (b / 12) + 100 * (b % 12));
        EXPECT_EQ(seen.indexes[b], b % 12);
        EXPECT_EQ(seen.protocols[b], 0);
    }
    rx.m_ReturnMode = k740::kDualEcho;  // the test is served in the strong-echo mode only
    sendAll({packets[4]});
    EXPECT_EQ(seen.azimuths.size(), 24u);
    stop();
    rx.setBlockObserver(nullptr);
}
