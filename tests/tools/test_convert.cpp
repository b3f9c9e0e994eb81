// k740-convert driven as the field engineer drives it: counts of the real captures, exact
// dump and CSV output of a tiny capture, the live assembly with a protocol switch, damaged
// files, usage errors and listening on loopback.
#include <gtest/gtest.h>

#include "tests/tools/tool_process.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <unistd.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../core/capture_writer.h"
#include "../core/loaded_packets.h"
#include "../core/packet_writer.h"
#include "acquisition/frame_assembler.h"
#include "platform/udp_socket.h"
#include "playback/capture_index.h"

using namespace k740test;

namespace {

using tooltest::kTimeoutMs;

using tooltest::ToolRun;
using tooltest::runConvert;
using tooltest::runConvertBytes;
using tooltest::fileBytes;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::size_t countLines(const std::string& text) { return linesOf(text).size(); }

// The tiny capture: two data packets with azimuths on a 7.5-degree grid, so that every
// interpolated azimuth is a multiple of 0.25 and prints exactly.
//   packet 1 (T = 1000000): 345, 352.5, 0 | 7.5, 15, ... 67.5
//   packet 2 (T = 1001000): 300 | 307.5, ... 352.5, 0 | 7.5, 15, 22.5
// The analysis cuts three frames: 3 blocks, 10 blocks (the last one, 300, is completed
// with the step 300 - 67.5 = 232.5) and 8 blocks; the last three blocks stay open. The third
// frame ends at block 8 of the last packet: the analysis decodes the last packet whole.
constexpr std::uint32_t kT1 = 1000000, kT2 = 1001000;

DataPacket tinyPacket1() {
    std::array<std::uint16_t, 12> az{};
    az[0] = 34500;
    az[1] = 35250;
    az[2] = 0;
    for (int b = 3; b < 12; ++b) az[b] = static_cast<std::uint16_t>(750 * (b - 2));
    return makeDataPacket(az, kT1);
}

DataPacket tinyPacket2() {
    std::array<std::uint16_t, 12> az{};
    for (int b = 0; b < 8; ++b) az[b] = static_cast<std::uint16_t>(30000 + 750 * b);
    az[8] = 0;
    for (int b = 9; b < 12; ++b) az[b] = static_cast<std::uint16_t>(750 * (b - 8));
    return makeDataPacket(az, kT2);
}

std::vector<TestRecord> tinyRecords() {
    std::vector<TestRecord> r;
    TestRecord arp;
    arp.bytes.assign(60, 0x06);
    r.push_back(arp);
    r.push_back(udpRecord(tinyPacket1(), 1000));
    r.push_back(udpRecord(tinyPacket2(), 2000));
    return r;
}

// One decoded point as the dump prints it, with the writer's distance/intensity pattern and
// the point time T + 3.125 i - 596.875 truncated (i = 30 b + c), all exact in binary.
std::string pointLine(double azimuth, int b, int c, std::uint32_t T) {
    char buf[128];
    const double t = T + 3.125 * (30 * b + c) - 596.875;
    std::snprintf(buf, sizeof buf, "P %.17g %d %d %llu", azimuth, 1000 * b + c + 1, (b * 32 + c) & 0xFF,
                  static_cast<unsigned long long>(t));
    return buf;
}

// Appends the 30 points of block b of a packet, azimuths base + step j (wrapping at 360).
void appendBlockLines(std::vector<std::string>& lines, double base, double step, int b, std::uint32_t T) {
    int j = 0;
    for (int c = 0; c < 31; ++c) {
        if (c == 15) continue;
        double a = base + step * j++;
        if (a >= 360) a -= 360;
        lines.push_back(pointLine(a, b, c, T));
    }
}

class ConvertTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        tiny_ = path("tiny.pcap");
        ASSERT_TRUE(writeFile(tiny_, captureBytes(tinyRecords(), CaptureFormat::PcapLittleMicro, &ends_)));
    }
    std::string path(const std::string& name) const { return dir_.filePath(QString::fromStdString(name)).toStdString(); }
    static QString q(const std::string& s) { return QString::fromStdString(s); }

    QTemporaryDir dir_;
    std::string tiny_;
    std::vector<std::size_t> ends_;
};

