// CSV export rules without widgets: the options window's checks and texts, FreamIDs and
// progress of an export, and the export file's write checks (a full disk is not "saved").
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "export/csv_export_file.h"
#include "export/save_options.h"
#include "temp_dir.h"

namespace {

using k740::checkSaveDataOptions;

TEST(SaveDataOptionsCheck, EmptyFrameCountBecomesOneAndEqualAnglesWiden) {
    const k740::SaveDataChoice c = checkSaveDataOptions("", "30", "30");
    ASSERT_TRUE(c.accepted);
    EXPECT_EQ(c.frames, 1);
    EXPECT_EQ(c.frameCountText, "1");
    EXPECT_EQ(c.angleMin, 29.5f);
    EXPECT_EQ(c.angleMax, 30.5f);

    const k740::SaveDataChoice d = checkSaveDataOptions(" +10\t", " 90 ", "1.8e2");
    ASSERT_TRUE(d.accepted);
    EXPECT_EQ(d.frames, 10);
    EXPECT_EQ(d.frameCountText, " +10\t");  // the field keeps what was typed
    EXPECT_EQ(d.angleMin, 90.0f);
    EXPECT_EQ(d.angleMax, 180.0f);
}

TEST(SaveDataOptionsCheck, RefusalsCarryTheWindowsWarnings) {
    struct Case {
        const char *frames, *min, *max, *text;
    };
    const Case cases[] = {
        {"1", "200", "100", "Angle range invalid"},
        {"1", "-1", "100", "Invalid angle"},
        {"1", "0", "360.5", "Invalid angle"},
        {"1", "abc", "100", "Invalid angle"},
        {"1", "10x", "100", "Invalid angle"},
        {"1", "1e39", "100", "Invalid angle"},  // beyond a float
        {"1", "nan", "100", "Invalid angle"},
        {"1", "10", "", "Angle range can not be empty"},
        {"1", "", "10", "Angle range can not be empty"},
        // Counts that would never end an export, or never start one.
        {"0", "0", "360", "Fream count must be a positive whole number"},
        {"-2", "0", "360", "Fream count must be a positive whole number"},
        {"2.5", "0", "360", "Fream count must be a positive whole number"},
        {"abc", "0", "360", "Fream count must be a positive whole number"},
        {"99999999999", "0", "360", "Fream count must be a positive whole number"},
        {"3 4", "0", "360", "Fream count must be a positive whole number"},
    };
    for (const Case& c : cases) {
        const k740::SaveDataChoice r = checkSaveDataOptions(c.frames, c.min, c.max);
        EXPECT_FALSE(r.accepted) << c.frames << " " << c.min << " " << c.max;
        EXPECT_EQ(r.warningTitle, "Warning");
        EXPECT_EQ(r.warningText, c.text) << c.frames << " " << c.min << " " << c.max;
    }
}

TEST(SaveDataOptionsCheck, DefaultFileNameIsTheLocalMinute) {
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 59;
    EXPECT_EQ(k740::defaultCsvFileName(t), "2026-03-07-09-05.csv");
    EXPECT_EQ(k740::defaultExportFileName(t, "las"), "2026-03-07-09-05.las");
}

TEST(CsvExportCounter, ThreeFramesGiveIdsOneToThreeAndThirds) {
    k740::CsvExportCounter c;
    EXPECT_FALSE(c.running());
    c.start(3);
    const int ids[] = {1, 2, 3}, percents[] = {33, 66, 100};
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(c.running());
        const k740::CsvExportCounter::Step s = c.next();
        EXPECT_EQ(s.frameId, ids[k]);
        EXPECT_EQ(s.percent, percents[k]);
        EXPECT_EQ(s.last, k == 2);
    }
    // Ended: a further frame is not part of the export.
    EXPECT_FALSE(c.running());
    EXPECT_EQ(c.next().frameId, 0);

    // A large count does not overflow the percentage.
    c.start(2000000000);
    EXPECT_EQ(c.next().percent, 0);
    c.start(1);
    EXPECT_TRUE(c.next().last);
}

TEST(CsvExportLine, WholeNumbersPrintAsTheStreamPrintsThem) {
    // Whole numbers take a short path; at 10^6 the stream's %g turns to exponent notation, and
    // a negative zero keeps its sign.
    std::ostringstream out;
    k740::PointCm p;
    p.x = 1000000.0f;
    p.y = -999999.0f;
    p.z = -0.0f;
    k740::writeCsvLine(out, 7, p, 255, 359.999999, 100000.5, 0);
    EXPECT_EQ(out.str(), "7,1e+06,-999999,-0,255,360,100000,0\n");
}

LidarDataSingleLine twoPoints() {
    LidarDataSingleLine f;
    f.pointAngle = {90.0, 200.0};
    f.distance = {63.5, 1000.0};
    f.intensity = {7, 8};
    f.timeStamp = {11, 12};
    return f;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CsvExportFile, WritesHeaderAndFramesAndReportsSaved) {
    k740test::TempDir dir;
    const std::string path = dir.filePath("out.csv");
    {
        std::ofstream old(path);
        old << "an older file's text that must go\n";
    }
    k740::CsvExportFile file;
    ASSERT_TRUE(file.open(path)) << file.error();
    k740::CsvExportOptions o;
    o.angleMin = 0;
    o.angleMax = 180;
    EXPECT_EQ(file.writeFrame(twoPoints(), 1, o), 1u);
    EXPECT_EQ(file.writeFrame(twoPoints(), 2, o), 1u);
    EXPECT_TRUE(file.good());
    EXPECT_TRUE(file.close());
    EXPECT_EQ(readAll(path),
              std::string(k740::kCsvHeader) + "\n1,12,0,0,7,90,12.7,11\n2,12,0,0,7,90,12.7,11\n");
}

TEST(CsvExportFile, UnopenableFileAndFullDiskAreFailures) {
    k740::CsvExportFile file;
    EXPECT_FALSE(file.open("/nonexistent-folder-k740/out.csv"));
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.error().empty());

    // /dev/full accepts the open and refuses every write: the buffered rows fail at the
    // latest when they are flushed, and closing says so.
    std::ifstream probe("/dev/full");
    if (!probe) GTEST_SKIP() << "no /dev/full here";
    ASSERT_TRUE(file.open("/dev/full"));
    LidarDataSingleLine big;
    for (int i = 0; i < 100; ++i) {
        big.pointAngle.push_back(i);
        big.distance.push_back(1000 + i);
        big.intensity.push_back(i);
        big.timeStamp.push_back(static_cast<std::uint64_t>(i));
    }
    file.writeFrame(big, 1, k740::CsvExportOptions());
    EXPECT_FALSE(file.close());
    EXPECT_FALSE(file.error().empty());
}

}  // namespace
