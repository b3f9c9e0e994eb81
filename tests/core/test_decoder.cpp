// Decoding rules and frame assembly: precision, layouts, times, boundaries, carry-over,
// protocol switch, echo modes, single-line frames and hostile input.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_decoder.h"
#include "packet_writer.h"

using namespace k740;
using k740test::DataPacket;
using k740test::makeDataPacket;
using k740test::makeSingleLinePacket;
using k740test::makeSweepPacket;

namespace {

struct Collector {
    std::vector<LidarDataSingleLine> frames;
    FrameSink sink() {
        return [this](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); };
    }
};

void expectWhole(const LidarDataSingleLine& f) {
    ASSERT_EQ(f.distance.size(), f.pointAngle.size());
    ASSERT_EQ(f.intensity.size(), f.pointAngle.size());
    ASSERT_EQ(f.timeStamp.size(), f.pointAngle.size());
    for (double a : f.pointAngle) {
        ASSERT_GE(a, 0.0);
        ASSERT_LT(a, 360.0);
    }
}

// Blocks 2k and 2k+1 share an azimuth (first and second echo), pairs advance by `step` hundredths.
DataPacket dualPacket(std::uint32_t start, std::uint32_t step) {
    std::array<std::uint16_t, 12> az{};
    for (int b = 0; b < 12; ++b) az[b] = static_cast<std::uint16_t>((start + step * (b / 2)) % 36000);
    return makeDataPacket(az);
}

}  // namespace

TEST(BlockAzimuth, SinglePrecisionDivisionAndOverflowToZero) {
    EXPECT_EQ(blockAzimuth(12345), 123.44999694824219);
    EXPECT_EQ(blockAzimuth(35999), static_cast<double>(359.99f));
    EXPECT_NE(blockAzimuth(35999), 359.99);
    EXPECT_EQ(blockAzimuth(0), 0.0);
    EXPECT_EQ(blockAzimuth(36000), 0.0);
    EXPECT_EQ(blockAzimuth(65535), 0.0);
}

TEST(PointTime, OffsetsTruncationAndNegativeClamp) {
    EXPECT_EQ(pointTime(100000, 0), 99403u);   // 99403.125
    EXPECT_EQ(pointTime(100000, 46), 99546u);  // 99546.875
    EXPECT_EQ(pointTime(597, 0), 0u);          // 0.125
    EXPECT_EQ(pointTime(596, 0), 0u);          // would be -0.875
    EXPECT_EQ(pointTime(0, 0), 0u);
    EXPECT_EQ(pointTime(0xFFFFFFFFu, 359), 4294967295ull + 525u);  // no 32-bit wrap
}

TEST(BlockDecoding, PointsPerBlockAndRecordsPerProtocol) {
    const DataPacket p = makeSweepPacket(1000, 10, 100000);
    LidarDataSingleLine two, thirty;
    appendBlock(two, p.data(), 1, BlockLayout::TwoPoints);
    appendBlock(thirty, p.data(), 1, BlockLayout::ThirtyPoints);

    ASSERT_EQ(two.distance.size(), 2u);
    EXPECT_EQ(two.distance[0], 1001.0);  // record 0 of block 1
    EXPECT_EQ(two.distance[1], 1017.0);  // record 16
    EXPECT_EQ(two.timeStamp[1], 99459u);  // i = 2*1 + 16 -> 99459.375
    EXPECT_TRUE(two.pointAngle.empty());
    EXPECT_EQ(two.blockAngle, std::vector<double>{static_cast<double>(10.1f)});

    ASSERT_EQ(thirty.distance.size(), 30u);
    for (double d : thirty.distance) {
        EXPECT_NE(d, 1016.0) << "record 15 carries the GPS date";
        EXPECT_NE(d, 1032.0) << "record 31 carries the GPS time";
    }
    EXPECT_EQ(thirty.distance[15], 1017.0);  // record 16 follows record 14
    EXPECT_EQ(thirty.intensity[0], 32);
    EXPECT_EQ(thirty.timeStamp[15], 99546u);  // i = 30 + 16
}

