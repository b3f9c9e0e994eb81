// Capture files: the encodings the reader accepts, which records count as sensor packets,
// frame counts (analysis, streaming counter, slider) and damaged files.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <pcap/pcap.h>

#include <array>
#include <cmath>
#include <optional>
#include <tuple>
#include <random>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_format.h"
#include "capture_writer.h"
#include "loaded_packets.h"
#include "packet_writer.h"
#include "platform/pcap_file.h"
#include "playback/capture_index.h"

using namespace k740test;

namespace {

std::string realCapture(const char* name) { return std::string(K740_TESTDATA) + "/real/" + name; }

// Checks a file's frame catalog against the capture-file analysis (defined with the catalog
// tests below).
void expectCatalogMatchesAnalysis(const std::string& file, bool singleLine);

// Frames of the capture-file analysis over loaded packets, with their point counts checked.
std::size_t analysedFrames(const LoadedPackets& packets) {
    k740::CaptureFrameAnalyzer analyzer(packets.singleLine);
    std::size_t frames = 0;
    const k740::FrameSink sink = [&](LidarDataSingleLine&& f) {
        ++frames;
        EXPECT_EQ(f.distance.size(), f.pointAngle.size());
        EXPECT_EQ(f.intensity.size(), f.pointAngle.size());
        EXPECT_EQ(f.timeStamp.size(), f.pointAngle.size());
        if (!packets.singleLine) {
            EXPECT_EQ(f.pointAngle.size(), 30 * f.blockAngle.size());
        }
    };
    for (std::size_t i = 0; i < packets.size(); ++i) analyzer.addPacket(packets.packet(i), packets.payloadSize(), sink);
    return frames;
}

// Boundaries counted straight from the bytes, without the library's decoder: azimuth raw/100
// in single precision, 0 from 360 up; a frame ends at a jump of more than 180 from the
// previous block of the same frame.
std::size_t independentFrameCount(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::vector<std::uint8_t> file;
    std::uint8_t buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) file.insert(file.end(), buf, buf + n);
    std::fclose(f);
    // The real captures are classic little-endian pcap.
    auto le32 = [&](std::size_t at) {
        return std::uint32_t(file[at]) | std::uint32_t(file[at + 1]) << 8 | std::uint32_t(file[at + 2]) << 16 |
               std::uint32_t(file[at + 3]) << 24;
    };
    std::size_t frames = 0;
    bool inFrame = false;
    float previous = 0;
    for (std::size_t at = 24; at + 16 <= file.size();) {
        const std::uint32_t caplen = le32(at + 8);
        const std::uint8_t* rec = file.data() + at + 16;
        at += 16 + caplen;
        if (caplen != 1248 || rec[42] != 0xFF || rec[43] != 0xEE) continue;
        for (int b = 0; b < 12; ++b) {
            const std::uint8_t* az = rec + 42 + 100 * b + 2;
            float a = float(az[0] | az[1] << 8) / 100.0f;
            if (a >= 360.0f) a = 0.0f;
            if (inFrame && std::fabs(double(a) - double(previous)) > 180.0) {
                ++frames;
                inFrame = false;
            } else {
                previous = a;
                inFrame = true;
            }
        }
    }
    return frames;
}

std::vector<std::uint8_t> payloadOf(const TestRecord& r) {
    return std::vector<std::uint8_t>(r.bytes.begin() + 42, r.bytes.end());
}

// A small mixed capture: sensor packets, a tagged sensor packet, a device information
// packet, single-line packets and unrelated traffic.
std::vector<TestRecord> mixedRecords() {
    std::vector<TestRecord> r;
    r.push_back(udpRecord(makeSweepPacket(35000, 100, 1000), 1000));
    TestRecord arp;
    arp.bytes.assign(60, 0x11);
    arp.nanoseconds = 2000;
    r.push_back(arp);
    r.push_back(udpRecord(makeSweepPacket(200, 100, 2000), 3000, /*vlanTag=*/true));  // 1252 bytes
    std::vector<std::uint8_t> device(1206, 0);
    const std::uint8_t head[8] = {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55};
    std::copy(head, head + 8, device.begin());
    r.push_back(udpRecord(device, 4000));
    r.push_back(udpRecord(makeSingleLinePacket(900000), 5000));
    r.push_back(udpRecord(makeSweepPacket(1400, 100, 3000), 6000));
    const DataPacket base = makeSweepPacket(2600, 100, 4000);
    std::vector<std::uint8_t> longer(base.begin(), base.end());
    longer.push_back(0);  // 1207-byte payload: 1249 captured bytes
    r.push_back(udpRecord(longer, 7000));
    r.push_back(udpRecord(makeSingleLinePacket(2700000), 8000));
    r.push_back(udpRecord(makeSweepPacket(2600, 100, 5000), 999999000));
    return r;
}

class TempDir : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
    QTemporaryDir dir_;
};

