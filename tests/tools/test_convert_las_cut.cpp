// k740-convert las and cut as the field engineer runs them on a real capture: the LAS file
// holds as many points as the CSV rows (one file, or one per frame), a cut piece counts the
// asked frames with info, and an output that is the capture itself is refused untouched.
#include <gtest/gtest.h>

#include "tests/tools/tool_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sstream>
#include <string>

using tooltest::runConvert;
using tooltest::ToolRun;

namespace {

const QString kCapture = QStringLiteral(K740_TESTDATA "/real/rotating-32ch-b.pcap");

std::size_t lineCount(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    std::size_t n = 0;
    while (!f.atEnd()) {
        f.readLine();
        ++n;
    }
    return n;
}

// The value of "name: N" in a command's output, -1 when missing.
long long valueOf(const std::string& out, const std::string& name) {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(name + ": ", 0) == 0) return std::stoll(line.substr(name.size() + 2));
    return -1;
}

}  // namespace

TEST(ConvertLasAndCut, LasHoldsTheCsvPointsAndCutPiecesCountTheAskedFrames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString csv = dir.filePath("all.csv"), las = dir.filePath("all.las");
    const QStringList options = {"--protocol", "1", "--view-mode", "2", "--angle-min", "10", "--angle-max", "300"};
    ASSERT_EQ(runConvert(QStringList{"csv", kCapture, csv} + options).exitCode, 0);
    const long long rows = static_cast<long long>(lineCount(csv)) - 1;
    ASSERT_GT(rows, 0);

    const ToolRun one = runConvert(QStringList{"las", kCapture, las} + options);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(valueOf(one.out, "points"), rows);
    EXPECT_EQ(valueOf(one.out, "files"), 1);
    EXPECT_EQ(QFileInfo(las).size(), 227 + 28 * rows);

    // One file per frame, named as pcd names them; together the same points.
    const QString split = dir.filePath("split");
    ASSERT_TRUE(QDir().mkpath(split));
    const ToolRun many = runConvert(QStringList{"las", kCapture, split, "--split"} + options);
    ASSERT_EQ(many.exitCode, 0) << many.err;
    const QStringList files = QDir(split).entryList({"frame-*.las"}, QDir::Files, QDir::Name);
    EXPECT_EQ(files.size(), valueOf(many.out, "files"));
    ASSERT_FALSE(files.isEmpty());
    EXPECT_EQ(files.first(), "frame-000001.las");
    long long splitPoints = 0;
    for (const QString& f : files) splitPoints += (QFileInfo(QDir(split).filePath(f)).size() - 227) / 28;
    EXPECT_EQ(splitPoints, rows);

    // Frames 2..4 as a capture of their own: info counts what cut reports, and the asked
    // frames at least (one more when the first packet also ends frame 1).
    const QString piece = dir.filePath("piece.pcap");
    const ToolRun cut = runConvert({"cut", kCapture, piece, "--first", "2", "--last", "4"});
    ASSERT_EQ(cut.exitCode, 0) << cut.err;
    const ToolRun info = runConvert({"info", piece});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_EQ(valueOf(info.out, "frames"), valueOf(cut.out, "frames"));
    EXPECT_EQ(valueOf(info.out, "packets"), valueOf(cut.out, "packets"));
    EXPECT_GE(valueOf(info.out, "frames"), 3);
    EXPECT_LE(valueOf(info.out, "frames"), 4);

    // Beyond the last frame: the capture is named, nothing is written.
    const QString none = dir.filePath("none.pcap");
    const ToolRun beyond = runConvert({"cut", kCapture, none, "--first", "0", "--last", "100000"});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_NE(beyond.err.find("beyond"), std::string::npos) << beyond.err;
    EXPECT_FALSE(QFileInfo::exists(none));

    // The capture itself as the output, under another name: refused, the file untouched.
    const QString copy = dir.filePath("copy.pcap");
    ASSERT_TRUE(QFile::copy(kCapture, copy));
    const qint64 size = QFileInfo(copy).size();
    const QString alias = dir.path() + "/./copy.pcap";
    for (const QStringList& args : {QStringList{"las", copy, alias}, QStringList{"cut", copy, alias, "--first", "0", "--last", "1"}}) {
        const ToolRun r = runConvert(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("is the capture file itself"), std::string::npos) << r.err;
        EXPECT_EQ(QFileInfo(copy).size(), size);
    }
}
