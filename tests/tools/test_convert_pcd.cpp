// k740-convert pcd: the frames of a real capture as point-cloud files that PCL reads back,
// point for point the same as the CSV rows of the same capture and options.
#include <gtest/gtest.h>
#include <pcl/io/pcd_io.h>
#include <pcl/io/ply_io.h>
#include <pcl/point_types.h>

#include <QDir>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

// Exit code of k740-convert, its standard output in *out.
int runConvert(const QStringList& args, std::string* out = nullptr) {
    const tooltest::ToolRun r = tooltest::runConvert(args);
    if (out) *out = r.out;
    return r.exitCode;
}

struct Row {
    float x, y, z;
    int intensity;
};

// CSV rows grouped by FreamID.
std::map<int, std::vector<Row>> csvRows(const std::string& path) {
    std::map<int, std::vector<Row>> frames;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string f[8];
        for (auto& field : f) std::getline(s, field, ',');
        frames[std::stoi(f[0])].push_back(
            {std::stof(f[1]), std::stof(f[2]), std::stof(f[3]), std::stoi(f[4])});
    }
    return frames;
}

const QString kCapture = QStringLiteral(K740_TESTDATA "/real/rotating-32ch-b.pcap");

// Six significant digits in the CSV text against the float in the file.
void expectSamePoints(const std::vector<Row>& rows, const pcl::PointCloud<pcl::PointXYZI>& cloud,
                      int frame) {
    ASSERT_EQ(cloud.size(), rows.size()) << "frame " << frame;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& p = cloud[i];
        const float tolerance = 1e-5f * std::max(1.0f, std::fabs(rows[i].x) + std::fabs(rows[i].y));
        ASSERT_NEAR(p.x, rows[i].x, tolerance) << "frame " << frame << " point " << i;
        ASSERT_NEAR(p.y, rows[i].y, tolerance) << "frame " << frame << " point " << i;
        ASSERT_EQ(p.z, rows[i].z);
        ASSERT_EQ(p.intensity, static_cast<float>(rows[i].intensity));
    }
}

TEST(ConvertPcd, EveryFrameReadsBackAsTheCsvRowsOfTheSameOptions) {
    QTemporaryDir dir;
    const std::string csv = dir.filePath("rows.csv").toStdString();
    const QStringList options = {"--protocol",  "1",  "--view-mode", "2",
                                 "--angle-min", "90", "--angle-max", "270"};
    ASSERT_EQ(runConvert(QStringList{"csv", kCapture, QString::fromStdString(csv)} + options), 0);
    std::string out;
    ASSERT_EQ(runConvert(QStringList{"pcd", kCapture, dir.path()} + options, &out), 0);
    const std::map<int, std::vector<Row>> rows = csvRows(csv);
    ASSERT_EQ(rows.size(), 6u);  // the capture-file analysis finds six frames
    EXPECT_EQ(out, "frames: 6\nfiles: 6\n");
    for (const auto& [frame, points] : rows) {
        const std::string name =
            dir.filePath(QString::asprintf("frame-%06d.pcd", frame)).toStdString();
        pcl::PointCloud<pcl::PointXYZI> cloud;
        ASSERT_EQ(pcl::io::loadPCDFile(name, cloud), 0) << name;
        expectSamePoints(points, cloud, frame);
    }

    // View mode 1 and PLY: whole centimetres, read back by PCL's PLY reader.
    QTemporaryDir plyDir;
    const QStringList whole = {"--view-mode", "1", "--angle-min", "30", "--angle-max", "30"};
    ASSERT_EQ(runConvert(QStringList{"csv", kCapture, QString::fromStdString(csv)} + whole), 0);
    ASSERT_EQ(runConvert(QStringList{"pcd", kCapture, plyDir.path(), "--ply"} + whole, &out), 0);
    const std::map<int, std::vector<Row>> wholeRows = csvRows(csv);
    ASSERT_FALSE(wholeRows.empty());
    EXPECT_EQ(out, "frames: 6\nfiles: " + std::to_string(wholeRows.size()) + "\n");
    for (const auto& [frame, points] : wholeRows) {
        pcl::PointCloud<pcl::PointXYZI> cloud;
        const std::string name =
            plyDir.filePath(QString::asprintf("frame-%06d.ply", frame)).toStdString();
        ASSERT_EQ(pcl::io::loadPLYFile(name, cloud), 0) << name;
        expectSamePoints(points, cloud, frame);
        for (const auto& p : cloud) ASSERT_EQ(p.x, std::trunc(p.x));
    }
}

TEST(ConvertPcd, RefusesBadArgumentsAndMissingPlaces) {
    QTemporaryDir dir;
    EXPECT_EQ(runConvert({"pcd", kCapture}), 2);
    EXPECT_EQ(runConvert({"pcd", kCapture, dir.path(), "--angle-min", "200", "--angle-max", "100"}),
              2);
    EXPECT_EQ(runConvert({"pcd", kCapture, dir.path(), "--view-mode", "3"}), 2);
    EXPECT_EQ(runConvert({"pcd", kCapture, dir.filePath("missing-folder")}), 1);
    EXPECT_EQ(runConvert({"pcd", dir.filePath("missing.pcap"), dir.path()}), 1);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

}  // namespace
