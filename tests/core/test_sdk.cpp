// The consumer interface k740/k740.h: frames of a capture in any order of reading (in-order
// reading decodes ahead) and from several threads, a moved-from capture, captures and the
// listener read alike through k740::Source, the listener's frames, callback, time-out and stop
// over loopback, and the table of azimuth sines and cosines behind Frame::xyz.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "capture_writer.h"
#include "display/point_math.h"
#include "k740/k740.h"
#include "packet_writer.h"
#include "platform/udp_socket.h"
#include "playback/capture_index.h"
#include "sdk/azimuth_table.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// One file a test: CTest runs the cases of this suite side by side.
std::string writeSweepCapture(int packets) {
    const std::string path = ::testing::TempDir() + "k740-sdk-sweep-" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".pcap";
    EXPECT_TRUE(k740test::writeFile(path, k740test::captureBytes(k740test::sweepRecords(packets),
                                                                 k740test::CaptureFormat::PcapLittleMicro)));
    return path;
}

// True when a frame holds exactly the record's points and blocks.
bool sameFrame(const k740::Frame& f, const LidarDataSingleLine& want) {
    return f.azimuth() == want.pointAngle && f.distance() == want.distance && f.intensity() == want.intensity &&
           f.time() == want.timeStamp && f.blockAzimuth() == want.blockAngle;
}

// Every frame a source gives, by the processing a consumer writes once for files and live data.
std::vector<k740::Frame> collect(k740::Source& source, std::size_t atMost, double idleSeconds) {
    std::vector<k740::Frame> frames;
    source.run(
        [&](const k740::Frame& f) {
            frames.push_back(f);
            return frames.size() < atMost;
        },
        idleSeconds);
    return frames;
}

// The frames the capture-file analysis gives, straight from the catalog.
std::vector<LidarDataSingleLine> catalogFrames(const std::string& path) {
    const k740::CatalogResult c = k740::buildFrameCatalog(path, false);
    k740::CaptureFrameSource source;
    EXPECT_TRUE(source.open(path, &c.catalog));
    std::vector<LidarDataSingleLine> frames(source.frameCount());
    for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(source.decode(i, frames[i]));
    return frames;
}

