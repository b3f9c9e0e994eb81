// The simulated sensor: its packets decoded by the viewer's own decoder, the running engine
// over loopback, and the k740-sim program as a user runs it.
#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_format.h"
#include "device/device_packet.h"
#include "device/device_texts.h"
#include "display/point_math.h"
#include "platform/pcap_file.h"
#include "platform/udp_socket.h"
#include "sim/sim_engine.h"
#include "sim/sim_scene.h"

using namespace k740;
using namespace k740::sim;

namespace {

constexpr std::int64_t kStartNs = 1715509230LL * 1000000000LL;  // 2024-05-12 10:20:30 UTC

SimState makeState(int protocol, int rpm, bool dual = false, bool singleLine = false) {
    SimConfig c;
    c.protocol = protocol;
    c.rpm = rpm;
    c.dualReturn = dual;
    c.singleLine = singleLine;
    return initialState(c);
}

std::vector<SimPacket> sweep(const SimState& state, int count, std::int64_t startNs = kStartNs) {
    SweepGenerator gen(state, startNs);
    std::vector<SimPacket> out;
    for (int i = 0; i < count; ++i) out.push_back(gen.next());
    return out;
}

std::vector<LidarDataSingleLine> analyse(const std::vector<SimPacket>& packets, bool singleLine) {
    CaptureFrameAnalyzer analyzer(singleLine);
    std::vector<LidarDataSingleLine> frames;
    for (const SimPacket& p : packets)
        analyzer.addPacket(p.bytes.data(), p.size, [&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
    return frames;
}

std::vector<LidarDataSingleLine> assembleLive(const std::vector<SimPacket>& packets, int returnMode, int protocol) {
    std::vector<LidarDataSingleLine> frames;
    LiveFrameAssembler live([&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
    for (const SimPacket& p : packets) live.addDatagram(p.bytes.data(), p.size, returnMode, protocol);
    return frames;
}

// Revolutions' worth of packets of the 30-point layout at an rpm.
int packetsFor(double revolutions, int rpm, bool dual = false) {
    const double revolutionNs = 60e9 / rpm;
    const double packetNs = (dual ? 180 : 360) * 3125.0;
    return static_cast<int>(std::ceil(revolutions * revolutionNs / packetNs));
}

// Share of points whose scaled distance lies within tolerance of the room at their azimuth.
double shareMatchingRoom(const LidarDataSingleLine& f, int protocol, double toleranceMm, bool lastEcho = false) {
    const SimScene scene;
    std::size_t good = 0;
    for (std::size_t k = 0; k < f.pointCount(); ++k) {
        const double mm = scaleDistance(f.distance[k], protocol);
        const SceneHit h = lastEcho ? scene.farthest(f.pointAngle[k]) : scene.nearest(f.pointAngle[k]);
        if (std::fabs(mm - h.distanceMm) <= toleranceMm) ++good;
    }
    return f.pointCount() ? static_cast<double>(good) / f.pointCount() : 0.0;
}

}  // namespace

// ---- The packets, decoded by the viewer's decoder ----

TEST(SimSweep, OneRevolutionIsOneFrameOfTheExpectedSize) {
    for (int rpm : {300, 600, 1200}) {
        SCOPED_TRACE(rpm);
        const auto frames = analyse(sweep(makeState(kProtocol17, rpm), packetsFor(2.5, rpm)), false);
        ASSERT_EQ(frames.size(), 2u);
        const double dps = degreesPerSlot(rpm);
        const double expectedPoints = 360.0 / dps;  // one point per time slot
        if (rpm == 600) {
            EXPECT_NEAR(expectedPoints, 32000.0, 1.0);
        }
        for (const auto& f : frames) {
            // A frame ends with the block that wraps; the first one also holds block 0.
            EXPECT_NEAR(static_cast<double>(f.pointCount()), expectedPoints, 61.0);
            // Block azimuths climb by 30 slots' worth up to the block that wraps the revolution.
            const std::size_t nb = f.blockAngle.size();
            for (std::size_t b = 1; b + 1 < nb; ++b)
                ASSERT_NEAR(f.blockAngle[b] - f.blockAngle[b - 1], 30 * dps, 0.011) << "block " << b;
            EXPECT_LT(f.blockAngle[nb - 1], f.blockAngle[nb - 2]);
            // Point azimuths never step back, apart from the last two blocks' points that lie
            // past 360 degrees.
            const std::size_t n = f.pointCount();
            for (std::size_t k = 1; k + 60 < n; ++k) ASSERT_GE(f.pointAngle[k], f.pointAngle[k - 1]) << k;
        }
    }
}

TEST(SimSweep, TwoPointLayoutThroughTheLiveAssembler) {
    const SimState s = makeState(kProtocol16, 600);
    const auto packets = sweep(s, packetsFor(3.5, 600));
    const auto frames = assembleLive(packets, kStrongEcho, kProtocol16);
    ASSERT_GE(frames.size(), 3u);
    // Two points a block, the block period unchanged: 2 x 1066.7 points a revolution.
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_NEAR(static_cast<double>(frames[i].pointCount()), 2 * 360.0 / (30 * degreesPerSlot(600)), 3.0);
    // Only records 0 and 16 carry measurements.
    const std::uint8_t* block = packets[5].bytes.data() + 3 * kBlockSize;
    for (int c = 0; c < 30; ++c) {
        const std::uint16_t raw = readLE16(block + kFirstRecordOffset + 3 * c);
        if (c == 0 || c == 16) {
            EXPECT_GT(raw, 0) << c;
        } else {
            EXPECT_EQ(raw, 0) << c;
        }
    }
}

TEST(SimSweep, DistancesAndAzimuthsDescribeTheRoom) {
    for (int protocol : {kProtocol16, kProtocol17}) {
        SCOPED_TRACE(protocol);
        const auto frames = assembleLive(sweep(makeState(protocol, 600), packetsFor(2.5, 600)), kStrongEcho, protocol);
        ASSERT_GE(frames.size(), 2u);
        const LidarDataSingleLine& f = frames[1];
        // Range noise plus the odd point straddling an object's edge.
        EXPECT_GT(shareMatchingRoom(f, protocol, 3 * SimScene::kRangeNoiseMm), 0.98);
        std::set<int> intensities;
        for (std::size_t k = 0; k < f.pointCount(); ++k) {
            const double mm = scaleDistance(f.distance[k], protocol);
            const double a = f.pointAngle[k] * 3.14159265358979 / 180.0;
            const double x = mm * std::sin(a) / 1000.0, y = mm * std::cos(a) / 1000.0;
            if (mm == 0.0) continue;  // carried-over slots left behind by the live assembler
            ASSERT_GE(x, SimScene::kRoomMinX - 0.05);
            ASSERT_LE(x, SimScene::kRoomMaxX + 0.05);
            ASSERT_GE(y, SimScene::kRoomMinY - 0.05);
            ASSERT_LE(y, SimScene::kRoomMaxY + 0.05);
            intensities.insert(f.intensity[k] / 10);
        }
        EXPECT_GE(intensities.size(), 8u);  // walls, pillar, box, person and the reflective strip differ
        // Straight behind the sensor the wall stands 3 m away: raw counts of 2 mm or 4 mm.
        int behind = 0;
        for (std::size_t k = 0; k < f.pointCount(); ++k) {
            if (std::fabs(f.pointAngle[k] - 180.0) > 0.2) continue;
            EXPECT_NEAR(f.distance[k], protocol == kProtocol17 ? 3000.0 / 4 : 3000.0 / 2, 4.0);
            ++behind;
        }
        EXPECT_GT(behind, 0);
    }
}

TEST(SimSweep, PacketTimeStampsFollowTheFiringClock) {
    for (bool dual : {false, true}) {
        SCOPED_TRACE(dual);
        const auto packets = sweep(makeState(kProtocol17, 600, dual), 40);
        // Microseconds within the hour: 10:20:30 is 1230 s into the hour.
        EXPECT_EQ(readLE32(packets[0].bytes.data() + kTimeStampOffset), 1230000000u);
        const double span = (dual ? 6 : 12) * 30 * 3.125;  // 3.125 us a slot
        for (std::size_t i = 1; i < packets.size(); ++i) {
            const double t0 = readLE32(packets[i - 1].bytes.data() + kTimeStampOffset);
            const double t1 = readLE32(packets[i].bytes.data() + kTimeStampOffset);
            ASSERT_NEAR(t1 - t0, span, 0.51) << i;
        }
    }
    // Decoded point times: 14 slots after the first point of a block lie 43.75 us later.
    const auto frames = analyse(sweep(makeState(kProtocol17, 1200), packetsFor(1.5, 1200)), false);
    ASSERT_EQ(frames.size(), 1u);
    for (std::size_t k = 0; k + 14 < frames[0].pointCount(); k += 30) {
        const std::uint64_t d = frames[0].timeStamp[k + 14] - frames[0].timeStamp[k];
        ASSERT_TRUE(d == 43 || d == 44) << k << ": " << d;
    }
    // The time stamp starts again at the top of the hour.
    const std::int64_t justBeforeHour = 1715511599LL * 1000000000LL + 999500000LL;  // 10:59:59.9995
    const auto wrap = sweep(makeState(kProtocol17, 600), 3, justBeforeHour);
    EXPECT_EQ(readLE32(wrap[0].bytes.data() + kTimeStampOffset), 3599999500u);
    EXPECT_EQ(readLE32(wrap[1].bytes.data() + kTimeStampOffset), 625u);
}

TEST(SimSweep, GpsDateAndTimeSitInTheirRecords) {
    const std::uint8_t date[3] = {24, 5, 12}, time[3] = {10, 20, 30};
    for (bool dual : {false, true}) {
        const auto p = sweep(makeState(kProtocol17, 600, dual), 1)[0];
        for (std::size_t b = 0; b < kBlockCount; ++b) {
            const std::uint8_t* block = p.bytes.data() + b * kBlockSize;
            EXPECT_TRUE(std::equal(date, date + 3, block + 49)) << "record 15 of block " << b;
            EXPECT_TRUE(std::equal(time, time + 3, block + 97)) << "record 31 of block " << b;
        }
    }
    const auto p = sweep(makeState(kProtocol16, 600), 1)[0];
    const std::uint8_t both[6] = {24, 5, 12, 10, 20, 30};
    for (std::size_t b = 0; b < kBlockCount; ++b)
        EXPECT_TRUE(std::equal(both, both + 6, p.bytes.data() + b * kBlockSize + 94)) << "block " << b;
}

TEST(SimSweep, SingleLineQuartersMakeOneFrame) {
    for (int protocol : {kProtocol16, kProtocol17}) {
        const SimState s = makeState(protocol, 600, false, true);
        EXPECT_EQ(packetPeriodNs(s), 25000000);  // four packets in 100 ms
        const auto packets = sweep(s, 9);
        for (std::size_t i = 0; i < packets.size(); ++i) {
            ASSERT_EQ(packets[i].size, kSingleLinePacketSize);
            EXPECT_EQ(readBE32(packets[i].bytes.data() + kSingleLineAzimuthOffset), (i % 4) * 900000u);
        }
        const auto frames = analyse(packets, true);
        ASSERT_EQ(frames.size(), 2u);
        EXPECT_EQ(frames[0].pointCount(), 1000u);
        EXPECT_DOUBLE_EQ(frames[0].pointAngle.front(), 0.0);
        EXPECT_NEAR(frames[0].pointAngle.back(), 359.64, 1e-6);
        EXPECT_GT(shareMatchingRoom(frames[0], protocol, 3 * SimScene::kRangeNoiseMm), 0.98);
        const auto live = assembleLive(packets, kStrongEcho, protocol);
        ASSERT_EQ(live.size(), 2u);
        EXPECT_EQ(live[1].pointCount(), 1000u);
    }
}

TEST(SimSweep, DualReturnPairsShareAzimuths) {
    const auto packets = sweep(makeState(kProtocol17, 600, true), packetsFor(2.5, 600, true));
    for (const SimPacket& p : packets)
        for (std::size_t b = 0; b < kBlockCount; b += 2)
            ASSERT_EQ(readLE16(p.bytes.data() + b * kBlockSize + 2),
                      readLE16(p.bytes.data() + (b + 1) * kBlockSize + 2));

    const auto first = assembleLive(packets, kDualEchoFirst, kProtocol17);
    const auto second = assembleLive(packets, kDualEchoSecond, kProtocol17);
    const auto merged = assembleLive(packets, kDualEcho, kProtocol17);
    ASSERT_EQ(first.size(), 2u);
    ASSERT_EQ(second.size(), 2u);
    ASSERT_EQ(merged.size(), 2u);
    const LidarDataSingleLine& a = first[1];
    const LidarDataSingleLine& b = second[1];
    EXPECT_NEAR(static_cast<double>(a.pointCount()), 32000.0, 61.0);  // full resolution per echo
    EXPECT_NEAR(static_cast<double>(b.pointCount()), 32000.0, 61.0);
    EXPECT_EQ(merged[1].pointCount(), a.pointCount() + b.pointCount());
    // The second-echo frame closes one block earlier (its partner of the wrapping block opens
    // the next frame), so its block k + 1 pairs with the first echo's block k.
    const std::size_t n = std::min(a.pointCount(), b.pointCount() - 30);
    std::size_t farther = 0;
    for (std::size_t k = 0; k < n; ++k) {
        ASSERT_NEAR(a.pointAngle[k], b.pointAngle[k + 30], 0.011) << k;  // last block: own step
        // The last echo is never nearer than the first; behind the pillar and the person it
        // is the wall.
        const double first = scaleDistance(a.distance[k], kProtocol17);
        const double last = scaleDistance(b.distance[k + 30], kProtocol17);
        ASSERT_GE(last + 2 * SimScene::kRangeNoiseMm + 4, first) << k;
        if (last > first + 500) ++farther;
    }
    EXPECT_GT(farther, 300u);
    EXPECT_GT(shareMatchingRoom(b, kProtocol17, 3 * SimScene::kRangeNoiseMm, true), 0.98);
}

TEST(SimSweep, StateChangesReachTheStream) {
    SimState s = makeState(kProtocol17, 600);
    SweepGenerator gen(s, kStartNs);
    EXPECT_EQ(gen.next().size, kDataPacketSize);
    s.motorState = 1;  // stop
    gen.setState(s);
    const std::int64_t before = gen.now();
    EXPECT_EQ(gen.next().size, 0u);
    EXPECT_GT(gen.now(), before);  // time goes on while the motor stands
    EXPECT_EQ(readBE16(buildDevicePacket(s, CivilTime{}).data() + kDevMotorSpeed), 0);
    s.motorState = 0;
    s.singleLine = true;
    gen.setState(s);
    gen.next();
    gen.next();
    s.singleLine = false;
    gen.setState(s);
    gen.next();
    s.singleLine = true;
    gen.setState(s);  // a new single-line sweep starts at 0 degrees
    const SimPacket p = gen.next();
    ASSERT_EQ(p.size, kSingleLinePacketSize);
    EXPECT_EQ(readBE32(p.bytes.data() + kSingleLineAzimuthOffset), 0u);
}

TEST(SimDevicePacket, CarriesTheSimulatedState) {
    SimState s = makeState(kProtocol17, 1200, true);
    s.ppsAngle = 4550;
    s.ppsDeviation = -150;
    s.horizontalOffset = -250;
    s.dataPort = 40000;
    s.devicePort = 40001;
    const CivilTime now{2024, 5, 12, 10, 20, 30};
    const DevicePacket p = buildDevicePacket(s, now);
    ASSERT_TRUE(isDevicePacket(p.data(), p.size()));
    EXPECT_EQ(classifyDatagram(p.data(), p.size()), PacketKind::DeviceInfo);
    EXPECT_FALSE(isEarlierGeneration(p.data()));

    const DeviceNetworkFields net = decodeNetworkFields(p.data());
    EXPECT_EQ(net.motorSpeed, 1200);
    EXPECT_EQ(ipv4Text(net.sensorIp), "192.168.1.222");
    EXPECT_EQ(ipv4Text(net.destIp), "127.0.0.1");  // the configured destination
    EXPECT_EQ(net.dataPort, 40000);
    EXPECT_EQ(net.devicePort, 40001);
    EXPECT_EQ(macText(net.mac.data()), "60-76-88-1a-2b-3c");
    EXPECT_EQ(ipv4Text(net.subnetMask), "255.255.255.0");
    EXPECT_EQ(net.motorState, 0);
    EXPECT_EQ(net.sensorStatus, 0);

    const SettingData d = decodeSettingData(p.data());
    EXPECT_EQ(gpsTimeText(d.gpsTime), "2024/5/12 10:20:30");
    EXPECT_EQ(ppsSetAngleText(d.ppsSetAngle), "45.50");
    EXPECT_EQ(boardTemperatureText(d.boardTemperature), "41.00");
    EXPECT_NEAR(std::stod(stopTemperatureText(d.stopTemperature)), 85.0, 0.1);
    EXPECT_EQ(board2VersionText(d.board2Version), "V3.1.2");
    EXPECT_EQ(board3VersionText(d.board3Version), "2025.3.18-V.1.0.5");
    EXPECT_EQ(serialText(d).rfind("K740P-SIM-00000001", 0), 0u);
    EXPECT_EQ(QString::fromStdString(positionText(d.latitude, d.latitudeHemisphere)).trimmed().left(9), "3958.2134");

    const std::vector<int> v = decodeStatusValues(p.data());
    ASSERT_EQ(v.size(), kStatusValueCount);
    EXPECT_DOUBLE_EQ(ppsDeviationDegrees(v[6]), -1.5);
    EXPECT_EQ(v[7], 40000);
    EXPECT_EQ(v[8], 40001);
    EXPECT_EQ(v[9], 20000);  // measuring range x 100
    EXPECT_EQ(v[13], 1);     // echo mode follows dual return
    EXPECT_EQ(static_cast<std::int16_t>(v[14]), -250);
}

// ---- The running engine over loopback ----

namespace {

struct Receiver {
    UdpSocket socket;
    std::uint16_t port = 0;
    bool open(const std::string& address = "127.0.0.1") {
        if (!socket.open() || !socket.bind(0, address)) return false;
        port = socket.localPort();
        return port != 0;
    }
};

struct Received {
    std::vector<std::vector<std::uint8_t>> packets;
    std::vector<std::string> senders;
};

// Receives from one socket until the deadline.
void receiveFor(UdpSocket& s, std::chrono::milliseconds duration, Received& out) {
    const auto end = std::chrono::steady_clock::now() + duration;
    std::vector<std::uint8_t> buf(2048);
    while (std::chrono::steady_clock::now() < end) {
        if (s.waitReadable(10) != 1) continue;
        std::string from;
        const long n = s.receiveFrom(buf.data(), buf.size(), &from);
        if (n <= 0) continue;
        out.packets.emplace_back(buf.begin(), buf.begin() + n);
        out.senders.push_back(from);
    }
}

}  // namespace

TEST(SimEngine, StreamsOverLoopbackAtTheSensorRate) {
    Receiver data, device;
    ASSERT_TRUE(data.open());
    ASSERT_TRUE(device.open());
    // Seconds of stream fit in the buffer: a test machine that reads late loses nothing.
    data.socket.requestReceiveBuffer(4 * 1024 * 1024);
    SimConfig c;
    c.protocol = kProtocol17;
    c.dataPort = data.port;
    c.devicePort = device.port;
    c.sourceAddress = "127.0.0.2";
    SimEngine engine(c);
    std::string error;
    ASSERT_TRUE(engine.start(&error)) << error;
    EXPECT_TRUE(engine.running());

    // Four revolutions' worth of packets (ten revolutions a second, 889 packets a second).
    constexpr std::size_t kWanted = 360;
    Received got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    std::vector<std::uint8_t> buf(2048);
    while (got.packets.size() < kWanted && std::chrono::steady_clock::now() < deadline) {
        if (data.socket.waitReadable(10) != 1) continue;
        std::string from;
        const long n = data.socket.receiveFrom(buf.data(), buf.size(), &from);
        if (n <= 0) continue;
        got.packets.emplace_back(buf.begin(), buf.begin() + n);
        got.senders.push_back(from);
    }
    engine.stop();
    EXPECT_FALSE(engine.running());
    ASSERT_EQ(got.packets.size(), kWanted);
    EXPECT_GE(engine.dataPacketsSent(), got.packets.size());
    for (const std::string& from : got.senders) ASSERT_EQ(from, "127.0.0.2");

    // The sensor rate, read from the packets' own clock: one packet every 1.125 ms (360 time
    // slots of 3.125 us), none missing, the clock counting microseconds within the hour.
    for (std::size_t i = 1; i < got.packets.size(); ++i) {
        const std::uint32_t t0 = readLE32(got.packets[i - 1].data() + kTimeStampOffset);
        const std::uint32_t t1 = readLE32(got.packets[i].data() + kTimeStampOffset);
        ASSERT_EQ((t1 + 3600000000u - t0) % 3600000000u, 1125u) << "packet " << i;
    }

    std::vector<LidarDataSingleLine> frames;
    LiveFrameAssembler live([&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
    for (const auto& p : got.packets)
        ASSERT_EQ(live.addDatagram(p.data(), p.size(), kStrongEcho, kProtocol17), PacketKind::Data);
    ASSERT_GE(frames.size(), 3u);
    for (std::size_t i = 1; i < frames.size(); ++i) EXPECT_NEAR(frames[i].pointCount(), 32000.0, 100.0);

    // The device information packet goes out at once, then every second.
    Received dev;
    receiveFor(device.socket, std::chrono::milliseconds(20), dev);
    ASSERT_GE(dev.packets.size(), 1u);
    const auto& p = dev.packets.front();
    ASSERT_EQ(p.size(), kDevicePacketSize);
    EXPECT_TRUE(std::equal(kDeviceHeader, kDeviceHeader + 8, p.begin()));
    EXPECT_EQ(readBE16(p.data() + kDevMotorSpeed), 600);
    EXPECT_EQ(readBE16(p.data() + kDevDataPort), data.port);
    EXPECT_EQ(engine.devicePacketsSent(), dev.packets.size());
}

TEST(SimEngine, SendsTheDataStreamToAMulticastGroupOnLoopback) {
    UdpSocket rx;
    ASSERT_TRUE(rx.open());
    ASSERT_TRUE(rx.setReuseAddress(true));
    ASSERT_TRUE(rx.bind(0));
    const std::string group = "239.255.74." + std::to_string(1 + rx.localPort() % 250);
    ASSERT_TRUE(rx.joinMulticast(group, "127.0.0.1"));
    SimConfig c;
    c.dataPort = rx.localPort();
    c.multicastGroup = group;
    c.multicastInterface = "127.0.0.1";
    c.deviceInfo = false;
    c.singleLine = true;
    SimEngine engine(c);
    std::string error;
    ASSERT_TRUE(engine.start(&error)) << error;
    Received got;
    receiveFor(rx, std::chrono::milliseconds(300), got);
    engine.stop();
    ASSERT_GE(got.packets.size(), 4u);  // 40 a second
    EXPECT_EQ(classifyDatagram(got.packets[0].data(), got.packets[0].size()), PacketKind::SingleLine);
    EXPECT_EQ(engine.devicePacketsSent(), 0u);
}

namespace {

struct CapturePayloads {
    std::vector<std::vector<std::uint8_t>> payloads;
    double spanSeconds = 0;
};

CapturePayloads sensorPayloads(const std::string& path) {
    CapturePayloads out;
    PcapFileReader r;
    if (!r.open(path)) return out;
    CaptureRecord rec;
    double first = -1, last = 0;
    while (r.next(rec) == PcapFileReader::Result::Record) {
        if (rec.capturedLength != kCaptureDataRecordSize && rec.capturedLength != kCaptureSingleLineRecordSize)
            continue;
        out.payloads.emplace_back(rec.data + kCaptureHeaderSize, rec.data + rec.capturedLength);
        last = rec.seconds + rec.nanoseconds * 1e-9;
        if (first < 0) first = last;
    }
    out.spanSeconds = last - first;
    return out;
}

}  // namespace

TEST(SimEngine, ReplaysACaptureAtItsRecordedPace) {
    const std::string path = std::string(K740_TESTDATA) + "/real/rotating-32ch-a.pcap";
    const CapturePayloads capture = sensorPayloads(path);
    ASSERT_GE(capture.payloads.size(), 50u);
    ASSERT_GT(capture.spanSeconds, 0.01);

    Receiver rx;
    ASSERT_TRUE(rx.open());
    SimConfig c;
    c.dataPort = rx.port;
    c.deviceInfo = false;
    c.replayFile = path;
    SimEngine engine(c);
    std::string error;
    ASSERT_TRUE(engine.start(&error)) << error;
    const auto t0 = std::chrono::steady_clock::now();
    Received got;
    while (engine.running() && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(10))
        receiveFor(rx.socket, std::chrono::milliseconds(5), got);
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    receiveFor(rx.socket, std::chrono::milliseconds(50), got);
    EXPECT_FALSE(engine.running());  // without --loop the replay ends with the file
    EXPECT_EQ(engine.dataPacketsSent(), capture.payloads.size());
    EXPECT_GE(took, 0.8 * capture.spanSeconds);  // not all at once
    // What arrives is the capture's payloads, byte for byte and in order.
    ASSERT_GE(got.packets.size(), capture.payloads.size() * 9 / 10);
    std::size_t j = 0;
    for (const auto& p : got.packets) {
        while (j < capture.payloads.size() && capture.payloads[j] != p) ++j;
        ASSERT_LT(j, capture.payloads.size()) << "a datagram that is not in the capture";
    }
}

TEST(SimEngine, LoopsAReplayAndRefusesAnUnreadableFile) {
    const std::string path = std::string(K740_TESTDATA) + "/real/rotating-16ch-a.pcap";
    const CapturePayloads capture = sensorPayloads(path);
    ASSERT_FALSE(capture.payloads.empty());
    Receiver rx;
    ASSERT_TRUE(rx.open());
    SimConfig c;
    c.dataPort = rx.port;
    c.deviceInfo = false;
    c.replayFile = path;
    c.replayLoop = true;
    c.speedFactor = 20.0;
    SimEngine engine(c);
    ASSERT_TRUE(engine.start());
    const double wait = 2.5 * capture.spanSeconds / c.speedFactor + 0.2;
    Received got;
    receiveFor(rx.socket, std::chrono::milliseconds(static_cast<int>(wait * 1000)), got);
    EXPECT_TRUE(engine.running());
    engine.stop();
    EXPECT_GT(engine.dataPacketsSent(), 2 * capture.payloads.size());

    SimConfig bad = c;
    bad.replayFile = std::string(K740_TESTDATA) + "/real/README.md";  // not a capture
    SimEngine refused(bad);
    std::string error;
    EXPECT_FALSE(refused.start(&error));
    EXPECT_NE(error.find("README.md"), std::string::npos);
    EXPECT_FALSE(refused.running());
}

// ---- The k740-sim program ----

namespace {

struct RunResult {
    int exitCode = -1;
    QString out, err;
};

RunResult runSim(const QStringList& args, int timeoutMs = 15000) {
    QProcess p;
    p.start(QStringLiteral(K740_SIM), args);
    RunResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

}  // namespace

TEST(SimTool, RunsForItsDurationAndSummarises) {
    Receiver data, device;
    ASSERT_TRUE(data.open());
    ASSERT_TRUE(device.open());
    const RunResult r = runSim({"--data-port", QString::number(data.port), "--device-port",
                                QString::number(device.port), "--duration", "1", "--rpm", "1200"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(lines[0].contains(QString("127.0.0.1:%1").arg(data.port))) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("1200 rpm"));
    EXPECT_TRUE(lines[0].contains("protocol 1.6")) << "the viewer's default protocol";
    bool ok = false;
    const QStringList words = lines[1].split(' ');
    const int sentIndex = words.indexOf("sent");
    ASSERT_GE(sentIndex, 0) << lines[1].toStdString();
    const int sent = words.value(sentIndex + 1).toInt(&ok);
    ASSERT_TRUE(ok) << lines[1].toStdString();
    EXPECT_GT(sent, 500);   // about 889 in one second
    EXPECT_LT(sent, 1300);
    EXPECT_TRUE(lines[1].contains("device information packets"));
    Received dev;
    receiveFor(device.socket, std::chrono::milliseconds(20), dev);
    EXPECT_GE(dev.packets.size(), 1u);
}

TEST(SimTool, EndsCleanlyOnTerminate) {
    Receiver data;
    ASSERT_TRUE(data.open());
    QProcess p;
    p.start(QStringLiteral(K740_SIM), {"--data-port", QString::number(data.port), "--no-device-info",
                                       "--single-line"});
    ASSERT_TRUE(p.waitForStarted(5000));
    ASSERT_TRUE(p.waitForReadyRead(5000));  // the start line
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    p.terminate();  // SIGTERM
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(out.contains("sent ")) << out.toStdString();
    EXPECT_TRUE(out.contains("and 0 device information packets")) << out.toStdString();
}

TEST(SimTool, BadOptionsExitWithTwo) {
    const QString missing = QString(K740_TESTDATA) + "/real/no-such-file.pcap";
    const QString notCapture = QString(K740_TESTDATA) + "/real/README.md";
    const QList<QStringList> cases = {
        {"--rpm", "700"},          {"--protocol", "2"},           {"--bogus"},
        {"--data-port", "0"},      {"--device-port", "70000"},    {"--group", "127.0.0.5"},
        {"--host", "nowhere"},     {"--speed", "0"},              {"--duration", "-1"},
        {"--replay", missing},     {"--replay", notCapture},      {"--loop"},
        {"stray-argument"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const RunResult r = runSim(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_EQ(r.err.trimmed().count('\n'), 0) << r.err.toStdString();
        EXPECT_TRUE(r.err.startsWith("k740-sim: ")) << r.err.toStdString();
    }
}