using CaptureFiles = TempDir;
using DamagedCaptures = TempDir;

}  // namespace

TEST_F(CaptureFiles, EveryEncodingReadsTheSameRecords) {
    const std::vector<TestRecord> records = mixedRecords();
    const std::array<CaptureFormat, 5> formats = {CaptureFormat::PcapLittleMicro, CaptureFormat::PcapBigMicro,
                                                  CaptureFormat::PcapLittleNano, CaptureFormat::PcapBigNano,
                                                  CaptureFormat::PcapNg};
    std::vector<std::vector<std::uint8_t>> firstPackets;
    for (CaptureFormat format : formats) {
        SCOPED_TRACE(formatName(format));
        const std::string file = path(std::string(formatName(format)) + ".pcap");
        ASSERT_TRUE(writeFile(file, captureBytes(records, format)));
        k740::PcapFileReader reader;
        ASSERT_TRUE(reader.open(file)) << reader.error();
        EXPECT_EQ(reader.linkType(), 1);
        k740::CaptureRecord rec;
        for (const TestRecord& want : records) {
            ASSERT_EQ(reader.next(rec), k740::PcapFileReader::Result::Record) << reader.error();
            ASSERT_EQ(rec.capturedLength, want.bytes.size());
            EXPECT_EQ(rec.originalLength, want.bytes.size());
            EXPECT_TRUE(std::equal(want.bytes.begin(), want.bytes.end(), rec.data));
            EXPECT_EQ(rec.seconds, want.seconds);
            const bool micro = format == CaptureFormat::PcapLittleMicro || format == CaptureFormat::PcapBigMicro;
            EXPECT_EQ(rec.nanoseconds, micro ? want.nanoseconds / 1000 * 1000 : want.nanoseconds);
        }
        EXPECT_EQ(reader.next(rec), k740::PcapFileReader::Result::End);
        EXPECT_EQ(reader.recordsRead(), records.size());

        // Loading gives the same payloads in every encoding.
        LoadedPackets packets;
        const k740::CaptureReadStatus st = loadPackets(file, false, packets);
        ASSERT_TRUE(st.ok()) << st.error;
        std::vector<std::vector<std::uint8_t>> got;
        for (std::size_t i = 0; i < packets.size(); ++i)
            got.emplace_back(packets.packet(i), packets.packet(i) + packets.payloadSize());
        if (firstPackets.empty())
            firstPackets = got;
        else
            EXPECT_EQ(got, firstPackets);
    }
}

namespace {

// Captured and original length of every record, read by our reader or by libpcap itself;
// nullopt when the file is refused.
using Lengths = std::optional<std::vector<std::pair<std::uint32_t, std::uint32_t>>>;

Lengths ourLengths(const std::string& file, std::string* error) {
    k740::PcapFileReader reader;
    if (!reader.open(file)) return *error = reader.error(), std::nullopt;
    Lengths out = Lengths::value_type{};
    for (k740::CaptureRecord r; reader.next(r) == k740::PcapFileReader::Result::Record;)
        out->emplace_back(r.capturedLength, r.originalLength);
    return out;
}

Lengths libraryLengths(const std::string& file) {
    char errbuf[PCAP_ERRBUF_SIZE];
    pcap_t* p = pcap_open_offline(file.c_str(), errbuf);
    if (p == nullptr) return std::nullopt;
    Lengths out = Lengths::value_type{};
    pcap_pkthdr* h = nullptr;
    const u_char* data = nullptr;
    while (pcap_next_ex(p, &h, &data) == 1) out->emplace_back(h->caplen, h->len);
    pcap_close(p);
    return out;
}

}  // namespace

TEST_F(CaptureFiles, VersionsAndLengthOrderAsTheCaptureLibraryReadsThem) {
    // Records cut short on capture tell the two lengths apart. Each case: the version and
    // whether its record headers hold the original length first (as writers before 2.3 did);
    // libpcap decides which versions are read.
    std::vector<TestRecord> records(2, udpRecord(makeSweepPacket(1000, 100), 0));
    records[0].originalLength = 1300;
    records[1].originalLength = 1400;
    for (const auto& [major, minor, originalFirst] : std::vector<std::tuple<unsigned, unsigned, bool>>{
             {1, 0, 0}, {2, 0, 1}, {2, 2, 1}, {2, 3, 1}, {2, 3, 0}, {2, 4, 0}, {2, 5, 0}, {3, 0, 0}, {543, 0, 1}, {543, 1, 1}}) {
        const std::string version = std::to_string(major) + "." + std::to_string(minor);
        SCOPED_TRACE(version + (originalFirst ? ", original length first" : ""));
        std::vector<std::size_t> ends{24};
        std::vector<std::uint8_t> bytes = captureBytes(records, CaptureFormat::PcapLittleMicro, &ends);
        bytes[4] = static_cast<std::uint8_t>(major), bytes[5] = static_cast<std::uint8_t>(major >> 8);
        bytes[6] = static_cast<std::uint8_t>(minor);
        for (std::size_t k = 0; originalFirst && k < records.size(); ++k)
            std::swap_ranges(&bytes[ends[k] + 8], &bytes[ends[k] + 12], &bytes[ends[k] + 12]);
        ASSERT_TRUE(writeFile(path("v.pcap"), bytes));
        std::string error;
        const Lengths ours = ourLengths(path("v.pcap"), &error);
        EXPECT_EQ(ours, libraryLengths(path("v.pcap")));
        if (ours)
            EXPECT_EQ(ours->back(), std::make_pair(std::uint32_t(1248), std::uint32_t(1400)));
        else
            EXPECT_NE(error.find("version " + version + " "), std::string::npos) << error;
    }
}

