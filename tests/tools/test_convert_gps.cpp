// k740-convert gps-test against a k740-sim process on loopback: both logs land under the
// folder with the window's names and lines, and the jump count is printed.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextCodec>
#include <string>

#include "platform/udp_socket.h"
#include "tool_process.h"

namespace {

QList<QByteArray> fileLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> lines = f.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

class GpsTestTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        const tooltest::StreamPorts ports = tooltest::freeStreamPorts();
        ASSERT_FALSE(ports.data.isEmpty());
        dataPort = ports.data;
        devicePort = ports.device;
        configPort = ports.config;
    }
    void startSim(const QString& protocol) {
        sim.start(QString::fromUtf8(K740_SIM),
                  {"--data-port", dataPort, "--device-port", devicePort, "--config-port",
                   configPort, "--sensor-address", "127.0.0.61", "--protocol", protocol});
        ASSERT_TRUE(sim.waitForStarted(5000));
    }
    void TearDown() override {
        sim.terminate();
        if (!sim.waitForFinished(5000)) sim.kill();
    }
    int runTool(const QStringList& args, std::string* out, std::string* err) {
        const tooltest::ToolRun r = tooltest::runConvert(QStringList{"gps-test"} + args);
        *out = r.out;
        *err = r.err;
        return r.exitCode;
    }

    QTemporaryDir dir;
    QProcess sim;
    QString dataPort, devicePort, configPort;
};

TEST_F(GpsTestTool, LogsAGivenNumberOfPacketsInBothProtocols) {
    for (const char* protocol : {"0", "1"}) {
        SCOPED_TRACE(protocol);
        startSim(protocol);
        const QString folder = dir.filePath(QStringLiteral("p") + protocol);
        std::string out, err;
        ASSERT_EQ(runTool({"--number", "SN-7", "--port", dataPort, "--protocol", protocol,
                           "--folder", folder, "--packets", "4"},
                          &out, &err),
                  0)
            << err;
        TearDown();
        const QStringList days = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        ASSERT_EQ(days.size(), 1);
        const QDir day(folder + "/" + days[0]);
        const QStringList mains = day.entryList({"K740-P_SN-7_2*.txt"}, QDir::Files);
        const QStringList errors = day.entryList({"K740-P_SN-7_Error_2*.txt"}, QDir::Files);
        ASSERT_EQ(mains.size(), 1);
        ASSERT_EQ(errors.size(), 1);
        EXPECT_NE(out.find(day.filePath(mains[0]).toStdString()), std::string::npos) << out;

        const QList<QByteArray> main = fileLines(day.filePath(mains[0]));
        const QList<QByteArray> jumps = fileLines(day.filePath(errors[0]));
        // Header, four packets of twelve time lines and a dash line, one line per jump.
        EXPECT_EQ(main.size(), 1 + 4 * 13 + jumps.size());
        EXPECT_EQ(main.count(QByteArray(42, '-')), 4);
        EXPECT_NE(out.find("jumps: " + std::to_string(jumps.size())), std::string::npos) << out;
        // The simulated sensor sends the PC's time: the time lines hold this year, not 2000.
        const QByteArray year = QByteArray::number(QDate::currentDate().year()) + "/";
        const QByteArray label =
            QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8("GPS时间 :"));
        EXPECT_TRUE(main[1].contains(label + year)) << main[1].toStdString();
    }
}

TEST_F(GpsTestTool, RefusesAMissingNumberAndOneThatIsAPath) {
    std::string out, err;
    EXPECT_EQ(runTool({"--port", dataPort, "--packets", "1"}, &out, &err), 2);
    EXPECT_NE(err.find("--number"), std::string::npos) << err;
    EXPECT_EQ(runTool({"--number", "a/b", "--folder", dir.path(), "--packets", "1"}, &out, &err),
              2);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}
}  // namespace
