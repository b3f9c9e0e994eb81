// Capture files past 4 GiB and capture formats a build without libpcap cannot read: the
// reader's file positions are 64-bit on every system, and a refusal says what is missing.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture_writer.h"
#include "platform/pcap_file.h"

namespace {

using k740::CaptureRecord;
using k740::PcapFileReader;
using namespace k740test;
using Bytes = std::vector<std::uint8_t>;

std::string tempPath(const char* name) { return ::testing::TempDir() + name; }

TEST(CapturePositions, RecordsBeyondFourGibibytesAreReachedBySeek) {
    // A classic capture whose second record lies 5 GiB into the file, behind a hole that the
    // file system keeps sparse; it is reached with a position as position() hands them out.
    const std::vector<TestRecord> records = {udpRecord(Bytes(1206, 0x11), 1000), udpRecord(Bytes(1206, 0x22), 2000)};
    std::vector<std::size_t> ends;
    std::size_t headerEnd = 0;
    const std::vector<std::uint8_t> bytes = captureBytes(records, CaptureFormat::PcapLittleNano, &ends, &headerEnd);
    const std::string path = tempPath("k740-far-record.pcap");
    constexpr std::int64_t kFar = (std::int64_t{5} << 30) + 3;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(ends[0]));
        out.seekp(static_cast<std::streamoff>(kFar));
        out.write(reinterpret_cast<const char*>(bytes.data() + ends[0]),
                  static_cast<std::streamsize>(ends[1] - ends[0]));
        ASSERT_TRUE(out.good());
    }
    ASSERT_EQ(std::filesystem::file_size(path), static_cast<std::uintmax_t>(kFar + (ends[1] - ends[0])));

    PcapFileReader reader;
    ASSERT_TRUE(reader.open(path, 4096)) << reader.error();
    CaptureRecord r;
    ASSERT_EQ(reader.next(r), PcapFileReader::Result::Record);
    EXPECT_EQ(r.data[42], 0x11);
    ASSERT_TRUE(reader.seek(kFar)) << reader.error();
    EXPECT_EQ(reader.position(), kFar);
    ASSERT_EQ(reader.next(r), PcapFileReader::Result::Record) << reader.error();
    EXPECT_EQ(r.capturedLength, 1248u);
    EXPECT_EQ(r.data[42], 0x22);
    EXPECT_EQ(r.nanoseconds, 2000u);
    EXPECT_EQ(reader.position(), kFar + static_cast<std::int64_t>(ends[1] - ends[0]));
    EXPECT_EQ(reader.next(r), PcapFileReader::Result::End);
    reader.close();
    std::remove(path.c_str());
}

TEST(CapturePositions, PcapngNeedsTheCaptureLibraryAndSaysSo) {
    const std::string path = tempPath("k740-ng.pcapng");
    ASSERT_TRUE(writeFile(path, captureBytes({udpRecord(Bytes(1206, 0x33))}, CaptureFormat::PcapNg)));
    PcapFileReader reader;
    const bool opened = reader.open(path);
#if K740_HAVE_PCAP
    ASSERT_TRUE(opened) << reader.error();
    CaptureRecord r;
    ASSERT_EQ(reader.next(r), PcapFileReader::Result::Record);
    EXPECT_EQ(r.data[42], 0x33);
#else
    EXPECT_FALSE(opened);
    EXPECT_EQ(reader.error(), "pcapng files need libpcap, which this build lacks");
    EXPECT_FALSE(reader.isOpen());
#endif
    std::remove(path.c_str());
}

}  // namespace
