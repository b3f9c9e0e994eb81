// LAS files read back by a small reader of the LAS 1.2 layout: the header's fields, count and
// bounds, and every point against the CSV row the same export writes for it; the export's
// writer thread writing LAS, and a full disk.
#include <gtest/gtest.h>


#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "export/csv_export_writer.h"
#include "export/csv_format.h"
#include "export/las_export_file.h"
#include "packet_writer.h"
#include "temp_dir.h"

using namespace k740test;

namespace {

// What a LAS 1.2 reader finds in a file, read field by field at the layout's offsets.
struct LasRead {
    std::string signature, software;
    int version = 0, format = -1, recordLength = 0;
    std::uint32_t offsetToPoints = 0, points = 0;
    double scale[3] = {}, offset[3] = {}, max[3] = {}, min[3] = {};
    struct Point {
        std::int32_t xyz[3];
        int intensity, returnByte, sourceId;
        double gpsTime;
    };
    std::vector<Point> list;
    std::size_t fileSize = 0;
};

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
int u16(const std::vector<std::uint8_t>& b, std::size_t at) { return b[at] | b[at + 1] << 8; }
double f64(const std::vector<std::uint8_t>& b, std::size_t at) {
    const std::uint64_t bits = std::uint64_t(u32(b, at)) | std::uint64_t(u32(b, at + 4)) << 32;
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
std::string text(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t n) {
    std::string s(reinterpret_cast<const char*>(&b[at]), n);
    return s.substr(0, s.find('\0'));
}

LasRead readLas(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LasRead r;
    r.fileSize = b.size();
    if (b.size() < 227) return r;
    r.signature = text(b, 0, 4);
    r.version = b[24] * 10 + b[25];
    r.software = text(b, 58, 32);
    r.offsetToPoints = u32(b, 96);
    r.format = b[104];
    r.recordLength = u16(b, 105);
    r.points = u32(b, 107);
    for (int a = 0; a < 3; ++a) {
        r.scale[a] = f64(b, 131 + 8 * a);
        r.offset[a] = f64(b, 155 + 8 * a);
        r.max[a] = f64(b, 179 + 16 * a);
        r.min[a] = f64(b, 187 + 16 * a);
    }
    for (std::size_t at = r.offsetToPoints; r.recordLength > 0 && at + r.recordLength <= b.size(); at += r.recordLength) {
        LasRead::Point p;
        for (int a = 0; a < 3; ++a) p.xyz[a] = static_cast<std::int32_t>(u32(b, at + 4 * a));
        p.intensity = u16(b, at + 12);
        p.returnByte = b[at + 14];
        p.sourceId = u16(b, at + 18);
        p.gpsTime = f64(b, at + 20);
        r.list.push_back(p);
    }
    return r;
}

struct CsvRow {
    int frameId;
    double xyz[3];
    int intensity;
    unsigned long long timeStamp;
};

std::vector<CsvRow> csvRows(const std::string& csv) {
    std::vector<CsvRow> rows;
    std::istringstream in(csv);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        CsvRow r{};
        double azimuth, distance;
        std::sscanf(line.c_str(), "%d,%lf,%lf,%lf,%d,%lf,%lf,%llu", &r.frameId, &r.xyz[0], &r.xyz[1], &r.xyz[2],
                    &r.intensity, &azimuth, &distance, &r.timeStamp);
        rows.push_back(r);
    }
    return rows;
}

// Frames of a sweep of data packets (about fourteen packets a revolution).
std::vector<LidarDataSingleLine> sweepFrames(int packets) {
    std::vector<LidarDataSingleLine> frames;
    k740::CaptureFrameAnalyzer analyzer(false);
    for (int p = 0; p < packets; ++p) {
        const DataPacket d = makeSweepPacket((30000 + 2500 * p) % 36000, 200, 500000 + 1000 * p);
        analyzer.addPacket(d.data(), d.size(), [&](LidarDataSingleLine&& f) { frames.push_back(std::move(f)); });
    }
    return frames;
}

}  // namespace

