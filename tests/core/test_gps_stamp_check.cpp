// The GPS time-stamp check: register sources, time texts, the seconds-jump rule, the lines of
// a packet, and the live receiver writing both logs over loopback.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <chrono>
#include <vector>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/gps_stamp_check.h"
#include "acquisition/gps_stamp_log.h"
#include "packet_writer.h"
#include "qt_support.h"
#include "receiver_harness.h"

using namespace k740test;

namespace {

struct Clock {
    int y, mo, d, h, mi, s;  // y: offset from 2000
};

// Writes the GPS date and time where the protocol puts them, into every block.
void stampPacket(DataPacket& p, const Clock& c, int protocol) {
    for (int b = 0; b < 12; ++b) {
        std::uint8_t* block = p.data() + 100 * b;
        std::uint8_t* date = block + (protocol == 1 ? k740::kGpsDateRecordOffset : 94);
        std::uint8_t* time = block + (protocol == 1 ? k740::kGpsTimeRecordOffset : 97);
        date[0] = static_cast<std::uint8_t>(c.y);
        date[1] = static_cast<std::uint8_t>(c.mo);
        date[2] = static_cast<std::uint8_t>(c.d);
        time[0] = static_cast<std::uint8_t>(c.h);
        time[1] = static_cast<std::uint8_t>(c.mi);
        time[2] = static_cast<std::uint8_t>(c.s);
    }
}

QByteArray gbk(const char* utf8) {
    return QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(utf8));
}

std::uint32_t secondsOf(int y, int mo, int d, int h, int mi, int s) {
    k740::GpsTime t;
    t.year = static_cast<std::uint8_t>(y - 2000);
    t.month = static_cast<std::uint8_t>(mo);
    t.day = static_cast<std::uint8_t>(d);
    t.hour = static_cast<std::uint8_t>(h);
    t.minute = static_cast<std::uint8_t>(mi);
    t.second = static_cast<std::uint8_t>(s);
    return k740::gpsSeconds(t);
}

QList<QByteArray> linesOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

TEST(GpsTimeTest, RegistersReadTheProtocolsOwnBytes) {
    DataPacket p = makeSweepPacket(0, 100);
    stampPacket(p, {24, 5, 12, 3, 4, 5}, 1);
    k740::GpsTimeRegisters r;
    r.update(p.data(), 1);
    EXPECT_EQ(k740::gpsClockText(r.current), "2024/05/12 03:04:05");
    EXPECT_EQ(k740::gpsClockText(r.previous), "2000/00/00 00:00:00");
    // The same block read as protocol 0 takes bytes 94-99 instead (here records 30 and 31).
    DataPacket q = makeSweepPacket(0, 100);
    stampPacket(q, {25, 12, 31, 23, 59, 58}, 0);
    r.update(q.data(), 0);
    EXPECT_EQ(k740::gpsClockText(r.current), "2025/12/31 23:59:58");
    EXPECT_EQ(k740::gpsClockText(r.previous), "2024/05/12 03:04:05");
    r.reset();
    EXPECT_EQ(k740::gpsClockText(r.current), "2000/00/00 00:00:00");
}

TEST(GpsTimeTest, SecondsAreLocalTimeAndAnInvalidDateGivesTheMarker) {
    EXPECT_EQ(secondsOf(2000, 0, 0, 0, 0, 0), 4294967295u);
    EXPECT_EQ(secondsOf(2024, 2, 30, 0, 0, 0), 4294967295u);
    EXPECT_EQ(secondsOf(2023, 2, 29, 0, 0, 0), 4294967295u);
    EXPECT_EQ(secondsOf(2024, 5, 12, 24, 0, 0), 4294967295u);
    EXPECT_NE(secondsOf(2024, 2, 29, 0, 0, 0), 4294967295u) << "a leap day is a date";
    const QDateTime local(QDate(2024, 5, 12), QTime(3, 4, 5), Qt::LocalTime);
    EXPECT_EQ(secondsOf(2024, 5, 12, 3, 4, 5), static_cast<std::uint32_t>(local.toSecsSinceEpoch()));
    EXPECT_EQ(secondsOf(2024, 5, 12, 3, 4, 6) - secondsOf(2024, 5, 12, 3, 4, 5), 1u);
    // The PC's time beside each line, to the millisecond.
    const QDateTime now(QDate(2026, 1, 2), QTime(3, 4, 5, 6), Qt::LocalTime);
    const auto point = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(now.toMSecsSinceEpoch()));
    EXPECT_EQ(k740::gpsLocalTimeText(point), "2026-01-02 03:04:05:006");
}

TEST(GpsTimeTest, OnlyIrregularSecondStepsAreJumps) {
    EXPECT_FALSE(k740::isGpsJump(59, 58));
    EXPECT_FALSE(k740::isGpsJump(0, 59));
    EXPECT_FALSE(k740::isGpsJump(1, 0));
    EXPECT_FALSE(k740::isGpsJump(7, 7));
    EXPECT_TRUE(k740::isGpsJump(1, 59));
    EXPECT_TRUE(k740::isGpsJump(12, 10));
    EXPECT_TRUE(k740::isGpsJump(10, 12));
    EXPECT_TRUE(k740::isGpsJump(0, 58));
}

