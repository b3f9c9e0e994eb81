// CSV export lines: header, number formatting, whole-centimetre modes, the azimuth range
// and the distance divisor of each protocol.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "display/region_stats.h"
#include "export/csv_format.h"
#include "packet_writer.h"

namespace {

struct Pt {
    double raw, azimuth;
    int intensity;
    std::uint64_t timeStamp;
};

LidarDataSingleLine frameOf(const std::vector<Pt>& pts) {
    LidarDataSingleLine f;
    f.blockAngle = {1.0, 2.0};  // not exported
    for (const Pt& p : pts) {
        f.distance.push_back(p.raw);
        f.pointAngle.push_back(p.azimuth);
        f.intensity.push_back(p.intensity);
        f.timeStamp.push_back(p.timeStamp);
    }
    return f;
}

// Points chosen so that the expected text can be worked out by hand: distances of 200 cm,
// 12.7 cm and 0.2 cm on the axes, an azimuth with more than six digits, the largest time
// stamp.
const std::vector<Pt> kPoints = {
    {1000, 0, 7, 123456},
    {63.5, 270, 255, 18446744073709551615ull},
    {63.5, 90, 1, 5},
    {1, 270, 2, 6},
    {12345, 123.456789, 3, 7},
    {3, 180, 4, 8},
};

std::string exportText(const std::vector<Pt>& pts, int frameId, const k740::CsvExportOptions& o,
                       std::size_t* written = nullptr) {
    std::ostringstream out;
    const std::size_t n = k740::writeCsvFrame(out, frameOf(pts), frameId, o);
    if (written) *written = n;
    return out.str();
}

k740::CsvExportOptions options(int protocol, int viewMode) {
    k740::CsvExportOptions o;
    o.protocol = protocol;
    o.viewMode = viewMode;
    return o;
}

}  // namespace

TEST(CsvExport, HeaderLine) {
    std::ostringstream out;
    k740::writeCsvHeader(out);
    EXPECT_EQ(out.str(), "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp\n");
}

TEST(CsvExport, ViewModeOneTruncatesTowardZeroToWholeCentimetres) {
    // Protocol "1.6": raw / 0.5 mm. 12.7 cm on either side of the y axis becomes 12 and -12;
    // tiny negative values truncate to a plain 0.
    EXPECT_EQ(exportText(kPoints, 1, options(0, 0)),
              "1,0,200,0,7,0,200,123456\n"
              "1,-12,0,0,255,270,12.7,18446744073709551615\n"
              "1,12,0,0,1,90,12.7,5\n"
              "1,0,0,0,2,270,0.2,6\n"
              "1,2059,-1361,0,3,123.457,2469,7\n"
              "1,0,0,0,4,180,0.6,8\n");
    // Protocol "1.7": raw / 0.25 mm, twice the distances.
    EXPECT_EQ(exportText(kPoints, 3, options(1, 0)),
              "3,0,400,0,7,0,400,123456\n"
              "3,-25,0,0,255,270,25.4,18446744073709551615\n"
              "3,25,0,0,1,90,25.4,5\n"
              "3,0,0,0,2,270,0.4,6\n"
              "3,4119,-2722,0,3,123.457,4938,7\n"
              "3,0,-1,0,4,180,1.2,8\n");
}

TEST(CsvExport, ViewModeTwoKeepsSixSignificantDigits) {
    // pi is taken as 3.14159, so the axes are not hit exactly: the cross terms are small
    // numbers in exponent notation.
    EXPECT_EQ(exportText(kPoints, 2, options(0, 1)),
              "2,0,200,0,7,0,200,123456\n"
              "2,-12.7,-5.05509e-05,0,255,270,12.7,18446744073709551615\n"
              "2,12.7,1.68503e-05,0,1,90,12.7,5\n"
              "2,-0.2,-7.96077e-07,0,2,270,0.2,6\n"
              "2,2059.89,-1361.18,0,3,123.457,2469,7\n"
              "2,1.59215e-06,-0.6,0,4,180,0.6,8\n");
}

