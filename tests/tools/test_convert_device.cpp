// k740-convert status / configure against a k740-sim process on loopback, as a script on a
// production line runs them. Each test's simulated sensor has its own loopback address.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

#include "platform/udp_socket.h"
#include "tests/tools/tool_process.h"

namespace {

using ToolResult = tooltest::ToolRun;
using tooltest::runConvert;

QStringList logLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

// A k740-sim answering at `sensor`, its device packets on a free port, logging configuration.
class SensorProcess : public ::testing::Test {
protected:
    void start(const char* sensor, bool earlier = false) {
        sensorAddress = sensor;
        const tooltest::StreamPorts ports = tooltest::freeStreamPorts();
        ASSERT_FALSE(ports.data.isEmpty());
        dataPort = ports.data;
        devicePort = ports.device;
        configPort = ports.config;
        logPath = dir.filePath("config.log");
        QStringList args = {"--data-port",   dataPort,   "--device-port",    devicePort,
                            "--config-port", configPort, "--sensor-address", sensorAddress,
                            "--log-config",  logPath,    "--speed",          "4"};
        if (earlier) args << "--earlier-generation";
        sim.start(QString::fromUtf8(K740_SIM), args);
        ASSERT_TRUE(sim.waitForStarted(5000));
        ASSERT_TRUE(sim.waitForReadyRead(5000)) << sim.readAllStandardError().toStdString();
    }
    void TearDown() override {
        sim.terminate();
        if (!sim.waitForFinished(5000)) sim.kill();
    }
    // Asks for the status until a line holds `expected` (the packet already on its way may
    // still show the old value).
    bool statusShows(const std::string& expected, ToolResult* last) {
        for (int i = 0; i < 20; ++i) {
            *last = runConvert({"status", "--port", devicePort, "--timeout", "5"});
            if (last->exitCode != 0) return false;
            if (last->out.find(expected) != std::string::npos) return true;
        }
        return false;
    }
    // k740-convert configure against this sensor, with these settings.
    ToolResult configure(const QStringList& settings) {
        return runConvert(QStringList{"configure", "--sensor", sensorAddress, "--port", configPort,
                                      "--listen-port", devicePort} +
                          settings);
    }
    bool waitForLogLines(int n) {
        for (int i = 0; i < 500 && logLines(logPath).size() < n; ++i)
            QProcess().waitForFinished(10);
        return logLines(logPath).size() == n;
    }

    QTemporaryDir dir;
    QProcess sim;
    QString sensorAddress, dataPort, devicePort, configPort, logPath;
};

}  // namespace

TEST_F(SensorProcess, ConfigureSetsTheSpeedAndStatusReportsIt) {
    start("127.0.0.31");
    ToolResult r = runConvert({"status", "--port", devicePort});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("lidar-ip: 127.0.0.31\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("rpm: 600\n"), std::string::npos);
    EXPECT_NE(r.out.find("data-port: " + dataPort.toStdString() + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("motor: Run\n"), std::string::npos);

    r = configure({"--rpm", "1200"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(statusShows("rpm: 1200\n", &r)) << r.out << r.err;
    ASSERT_TRUE(waitForLogLines(1));
    const QString line = logLines(logPath).first();
    EXPECT_TRUE(line.startsWith("aa 00 ff 11 22 22 aa aa 04 b0 7f 00 00 1f")) << line.toStdString();
    EXPECT_EQ(line.size(), 1206 * 3 - 1);
    EXPECT_TRUE(line.endsWith("0f f0"));

    // A refusal (the network rules' own test lists them): nothing is sent, the reason on
    // stderr, exit 1.
    r = configure({"--dest-ip", "127.0.0.31"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("The Lidar local IP cannot be set to the same as the destination IP"),
              std::string::npos)
        << r.err;

    r = configure({"--motor", "stop"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(waitForLogLines(2));  // the refused one never arrived
    EXPECT_TRUE(logLines(logPath)[1].mid(40 * 3, 5) == "00 01")
        << logLines(logPath)[1].toStdString();
    ASSERT_TRUE(statusShows("motor: Stop\n", &r)) << r.out;
    EXPECT_NE(r.out.find("rpm: 0\n"), std::string::npos);  // the motor stands
}

TEST_F(SensorProcess, EarlierGenerationTakesThe36BytePacket) {
    start("127.0.0.32", true);
    ToolResult r = configure({"--rpm", "300"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(statusShows("rpm: 300\n", &r)) << r.out;
    EXPECT_NE(r.out.find("generation: earlier\n"), std::string::npos);
    ASSERT_TRUE(waitForLogLines(1));
    // A port as the log shows it: two bytes, high first.
    const auto hex = [](const QString& port) {
        return QString::number(0x10000 | port.toInt(), 16).mid(1).insert(2, ' ');
    };
    EXPECT_EQ(logLines(logPath).first(), "ff 00 00 a2 ff ff 00 00 a3 7f 00 00 20 00 00 00 00 " +
                                             hex(dataPort) + " 7f 00 00 01 " + hex(devicePort) +
                                             " 00 00 00 00 01 2c 00 a5 5a 0f f0");
}

TEST(ConvertDevice, UsageAndTimeouts) {
    EXPECT_EQ(runConvert({"configure", "--rpm", "1200"}).exitCode, 2);  // no --sensor
    EXPECT_EQ(runConvert({"configure", "--sensor", "127.0.0.33", "--rpm", "700"}).exitCode, 2);
    EXPECT_EQ(runConvert({"configure", "--sensor", "127.0.0.33", "--data-port", "1024"}).exitCode,
              2);
    EXPECT_EQ(runConvert({"status", "--bogus", "1"}).exitCode, 2);
    // Nobody sends device packets to a port just taken and released.
    k740::UdpSocket s;
    ASSERT_TRUE(s.open() && s.bind(0));
    const QString port = QString::number(s.localPort());
    s.close();
    const ToolResult r = runConvert(
        {"configure", "--sensor", "127.0.0.33", "--listen-port", port, "--timeout", "0.2"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("nothing sent"), std::string::npos) << r.err;
}