TEST_F(CaptureFiles, RecordsAcrossBufferBordersLongRecordsAndSeeksReadWhole) {
    // Records of many lengths, so that they straddle the borders of a small read buffer at
    // every offset; one longer than the file's snapshot length, which is cut to it.
    std::vector<TestRecord> records;
    for (int i = 0; i < 300; ++i) {
        TestRecord r;
        r.bytes.resize(1 + (i * 97) % 3000);
        for (std::size_t k = 0; k < r.bytes.size(); ++k) r.bytes[k] = static_cast<std::uint8_t>(i + k);
        r.nanoseconds = 1000u * static_cast<std::uint32_t>(i);
        records.push_back(r);
    }
    std::vector<std::uint8_t> bytes = captureBytes(records, CaptureFormat::PcapLittleMicro);
    bytes[16] = 0xC4;  // snapshot length 2500 (little-endian at offset 16)
    bytes[17] = 0x09;
    bytes[18] = bytes[19] = 0;
    const std::string file = path("lengths.pcap");
    ASSERT_TRUE(writeFile(file, bytes));
    k740::PcapFileReader reader;
    ASSERT_TRUE(reader.open(file, 4096)) << reader.error();
    k740::CaptureRecord rec;
    std::vector<std::int64_t> positions;
    for (std::size_t i = 0; i < records.size(); ++i) {
        positions.push_back(reader.position());
        ASSERT_EQ(reader.next(rec), k740::PcapFileReader::Result::Record) << i << ": " << reader.error();
        const std::size_t want = std::min<std::size_t>(records[i].bytes.size(), 2500);
        ASSERT_EQ(rec.capturedLength, want) << i;
        ASSERT_TRUE(std::equal(records[i].bytes.begin(), records[i].bytes.begin() + want, rec.data)) << i;
    }
    EXPECT_EQ(reader.next(rec), k740::PcapFileReader::Result::End);
    // Back to any record's position: that record again, and the ones after it.
    for (const std::size_t i : {std::size_t{250}, std::size_t{3}, std::size_t{299}, std::size_t{0}}) {
        ASSERT_TRUE(reader.seek(positions[i]));
        for (std::size_t k = i; k < std::min(i + 3, records.size()); ++k) {
            ASSERT_EQ(reader.next(rec), k740::PcapFileReader::Result::Record) << k;
            EXPECT_EQ(rec.nanoseconds, records[k].nanoseconds) << k;
            EXPECT_EQ(rec.data[0], records[k].bytes[0]) << k;
        }
    }
}

TEST_F(CaptureFiles, OnlyRecordsOfTheSensorLengthAndLeadingBytesAreLoaded) {
    const std::vector<TestRecord> records = mixedRecords();
    const std::string file = path("mixed.pcap");
    ASSERT_TRUE(writeFile(file, captureBytes(records, CaptureFormat::PcapLittleMicro)));

    // Data mode: the three untagged 1248-byte records starting FF EE, in file order. The
    // tagged copy (1252 bytes), the device information packet, the 1249-byte record and the
    // single-line packets contribute nothing.
    LoadedPackets data;
    ASSERT_TRUE(loadPackets(file, false, data).ok());
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data.payloadSize(), 1206u);
    const std::size_t dataIdx[3] = {0, 5, 8};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::vector<std::uint8_t> want = payloadOf(records[dataIdx[i]]);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), data.packet(i))) << "packet " << i;
    }
    const std::vector<const std::uint8_t*> ptrs = data.pointers();
    ASSERT_EQ(ptrs.size(), 3u);
    EXPECT_EQ(ptrs[2], data.packet(2));

    // Single-line mode: the two 820-byte records starting A2 5C.
    LoadedPackets single;
    ASSERT_TRUE(loadPackets(file, true, single).ok());
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single.payloadSize(), 778u);
    const std::vector<std::uint8_t> last = payloadOf(records[7]);
    EXPECT_TRUE(std::equal(last.begin(), last.end(), single.packet(1)));

    const k740::CaptureSummary s = k740::summarizeCaptureFile(file, false);
    EXPECT_TRUE(s.status.ok());
    EXPECT_EQ(s.status.records, records.size());
    EXPECT_EQ(s.packets, 3u);
    const k740::CaptureSummary s1 = k740::summarizeCaptureFile(file, true);
    EXPECT_EQ(s1.packets, 2u);
    EXPECT_EQ(s1.frames, 1u);  // start azimuth 270 closes the single-line frame

    // Sensor packets of the other kind are counted apart, by the summary and the catalog
    // alike; the device packet and the records of other lengths are neither kind.
    EXPECT_EQ(s.otherKindPackets, 2u);
    EXPECT_EQ(s1.otherKindPackets, 3u);
    const k740::CatalogResult c = k740::buildFrameCatalog(file, false);
    EXPECT_EQ(c.catalog.packets, 3u);
    EXPECT_EQ(c.catalog.otherKindPackets, 2u);
    EXPECT_EQ(k740::buildFrameCatalog(file, true).catalog.otherKindPackets, 3u);
}

