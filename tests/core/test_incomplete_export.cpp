// An export cut short: the name that says so, never over another file, and the renaming of a
// real file with its rows kept.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <set>
#include <string>

#include "export/incomplete_export.h"

TEST(IncompleteExport, TheNameSaysIncompleteBeforeTheExtensionAndTakesNoOtherFile) {
    const auto none = [](const std::string&) { return false; };
    // Dots of folders and a name that starts with one are no extension.
    EXPECT_EQ(k740::incompleteExportName("/d.v2/scan", none), "/d.v2/scan.incomplete");
    EXPECT_EQ(k740::incompleteExportName("/d/.csv", none), "/d/.csv.incomplete");
    EXPECT_EQ(k740::incompleteExportName("/d/a.b.csv", none), "/d/a.b.incomplete.csv");

    const std::set<std::string> taken = {"/d/scan.incomplete.csv", "/d/scan.incomplete-2.csv"};
    EXPECT_EQ(k740::incompleteExportName("/d/scan.csv",
                                         [&](const std::string& p) { return taken.count(p) > 0; }),
              "/d/scan.incomplete-3.csv");
}

TEST(IncompleteExport, TheFileIsRenamedWithItsRowsAndTheMessageNamesCountsAndPlace) {
    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.filePath("cut.csv")).toStdString();
    const std::string rows = "FreamID,Points_X\n1,12\n2,13\n";
    // A file of the marked name exists already: it stays as it was.
    QFile cut(QString::fromStdString(path)), other(dir.filePath("cut.incomplete.csv"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly) && cut.write(rows.c_str()) > 0 && other.open(QIODevice::WriteOnly));
    other.write("someone else's");
    cut.close(), other.close();

    const k740::IncompleteMark mark = k740::markExportIncomplete(path, 2, 300);
    EXPECT_TRUE(mark.renamed);
    EXPECT_EQ(mark.path, QFile::encodeName(dir.filePath("cut.incomplete-2.csv")).toStdString());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    QFile moved(QString::fromStdString(mark.path));
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll().toStdString(), rows);
    ASSERT_TRUE(other.open(QIODevice::ReadOnly));
    EXPECT_EQ(other.readAll().toStdString(), "someone else's");

    const std::string said = k740::incompleteExportMessage(mark, 2, 300, "No space left on device");
    EXPECT_NE(said.find("2 of 300 frames written to '" + mark.path + "'"), std::string::npos) << said;
    EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
}