std::vector<std::string> frameLines(const std::string& out) {
    std::vector<std::string> f;
    for (const std::string& l : linesOf(out))
        if (l.rfind("F ", 0) == 0) f.push_back(l);
    return f;
}

}  // namespace

TEST_F(ConvertTool, InfoCountsTheRealCaptures) {
    struct Case {
        const char* name;
        int packets;
    };
    for (const Case& c : {Case{"rotating-16ch-a.pcap", 84}, Case{"rotating-32ch-a.pcap", 91},
                          Case{"rotating-32ch-b.pcap", 876}}) {
        SCOPED_TRACE(c.name);
        const std::string file = std::string(K740_TESTDATA) + "/real/" + c.name;
        // Frames cross-checked against the analysis run in this process over loaded packets.
        k740test::LoadedPackets packets;
        ASSERT_TRUE(k740test::loadPackets(file, false, packets).ok());
        k740::CaptureFrameAnalyzer analyzer(false);
        int frames = 0;
        for (std::size_t i = 0; i < packets.size(); ++i)
            frames += analyzer.addPacket(packets.packet(i), packets.payloadSize(), nullptr);

        const ToolRun r = runConvert({"info", q(file)});
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "packets: " + std::to_string(c.packets) + "\nframes: " + std::to_string(frames) + "\n");
        EXPECT_EQ(r.err, "");

        // dump agrees with info and prints one P line per point.
        const ToolRun d = runConvert({"dump", q(file)});
        ASSERT_EQ(d.exitCode, 0) << d.err;
        const std::vector<std::string> f = frameLines(d.out);
        EXPECT_EQ(static_cast<int>(f.size()), frames);
        std::size_t points = 0;
        for (const std::string& l : f) points += std::stoul(l.substr(l.rfind(' ') + 1));
        EXPECT_EQ(countLines(d.out), f.size() + points);
    }
    // Single-line mode finds no 820-byte A2 5C records there, and says how many data packets
    // it passed by.
    const ToolRun s = runConvert({"info", q(std::string(K740_TESTDATA) + "/real/rotating-16ch-a.pcap"), "--single-line"});
    EXPECT_EQ(s.exitCode, 0);
    EXPECT_EQ(s.out, "packets: 0\nframes: 0\ndata packets not read: 84\n");
}

TEST_F(ConvertTool, DumpOfTheTinyCaptureIsExact) {
    std::vector<std::string> want;
    want.push_back("F 0 3 90");
    appendBlockLines(want, 345.0, 0.25, 0, kT1);
    appendBlockLines(want, 352.5, 0.25, 1, kT1);
    appendBlockLines(want, 0.0, 0.25, 2, kT1);
    want.push_back("F 1 10 300");
    // Each block takes its step from the next block: 67.5 -> 300 is 232.5 / 30 = 7.75.
    for (int b = 3; b < 11; ++b) appendBlockLines(want, 7.5 * (b - 2), 0.25, b, kT1);
    appendBlockLines(want, 67.5, 7.75, 11, kT1);
    appendBlockLines(want, 300.0, 7.75, 0, kT2);  // completed at the boundary, wraps past 360
    want.push_back("F 2 8 240");
    for (int b = 1; b < 8; ++b) appendBlockLines(want, 300.0 + 7.5 * b, 0.25, b, kT2);
    appendBlockLines(want, 0.0, 0.25, 8, kT2);

    const ToolRun r = runConvert({"dump", q(tiny_)});
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> got = linesOf(r.out);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(got[i], want[i]) << "line " << i;
    // A few lines written out in full.
    EXPECT_EQ(got[1], "P 345 1 0 999403");
    EXPECT_EQ(got[2], "P 345.25 2 1 999406");
    EXPECT_EQ(got[92 + 270 + 8], "P 2 9 8 1000428");
}