TEST_F(CaptureFiles, RealCapturesPacketAndFrameCounts) {
    struct Case {
        const char* name;
        std::size_t packets;
    };
    for (const Case& c : {Case{"rotating-16ch-a.pcap", 84}, Case{"rotating-32ch-a.pcap", 91},
                          Case{"rotating-32ch-b.pcap", 876}}) {
        SCOPED_TRACE(c.name);
        const std::string file = realCapture(c.name);
        LoadedPackets packets;
        const k740::CaptureReadStatus st = loadPackets(file, false, packets);
        ASSERT_TRUE(st.ok()) << st.error;
        EXPECT_EQ(packets.size(), c.packets);

        const k740::CaptureSummary s = k740::summarizeCaptureFile(file, false);
        ASSERT_TRUE(s.status.ok()) << s.status.error;
        EXPECT_EQ(s.packets, c.packets);
        const std::size_t independent = independentFrameCount(file);
        EXPECT_EQ(s.frames, independent);
        EXPECT_EQ(analysedFrames(packets), independent);
        // Every boundary of the analysis is a neighbour pair the slider counts too.
        EXPECT_GE(k740::sliderFrameCount(packets.pointers().data(), packets.size(), false), independent);
        expectCatalogMatchesAnalysis(file, false);
    }
    // The longest capture holds several revolutions.
    EXPECT_GE(independentFrameCount(realCapture("rotating-32ch-b.pcap")), 5u);
}

TEST(FrameCounting, StreamingCounterAgreesWithTheAnalysisPacketByPacket) {
    std::mt19937 rng(740);
    for (int round = 0; round < 40; ++round) {
        k740::CaptureFrameAnalyzer analyzer(false);
        k740::FrameCatalogBuilder counter(false, false);
        std::uint32_t az = rng() % 36000;
        for (int p = 0; p < 60; ++p) {
            std::array<std::uint16_t, 12> raw{};
            for (int b = 0; b < 12; ++b) {
                switch (rng() % 10) {
                    case 0: az = rng() % 36000; break;              // jump anywhere
                    case 1: az = 36000 + rng() % 29535; break;      // out of range: reads as 0
                    default: az = (az % 36000 + 30 + rng() % 2000) % 36000;  // sweep, wraps now and then
                }
                raw[b] = static_cast<std::uint16_t>(az);
            }
            DataPacket pkt = makeDataPacket(raw, 100000 + p);
            std::size_t length = pkt.size();
            if (rng() % 25 == 0) pkt[1] = 0xEF;      // skipped by both
            if (rng() % 25 == 0) length = 1000;      // skipped by both
            int emitted = 0;
            const int byAnalysis =
                analyzer.addPacket(pkt.data(), length, [&](LidarDataSingleLine&&) { ++emitted; });
            const int byCounter = counter.addPacket(pkt.data(), length);
            ASSERT_EQ(byCounter, byAnalysis) << "round " << round << " packet " << p;
            ASSERT_EQ(emitted, byAnalysis);
        }
    }
    // Single-line packets: a frame at start azimuth exactly 270.
    k740::CaptureFrameAnalyzer analyzer(true);
    k740::FrameCatalogBuilder counter(true, false);
    for (std::uint32_t start : {0u, 900000u, 2700000u, 2700001u, 2699999u, 2700000u, 1800000u}) {
        const SingleLinePacket pkt = makeSingleLinePacket(start);
        EXPECT_EQ(counter.addPacket(pkt.data(), pkt.size()), analyzer.addPacket(pkt.data(), pkt.size(), nullptr))
            << start;
    }
    EXPECT_EQ(counter.frames(), 2u);
}