TEST(Interpolation, OneBlockBehindAcrossTheWrap) {
    const DataPacket p = makeDataPacket({35900, 50, 150, 250, 350, 450, 550, 650, 750, 850, 950, 1050});
    LidarDataSingleLine f;
    appendBlock(f, p.data(), 0, BlockLayout::ThirtyPoints);
    interpolatePreviousBlock(f, 30);
    EXPECT_TRUE(f.pointAngle.empty()) << "a first block has no azimuths until the second arrives";
    appendBlock(f, p.data(), 1, BlockLayout::ThirtyPoints);
    interpolatePreviousBlock(f, 30);
    ASSERT_EQ(f.pointAngle.size(), 30u);
    EXPECT_EQ(f.pointAngle[0], 359.0);
    const float q = 1.5f / 30.0f;
    EXPECT_EQ(f.pointAngle[1], 359.0 + static_cast<double>(q));
    EXPECT_NEAR(f.pointAngle[19], 359.95, 1e-6);
    EXPECT_LT(f.pointAngle[20], 1e-6) << "a value reaching 360 is reduced by 360";
    EXPECT_NEAR(f.pointAngle[29], 0.45, 1e-5);
    EXPECT_TRUE(frameBoundaryReached(f));
    completeLastBlock(f, 30);
    ASSERT_EQ(f.pointAngle.size(), 60u);
    EXPECT_EQ(f.pointAngle[30], static_cast<double>(0.5f));
    EXPECT_NEAR(f.pointAngle[59], 0.5 + 1.45, 1e-5);
}

TEST(LiveAssembly, CarryOverZeroesEarlyPointsAndMovesThemToTheNextFrame) {
    Collector out;
    LiveFrameAssembler a(out.sink());
    auto revolution = [&] {  // blocks at 10..359 degrees, then 0 (wrap block) and 1..9
        for (std::uint32_t s = 1000; s < 36000; s += 1200)
            a.addDataPacket(makeSweepPacket(s, 100).data(), kStrongEcho, kProtocol17);
    };
    // Blocks 358, 359, then 0 at block 2: the priming frame switches to the 30-point protocol.
    a.addDataPacket(makeSweepPacket(35800, 100).data(), kStrongEcho, kProtocol17);
    ASSERT_EQ(out.frames.size(), 1u);
    revolution();
    revolution();
    ASSERT_EQ(out.frames.size(), 3u);

    // A whole revolution: 360 blocks of 30 points; the wrap block (azimuths 0..0.97) is zeroed.
    const LidarDataSingleLine& first = out.frames[1];
    expectWhole(first);
    ASSERT_EQ(first.pointAngle.size(), 360u * 30);
    for (std::size_t k = 359 * 30; k < 360 * 30; ++k) {
        EXPECT_EQ(first.pointAngle[k], 0.0);
        EXPECT_EQ(first.distance[k], 0.0);
        EXPECT_EQ(first.intensity[k], 0);
        EXPECT_EQ(first.timeStamp[k], 0u);
    }
    EXPECT_EQ(first.leftBehindBegin, 359u * 30);  // the frame knows which entries those are
    EXPECT_EQ(first.leftBehindEnd, 360u * 30);
    EXPECT_NEAR(first.pointAngle[359 * 30 - 1], 359.0 + 29.0 / 30.0, 1e-5);
    EXPECT_NE(first.distance[359 * 30 - 1], 0.0);
    EXPECT_EQ(first.pointAngle[0], 1.0);

    // The next frame starts with the 30 carried points, then the rest of the revolution.
    const LidarDataSingleLine& second = out.frames[2];
    expectWhole(second);
    ASSERT_EQ(second.pointAngle.size(), 30u + 360u * 30);
    EXPECT_EQ(second.pointAngle[0], 0.0);
    EXPECT_EQ(second.distance[0], 2001.0);   // record 0 of block 2 of the last packet
    EXPECT_EQ(second.distance[29], 2031.0);  // its record 30
    EXPECT_NEAR(second.pointAngle[29], 29.0 / 30.0, 1e-5);
    EXPECT_EQ(second.pointAngle[30], 1.0);
    EXPECT_EQ(second.blockAngle.front(), 1.0);
    EXPECT_NE(second.timeStamp[0], 0u);
}

TEST(LiveAssembly, SmallFramesCarryNothing) {
    Collector out;
    LiveFrameAssembler a(out.sink());
    a.addDataPacket(makeSweepPacket(35000, 100).data(), kStrongEcho, kProtocol16);
    ASSERT_EQ(out.frames.size(), 1u);
    const LidarDataSingleLine& f = out.frames[0];
    expectWhole(f);
    ASSERT_EQ(f.pointAngle.size(), 22u);  // 11 blocks of 2 points, fewer than 100
    EXPECT_EQ(f.distance[20], 10001.0);   // wrap block kept, not zeroed
    EXPECT_EQ(f.pointAngle[20], 0.0);
    EXPECT_EQ(f.pointAngle[21], 0.5);
}