TEST(GpsTimeTest, BlockLinesCarryGbkLabelsAndTheJumpLines) {
    k740::GpsTimeRegisters r;
    DataPacket p = makeSweepPacket(0, 100);
    stampPacket(p, {24, 5, 12, 3, 4, 7}, 0);
    r.update(p.data(), 0);
    const std::string local = "2026-01-02 03:04:05:006";
    // The first block of a test has no earlier time: no jump from the zeroed registers.
    k740::GpsBlockStep s = k740::gpsBlockStep(r, local, 0);
    EXPECT_FALSE(s.jump);
    EXPECT_TRUE(s.errorLine.empty());
    stampPacket(p, {24, 5, 12, 3, 4, 9}, 0);
    r.update(p.data(), 0);
    s = k740::gpsBlockStep(r, local, 3);
    ASSERT_TRUE(s.jump);
    const QByteArray stamp = QByteArray::number(secondsOf(2024, 5, 12, 3, 4, 9));
    EXPECT_EQ(QByteArray::fromStdString(s.stamp), stamp);
    const QByteArray expectedMain = "2026-01-02 03:04:05:006" + gbk("\t\t\tGPS时间 :") +
                                    "2024/05/12 03:04:09\t\t" + stamp + "\n" +
                                    gbk("-------------- GPS时间发生跳变 : ") +
                                    "2024/05/12 03:04:07 -> 2024/05/12 03:04:09--------------\n";
    EXPECT_EQ(QByteArray::fromStdString(s.mainLines), expectedMain);
    EXPECT_EQ(QByteArray::fromStdString(s.errorLine), "2026-01-02 03:04:05:006" + gbk("\t\t\tGPS时间发生跳变 :") +
                               "2024/05/12 03:04:07 -> 2024/05/12 03:04:09\n");
    EXPECT_NE(s.mainLines.find("GPS\xca\xb1\xbc\xe4"), std::string::npos) << "GBK bytes of the label";

    // Block 11 closes the packet with 42 dashes; a zero date gives the invalid marker.
    k740::GpsTimeRegisters zero;  // a sensor without fix: all date and time bytes zero
    s = k740::gpsBlockStep(zero, local, 11);
    EXPECT_FALSE(s.jump);
    EXPECT_TRUE(s.errorLine.empty());
    EXPECT_EQ(QByteArray::fromStdString(s.mainLines), "2026-01-02 03:04:05:006" + gbk("\t\t\tGPS时间 :") +
                               "2000/00/00 00:00:00\t\t4294967295\n" + QByteArray(42, '-') + "\n");
}

TEST(GpsTimeTest, LogNamesFollowTheStartTime) {
    const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7));
    const k740::GpsLogPaths p = k740::gpsLogPaths(QStringLiteral("/tmp/x/"), "SN12", t);
    EXPECT_EQ(p.folder, "/tmp/x/2026-03-04");
    EXPECT_EQ(p.mainLog, "/tmp/x/2026-03-04/K740-P_SN12_2026-03-04-05-06-07.txt");
    EXPECT_EQ(p.errorLog, "/tmp/x/2026-03-04/K740-P_SN12_Error_2026-03-04-05-06-07.txt");
    EXPECT_FALSE(k740::defaultGpsLogRoot().startsWith("D:")) << "no D: drive here";
}

class GpsReceiverTest : public ReceiverHarness<GetlidarData_1> {
protected:
    void SetUp() override {
        ReceiverHarness<GetlidarData_1>::SetUp();
        ASSERT_TRUE(dir.isValid());
        QObject::connect(&rx, &GetlidarData_1::sendErrorCount, &ctx,
                         [this](int n) { counts.push_back(n); });
        QObject::connect(&rx, &GetlidarData_1::sendTimeStamp, &ctx,
                         [this](QString s) { stamps.push_back(s); });
        mainLog = dir.filePath("main.txt");
        errorLog = dir.filePath("error.txt");
    }
    DataPacket packetAt(int second, int protocol = 0) {
        DataPacket p = makeSweepPacket(1000 + 1200 * (sent_ % 25), 100);
        stampPacket(p, {24, 5, 12, 3, 4, second}, protocol);
        return p;
    }
    QTemporaryDir dir;
    QString mainLog, errorLog;
    std::vector<int> counts;
    std::vector<QString> stamps;
};

