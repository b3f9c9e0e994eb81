// Recording: the adapter choice, the name and filter rules, and real recordings on the
// loopback adapter read back through the project's capture reader (and tshark or tcpdump).
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <cstring>
#include <thread>

#include "export/pcap_recorder.h"
#include "packet_writer.h"
#include "platform/capture_device.h"
#include "platform/pcap_file.h"
#include "platform/udp_socket.h"
#include "playback/capture_index.h"
#include "qt_support.h"

namespace {

using k740::CaptureAdapter;

constexpr std::uint32_t ip(int a, int b, int c, int d) {
    return (std::uint32_t(a) << 24) | (std::uint32_t(b) << 16) | (std::uint32_t(c) << 8) |
           std::uint32_t(d);
}

CaptureAdapter adapter(const char* name, bool up, bool loopback,
                       std::vector<k740::AdapterIpv4> ipv4) {
    return CaptureAdapter{name, "", up, loopback, std::move(ipv4)};
}

std::string chosen(const std::vector<CaptureAdapter>& list, std::uint32_t sensor,
                   const std::string& name = {}) {
    const k740::AdapterChoice c = k740::chooseCaptureAdapter(list, sensor, name);
    EXPECT_EQ(c.ok(), c.error.empty());
    return c.ok() ? c.name : "error: " + c.error;
}

TEST(RecorderAdapterChoice, SensorSubnetThenFirstUsableAdapterThenOverride) {
    const std::vector<CaptureAdapter> list = {
        adapter("any", true, false, {{0, 0}}),  // the pseudo-adapter, even with a catch-all mask
        adapter("docker0", true, false, {}),    // up but no IPv4 address
        adapter("lo", true, true, {{ip(127, 0, 0, 1), ip(255, 0, 0, 0)}}),
        adapter("wlan0", false, false, {{ip(10, 1, 2, 3), ip(255, 255, 0, 0)}}),  // down
        adapter("eth0", true, false, {{ip(172, 16, 0, 9), ip(255, 255, 0, 0)}}),
        adapter(
            "eth1", true, false,
            {{ip(10, 9, 9, 9), ip(255, 0, 0, 0)}, {ip(192, 168, 1, 102), ip(255, 255, 255, 0)}}),
    };
    EXPECT_EQ(chosen(list, ip(192, 168, 1, 222)), "eth1");  // its second address holds the sensor
    EXPECT_EQ(chosen(list, ip(127, 0, 0, 2)), "lo");
    EXPECT_EQ(chosen(list, ip(10, 1, 7, 7)), "eth1");     // wlan0 holds it more closely but is down
    EXPECT_EQ(chosen(list, ip(203, 0, 113, 5)), "eth0");  // no subnet holds it
    EXPECT_EQ(chosen(list, 0), "eth0");                   // no device packet yet
    EXPECT_EQ(chosen(list, ip(127, 0, 0, 2), "wlan0"), "wlan0");
    EXPECT_EQ(chosen(list, 0, "eth7"), "error: the capture interface \"eth7\" does not exist");
    EXPECT_NE(chosen(list, 0, "any").find("\"any\" cannot be recorded from"), std::string::npos);

    const std::vector<CaptureAdapter> loopbackOnly = {list[0], list[1], list[2], list[3]};
    EXPECT_EQ(chosen(loopbackOnly, ip(127, 0, 0, 2)), "lo");
    EXPECT_EQ(chosen(loopbackOnly, ip(192, 168, 1, 222)),
              "error: no network adapter is up with an IPv4 address");
    EXPECT_EQ(chosen({}, 0), "error: no network adapter is up with an IPv4 address");
}

TEST(RecorderRules, FileNameFilterAndFileNameBytes) {
    EXPECT_EQ(k740::recordingFileName(QDateTime(QDate(2024, 3, 1), QTime(14, 5, 59))),
              "2024-03-01-14-05.pcap");
    EXPECT_EQ(k740::recordingFilter(2368), "port 2368");
#ifndef _WIN32
    // Outside Windows the library gets the file system's bytes (UTF-8 here), not GB2312.
    EXPECT_EQ(k740::captureFileNameBytes(QStringLiteral("/tmp/数据.pcap")), u8"/tmp/数据.pcap");
#endif
}

// ---- Recordings on the loopback adapter (needs capture permission) ----

class LoopbackRecording : public ::testing::Test {
protected:
    void SetUp() override {
        k740test::ensureCoreApp();
        std::string error;
        const auto adapters = k740::listCaptureAdapters(&error);
        const k740::AdapterChoice c = k740::chooseCaptureAdapter(adapters, ip(127, 0, 0, 2), {});
        ASSERT_TRUE(c.ok()) << c.error << " " << error;
        lo = c.name;
        k740::LiveCapture probe;
        if (!probe.open(lo, "port 9") && probe.permissionDenied())
            GTEST_SKIP() << "no permission to capture on " << lo
                         << " (run as root): " << probe.error();
        ASSERT_TRUE(probe.isOpen()) << probe.error();
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("记录")));
        file = dir.path() +
               QStringLiteral("/记录/2024-03-01-14-05.pcap");  // a name the library gets as UTF-8
        ASSERT_TRUE(receiver.open() && receiver.bind(0, "127.0.0.1"));
        port = receiver.localPort();
        ASSERT_TRUE(sender.open() && sender.bind(0, "127.0.0.2"));
    }

    k740test::DataPacket packet(int i) {
        return k740test::makeSweepPacket(static_cast<std::uint32_t>(i) * 1200, 100,
                                         1000u + static_cast<std::uint32_t>(i));
    }
    bool send(const void* data, std::size_t n) {
        return sender.sendTo(data, n, "127.0.0.1", port) == long(n);
    }

    // Stops the recorder and returns how long that took, in milliseconds.
    // The sensor payloads of the recorded file; every record must be a whole Ethernet record.
    std::vector<std::vector<std::uint8_t>> readBack(std::uint64_t* records) {
        k740::PcapFileReader reader;
        EXPECT_TRUE(reader.open(k740::captureFileNameBytes(file))) << reader.error();
        EXPECT_EQ(reader.linkType(), 1);  // Ethernet: 14-byte link header even on loopback
        std::vector<std::vector<std::uint8_t>> payloads;
        k740::CaptureRecord rec;
        k740::PcapFileReader::Result res;
        while ((res = reader.next(rec)) == k740::PcapFileReader::Result::Record) {
            EXPECT_EQ(rec.capturedLength, rec.originalLength);
            if (k740::isSensorRecord(rec.data, rec.capturedLength, false))
                payloads.emplace_back(rec.data + 42, rec.data + rec.capturedLength);
        }
        EXPECT_EQ(res, k740::PcapFileReader::Result::End) << reader.error();
        *records = reader.recordsRead();
        return payloads;
    }

    QTemporaryDir dir;
    QString file;
    std::string lo;
    std::uint16_t port = 0;
    k740::UdpSocket receiver, sender;
};