TEST(LasFile, HeaderAndEveryPointAgreeWithTheCsvRows) {
    k740test::TempDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<LidarDataSingleLine> frames = sweepFrames(60);
    ASSERT_GE(frames.size(), 3u);
    struct Case {
        int protocol, viewMode;
        float lo, hi;
    };
    for (const Case c : {Case{0, 0, 0.0f, 360.0f}, Case{1, 1, 30.0f, 200.0f}}) {
        SCOPED_TRACE("view mode index " + std::to_string(c.viewMode));
        k740::CsvExportOptions o;
        o.protocol = c.protocol;
        o.viewMode = c.viewMode;
        o.angleMin = c.lo;
        o.angleMax = c.hi;
        const std::string path = dir.filePath("out.las");
        k740::LasExportFile las("test 1.0");
        ASSERT_TRUE(las.open(path)) << las.error();
        std::ostringstream csv;
        k740::writeCsvHeader(csv);
        for (std::size_t k = 0; k < frames.size(); ++k) {
            const int id = static_cast<int>(k + 1);
            EXPECT_EQ(las.writeFrame(frames[k], id, o), k740::writeCsvFrame(csv, frames[k], id, o));
        }
        ASSERT_TRUE(las.close()) << las.error();

        const LasRead r = readLas(path);
        const std::vector<CsvRow> rows = csvRows(csv.str());
        ASSERT_FALSE(rows.empty());
        // A LAS 1.2 reader's view: format 1, points right after the header, nothing after them.
        EXPECT_EQ(r.signature, "LASF");
        EXPECT_EQ(r.version, 12);
        EXPECT_EQ(r.software, "test 1.0");
        EXPECT_EQ(r.format, 1);
        EXPECT_EQ(r.points, rows.size());
        EXPECT_EQ(r.fileSize, r.offsetToPoints + std::size_t(r.recordLength) * rows.size());
        ASSERT_EQ(r.list.size(), rows.size());

        double lo[3] = {1e300, 1e300, 1e300}, hi[3] = {-1e300, -1e300, -1e300};
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const LasRead::Point& p = r.list[i];
            for (int a = 0; a < 3; ++a) {
                const double metres = p.xyz[a] * r.scale[a] + r.offset[a];
                lo[a] = std::min(lo[a], metres);
                hi[a] = std::max(hi[a], metres);
                const double cm = rows[i].xyz[a];
                if (c.viewMode == 0)
                    EXPECT_EQ(p.xyz[a], std::lround(cm * 100)) << i;  // whole cm: exact
                else  // the CSV keeps six significant digits, LAS a hundredth of a cm
                    EXPECT_NEAR(metres * 100, cm, 0.005 + std::fabs(cm) * 1e-5) << i;
            }
            EXPECT_EQ(p.intensity, rows[i].intensity) << i;
            EXPECT_EQ(p.returnByte, 0x09) << i;  // return 1 of 1
            EXPECT_EQ(p.sourceId, rows[i].frameId - 1) << i;
            EXPECT_EQ(std::llround(p.gpsTime * 1e6), static_cast<long long>(rows[i].timeStamp)) << i;
        }
        for (int a = 0; a < 3; ++a) {
            EXPECT_EQ(r.min[a], lo[a]);
            EXPECT_EQ(r.max[a], hi[a]);
        }
    }
}

TEST(LasFile, TheWriterThreadWritesLasAndAFullDiskIsNeverSaved) {
    k740test::TempDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<LidarDataSingleLine> frames = sweepFrames(30);
    ASSERT_GE(frames.size(), 1u);
    k740::CsvExportOptions o;
    const std::string path = dir.filePath("thread.las");
    {
        k740::CsvExportWriter writer;
        ASSERT_TRUE(writer.open(path, {}, k740::ExportFormat::Las, "rv-k740-p test"));
        // The source ID is the frame's index modulo 65536.
        ASSERT_TRUE(writer.push(frames[0], 65538, o));
        ASSERT_TRUE(writer.push(frames[0], 3, o));
        writer.finish();
        writer.wait();
        EXPECT_TRUE(writer.verdict().saved) << writer.verdict().error;
    }
    const LasRead r = readLas(path);
    const std::size_t n = k740::forEachExportPoint(frames[0], o, [](const k740::ExportPoint&) {});
    ASSERT_GT(n, 0u);
    ASSERT_EQ(r.list.size(), 2 * n);
    EXPECT_EQ(r.list.front().sourceId, 1);
    EXPECT_EQ(r.list.back().sourceId, 2);

    if (!std::ofstream("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    k740::CsvExportWriter full;
    ASSERT_TRUE(full.open("/dev/full", {}, k740::ExportFormat::Las, "x"));
    for (int k = 0; k < 40; ++k) full.push(frames[0], k + 1, o);
    full.finish();
    full.wait();
    EXPECT_FALSE(full.verdict().saved || full.verdict().error.empty());
}