TEST_F(ConvertTool, LiveDumpAppliesTheRequestedProtocolFromTheFirstBoundary) {
    // Protocol 1 requested: the first frame is still decoded with protocol 0 (two points per
    // block, records 0 and 16, time index 2 b + c).
    const ToolRun r = runConvert({"dump", q(tiny_), "--live", "--protocol", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = linesOf(r.out);
    ASSERT_GE(lines.size(), 7u);
    const std::vector<std::string> first(lines.begin(), lines.begin() + 7);
    const std::vector<std::string> wantFirst = {
        "F 0 3 6",
        "P 345 1 0 999403",        // block 0, record 0, i = 0
        "P 348.75 17 16 999453",   // block 0, record 16, i = 16
        "P 352.5 1001 32 999409",  // block 1, record 0, i = 2
        "P 356.25 1017 48 999459",
        "P 0 2001 64 999415",
        "P 3.75 2017 80 999465",
    };
    EXPECT_EQ(first, wantFirst);
    // Then protocol 1: 30 points a block. The three points of the last block that wrapped
    // below 20 degrees are zeroed in frame 1 and open frame 2.
    EXPECT_EQ(frameLines(r.out), (std::vector<std::string>{"F 0 3 6", "F 1 10 300", "F 2 8 243"}));
    std::size_t f2 = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == "F 2 8 243") f2 = i;
    ASSERT_GT(f2, 0u);
    EXPECT_EQ(lines[f2 - 30 + 8], "P 0 0 0 0");
    EXPECT_EQ(lines[f2 + 1], "P 2 9 8 1000428");
    EXPECT_EQ(lines[f2 + 2], "P 9.75 10 9 1000431");
    EXPECT_EQ(lines[f2 + 3], "P 17.5 11 10 1000434");

    // Protocol 0 throughout; and the first echo alone (even blocks, 30 points each).
    const ToolRun p0 = runConvert({"dump", q(tiny_), "--live", "--protocol", "0"});
    EXPECT_EQ(frameLines(p0.out), (std::vector<std::string>{"F 0 3 6", "F 1 10 20", "F 2 8 16"}));
    const ToolRun first2 = runConvert({"dump", q(tiny_), "--live", "--return-mode", "2"});
    ASSERT_EQ(first2.exitCode, 0) << first2.err;
    ASSERT_FALSE(frameLines(first2.out).empty());
    EXPECT_EQ(frameLines(first2.out)[0], "F 0 2 60");
}

TEST_F(ConvertTool, CsvWritesEveryFrameWithinTheRange) {
    const std::string out = path("out.csv");
    const ToolRun r = runConvert({"csv", q(tiny_), q(out), "--angle-min", "0", "--angle-max", "10"});
    ASSERT_TRUE(r.finished);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    std::FILE* f = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    const std::vector<std::string> lines = linesOf(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "FreamID,Points_X,Points_Y,Points_Z,intensity,azimuth,distance,timestamp");
    std::map<std::string, int> perFrame;
    for (std::size_t i = 1; i < lines.size(); ++i) ++perFrame[lines[i].substr(0, lines[i].find(','))];
    // Frame 1: the block at 0 (0 .. 7.25); frame 2: 7.5 .. 10 and the wrapped 2 and 9.75;
    // frame 3: its last block at 0.
    EXPECT_EQ(perFrame, (std::map<std::string, int>{{"1", 30}, {"2", 13}, {"3", 30}}));
    // Block 2 of packet 1, record 0: raw 2001 / 0.5 = 4002 mm straight ahead.
    EXPECT_EQ(lines[1], "1,0,400,0,64,0,400.2,999590");

    // FreamID counts frames, also those without a point in the range.
    const ToolRun r2 = runConvert({"csv", q(tiny_), q(out), "--angle-min", "300", "--angle-max", "310",
                               "--protocol", "1", "--view-mode", "2"});
    ASSERT_EQ(r2.exitCode, 0) << r2.err;
    std::FILE* f2 = std::fopen(out.c_str(), "rb");
    ASSERT_NE(f2, nullptr);
    text.clear();
    while ((n = std::fread(buf, 1, sizeof buf, f2)) > 0) text.append(buf, n);
    std::fclose(f2);
    perFrame.clear();
    const std::vector<std::string> lines2 = linesOf(text);
    for (std::size_t i = 1; i < lines2.size(); ++i) ++perFrame[lines2[i].substr(0, lines2[i].find(','))];
    // Frame 2: 300 and 307.75 of its last block; frame 3: 307.5 .. 310.
    EXPECT_EQ(perFrame, (std::map<std::string, int>{{"2", 2}, {"3", 11}}));
}

TEST_F(ConvertTool, DamagedAndMissingFilesFailWithOneLine) {
    // Missing file and garbage: nothing on stdout, one line on stderr, status 1.
    std::vector<std::uint8_t> junk(3000);
    for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<std::uint8_t>(i * 7919 >> 3);
    ASSERT_TRUE(writeFile(path("junk.pcap"), junk));
    for (const std::string& file : {path("missing.pcap"), path("junk.pcap")}) {
        for (const QStringList& args : {QStringList{"info", q(file)}, QStringList{"dump", q(file)},
                                        QStringList{"csv", q(file), q(path("x.csv"))}}) {
            const ToolRun r = runConvert(args);
            ASSERT_TRUE(r.finished) << args.join(' ').toStdString();
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(countLines(r.err), 1u) << r.err;
            EXPECT_NE(r.err.find(file), std::string::npos);
        }
    }
    // Cut inside the second packet: the readable part is reported, then the fault.
    const std::vector<std::uint8_t> full = captureBytes(tinyRecords(), CaptureFormat::PcapLittleMicro);
    ASSERT_TRUE(writeFile(path("cut.pcap"), std::vector<std::uint8_t>(full.begin(), full.begin() + ends_[1] + 700)));
    const ToolRun info = runConvert({"info", q(path("cut.pcap"))});
    ASSERT_TRUE(info.finished);
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.out, "packets: 1\nframes: 1\n");
    EXPECT_EQ(countLines(info.err), 1u);
    EXPECT_NE(info.err.find("truncated"), std::string::npos) << info.err;
    const ToolRun dump = runConvert({"dump", q(path("cut.pcap"))});
    EXPECT_EQ(dump.exitCode, 1);
    EXPECT_EQ(frameLines(dump.out), std::vector<std::string>{"F 0 3 90"});
    // Cut at every 97th byte: never a crash or a hang, and a clean status only when the cut
    // falls on a record boundary.
    for (std::size_t cut = 0; cut < full.size(); cut += 97) {
        ASSERT_TRUE(writeFile(path("cut.pcap"), std::vector<std::uint8_t>(full.begin(), full.begin() + cut)));
        const ToolRun c = runConvert({"info", q(path("cut.pcap"))});
        ASSERT_TRUE(c.finished) << cut;
        const bool boundary = cut == 24 || cut == ends_[0] || cut == ends_[1];
        EXPECT_EQ(c.exitCode, boundary ? 0 : 1) << cut;
    }
}