TEST(FrameCounting, TheBoundaryRuleEndsFramesAtAWrapAndDropsThemAtTheCap) {
    using Step = k740::AnalysisFrameBoundaries::Step;
    k740::AnalysisFrameBoundaries rule(false);
    EXPECT_FALSE(rule.frameOpen());
    // 350 opens a frame; 10 wraps against 355 and is the frame's last block; 20 opens the
    // next frame (it is not compared with 10); 200 is more than 180 from 20 and ends it at once.
    EXPECT_EQ(rule.addBlock(350.0), Step::Added);
    EXPECT_TRUE(rule.frameOpen());
    EXPECT_EQ(rule.addBlock(355.0), Step::Added);
    EXPECT_EQ(rule.addBlock(10.0), Step::Ends);
    EXPECT_FALSE(rule.frameOpen());
    EXPECT_EQ(rule.addBlock(20.0), Step::Added);
    EXPECT_EQ(rule.addBlock(200.5), Step::Ends);
    // Exactly 180 apart is no wrap.
    EXPECT_EQ(rule.addBlock(0.0), Step::Added);
    EXPECT_EQ(rule.addBlock(180.0), Step::Added);
    rule.reset();
    // A standing motor: the block that reaches the cap drops the frame, the next opens anew.
    for (std::size_t b = 1; b < k740::kMaxFrameBlocks; ++b) ASSERT_EQ(rule.addBlock(42.0), Step::Added) << b;
    EXPECT_EQ(rule.addBlock(42.0), Step::Capped);
    EXPECT_FALSE(rule.frameOpen());
    EXPECT_EQ(rule.addBlock(300.0), Step::Added);
    EXPECT_EQ(rule.addBlock(42.0), Step::Ends);

    k740::AnalysisFrameBoundaries single(true);
    EXPECT_EQ(single.addSingleLinePacket(90.0f), Step::Added);
    EXPECT_EQ(single.addSingleLinePacket(270.0001f), Step::Added);
    EXPECT_EQ(single.addSingleLinePacket(270.0f), Step::Ends);
    const std::size_t packetsToCap = k740::kMaxSingleLineFramePoints / k740::kSingleLinePoints;
    for (std::size_t p = 1; p < packetsToCap; ++p) ASSERT_EQ(single.addSingleLinePacket(90.0f), Step::Added);
    EXPECT_EQ(single.addSingleLinePacket(90.0f), Step::Capped);
    EXPECT_EQ(single.addSingleLinePacket(270.0f), Step::Ends);
}

TEST(FrameCounting, SliderCountComparesTheFirstBlockWithZeroAndEveryNeighbourPair) {
    auto count = [](const std::vector<DataPacket>& pkts) {
        std::vector<const std::uint8_t*> ptrs;
        for (const DataPacket& p : pkts) ptrs.push_back(p.data());
        return k740::sliderFrameCount(ptrs.data(), ptrs.size(), false);
    };
    auto analysis = [](const std::vector<DataPacket>& pkts) {
        k740::FrameCatalogBuilder c(false, false);
        for (const DataPacket& p : pkts) c.addPacket(p.data(), p.size());
        return c.frames();
    };
    // Starting at 200 degrees: the slider counts the jump from 0; the analysis has no frame.
    const std::vector<DataPacket> start200 = {makeSweepPacket(20000, 100)};
    EXPECT_EQ(count(start200), 1u);
    EXPECT_EQ(analysis(start200), 0u);
    // So does a file starting at 348 degrees.
    EXPECT_EQ(count({makeSweepPacket(34800, 100)}), 1u);
    // Starting near 0 and wrapping exactly at a packet border (331 -> 2): one frame each way.
    const std::vector<DataPacket> border = {makeSweepPacket(100, 3000), makeSweepPacket(200, 100)};
    EXPECT_EQ(count(border), 1u);
    EXPECT_EQ(analysis(border), 1u);
    // Two jumps in a row (10 -> 300 -> 10): the slider counts both pairs; the analysis ends the
    // frame at 300 and starts the next one afresh at 10.
    const std::vector<DataPacket> twice = {
        makeDataPacket({1000, 1100, 30000, 1000, 1100, 1200, 1300, 1400, 1500, 1600, 1700, 1800})};
    EXPECT_EQ(count(twice), 2u);
    EXPECT_EQ(analysis(twice), 1u);
    // Single-line: start azimuth exactly 270 only.
    std::vector<SingleLinePacket> sl = {makeSingleLinePacket(2700000), makeSingleLinePacket(2700001),
                                        makeSingleLinePacket(0), makeSingleLinePacket(2700000)};
    std::vector<const std::uint8_t*> ptrs;
    for (const SingleLinePacket& p : sl) ptrs.push_back(p.data());
    EXPECT_EQ(k740::sliderFrameCount(ptrs.data(), ptrs.size(), true), 2u);
    EXPECT_EQ(k740::sliderFrameCount(nullptr, 0, false), 0u);
}