TEST(SdkCapture, AnyOrderOfReadingGivesTheCatalogFrames) {
    const std::string path = writeSweepCapture(100);
    const std::vector<LidarDataSingleLine> want = catalogFrames(path);
    ASSERT_GE(want.size(), 5u);

    k740::Capture cap(path);
    ASSERT_EQ(cap.size(), want.size());
    std::size_t n = 0;
    for (const k740::Frame& f : cap) {  // in order: each next frame decoded ahead
        EXPECT_EQ(f.index(), n);
        EXPECT_TRUE(sameFrame(f, want[n])) << "frame " << n;
        ++n;
    }
    EXPECT_EQ(n, want.size());
    // Jumps, repeats and going back: a frame decoded ahead for another index is never handed out.
    for (std::size_t i : {0u, 1u, 4u, 2u, 3u, 3u, 0u, 1u, 2u}) {
        const k740::Frame f = cap.frame(i);
        EXPECT_EQ(f.index(), i);
        EXPECT_TRUE(sameFrame(f, want[i])) << "frame " << i;
    }
    EXPECT_THROW(cap.frame(want.size()), k740::Error);

    // A frame outlives its capture; the two coordinate calls agree.
    k740::Frame kept = cap.frame(1);
    cap = k740::Capture(path, {false, k740::Protocol::V1_7, k740::ViewMode::WholeCentimetres});
    std::vector<float> flat(3 * kept.size());
    kept.xyz(flat.data());
    const std::vector<k740::PointXyz> points = kept.xyz();
    ASSERT_EQ(points.size(), kept.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        ASSERT_TRUE(points[i].x == flat[3 * i] && points[i].y == flat[3 * i + 1] && points[i].z == flat[3 * i + 2]);
    std::remove(path.c_str());
}

TEST(SdkCapture, FourThreadsReadingAtOnceGetTheCatalogFrames) {
    const std::string path = writeSweepCapture(300);
    const std::vector<LidarDataSingleLine> want = catalogFrames(path);
    const std::size_t n = want.size();
    ASSERT_GE(n, 15u);
    const k740::Capture cap(path);
    std::atomic<int> wrong{0};
    // One thread in order (decoding ahead), one backwards, two by strides.
    auto read = [&](std::size_t k) {
        for (std::size_t step = 0; step < 3 * n; ++step) {
            const std::size_t i = k == 0 ? step % n : k == 1 ? n - 1 - step % n : (step * (5 + 2 * k)) % n;
            if (!sameFrame(cap.frame(i), want[i])) ++wrong;
        }
    };
    std::vector<std::thread> readers;
    for (std::size_t k = 0; k < 4; ++k) readers.emplace_back(read, k);
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(wrong.load(), 0);
    std::remove(path.c_str());
}

TEST(SdkCapture, MovedFromCaptureThrows) {
    const std::string path = writeSweepCapture(40);
    k740::Capture a(path);
    k740::Capture b(std::move(a));
    EXPECT_THROW(a.frame(0), k740::Error);
    EXPECT_THROW(a.begin(), k740::Error);
    EXPECT_THROW(a.path(), k740::Error);
    a = std::move(b);  // assigned again, it works again
    EXPECT_EQ(a.frame(a.size() - 1).index(), a.size() - 1);
    std::remove(path.c_str());
}

TEST(SdkCapture, ErrorsNameTheFileAndTheKind) {
    try {
        k740::Capture cap(::testing::TempDir() + "k740-sdk-missing.pcap");
        FAIL() << "opened a missing file";
    } catch (const k740::Error& e) {
        EXPECT_EQ(e.kind(), k740::ErrorKind::FileNotFound);
        EXPECT_NE(std::string(e.what()).find("k740-sdk-missing.pcap: No such file or directory"), std::string::npos);
        EXPECT_EQ(e.systemError(), ENOENT);
    }
    const std::string text = ::testing::TempDir() + "k740-sdk-text.pcap";
    ASSERT_TRUE(k740test::writeFile(text, std::vector<std::uint8_t>(100, 'x')));
    try {
        k740::Capture cap(text);
        FAIL() << "opened a text file";
    } catch (const k740::Error& e) {
        EXPECT_EQ(e.kind(), k740::ErrorKind::NotACapture);
    }
    std::remove(text.c_str());
    try {
        k740::Capture cap(text, {false, k740::Protocol::V1_6, static_cast<k740::ViewMode>(3)});
        FAIL() << "took view mode 3";
    } catch (const k740::Error& e) {
        EXPECT_EQ(e.kind(), k740::ErrorKind::InvalidArgument);
    }
}

TEST(SdkCapture, AsASourceGivesItsFramesInOrderThenNothing) {
    const std::string path = writeSweepCapture(100);
    const std::vector<LidarDataSingleLine> want = catalogFrames(path);
    ASSERT_GE(want.size(), 4u);
    k740::Capture cap(path, {false, k740::Protocol::V1_7, k740::ViewMode::Exact});
    // Indexed reading leaves the cursor alone; the cursor moves frame by frame.
    EXPECT_EQ(cap.frame(3).index(), 3u);
    ASSERT_EQ(cap.next()->index(), 0u);
    EXPECT_EQ(cap.cursor(), 1u);
    std::vector<k740::Frame> rest = collect(cap, 2, -1.0);  // stops when the callback says so
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[1].index(), 2u);
    rest = collect(cap, want.size(), -1.0);  // the remaining frames, then the end
    ASSERT_EQ(rest.size(), want.size() - 3);
    for (const k740::Frame& f : rest) EXPECT_TRUE(sameFrame(f, want[f.index()])) << "frame " << f.index();
    EXPECT_FALSE(cap.next().has_value());
    EXPECT_FALSE(cap.next(0.0).has_value());

    // Read again from the start: the coordinates now come from the azimuths kept by the first
    // pass, and equal the point maths' own bit for bit.
    cap.rewind();
    const std::vector<k740::Frame> again = collect(cap, want.size(), -1.0);
    ASSERT_EQ(again.size(), want.size());
    for (const k740::Frame& f : again) {
        const std::vector<k740::PointXyz> got = f.xyz();
        ASSERT_EQ(got.size(), f.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            const k740::PointCm p = k740::pointCoordinates(k740::scaleDistance(f.distance()[i], 1), f.azimuth()[i], 1);
            ASSERT_TRUE(got[i].x == p.x && got[i].y == p.y && got[i].z == p.z) << "frame " << f.index() << " point " << i;
        }
    }
    k740::Capture moved(std::move(cap));
    EXPECT_THROW(cap.next(), k740::Error);
    std::remove(path.c_str());
}