TEST_F(ConvertTool, UsageErrorsExitWithTwo) {
    const std::vector<QStringList> bad = {
        {},
        {"convert"},
        {"info"},
        {"info", q(tiny_), "extra"},
        {"info", q(tiny_), "--live"},
        {"dump", q(tiny_), "--protocol", "1"},
        {"dump", q(tiny_), "--live", "--protocol", "2"},
        {"dump", q(tiny_), "--live", "--return-mode", "4"},
        {"dump", q(tiny_), "--bogus"},
        {"csv", q(tiny_)},
        {"csv", q(tiny_), "o.csv", "--view-mode", "0"},
        {"csv", q(tiny_), "o.csv", "--angle-min", "20", "--angle-max", "10"},
        {"csv", q(tiny_), "o.csv", "--angle-max", "361"},
        {"csv", q(tiny_), "o.csv", "--angle-min", "abc"},
        {"listen", "--port", "70000"},
        {"listen", "--frames", "0"},
        {"listen", "--interface", "127.0.0.1"},
        {"listen", "--group", "192.168.1.222"},
        {"listen", "--group", "239.1.1.1", "--interface", "eth0"},
        {"listen", q(tiny_)},
    };
    for (const QStringList& args : bad) {
        const ToolRun r = runConvert(args);
        ASSERT_TRUE(r.finished);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.out, "") << args.join(' ').toStdString();
        if (!args.isEmpty()) {
            EXPECT_EQ(countLines(r.err), 1u) << r.err;
        }
    }
    const ToolRun help = runConvert({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("k740-convert info FILE"), std::string::npos);
}