TEST(LiveAssembly, PendingProtocolTakesEffectAtTheBoundary) {
    Collector out;
    LiveFrameAssembler a(out.sink());
    // Protocol 1 requested from the start: protocol 0 still decodes the first frame.
    a.addDataPacket(makeSweepPacket(34800, 100).data(), kStrongEcho, kProtocol17);
    EXPECT_TRUE(out.frames.empty());
    EXPECT_EQ(a.protocol(), kProtocol16);
    a.addDataPacket(makeSweepPacket(0, 100).data(), kStrongEcho, kProtocol17);  // wraps at its block 0
    ASSERT_EQ(out.frames.size(), 1u);
    EXPECT_EQ(out.frames[0].pointAngle.size(), 2u * 13);  // 12 + 1 blocks, 2 points each
    EXPECT_EQ(a.protocol(), kProtocol17);
    // Sweep on to the next wrap: the second frame is all 30-point blocks after its carried points.
    for (std::uint32_t s = 1200; s < 36000; s += 1200)
        a.addDataPacket(makeSweepPacket(s, 100).data(), kStrongEcho, kProtocol17);
    a.addDataPacket(makeSweepPacket(0, 100).data(), kStrongEcho, kProtocol17);
    ASSERT_EQ(out.frames.size(), 2u);
    const LidarDataSingleLine& f = out.frames[1];
    expectWhole(f);
    // Blocks at 1..359 degrees and the wrap block 0, all decoded with 30 points after the switch;
    // the 26-point first frame was too small to carry anything over.
    EXPECT_EQ(f.blockAngle.size(), 360u);
    EXPECT_EQ(f.pointAngle.size(), 360u * 30);
    EXPECT_EQ(f.pointAngle[0], 1.0);
}

TEST(LiveAssembly, EchoModesSplitAndMerge) {
    auto run = [](int mode) {
        Collector out;
        LiveFrameAssembler a(out.sink());
        a.addDataPacket(dualPacket(35400, 100).data(), mode, kProtocol16);
        a.addDataPacket(dualPacket(0, 100).data(), mode, kProtocol16);
        return out.frames;
    };
    const auto merged = run(kDualEcho);
    const auto first = run(kDualEchoFirst);
    const auto second = run(kDualEchoSecond);
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    ASSERT_EQ(merged.size(), 1u);
    expectWhole(first[0]);
    expectWhole(second[0]);
    expectWhole(merged[0]);
    // Even blocks of the first packet plus block 0 of the next; odd blocks of the first packet.
    EXPECT_EQ(first[0].pointAngle.size(), 7u * 30);
    EXPECT_EQ(second[0].pointAngle.size(), 6u * 30);
    EXPECT_EQ(first[0].blockAngle.size(), 7u);
    for (double d : first[0].distance) EXPECT_EQ(static_cast<int>(d) / 1000 % 2, 0);
    for (double d : second[0].distance) EXPECT_EQ(static_cast<int>(d) / 1000 % 2, 1);
    // The merged frame is the first echo followed by the second echo.
    ASSERT_EQ(merged[0].pointAngle.size(), 13u * 30);
    EXPECT_TRUE(std::equal(first[0].distance.begin(), first[0].distance.end(), merged[0].distance.begin()));
    EXPECT_TRUE(std::equal(second[0].distance.begin(), second[0].distance.end(), merged[0].distance.begin() + 210));
    EXPECT_TRUE(std::equal(second[0].pointAngle.begin(), second[0].pointAngle.end(), merged[0].pointAngle.begin() + 210));
    EXPECT_EQ(merged[0].blockAngle, first[0].blockAngle);
    // Echo pairs share azimuths: the second echo's azimuths are the first echo's.
    for (std::size_t k = 0; k < 180; ++k) EXPECT_EQ(second[0].pointAngle[k], first[0].pointAngle[k]);
}

TEST(LiveAssembly, EchoModeChangeStartsAFreshFrame) {
    Collector out;
    LiveFrameAssembler a(out.sink());
    a.addDataPacket(makeSweepPacket(30000, 100).data(), kStrongEcho, kProtocol16);
    a.addDataPacket(dualPacket(35400, 100).data(), kDualEchoFirst, kProtocol16);
    a.addDataPacket(dualPacket(0, 100).data(), kDualEchoFirst, kProtocol16);
    ASSERT_EQ(out.frames.size(), 1u);
    expectWhole(out.frames[0]);
    EXPECT_EQ(out.frames[0].pointAngle.size(), 7u * 30);
}

TEST(SingleLine, FourQuartersMakeAFrameAnd270CompletesAlone) {
    Collector out;
    LiveFrameAssembler a(out.sink());
    for (std::uint32_t s : {0u, 900000u, 1800000u, 2700000u}) a.addSingleLinePacket(makeSingleLinePacket(s).data());
    ASSERT_EQ(out.frames.size(), 1u);
    const LidarDataSingleLine& f = out.frames[0];
    expectWhole(f);
    ASSERT_EQ(f.pointAngle.size(), 1000u);
    EXPECT_TRUE(f.blockAngle.empty());
    EXPECT_EQ(f.pointAngle[0], 0.0);
    EXPECT_EQ(f.pointAngle[250], 90.0);
    EXPECT_DOUBLE_EQ(f.pointAngle[999], 270.0 + 0.36 * 249);
    EXPECT_EQ(f.distance[1], 2.0);
    EXPECT_EQ(f.intensity[249], 249);
    EXPECT_EQ(f.timeStamp[500], 0u);

    a.addSingleLinePacket(makeSingleLinePacket(2700001).data());  // not exactly 270
    EXPECT_EQ(out.frames.size(), 1u);
    a.addSingleLinePacket(makeSingleLinePacket(2700000).data());
    ASSERT_EQ(out.frames.size(), 2u);
    EXPECT_EQ(out.frames[1].pointAngle.size(), 500u);
}