TEST(CsvExport, PausedExportAddsHalfBeforeTruncating) {
    k740::CsvExportOptions o = options(0, 0);
    o.wholeCm = k740::CsvWholeCm::AddHalfThenTruncate;
    // 12.7 -> 13; -12.7 -> -12 (truncating -12.2); 2059.89 -> 2060; -1361.18 -> -1360.
    EXPECT_EQ(exportText({kPoints[1], kPoints[2], kPoints[4]}, 1, o),
              "1,-12,0,0,255,270,12.7,18446744073709551615\n"
              "1,13,0,0,1,90,12.7,5\n"
              "1,2060,-1360,0,3,123.457,2469,7\n");
}

TEST(CsvExport, AzimuthRangeIsInclusiveAndCountsLines) {
    const std::vector<Pt> pts = {{10, 9.75, 1, 1}, {10, 10.0, 2, 2}, {10, 15.0, 3, 3},
                                 {10, 20.25, 4, 4}, {10, 20.5, 5, 5}, {10, 359.0, 6, 6}};
    k740::CsvExportOptions o = options(0, 0);
    o.angleMin = 10.0f;
    o.angleMax = 20.25f;
    std::size_t written = 0;
    EXPECT_EQ(exportText(pts, 4, o, &written),
              "4,0,1,0,2,10,2,2\n"
              "4,0,1,0,3,15,2,3\n"
              "4,0,1,0,4,20.25,2,4\n");
    EXPECT_EQ(written, 3u);

    // The default range 0..360 keeps everything; an empty frame writes nothing.
    exportText(pts, 1, options(0, 0), &written);
    EXPECT_EQ(written, pts.size());
    std::ostringstream none;
    EXPECT_EQ(k740::writeCsvFrame(none, LidarDataSingleLine{}, 1, options(0, 0)), 0u);
    EXPECT_TRUE(none.str().empty());
}

TEST(CsvExport, OnlyTheEntriesTheCarryOverLeftBehindAreLeftOut) {
    // Entry 1 is measured but reads all zero (no echo at azimuth 0, time 0); entry 3 was left
    // behind by the carry-over. Only entry 3 goes, from the export and from a picked region
    // at the origin.
    LidarDataSingleLine f = frameOf({{10, 350.0, 1, 1}, {0, 0.0, 0, 0}, {0, 355.0, 0, 9}, {0, 0.0, 0, 0}});
    f.leftBehindBegin = 2;  // entry 2 lies in the range but was not moved (azimuth >= 20)
    f.leftBehindEnd = 4;
    std::ostringstream out;
    k740::writeCsvFrame(out, f, 7, options(0, 0));
    EXPECT_EQ(out.str(), "7,0,1,0,1,350,2,1\n7,0,0,0,0,0,0,0\n7,0,0,0,0,355,0,9\n");
    EXPECT_EQ(k740::frameRowsInBox(f, 0, 0, k740::SelectionBox(), 9).size(), 2u);

    // Decoded frames with such a point, where no carry-over left anything: a single-line
    // revolution starting at 0 with no echo, a capture-file frame and a dual-echo frame from
    // packets stamped below 597 whose first record at azimuth 0 has no echo.
    using namespace k740test;
    std::size_t points = 0, rows = 0;
    const k740::FrameSink count = [&](LidarDataSingleLine&& frame) {
        points += frame.pointCount();
        rows += k740::writeCsvFrame(out, frame, 1, options(1, 1));
    };
    k740::LiveFrameAssembler live(count);
    for (std::uint32_t s : {0u, 900000u, 1800000u, 2700000u}) {
        SingleLinePacket p = makeSingleLinePacket(s);
        p[28] = p[29] = p[30] = 0;
        live.addSingleLinePacket(p.data());
    }
    k740::CaptureFrameAnalyzer analyzer(false);
    for (int r = 0; r < 2; ++r) {
        for (std::uint32_t s = 0; s < 36000; s += 1200) {
            DataPacket p = makeSweepPacket(s, 100, 500);
            p[4] = p[5] = p[6] = 0;
            analyzer.addPacket(p.data(), p.size(), count);
            live.addDataPacket(p.data(), k740::kDualEcho, k740::kProtocol17);
        }
    }
    EXPECT_EQ(points, 1000u + 2 * 361u * 30);  // each frame ends with the next turn's first block
    EXPECT_EQ(rows, points);
}