TEST_F(ConvertTool, FileNamesArriveByteForByteAndNoExportWritesOverItsInput) {
    const std::string capture = fileBytes(tiny_), dir = dir_.path().toStdString();
    // Two names that are not UTF-8 and that a lossy decoding would make one.
    ASSERT_TRUE(writeFile(dir + "/cap\xff", std::vector<std::uint8_t>(capture.begin(), capture.end())));
    EXPECT_EQ(runConvertBytes({"csv", dir + "/cap\xff", dir + "/cap\xfe"}, dir).exitCode, 0);
    EXPECT_EQ(fileBytes(dir + "/cap\xff"), capture);
    EXPECT_EQ(fileBytes(dir + "/cap\xfe").rfind("FreamID,", 0), 0u);
    // The GPS logs' folder goes through Qt's file names: one they would change is refused.
    const ToolRun g = runConvertBytes({"gps-test", "--number", "7", "--folder", dir + "/logs\xff"}, dir);
    EXPECT_EQ(g.exitCode, 2);
    EXPECT_NE(g.err.find("--folder"), std::string::npos) << g.err;

    // The input under another name: refused, untouched; in pcd, as the first frame's file.
    ASSERT_EQ(::link(tiny_.c_str(), path("frame-000001.pcd").c_str()), 0);
    for (const std::string& same : {dir + "/./tiny.pcap", path("frame-000001.pcd")})
        EXPECT_EQ(runConvertBytes({"csv", tiny_, same}, dir).exitCode, 2) << same;
    EXPECT_EQ(runConvertBytes({"pcd", tiny_, dir}, dir).exitCode, 1);
    EXPECT_EQ(fileBytes(tiny_), capture);
}

TEST_F(ConvertTool, OptionsAreNamedAsTypedAndNumbersReadAlikeInEveryCommand) {
    for (const char* typed : {"-dash.pcap", "-x", "--x"})
        EXPECT_NE(runConvert({"info", q(tiny_), typed}).err.find(std::string("unknown option '") + typed + "'"),
                  std::string::npos) << typed;
    // A file whose name begins with a dash goes after "--".
    ASSERT_EQ(std::rename(tiny_.c_str(), path("-dash.pcap").c_str()), 0);
    EXPECT_EQ(runConvert({"info", "--", "-dash.pcap"}, dir_.path()).exitCode, 0);

    // Blanks around a number, and a whole one with a zero fraction, read as the number.
    const QString file = q(path("-dash.pcap")), a = q(path("a.csv")), b = q(path("b.csv"));
    ASSERT_EQ(runConvert({"csv", file, a, "--protocol", "1", "--view-mode", "2"}).exitCode, 0);
    for (const char* one : {" 1", "1 ", "1.0", "+1", "1e0"}) {
        EXPECT_EQ(runConvert({"csv", file, b, "--protocol", one, "--view-mode", "2.0"}).exitCode, 0) << one;
        EXPECT_EQ(fileBytes(b.toStdString()), fileBytes(a.toStdString())) << one;
    }
    EXPECT_EQ(runConvert({"pcd", file, dir_.path(), "--protocol", "1.0"}).exitCode, 0);
    for (const char* bad : {"1.5", "0x1", " ", "1 1", "inf"})
        for (const QString& out : {b, dir_.path()})
            EXPECT_EQ(runConvert({out == b ? "csv" : "pcd", file, out, "--protocol", bad}).exitCode, 2) << bad;
}