TEST(Classification, LengthFirstThenLeadingBytes) {
    DataPacket p = makeSweepPacket(100, 10);
    for (int b = 1; b < 12; ++b) p[100 * b] = 0x00;  // later block flags are not examined
    EXPECT_EQ(classifyDatagram(p.data(), p.size()), PacketKind::Data);
    EXPECT_EQ(classifyDatagram(p.data(), p.size() - 1), PacketKind::Unknown);
    p[1] = 0xEF;
    EXPECT_EQ(classifyDatagram(p.data(), p.size()), PacketKind::Unknown);
    const std::uint8_t dev[8] = {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55};
    std::copy(dev, dev + 8, p.begin());
    EXPECT_EQ(classifyDatagram(p.data(), p.size()), PacketKind::DeviceInfo);
    const auto s = makeSingleLinePacket(0);
    EXPECT_EQ(classifyDatagram(s.data(), s.size()), PacketKind::SingleLine);
    EXPECT_EQ(classifyDatagram(s.data(), 820), PacketKind::Unknown);
}

TEST(CaptureAnalysis, ThirtyPointLayoutNoCarryAndTheLastPacketDecodedWhole) {
    Collector out;
    CaptureFrameAnalyzer an(false);
    // One packet whose revolution wraps at block 6: the frame completes inside the last packet.
    const DataPacket p = makeSweepPacket(35400, 100);
    EXPECT_EQ(an.addPacket(p.data(), p.size(), out.sink()), 1);
    ASSERT_EQ(out.frames.size(), 1u);
    expectWhole(out.frames[0]);
    EXPECT_EQ(out.frames[0].pointAngle.size(), 7u * 30);
    EXPECT_EQ(out.frames[0].distance[6 * 30], 6001.0) << "wrap block stays, no carry-over zeroing";
    // Packets with other leading bytes are skipped.
    DataPacket bad = p;
    bad[0] = 0;
    EXPECT_EQ(an.addPacket(bad.data(), bad.size(), out.sink()), 0);
    EXPECT_EQ(out.frames.size(), 1u);

    CaptureFrameAnalyzer single(true);
    Collector lines;
    for (std::uint32_t s : {0u, 900000u, 1800000u, 2700000u})
        single.addPacket(makeSingleLinePacket(s).data(), 778, lines.sink());
    ASSERT_EQ(lines.frames.size(), 1u);
    EXPECT_EQ(lines.frames[0].pointAngle.size(), 1000u);
}

TEST(HostileInput, RandomAndMutatedDatagramsNeverBreakFrames) {
    std::mt19937 rng(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    Collector out;
    LiveFrameAssembler a(out.sink());
    CaptureFrameAnalyzer an(false);
    std::vector<std::uint8_t> buf;
    for (std::size_t len = 0; len <= 2000; ++len) {
        buf.resize(len);
        for (auto& b : buf) b = static_cast<std::uint8_t>(byte(rng));
        if (len >= 2 && (len % 3 == 0)) {  // give a share of them valid leading bytes
            buf[0] = len % 2 ? 0xA2 : 0xFF;
            buf[1] = len % 2 ? 0x5C : 0xEE;
        }
        a.addDatagram(buf.data(), buf.size(), static_cast<int>(len % 4), static_cast<int>(len % 2));
        an.addPacket(buf.data(), buf.size(), out.sink());
    }
    // Valid packets with random bytes everywhere but the flag, in every mode.
    for (int i = 0; i < 3000; ++i) {
        DataPacket p = makeSweepPacket(static_cast<std::uint32_t>(i * 397) % 36000, 97);
        for (int m = 0; m < 40; ++m) p[std::uniform_int_distribution<int>(2, 1205)(rng)] = static_cast<std::uint8_t>(byte(rng));
        a.addDatagram(p.data(), p.size(), (i / 500) % 4, (i / 250) % 2);
        an.addPacket(p.data(), p.size(), out.sink());
        if (i % 7 == 0) a.addSingleLinePacket(makeSingleLinePacket(static_cast<std::uint32_t>(byte(rng)) * 10000).data());
    }
    ASSERT_GT(out.frames.size(), 10u);
    for (const auto& f : out.frames) expectWhole(f);
}
