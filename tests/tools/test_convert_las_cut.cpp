// k740-convert las and cut as only the process shows them: --split writes one file a frame,
// a frame range beyond the capture is refused (exit 1, nothing written), and so is an output
// that is the capture itself (exit 2, the file untouched). What they write is checked in the
// core tests.
#include <gtest/gtest.h>

#include "tests/tools/tool_process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <string>

using tooltest::runConvert;
using tooltest::ToolRun;

TEST(ConvertLasAndCut, RangesBeyondTheCaptureAndTheCaptureItselfAsOutputAreRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString copy = dir.filePath("copy.pcap");
    ASSERT_TRUE(QFile::copy(QStringLiteral(K740_TESTDATA "/real/rotating-32ch-b.pcap"), copy));

    const ToolRun split = runConvert({"las", copy, dir.path(), "--split"});
    ASSERT_EQ(split.exitCode, 0) << split.err;
    const QStringList files = QDir(dir.path()).entryList({"frame-*.las"}, QDir::Files, QDir::Name);
    ASSERT_GT(files.size(), 1);
    EXPECT_EQ(files.first(), "frame-000001.las");
    EXPECT_NE(split.out.find("files: " + std::to_string(files.size()) + "\n"), std::string::npos) << split.out;

    const QString none = dir.filePath("none.pcap");
    const ToolRun beyond = runConvert({"cut", copy, none, "--first", "0", "--last", "100000"});
    EXPECT_EQ(beyond.exitCode, 1);
    EXPECT_NE(beyond.err.find("beyond"), std::string::npos) << beyond.err;
    EXPECT_FALSE(QFileInfo::exists(none));

    const qint64 size = QFileInfo(copy).size();
    const QString alias = dir.path() + "/./copy.pcap";
    for (const QStringList& args : {QStringList{"las", copy, alias}, QStringList{"cut", copy, alias, "--first", "0", "--last", "1"}}) {
        const ToolRun r = runConvert(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("is the capture file itself"), std::string::npos) << r.err;
        EXPECT_EQ(QFileInfo(copy).size(), size);
    }
}