TEST_F(DamagedCaptures, CutAtEveryFewBytesKeepsTheCompleteRecords) {
    std::vector<TestRecord> records;
    records.push_back(udpRecord(makeSweepPacket(34000, 300), 1000));
    TestRecord other;
    other.bytes.assign(61, 0x22);
    records.push_back(other);
    records.push_back(udpRecord(makeSweepPacket(1000, 300), 2000));
    records.push_back(udpRecord(makeSweepPacket(34000, 300), 3000));
    const bool isSensor[4] = {true, false, true, true};
    for (CaptureFormat format : {CaptureFormat::PcapLittleMicro, CaptureFormat::PcapBigNano, CaptureFormat::PcapNg}) {
        SCOPED_TRACE(formatName(format));
        std::vector<std::size_t> ends;
        std::size_t headerEnd = 0;
        const std::vector<std::uint8_t> full = captureBytes(records, format, &ends, &headerEnd);
        const std::string file = path("cut.pcap");
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 0; cut <= full.size(); cut += 13) cuts.push_back(cut);
        cuts.push_back(headerEnd);
        for (std::size_t e : ends) {
            cuts.push_back(e);
            cuts.push_back(e - 1);
            cuts.push_back(e + 1);
        }
        for (std::size_t cut : cuts) {
            if (cut > full.size()) continue;
            SCOPED_TRACE("cut at " + std::to_string(cut));
            ASSERT_TRUE(writeFile(file, std::vector<std::uint8_t>(full.begin(), full.begin() + cut)));
            const k740::CaptureSummary s = k740::summarizeCaptureFile(file, false);
            LoadedPackets loaded;
            const k740::CaptureReadStatus st = loadPackets(file, false, loaded);
            if (cut < headerEnd) {
                EXPECT_FALSE(s.status.opened);
                EXPECT_FALSE(s.status.error.empty());
                EXPECT_FALSE(st.ok());
                EXPECT_EQ(loaded.size(), 0u);
                continue;
            }
            std::size_t whole = 0, sensor = 0;
            bool atBoundary = cut == headerEnd;
            for (std::size_t i = 0; i < ends.size(); ++i) {
                if (ends[i] <= cut) {
                    ++whole;
                    if (isSensor[i]) ++sensor;
                }
                if (ends[i] == cut) atBoundary = true;
            }
            EXPECT_TRUE(s.status.opened) << s.status.error;
            EXPECT_EQ(s.status.complete, atBoundary) << s.status.error;
            EXPECT_EQ(s.status.error.empty(), atBoundary);
            EXPECT_EQ(s.status.records, whole);
            EXPECT_EQ(s.packets, sensor);
            EXPECT_EQ(loaded.size(), sensor);
            EXPECT_EQ(st.complete, atBoundary);
        }
    }
}

TEST_F(DamagedCaptures, GarbageBadMagicAndMutationsEndCleanly) {
    const std::string file = path("bad.pcap");
    std::mt19937 rng(1248);

    // Missing, empty, random bytes.
    EXPECT_FALSE(k740::summarizeCaptureFile(path("missing.pcap"), false).status.opened);
    ASSERT_TRUE(writeFile(file, {}));
    EXPECT_FALSE(k740::summarizeCaptureFile(file, false).status.opened);
    for (std::size_t size : {1u, 23u, 24u, 100u, 5000u}) {
        std::vector<std::uint8_t> junk(size);
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
        ASSERT_TRUE(writeFile(file, junk));
        const k740::CaptureSummary s = k740::summarizeCaptureFile(file, false);
        EXPECT_FALSE(s.status.ok()) << size;
        EXPECT_FALSE(s.status.error.empty());
    }

    std::vector<TestRecord> records;
    for (int i = 0; i < 6; ++i) records.push_back(udpRecord(makeSweepPacket(30000 + 1500 * i, 120), 1000 * i));
    const std::vector<std::uint8_t> good = captureBytes(records, CaptureFormat::PcapLittleMicro);

    // A bad magic number: not a capture file.
    std::vector<std::uint8_t> badMagic = good;
    badMagic[0] ^= 0x5A;
    ASSERT_TRUE(writeFile(file, badMagic));
    const k740::CaptureSummary bm = k740::summarizeCaptureFile(file, false);
    EXPECT_FALSE(bm.status.opened);
    EXPECT_FALSE(bm.status.error.empty());

    // A record header claiming an absurd length: an error after the records before it, not a
    // giant allocation or a long read.
    std::vector<std::uint8_t> huge = good;
    const std::size_t third = 24 + 2 * (16 + 1248);
    huge[third + 8] = 0xFF;
    huge[third + 9] = 0xFF;
    huge[third + 10] = 0xFF;
    huge[third + 11] = 0x7F;
    ASSERT_TRUE(writeFile(file, huge));
    const k740::CaptureSummary h = k740::summarizeCaptureFile(file, false);
    EXPECT_TRUE(h.status.opened);
    EXPECT_FALSE(h.status.complete);
    EXPECT_EQ(h.packets, 2u);

    // Random byte mutations: every read ends, and loading agrees with the streaming count.
    for (int round = 0; round < 300; ++round) {
        std::vector<std::uint8_t> m = good;
        const int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i) m[rng() % m.size()] = static_cast<std::uint8_t>(rng());
        ASSERT_TRUE(writeFile(file, m));
        const k740::CaptureSummary s = k740::summarizeCaptureFile(file, false);
        LoadedPackets loaded;
        const k740::CaptureReadStatus st = loadPackets(file, false, loaded);
        ASSERT_EQ(st.opened, s.status.opened) << round;
        ASSERT_EQ(st.complete, s.status.complete) << round;
        ASSERT_EQ(loaded.size(), s.packets) << round;
        ASSERT_LE(s.packets, records.size()) << round;
        k740::FrameCatalogBuilder counter(false, false);
        for (std::size_t i = 0; i < loaded.size(); ++i) counter.addPacket(loaded.packet(i), loaded.payloadSize());
        ASSERT_EQ(counter.frames(), s.frames) << round;
    }
}