TEST(SdkAzimuthTable, GivesTheWorkedOutValuesInAnyOrderAndWhenFull) {
    k740::AzimuthTable table;
    const auto same = [](const k740::AzimuthTrig& a, const k740::AzimuthTrig& b) {
        return std::memcmp(&a.sin, &b.sin, sizeof a.sin) == 0 && std::memcmp(&a.cos, &b.cos, sizeof a.cos) == 0;
    };
    // A revolution of values, met again in the same order, backwards and by strides.
    const std::size_t n = 20000;
    const auto value = [n](std::size_t k) { return 360.0 * static_cast<double>(k) / static_cast<double>(n) + 1e-9; };
    for (int pass = 0; pass < 3; ++pass) {
        for (std::size_t step = 0; step < n; ++step) {
            const std::size_t k = pass == 0 ? step : pass == 1 ? n - 1 - step : (step * 7919) % n;
            ASSERT_TRUE(same(table.get(value(k)), k740::azimuthTrig(value(k)))) << value(k);
        }
        EXPECT_EQ(table.size(), n);
    }
    // More distinct values than it keeps: it starts empty again and stays within its bound.
    const std::size_t many = k740::AzimuthTable::kMaxValues + 1000;
    for (std::size_t k = 0; k < many; ++k) {
        const double a = 360.0 * static_cast<double>(k) / static_cast<double>(many);
        ASSERT_TRUE(same(table.get(a), k740::azimuthTrig(a))) << a;
        ASSERT_LE(table.size(), k740::AzimuthTable::kMaxValues);
    }
    EXPECT_LT(table.size(), many - n);
    // Values outside a revolution are worked out, never kept; 0 and -0 are two values.
    const std::size_t kept = table.size();
    for (double a : {-1.0, 360.0, 1e300}) EXPECT_TRUE(same(table.get(a), k740::azimuthTrig(a))) << a;
    EXPECT_EQ(table.size(), kept);
    for (double a : {0.0, -0.0, 0.0, -0.0}) EXPECT_TRUE(same(table.get(a), k740::azimuthTrig(a))) << a;
}

// Sends data packets turning 25 degrees each to the listener's port, on loopback.
void sendSweep(std::uint16_t port, int packets) {
    k740::UdpSocket out;
    ASSERT_TRUE(out.open());
    for (int p = 0; p < packets; ++p) {
        const auto packet = k740test::makeSweepPacket((30000 + 2500 * p) % 36000, 200, 1000 * p);
        ASSERT_EQ(out.sendTo(packet.data(), packet.size(), "127.0.0.1", port), static_cast<long>(packet.size()));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

TEST(SdkListener, FramesAsTheLiveAssemblyMakesThem) {
    std::vector<LidarDataSingleLine> want;
    k740::LiveFrameAssembler assembler([&want](LidarDataSingleLine&& f) { want.push_back(std::move(f)); });
    for (int p = 0; p < 60; ++p) {
        const auto packet = k740test::makeSweepPacket((30000 + 2500 * p) % 36000, 200, 1000 * p);
        assembler.addDatagram(packet.data(), packet.size(), 0, 1);
    }
    ASSERT_GE(want.size(), 3u);

    k740::ListenOptions o;
    o.port = 0;
    o.protocol = k740::Protocol::V1_7;
    k740::Listener live(o);
    ASSERT_NE(live.port(), 0);
    std::thread sender(sendSweep, live.port(), 60);
    const std::vector<k740::Frame> got = collect(live, 3, 5.0);  // the listener as a Source
    sender.join();
    ASSERT_EQ(got.size(), 3u);
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].index(), i);
        EXPECT_TRUE(sameFrame(got[i], want[i])) << "frame " << i;
    }
    EXPECT_EQ(live.protocol(), k740::Protocol::V1_7);
    // The receiver goes on reading what the sender sent after the third frame.
    const auto start = Clock::now();
    while (live.datagrams() < 60 && secondsSince(start) < 5.0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(live.datagrams(), 60);
}

TEST(SdkListener, TimeOutStopAndBusyPort) {
    k740::ListenOptions o;
    o.port = 0;
    k740::Listener live(o);
    auto start = Clock::now();
    EXPECT_FALSE(live.next(0.2).has_value());
    EXPECT_GE(secondsSince(start), 0.19);
    EXPECT_LT(secondsSince(start), 2.0);

    std::thread stopper([&live] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        live.stop();
    });
    start = Clock::now();
    EXPECT_FALSE(live.next(-1.0).has_value());  // no time limit: only stop() ends it
    stopper.join();
    EXPECT_LT(secondsSince(start), 2.0);

    o.port = live.port();
    try {
        k740::Listener second(o);
        FAIL() << "a second listener took port " << o.port;
    } catch (const k740::Error& e) {
        EXPECT_EQ(e.kind(), k740::ErrorKind::Network);
        EXPECT_EQ(std::string(e.what()), "Port " + std::to_string(o.port) + " is in use");
    }
}

}  // namespace
