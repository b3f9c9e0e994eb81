// Pieces of capture files: the records of frames A..B copied byte for byte with their time
// stamps and the traffic between them, counted by the capture-file analysis as asked (and one
// short frame more where the first packet also ends the frame before), and refusals that
// leave nothing behind.
#include <gtest/gtest.h>


#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture_writer.h"
#include "packet_writer.h"
#include "playback/capture_cut.h"
#include "playback/capture_index.h"
#include "temp_dir.h"

using namespace k740test;

namespace {

// Revolutions of different lengths (blocks, 0 .. 360 degrees), so that frames start at the
// start of a packet, one block into it and further in; every fourth sensor packet is followed
// by other traffic. 396 blocks: 33 packets, 11 frames (the last revolution stays open).
struct PieceCapture {
    std::vector<TestRecord> records;
    std::vector<std::size_t> sensorRecord;  // record index of each sensor packet
};

PieceCapture pieceCapture() {
    std::vector<std::uint16_t> azimuths;
    for (const int n : {35, 37, 30, 33, 32, 25, 40, 29, 31, 44, 24, 36})
        for (int j = 0; j < n; ++j) azimuths.push_back(static_cast<std::uint16_t>(36000 * j / n));
    PieceCapture c;
    for (std::size_t p = 0; p + 12 <= azimuths.size(); p += 12) {
        std::array<std::uint16_t, 12> az{};
        std::copy(azimuths.begin() + static_cast<long>(p), azimuths.begin() + static_cast<long>(p + 12), az.begin());
        const std::uint32_t k = static_cast<std::uint32_t>(p / 12);
        TestRecord r = udpRecord(makeDataPacket(az, 1000000 + 600 * k), 123457 * k % 1000000000u);
        r.seconds = 1700000000 + k / 3;
        c.sensorRecord.push_back(c.records.size());
        c.records.push_back(r);
        if (k % 4 == 3) {
            TestRecord other;
            other.bytes.assign(60 + k, static_cast<std::uint8_t>(k));
            other.originalLength = 64 + k;
            other.nanoseconds = 999000;
            c.records.push_back(other);
        }
    }
    return c;
}

std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The frames of a capture as the analysis decodes them.
std::vector<LidarDataSingleLine> framesOf(const std::string& path) {
    std::vector<LidarDataSingleLine> frames;
    k740::CaptureFrameAnalyzer analyzer(false);
    k740::forEachSensorRecord(path, k740::SensorKind::Data, [&](const k740::SensorRecord& r) {
        analyzer.addPacket(r.payload, r.length, [&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
        return true;
    });
    return frames;
}

bool sameFrame(const LidarDataSingleLine& a, const LidarDataSingleLine& b) {
    return a.pointAngle == b.pointAngle && a.distance == b.distance && a.intensity == b.intensity &&
           a.timeStamp == b.timeStamp;
}

class CaptureCut : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    std::string path(const std::string& name) const { return dir_.filePath(name); }
    k740test::TempDir dir_;
};

}  // namespace

TEST_F(CaptureCut, PiecesHoldTheRecordsByteForByteAndTheAskedFrames) {
    const PieceCapture c = pieceCapture();
    std::vector<CaptureFormat> formats = {CaptureFormat::PcapLittleMicro, CaptureFormat::PcapBigMicro,
                                          CaptureFormat::PcapLittleNano, CaptureFormat::PcapBigNano};
#if K740_HAVE_PCAP
    formats.push_back(CaptureFormat::PcapNg);  // read through the capture library
#endif
    bool sawPacketStart = false, sawShortFirst = false, sawOneBlockBefore = false;
    for (const CaptureFormat format : formats) {
        const std::string in = path(std::string("in-") + formatName(format));
        ASSERT_TRUE(writeFile(in, captureBytes(c.records, format)));
        const k740::CatalogResult built = k740::buildFrameCatalog(in, false);
        ASSERT_TRUE(built.status.ok());
        const k740::FrameCatalog& catalog = built.catalog;
        const std::vector<LidarDataSingleLine> whole = framesOf(in);
        ASSERT_EQ(whole.size(), catalog.frames.size());
        ASSERT_GE(whole.size(), 10u);
        // Microsecond files stay microsecond files; the others keep their nanoseconds.
        const bool micro = format == CaptureFormat::PcapLittleMicro || format == CaptureFormat::PcapBigMicro;
        for (std::size_t a = 1; a + 1 < catalog.frames.size(); ++a) {
            for (const std::size_t b : {a, a + 1, catalog.frames.size() - 1}) {
                SCOPED_TRACE(std::string(formatName(format)) + " frames " + std::to_string(a) + ".." + std::to_string(b));
                const std::string out = path("piece.pcap");
                const k740::CaptureCutResult cut = k740::cutCapture(in, catalog, a, b, out);
                ASSERT_TRUE(cut.ok) << cut.error;

                // The records from frame a's first packet to frame b's last one, other traffic
                // and time stamps alike, in a little-endian file of the source's resolution.
                const std::size_t first = c.sensorRecord[catalog.frames[a].firstPacket];
                const std::size_t last = c.sensorRecord[catalog.frames[b].lastPacket];
                const std::vector<TestRecord> slice(c.records.begin() + static_cast<long>(first),
                                                    c.records.begin() + static_cast<long>(last + 1));
                EXPECT_TRUE(fileBytes(out) ==
                            captureBytes(slice, micro ? CaptureFormat::PcapLittleMicro : CaptureFormat::PcapLittleNano));
                EXPECT_EQ(cut.records, slice.size());
                EXPECT_EQ(cut.sensorPackets, catalog.frames[b].lastPacket - catalog.frames[a].firstPacket + 1);

                // As info counts it, and frame by frame what the source holds.
                EXPECT_EQ(k740::summarizeCaptureFile(out, false).frames, cut.frames);
                const std::vector<LidarDataSingleLine> piece = framesOf(out);
                const std::uint8_t f = catalog.frames[a].firstBlock;
                const std::size_t asked = b - a + 1;
                if (f == 0) {
                    sawPacketStart = true;
                    ASSERT_EQ(piece.size(), asked);
                    for (std::size_t k = 0; k < asked; ++k) EXPECT_TRUE(sameFrame(piece[k], whole[a + k])) << k;
                } else if (f >= 2) {
                    // Blocks 0..f-1 end frame a-1: they play as a short frame first.
                    sawShortFirst = true;
                    ASSERT_EQ(piece.size(), asked + 1);
                    EXPECT_EQ(piece[0].pointAngle.size(), 30u * f);
                    for (std::size_t k = 0; k < asked; ++k) EXPECT_TRUE(sameFrame(piece[k + 1], whole[a + k])) << k;
                } else {
                    // The one block before is frame a-1's last: it opens frame a of the piece.
                    sawOneBlockBefore = true;
                    ASSERT_EQ(piece.size(), asked);
                    EXPECT_EQ(piece[0].pointAngle.size(), whole[a].pointAngle.size() + 30);
                    for (std::size_t k = 1; k < asked; ++k) EXPECT_TRUE(sameFrame(piece[k], whole[a + k])) << k;
                }
            }
        }
    }
    EXPECT_TRUE(sawPacketStart && sawShortFirst && sawOneBlockBefore);
}

TEST_F(CaptureCut, RefusalsAndChangedFilesLeaveNothingBehind) {
    const PieceCapture c = pieceCapture();
    const std::string in = path("in.pcap");
    const std::vector<std::uint8_t> source = captureBytes(c.records, CaptureFormat::PcapLittleMicro);
    ASSERT_TRUE(writeFile(in, source));
    const k740::CatalogResult built = k740::buildFrameCatalog(in, false);
    const std::size_t frames = built.catalog.frames.size();

    EXPECT_EQ(k740::checkFrameRange(0, frames - 1, frames), "");
    EXPECT_NE(k740::checkFrameRange(3, 2, frames).find("comes after"), std::string::npos);
    EXPECT_NE(k740::checkFrameRange(0, frames, frames).find("beyond"), std::string::npos);
    EXPECT_NE(k740::checkFrameRange(0, 0, 0).find("no frames"), std::string::npos);
    // A range beyond the capture and the capture itself as output: ConvertLasAndCut.

    // Cut short since the catalog was built: the last frames' packets are gone.
    const std::string out = path("out.pcap");
    const std::vector<std::uint8_t> shortened(source.begin(), source.begin() + static_cast<long>(source.size() / 2));
    ASSERT_TRUE(writeFile(in, shortened));
    const k740::CaptureCutResult late = k740::cutCapture(in, built.catalog, 1, frames - 1, out);
    EXPECT_FALSE(late.ok || late.error.empty());
    EXPECT_FALSE(std::ifstream(out).good());
}