TEST_F(ConvertTool, EveryCommandHelpsWithItsOwnOptionsAndUsageErrorsPointThere) {
    // Each command's --help lists its own options and none of another command's.
    struct Help {
        const char* command;
        std::vector<const char*> has, hasNot;
    };
    const std::vector<Help> helps = {
        {"info", {"--single-line"}, {"--live", "--port", "--view-mode"}},
        {"dump", {"--live", "--protocol", "--return-mode"}, {"--view-mode", "--frames"}},
        {"csv", {"--view-mode", "--angle-min", "--angle-max"}, {"--frames", "--ply"}},
        {"pcd", {"--ply", "--view-mode"}, {"--live", "--frames"}},
        {"listen", {"--port", "--group", "--interface", "--frames", "--dump"}, {"--single-line", "--ply"}},
        {"status", {"--port", "--timeout"}, {"--sensor", "--rpm"}},
        {"configure", {"--sensor", "--rpm", "--data-port", "--listen-port"}, {"--frames"}},
        {"gps-test", {"--number", "--packets", "--seconds"}, {"--rpm", "--ply"}},
    };
    for (const Help& h : helps) {
        for (const char* flag : {"--help", "-h"}) {
            const ToolRun r = runConvert({h.command, flag});
            EXPECT_EQ(r.exitCode, 0) << h.command;
            EXPECT_NE(r.out.find(std::string("k740-convert ") + h.command), std::string::npos) << r.out;
            for (const char* o : h.has) EXPECT_NE(r.out.find(o), std::string::npos) << h.command << " " << o;
            for (const char* o : h.hasNot) EXPECT_EQ(r.out.find(o), std::string::npos) << h.command << " " << o;
        }
    }
    // A refusal names the value and points at the help of the command it came from.
    const std::string x = path("x.csv");
    const std::vector<std::pair<QStringList, std::string>> refusals = {
        {{"configure", "--sensor", "127.0.0.33", "--data-port", "70000"}, "configure"},
        {{"configure", "--data-port", "70000"}, "configure"},
        {{"status", "--timeout", "0"}, "status"},
        {{"info", q(tiny_), "--live"}, "info"},
        {{"dump", q(tiny_), "--protocol", "1"}, "dump"},
        {{"csv", q(tiny_), q(x), "--angle-max", "361"}, "csv"},
        {{"csv", q(tiny_), q(x), "--angle-min", "nan"}, "csv"},
        {{"pcd", q(tiny_), q(path("")), "--angle-min", "20", "--angle-max", "10"}, "pcd"},
        {{"listen", "--port", "99999999999999999999999"}, "listen"},
        {{"listen", "--frames", "12abc"}, "listen"},
        {{"listen", "--port", "2368.5"}, "listen"},
        {{"gps-test", "--number", "7", "--packets", "-5"}, "gps-test"},
        {{"gps-test", "--number", "7", "--port"}, "gps-test"},
    };
    for (const auto& [args, command] : refusals) {
        const ToolRun r = runConvert(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(countLines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find("'k740-convert " + command + " --help'"), std::string::npos) << r.err;
    }
    const ToolRun port = runConvert({"configure", "--sensor", "127.0.0.33", "--data-port", "70000"});
    EXPECT_NE(port.err.find("--data-port"), std::string::npos) << port.err;
    EXPECT_NE(port.err.find("70000"), std::string::npos) << port.err;
    // Options take their value after '=' as well; an unknown command points at the general help.
    EXPECT_EQ(runConvert({"info", q(tiny_), "--single-line=1"}).exitCode, 2);
    EXPECT_EQ(runConvert({"csv", q(tiny_), q(x), "--view-mode=2", "--angle-min=7.5", "--angle-max=30"}).exitCode, 0);
    const ToolRun unknown = runConvert({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("'k740-convert --help'"), std::string::npos) << unknown.err;
}

namespace {

// Starts `k740-convert listen ...` and returns the port it announces on stderr (0 on failure).
int startListen(QProcess& p, const QStringList& args) {
    p.start(QString::fromUtf8(K740_CONVERT), QStringList{"listen"} + args);
    if (!p.waitForStarted(kTimeoutMs)) return 0;
    std::string err;
    const QRegularExpression re("listening on port (\\d+)");
    for (int i = 0; i < 150; ++i) {
        p.waitForReadyRead(200);
        err += p.readAllStandardError().toStdString();
        const auto m = re.match(QString::fromStdString(err));
        if (m.hasMatch()) return m.captured(1).toInt();
        if (p.state() == QProcess::NotRunning) break;
    }
    return 0;
}

// Three turns of four packets (48 blocks of 7.5 degrees a turn).
std::vector<DataPacket> threeTurns() {
    std::vector<DataPacket> v;
    for (int k = 0; k < 12; ++k)
        v.push_back(makeSweepPacket(9000u * static_cast<std::uint32_t>(k) + 100u, 750, 100000 + k));
    return v;
}

}  // namespace

TEST_F(ConvertTool, ListenPrintsFramesFromLoopbackAndStopsCleanly) {
    QProcess p;
    // The port is announced on stderr once the socket is bound.
    const int port = startListen(p, {"--port", "0", "--protocol", "1", "--frames", "2"});
    ASSERT_GT(port, 0);
    k740::UdpSocket sender;
    ASSERT_TRUE(sender.open());
    for (const DataPacket& pkt : threeTurns())
        ASSERT_EQ(sender.sendTo(pkt.data(), pkt.size(), "127.0.0.1", static_cast<std::uint16_t>(port)), 1206);
    ASSERT_TRUE(p.waitForFinished(kTimeoutMs));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const std::vector<std::string> lines = linesOf(p.readAllStandardOutput().toStdString());
    ASSERT_EQ(lines.size(), 2u);
    // The first turn is decoded with protocol 0 (2 points a block), the next with protocol 1.
    EXPECT_EQ(lines[0].rfind("frame 0: ", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("frame 1: ", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(" points, azimuth "), std::string::npos) << lines[1];
    const int first = std::stoi(lines[0].substr(9));
    const int second = std::stoi(lines[1].substr(9));
    EXPECT_LT(first, 120);
    EXPECT_GT(second, 1000);

    // Without a frame limit it runs until told to stop, then exits cleanly.
    QProcess q2;
    ASSERT_GT(startListen(q2, {"--port", "0"}), 0);
    q2.terminate();  // SIGTERM, handled like Ctrl-C
    ASSERT_TRUE(q2.waitForFinished(kTimeoutMs));
    EXPECT_EQ(q2.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(q2.exitCode(), 0);
}

TEST_F(ConvertTool, ListenJoinsAGroupOnTheLoopbackInterface) {
    QProcess p;
    const int port = startListen(p, {"--port", "0", "--group", "239.255.74.41", "--interface", "127.0.0.1",
                                     "--frames", "1", "--dump"});
    ASSERT_GT(port, 0);
    k740::UdpSocket mc;
    ASSERT_TRUE(mc.open());
    mc.setMulticastInterface("127.0.0.1");
    mc.setMulticastLoop(true);
    for (const DataPacket& pkt : threeTurns()) {
        if (mc.sendTo(pkt.data(), pkt.size(), "239.255.74.41", static_cast<std::uint16_t>(port)) != 1206) {
            p.kill();
            p.waitForFinished();
            GTEST_SKIP() << "this machine refuses multicast on the loopback interface";
        }
    }
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished();
        GTEST_SKIP() << "multicast on the loopback interface is not delivered on this machine";
    }
    EXPECT_EQ(p.exitCode(), 0);
    // The first turn: 49 blocks of protocol 0, two points each, in the dump format.
    const std::vector<std::string> lines = linesOf(p.readAllStandardOutput().toStdString());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "F 0 49 98");
    EXPECT_EQ(lines.size(), 99u);
    EXPECT_EQ(lines[1], "P 1 1 0 99403");
}