TEST_F(LoopbackRecording, RecordsExactlyTheFilteredPacketsAndStopsWithoutTraffic) {
    k740::PcapRecorder recorder;
    ASSERT_TRUE(
        recorder.startRecording(lo, k740::recordingFilter(port), k740::captureFileNameBytes(file)))
        << recorder.error().toStdString();
    constexpr int kSent = 25;
    for (int i = 0; i < kSent; ++i) {
        const auto p = packet(i);
        ASSERT_TRUE(send(p.data(), p.size()));
    }
    const char small[] = "not a sensor packet";
    ASSERT_TRUE(send(small, sizeof small));  // same port: recorded, not sensor
    ASSERT_EQ(sender.sendTo(small, sizeof small, "127.0.0.1", port ^ 1),
              long(sizeof small));  // filtered out
    ASSERT_TRUE(k740test::waitUntil([&] { return recorder.packetsWritten() >= kSent + 1; }))
        << recorder.packetsWritten();

    // No more traffic: the stop must not wait for a packet.
    recorder.stopRecording();  // returns: a hang ends the test at its time-out
    EXPECT_FALSE(recorder.isRecording());
    std::uint64_t records = 0;
    const auto payloads = readBack(&records);
    EXPECT_EQ(records, std::uint64_t(kSent + 1));
    ASSERT_EQ(payloads.size(), std::size_t(kSent));
    for (int i = 0; i < kSent; ++i) {
        const auto p = packet(i);
        EXPECT_TRUE(std::equal(p.begin(), p.end(), payloads[i].begin())) << "packet " << i;
    }

    // An independent reader agrees on the record count.
    for (const char* tool : {"tshark", "tcpdump"}) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (exe.isEmpty()) continue;
        QProcess p;
        p.start(exe, {QStringLiteral("-n"), QStringLiteral("-r"), file});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        EXPECT_EQ(p.readAllStandardOutput().count('\n'), kSent + 1) << tool;
        break;
    }
}

TEST_F(LoopbackRecording, StopsWhileTrafficFlowsAndWithNoTrafficAtAll) {
    {
        k740::PcapRecorder idle;
        ASSERT_TRUE(
            idle.startRecording(lo, k740::recordingFilter(port), k740::captureFileNameBytes(file)));
        idle.stopRecording();  // with nothing arriving
        std::uint64_t records = 1;
        EXPECT_TRUE(readBack(&records).empty());
        EXPECT_EQ(records, 0u);  // a valid file with its header only
    }
    k740::PcapRecorder recorder;
    ASSERT_TRUE(
        recorder.startRecording(lo, k740::recordingFilter(port), k740::captureFileNameBytes(file)));
    std::atomic<bool> sending{true};
    std::thread flood([&] {
        for (int i = 0; sending; ++i) {
            const auto p = packet(i % 30);
            send(p.data(), p.size());
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    ASSERT_TRUE(k740test::waitUntil([&] { return recorder.packetsWritten() >= 100; }));
    recorder.stopRecording();  // returns: a hang ends the test at its time-out
    sending = false;
    flood.join();
    std::uint64_t records = 0;
    const auto payloads = readBack(&records);  // whole records up to a clean end
    EXPECT_GE(payloads.size(), 100u);
    EXPECT_EQ(payloads.size(), records);
}

TEST_F(LoopbackRecording, UnwritableFolderAndAnyAdapterOpenNothing) {
    k740::PcapRecorder recorder;
    const QString missing = dir.path() + QStringLiteral("/no-such-folder/x.pcap");
    EXPECT_FALSE(recorder.startRecording(lo, k740::recordingFilter(port),
                                         k740::captureFileNameBytes(missing)));
    EXPECT_NE(recorder.error().indexOf(QStringLiteral("cannot create the capture file")), -1)
        << recorder.error().toStdString();
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_FALSE(QFile::exists(missing));

    // The pseudo-adapter's cooked headers would never play back: refused even when named.
    EXPECT_FALSE(recorder.startRecording("any", k740::recordingFilter(port),
                                         k740::captureFileNameBytes(file)));
    EXPECT_NE(recorder.error().indexOf(QStringLiteral("does not deliver Ethernet frames")), -1)
        << recorder.error().toStdString();
    EXPECT_FALSE(QFile::exists(file));
}

}  // namespace