// ---- the frame catalog ----

namespace {

// Frames of the capture-file analysis over loaded sensor packets.
std::vector<LidarDataSingleLine> analysisFrames(const LoadedPackets& packets) {
    k740::CaptureFrameAnalyzer analyzer(packets.singleLine);
    std::vector<LidarDataSingleLine> frames;
    for (std::size_t i = 0; i < packets.size(); ++i)
        analyzer.addPacket(packets.packet(i), packets.payloadSize(),
                           [&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
    return frames;
}

// Builds the catalog of a file and checks that its frames, decoded one by one from the file
// in both directions, are exactly the analysis frames; also that the catalog's counts agree
// with the streaming summary and the slider count over the loaded packets.
void expectCatalogMatchesAnalysis(const std::string& file, bool singleLine) {
    LoadedPackets packets;
    ASSERT_TRUE(loadPackets(file, singleLine, packets).ok());
    const std::vector<LidarDataSingleLine> want = analysisFrames(packets);
    const k740::CatalogResult built = k740::buildFrameCatalog(file, singleLine);
    ASSERT_TRUE(built.status.ok()) << built.status.error;
    const k740::FrameCatalog& catalog = built.catalog;
    ASSERT_EQ(catalog.frames.size(), want.size());

    const k740::CaptureSummary summary = k740::summarizeCaptureFile(file, singleLine);
    EXPECT_EQ(catalog.packets, summary.packets);
    EXPECT_EQ(catalog.frames.size(), summary.frames);
    EXPECT_EQ(catalog.sliderFrames, k740::sliderFrameCount(packets.pointers().data(), packets.size(), singleLine));

    k740::CaptureFrameSource source;
    std::string error;
    ASSERT_TRUE(source.open(file, &catalog, &error)) << error;
    LidarDataSingleLine got;
    for (std::size_t k = 0; k < want.size(); ++k) {
        ASSERT_TRUE(source.decode(k, got, &error)) << "frame " << k << ": " << error;
        ASSERT_TRUE(got == want[k]) << "frame " << k << " forward";
    }
    for (std::size_t k = want.size(); k-- > 0;) {
        ASSERT_TRUE(source.decode(k, got, &error)) << "frame " << k << ": " << error;
        ASSERT_TRUE(got == want[k]) << "frame " << k << " backward";
    }
    EXPECT_FALSE(source.decode(want.size(), got, &error));
}

}  // namespace

TEST_F(CaptureFiles, CatalogFramesDecodeToTheAnalysisFramesOfSyntheticCaptures) {
    // Strong echo: wraps inside packets and exactly at a packet border, interleaved with
    // other traffic, a tagged copy and single-line packets that data mode skips.
    std::vector<TestRecord> sweep;
    std::uint32_t az = 33000, t = 0;
    for (int p = 0; p < 40; ++p) {
        sweep.push_back(udpRecord(makeSweepPacket(az, 700, 1000 + p), t += 1000));
        az = (az + 12 * 700) % 36000;
        if (p % 7 == 3) sweep.push_back(udpRecord(makeSingleLinePacket(2700000), t += 1000));
        if (p % 5 == 1) sweep.push_back(udpRecord(makeSweepPacket(az, 100), t += 1000, /*vlanTag=*/true));
    }
    sweep.push_back(udpRecord(makeSweepPacket(100, 3000), t += 1000));  // ends 331: wrap at the next border
    sweep.push_back(udpRecord(makeSweepPacket(200, 100), t += 1000));
    // Dual echo: pairs of blocks with the same azimuth.
    std::vector<TestRecord> dual;
    std::uint16_t a = 35000;
    for (int p = 0; p < 30; ++p) {
        std::array<std::uint16_t, 12> raw{};
        for (int b = 0; b < 12; b += 2) {
            raw[b] = raw[b + 1] = a;
            a = static_cast<std::uint16_t>((a + 1500) % 36000);
        }
        dual.push_back(udpRecord(makeDataPacket(raw, 5000 + p), 1000 * p));
    }
    // Single-line: frames end at start azimuth 270, other starts only add points.
    std::vector<TestRecord> single;
    for (std::uint32_t start : {0u, 900000u, 1800000u, 2700000u, 2700001u, 0u, 2700000u, 900000u, 2700000u, 100u})
        single.push_back(udpRecord(makeSingleLinePacket(start), 1000 * start));

    for (CaptureFormat format : {CaptureFormat::PcapLittleMicro, CaptureFormat::PcapBigNano, CaptureFormat::PcapNg}) {
        SCOPED_TRACE(formatName(format));
        const std::string a1 = path("sweep.pcap"), a2 = path("dual.pcap"), a3 = path("single.pcap");
        ASSERT_TRUE(writeFile(a1, captureBytes(sweep, format)));
        ASSERT_TRUE(writeFile(a2, captureBytes(dual, format)));
        ASSERT_TRUE(writeFile(a3, captureBytes(single, format)));
        expectCatalogMatchesAnalysis(a1, false);
        expectCatalogMatchesAnalysis(a2, false);
        expectCatalogMatchesAnalysis(a3, true);
        EXPECT_GE(k740::buildFrameCatalog(a1, false).catalog.frames.size(), 5u);
        EXPECT_GE(k740::buildFrameCatalog(a2, false).catalog.frames.size(), 3u);
        EXPECT_EQ(k740::buildFrameCatalog(a3, true).catalog.frames.size(), 3u);
    }
}

TEST_F(CaptureFiles, CatalogDropsAFrameThatReachesTheCapAsTheAnalysisDoes) {
    // A motor standing still (constant azimuth) for longer than the frame cap, then a sweep
    // with two wraps; single-line packets that never reach 270 for longer than the cap.
    std::vector<TestRecord> stuck;
    stuck.push_back(udpRecord(makeSweepPacket(34000, 300), 0));
    for (int p = 0; p < 800; ++p) stuck.push_back(udpRecord(makeSweepPacket(5000, 0), 1000 * p));
    for (int p = 0; p < 6; ++p) stuck.push_back(udpRecord(makeSweepPacket(30000 + 1500 * p, 300), 2000000 + p));
    std::vector<TestRecord> single;
    for (int p = 0; p < 20; ++p) single.push_back(udpRecord(makeSingleLinePacket(900000), 1000 * p));
    single.push_back(udpRecord(makeSingleLinePacket(2700000), 50000));
    single.push_back(udpRecord(makeSingleLinePacket(2700000), 60000));
    const std::string f1 = path("stuck.pcap"), f2 = path("stuck-single.pcap");
    ASSERT_TRUE(writeFile(f1, captureBytes(stuck, CaptureFormat::PcapLittleMicro)));
    ASSERT_TRUE(writeFile(f2, captureBytes(single, CaptureFormat::PcapLittleMicro)));
    expectCatalogMatchesAnalysis(f1, false);
    expectCatalogMatchesAnalysis(f2, true);
    // No frame spans more blocks than the cap allows.
    for (const k740::FrameSpan& s : k740::buildFrameCatalog(f1, false).catalog.frames)
        EXPECT_LT((s.lastPacket - s.firstPacket + 1) * 12, k740::kMaxFrameBlocks + 24);
}

TEST_F(DamagedCaptures, FramesOfAFileCutShortAfterCataloguingFailCleanly) {
    // Larger than the reader's stream buffer, so that what was buffered cannot hide the cut.
    const std::vector<TestRecord> records = sweepRecords(300);
    const std::string file = path("shrinking.pcap");
    const std::vector<std::uint8_t> full = captureBytes(records, CaptureFormat::PcapLittleMicro);
    ASSERT_TRUE(writeFile(file, full));
    const k740::CatalogResult built = k740::buildFrameCatalog(file, false);
    ASSERT_TRUE(built.status.ok());
    const std::size_t frames = built.catalog.frames.size();
    ASSERT_GE(frames, 4u);
    k740::CaptureFrameSource source;
    ASSERT_TRUE(source.open(file, &built.catalog));
    // The file loses its second half while it is open: frames there fail with a reason,
    // frames before still decode.
    ASSERT_TRUE(writeFile(file, std::vector<std::uint8_t>(full.begin(), full.begin() + full.size() / 2)));
    LidarDataSingleLine f;
    std::string error;
    EXPECT_TRUE(source.decode(0, f, &error)) << error;
    EXPECT_FALSE(f.pointAngle.empty());
    EXPECT_FALSE(source.decode(frames - 1, f, &error));
    EXPECT_FALSE(error.empty());
}