TEST_F(GpsReceiverTest, TheReceiverLogsEveryBlockAndCountsJumpsWithinOneTest) {
    start();
    // Before a test: nothing logged, nothing reported.
    sendPaced(std::vector<DataPacket>{packetAt(9)});
    rx.createTestFile(mainLog, errorLog);
    ASSERT_TRUE(rx.m_GpsTestActive.load());
    // The first block of the test has no earlier time (neither the packet before the test nor
    // the zeroed registers count): 10, 10, 10 -> 12 (a jump) -> 13.
    sendPaced(std::vector<DataPacket>{packetAt(10), packetAt(10), packetAt(12), packetAt(13)});
    ASSERT_TRUE(waitUntil([&] { return rx.gpsTestLog().packetsLogged() >= 4; }));
    ASSERT_TRUE(waitUntil([&] { return counts.size() >= 1; }));
    EXPECT_EQ(counts, (std::vector<int>{1}));
    EXPECT_EQ(rx.m_ErrorCount.load(), 1);
    // The label's stamps come at most 20 times a second, not one per block.
    ASSERT_TRUE(waitUntil([&] { return !stamps.empty(); }));
    EXPECT_LT(stamps.size(), 48u);

    rx.stopCheckGPSTime();
    sendPaced(std::vector<DataPacket>{packetAt(20)});
    const QList<QByteArray> main = linesOf(mainLog);
    // Header, 4 packets x (12 time lines + dash line), one jump line.
    ASSERT_EQ(main.size(), 1 + 4 * 13 + 1);
    EXPECT_EQ(main[0], gbk("\t\t本地时间\t\t\t\t\t\t GPS时间"));
    EXPECT_EQ(main.count(QByteArray(42, '-')), 4);
    const QList<QByteArray> errors = linesOf(errorLog);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].endsWith("2024/05/12 03:04:10 -> 2024/05/12 03:04:12"));

    // A new test appends to the files and compares nothing with the earlier test's last
    // block (20): 30, 30 -> 32 is its only jump.
    rx.createTestFile(mainLog, errorLog);
    sendPaced(std::vector<DataPacket>{packetAt(30), packetAt(32)});
    ASSERT_TRUE(waitUntil([&] { return rx.gpsTestLog().packetsLogged() >= 2; }));
    ASSERT_TRUE(waitUntil([&] { return counts.size() >= 2; }));
    EXPECT_EQ(counts.back(), 1);
    rx.stopCheckGPSTime();
    EXPECT_EQ(linesOf(errorLog).size(), 2);
}

TEST(GpsStampLogStart, ATestStartsAtBlockZeroOfAPacketInTheAskedProtocol) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    int jumps = 0;
    k740::GpsStampLog log(nullptr, [&] { ++jumps; });
    QString why;
    ASSERT_TRUE(log.open(dir.filePath("m.txt"), dir.filePath("e.txt"), &why, 1));
    DataPacket p = makeSweepPacket(0, 100);
    stampPacket(p, {24, 5, 12, 3, 4, 7}, 1);
    // Mid-packet blocks and packets of the other protocol are not the start of the test.
    log.onBlock(p.data() + 100 * 5, 5, 1);
    log.onBlock(p.data(), 0, 0);
    EXPECT_FALSE(log.started());
    for (int b = 0; b < 12; ++b) log.onBlock(p.data() + 100 * b, b, 1);
    EXPECT_TRUE(log.started());
    EXPECT_EQ(log.packetsLogged(), 1);
    EXPECT_EQ(jumps, 0);
    log.close();
    EXPECT_EQ(linesOf(dir.filePath("m.txt")).size(), 1 + 13);

    // A log the disk refuses to take is no running test.
    if (QFile::exists(QStringLiteral("/dev/full"))) {
        EXPECT_FALSE(log.open(QStringLiteral("/dev/full"), dir.filePath("e.txt"), &why));
        EXPECT_TRUE(why.contains(QStringLiteral("/dev/full"))) << why.toStdString();
        EXPECT_FALSE(log.isOpen());
    }
}

TEST_F(GpsReceiverTest, ProtocolOneReadsTheDateAndTimeRecordsFromTheFirstPacketInIt) {
    rx.m_PendingProtocol = 1;
    start();
    // A test asked for protocol 1 waits while the receiver still decodes protocol 0.
    QString why;
    ASSERT_TRUE(rx.startGpsTest(mainLog, errorLog, &why, 1)) << why.toStdString();
    sendPaced(std::vector<DataPacket>{packetAt(43, 0)});
    // The protocol changes at a frame boundary: cross one, then the test begins.
    sendPaced(std::vector<DataPacket>{makeSweepPacket(35800, 100)});
    ASSERT_TRUE(waitUntil([&] { return rx.protocol() == 1; }));
    sendPaced(std::vector<DataPacket>{packetAt(44, 1)});
    ASSERT_TRUE(waitUntil([&] { return rx.gpsTestLog().packetsLogged() >= 1; }));
    ASSERT_TRUE(waitUntil([&] { return !stamps.empty(); }));
    rx.stopCheckGPSTime();
    EXPECT_TRUE(rx.gpsTestLog().started());
    EXPECT_EQ(stamps.front(), QString::number(secondsOf(2024, 5, 12, 3, 4, 44)))
        << "nothing of the protocol 0 packet was logged";
}

TEST_F(GpsReceiverTest, LogsThatCannotBeOpenedStartNoTest) {
    QString why;
    EXPECT_FALSE(rx.startGpsTest(dir.filePath("missing/folder/main.txt"), errorLog, &why));
    EXPECT_FALSE(rx.m_GpsTestActive.load());
    EXPECT_TRUE(why.contains("missing/folder/main.txt")) << why.toStdString();
    EXPECT_FALSE(rx.gpsTestLog().isOpen());
}
