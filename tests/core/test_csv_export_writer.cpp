// The CSV export's writer thread: the rows it writes are the formatter's rows for the same
// frames in the order they were queued, its queue is bounded, a failed write is never reported
// as saved, and an owner going away keeps what it had handed over.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "export/csv_export_writer.h"
#include "export/csv_format.h"
#include "sim/sim_engine.h"

namespace {

using k740::CsvExportOptions;
using k740::CsvExportWriter;

struct Pushed {
    const LidarDataSingleLine* frame;
    int frameId;
    CsvExportOptions options;
};

// What the synchronous formatter gives for the same frames.
std::string formatted(const std::vector<Pushed>& pushed) {
    std::ostringstream out;
    k740::writeCsvHeader(out);
    for (const Pushed& p : pushed) k740::writeCsvFrame(out, *p.frame, p.frameId, p.options);
    return out.str();
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(CsvExportWriter, WritesTheFormattersRowsInQueueOrderAndReportsOnceWhenClosed) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("out.csv").toStdString();
    const std::vector<LidarDataSingleLine> frames = k740::sim::sweepFrames(1200, 6);
    std::atomic<int> reports{0};
    CsvExportWriter::Verdict reported;
    CsvExportWriter writer;
    ASSERT_TRUE(writer.open(path, [&](const CsvExportWriter::Verdict& v) {
        reported = v;
        ++reports;
    })) << writer.error();

    // Options change from frame to frame as the form's may; every frame keeps its own.
    std::vector<Pushed> pushed;
    for (int i = 0; i < 12; ++i) {
        CsvExportOptions o;
        o.protocol = 1;
        o.viewMode = i % 2;
        o.angleMin = i < 6 ? 0.0f : 45.5f;
        o.angleMax = i < 6 ? 360.0f : 270.0f;
        pushed.push_back({&frames[i % frames.size()], i + 1, o});
        ASSERT_TRUE(writer.push(frames[i % frames.size()], i + 1, o)) << i;
    }
    writer.finish();
    EXPECT_FALSE(writer.push(frames[0], 13, CsvExportOptions())) << "nothing after finish";
    writer.wait();
    EXPECT_EQ(reports.load(), 1);
    EXPECT_TRUE(reported.saved) << reported.error;
    EXPECT_EQ(reported.framesWritten, 12u);
    EXPECT_TRUE(writer.verdict().saved);
    EXPECT_FALSE(writer.failed());
    const std::string text = readAll(path);
    EXPECT_GT(text.size(), 12u * 100000u) << "whole revolutions, not a few points";
    EXPECT_TRUE(text == formatted(pushed)) << "the rows differ from the formatter's";
}

TEST(CsvExportWriter, AFullQueueRefusesFramesWhileTheDiskIsSlowAndKeepsTheOrder) {
    // The file is a pipe nobody reads yet: the writer blocks inside the first big frame, as on
    // a disk that has stopped, and the queue fills up.
    QTemporaryDir dir;
    const std::string path = dir.filePath("slow.csv").toStdString();
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const std::vector<LidarDataSingleLine> frames = k740::sim::sweepFrames(600, 3);  // ~2 MB of text each
    CsvExportWriter writer(2);
    std::atomic<int> reports{0};
    ASSERT_TRUE(writer.open(path, [&](const CsvExportWriter::Verdict&) { ++reports; }));

    std::vector<Pushed> accepted;
    int refused = 0;
    for (int i = 0; i < 12; ++i) {
        if (writer.push(frames[i % 3], i + 1, CsvExportOptions()))
            accepted.push_back({&frames[i % 3], i + 1, CsvExportOptions()});
        else
            ++refused;
    }
    // Two queued, and perhaps one the writer had taken before it blocked.
    EXPECT_GE(accepted.size(), 2u);
    EXPECT_LE(accepted.size(), 3u);
    EXPECT_EQ(refused, 12 - int(accepted.size()));
    EXPECT_LE(writer.queued(), writer.capacity());
    EXPECT_EQ(reports.load(), 0) << "no verdict before the file is closed";

    // The disk comes back: everything accepted arrives, in order.
    writer.finish();
    std::string got;
    char buffer[65536];
    for (;;) {
        pollfd p{reader, POLLIN, 0};
        ASSERT_GE(::poll(&p, 1, 10000), 1) << "the writer stalled";
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        if (n == 0) break;  // the writer has closed its end
        if (n < 0) continue;
        got.append(buffer, std::size_t(n));
    }
    ::close(reader);
    writer.wait();
    EXPECT_EQ(reports.load(), 1);
    EXPECT_TRUE(writer.verdict().saved) << writer.verdict().error;
    EXPECT_EQ(writer.verdict().framesWritten, accepted.size());
    EXPECT_TRUE(got == formatted(accepted)) << "lost or reordered rows";
}

TEST(CsvExportWriter, AFailedWriteStopsItAndIsNeverReportedSaved) {
    std::ifstream probe("/dev/full");
    if (!probe) GTEST_SKIP() << "no /dev/full here";
    const std::vector<LidarDataSingleLine> frames = k740::sim::sweepFrames(600, 1);

    // A frame bigger than the buffer fails while it is written: the writer stops by itself.
    {
        CsvExportWriter writer;
        CsvExportWriter::Verdict reported;
        reported.saved = true;
        ASSERT_TRUE(writer.open("/dev/full", [&](const CsvExportWriter::Verdict& v) { reported = v; }));
        ASSERT_TRUE(writer.push(frames[0], 1, CsvExportOptions()));
        writer.wait();  // ends without finish()
        EXPECT_TRUE(writer.failed());
        EXPECT_FALSE(reported.saved);
        EXPECT_FALSE(reported.error.empty());
        EXPECT_EQ(reported.framesWritten, 0u);
        EXPECT_FALSE(writer.push(frames[0], 2, CsvExportOptions()));
    }
    // A few rows sit in the buffer until the close, which fails.
    {
        CsvExportWriter writer;
        ASSERT_TRUE(writer.open("/dev/full", {}));
        LidarDataSingleLine small;
        small.pointAngle = {10.0, 20.0};
        small.distance = {100.0, 200.0};
        small.intensity = {1, 2};
        small.timeStamp = {5, 6};
        ASSERT_TRUE(writer.push(small, 1, CsvExportOptions()));
        writer.finish();
        writer.wait();
        EXPECT_FALSE(writer.verdict().saved);
        EXPECT_FALSE(writer.verdict().error.empty());
    }
}

TEST(CsvExportWriter, UnopenableFileStartsNoThreadAndAnOwnerGoingAwayKeepsItsRows) {
    CsvExportWriter refused;
    EXPECT_FALSE(refused.open("/nonexistent-folder-k740/out.csv", {}));
    EXPECT_FALSE(refused.error().empty());
    EXPECT_FALSE(refused.push(LidarDataSingleLine(), 1, CsvExportOptions()));

    QTemporaryDir dir;
    const std::string path = dir.filePath("kept.csv").toStdString();
    const std::vector<LidarDataSingleLine> frames = k740::sim::sweepFrames(1200, 3);
    std::atomic<int> reports{0};
    std::vector<Pushed> pushed;
    {
        CsvExportWriter writer;
        ASSERT_TRUE(writer.open(path, [&](const CsvExportWriter::Verdict&) { ++reports; }));
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(writer.push(frames[i], i + 1, CsvExportOptions()));
            pushed.push_back({&frames[i], i + 1, CsvExportOptions()});
        }
    }  // destroyed without finish(): the window closed during an export
    EXPECT_EQ(reports.load(), 0);
    EXPECT_TRUE(readAll(path) == formatted(pushed));
}

}  // namespace
