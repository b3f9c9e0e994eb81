// End to end over loopback: the simulated sensor, the live receiver and the window's cloud;
// frames kept bounded while drawing lags; the program's demo start and its clean exit.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>

#include "acquisition/GetlidarData_1.h"
#include "app/demo_session.h"
#include "device/GetSet.h"
#include "gui_test_support.h"
#include "sim/sim_engine.h"

namespace {

class LiveTest : public ::testing::Test, public WindowFixtureBase {
protected:

    // A simulated sensor at 127.0.0.2 sending to 127.0.0.1, the window listening for it.
    void startSensorAndWindow(int rpm) {
        std::uint16_t dataPort = 0, devicePort = 0;
        std::string error;
        sensor = startLoopbackSensor(&dataPort, &devicePort, 1, rpm, &error);
        ASSERT_TRUE(sensor) << error;
        named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QString::number(dataPort));
        named<QLineEdit>(*window, "lineEdit")->setText(QString::number(devicePort));
        named<QComboBox>(*window, "comboBox_agree")->setCurrentIndex(1);
        named<QToolButton>(*window, "toolButton_Lidar")->click();
        ASSERT_TRUE(window->liveRunning());
    }
    void TearDown() override {
        window->stopReceivers(2000);
        if (sensor) sensor->stop();
    }

    // Points of the stored frame that the window must show: echo present, inside the limit.
    static std::size_t visiblePoints(const LidarDataSingleLine& f) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < f.pointAngle.size(); ++i)
            if (f.distance[i] > 0 &&
                k740::withinDisplayAngle(f.pointAngle[i], k740::g_DisplayAngleLimit))
                ++n;
        return n;
    }

    std::unique_ptr<k740::sim::SimEngine> sensor;
};

TEST_F(LiveTest, SimulatedSensorFramesBecomeTheRealTimeCloud) {
    startSensorAndWindow(600);
    ASSERT_TRUE(waitUntil([&] { return window->framesDrawn() >= 3; }, 15000))
        << "frames drawn: " << window->framesDrawn();
    // Between two events nothing changes: the shown clouds are those of the stored frame.
    const LidarDataSingleLine& frame = window->lastFrame();
    const std::size_t visible = visiblePoints(frame);
    // At 600 rpm a revolution of the 30-point layout holds about 32,000 points.
    EXPECT_GT(frame.pointCount(), 20000u);
    EXPECT_GT(visible, frame.pointCount() / 2);
    EXPECT_EQ(window->realTimeCloud().size() + window->clickedCloud().size(), visible);
    EXPECT_EQ(window->frameCloud().size(), frame.pointCount());
    EXPECT_EQ(window->tableRows(), 30);
    EXPECT_TRUE(viewerOf(*window)->contains("realTime_points"));
    // A whole revolution: the azimuths cover the circle.
    double lo = 360, hi = 0;
    for (double a : frame.pointAngle) {
        lo = std::min(lo, a);
        hi = std::max(hi, a);
    }
    EXPECT_LT(lo, 5.0);
    EXPECT_GT(hi, 355.0);
}

TEST_F(LiveTest, SlowDrawingKeepsAtMostTwoFramesInFlightAndCountsTheRest) {
    startSensorAndWindow(1200);
    ASSERT_TRUE(waitUntil([&] { return window->framesDrawn() >= 1; }, 15000));
    GetlidarData_1* r = receiverOf(*window);
    const long long emittedBefore = r->framesEmitted();
    const long long droppedBefore = r->framesDropped();
    const long long drawnBefore = window->framesDrawn();
    const long long staleBefore = window->staleFramesSkipped();
    // The window is busy for a second: at 1200 rpm about 20 frames come in meanwhile.
    QThread::msleep(1000);
    EXPECT_EQ(r->framesInFlight(), 2);
    EXPECT_LE(r->framesEmitted() - emittedBefore, 2);
    EXPECT_GE(r->framesDropped() - droppedBefore, 10);
    // Once the window draws again the queue empties and drawing goes on; the older of the two
    // waiting frames is stale and is skipped rather than drawn.
    ASSERT_TRUE(waitUntil([&] { return window->framesDrawn() >= drawnBefore + 4; }, 15000));
    EXPECT_GE(window->staleFramesSkipped() - staleBefore, 1);
    EXPECT_LE(r->framesInFlight(), 2);
}

TEST_F(LiveTest, ClosingWhileFramesArriveStopsBothThreads) {
    startSensorAndWindow(1200);
    ASSERT_TRUE(waitUntil([&] { return window->framesDrawn() >= 2; }, 15000));
    window->close();
    EXPECT_FALSE(receiverOf(*window)->isRunning());
    EXPECT_FALSE(statusReceiverOf(*window)->isRunning());
    EXPECT_FALSE(window->liveRunning());
    // Frames already queued are dropped quietly after the close.
    const long long drawn = window->framesDrawn();
    QTest::qWait(200);
    EXPECT_EQ(window->framesDrawn(), drawn);
}

TEST_F(LiveTest, DemoSessionFeedsTheWindowOverLoopback) {
    QString error;
    std::unique_ptr<k740::DemoSession> demo = k740::DemoSession::start(*window, 600, &error);
    ASSERT_NE(demo, nullptr) << error.toStdString();
    EXPECT_TRUE(window->liveRunning());
    EXPECT_EQ(named<QComboBox>(*window, "comboBox_agree")->currentText(), QString::fromUtf8("协议1.7"));
    EXPECT_EQ(named<QLineEdit>(*window, "lineEdit_portNumber")->text().toUInt(), demo->dataPort());
    EXPECT_EQ(named<QLineEdit>(*window, "lineEdit")->text().toUInt(), demo->devicePort());
    EXPECT_EQ(receiverOf(*window)->boundPort(), demo->dataPort());
    EXPECT_EQ(demo->engine().config().sourceAddress, "127.0.0.2");
    EXPECT_EQ(demo->engine().config().host, "127.0.0.1");
    EXPECT_EQ(receiverOf(*window)->m_InterfaceIp, QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(waitUntil([&] { return window->framesDrawn() >= 3; }, 15000));
    EXPECT_GT(window->realTimeCloud().size(), 10000u);

    // K740_SCREENSHOT=<file.png> keeps a picture of the window for a look by eye.
    const QByteArray shot = qgetenv("K740_SCREENSHOT");
    if (!shot.isEmpty()) {
        window->grab().save(QString::fromLocal8Bit(shot));
        named<QToolButton>(*window, "toolButton_MeaGrid")->click();
        named<QToolButton>(*window, "toolButton_Coor")->click();
        waitUntil([&] { return window->framesDrawn() >= 6; }, 5000);
        window->grab().save(QString::fromLocal8Bit(shot).replace(QStringLiteral(".png"),
                                                                 QStringLiteral("-grid.png")));
        auto* tabs = window->findChild<QTabWidget*>();
        for (int i = 0; tabs && i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            tabs->grab().save(QString::fromLocal8Bit(shot).replace(
                QStringLiteral(".png"), QStringLiteral("-tab%1.png").arg(i)));
        }
    }
    window->stopReceivers(2000);
}

TEST(ViewerProgram, DemoEndsCleanlyOnTerminationWhileFramesArrive) {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("rv-k740-p"));
    ASSERT_TRUE(QFileInfo::exists(program)) << program.toStdString();
    QProcess viewer;
    viewer.setProcessChannelMode(QProcess::SeparateChannels);
    viewer.start(program, {QStringLiteral("--demo")});
    ASSERT_TRUE(viewer.waitForStarted(5000));
    QTest::qWait(3000);
    ASSERT_EQ(viewer.state(), QProcess::Running) << viewer.readAllStandardError().toStdString();
    viewer.terminate();
    ASSERT_TRUE(viewer.waitForFinished(10000));
    const QString errors = QString::fromLocal8Bit(viewer.readAllStandardError());
    EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit) << errors.toStdString();
    EXPECT_EQ(viewer.exitCode(), 0) << errors.toStdString();
    EXPECT_FALSE(errors.contains(QStringLiteral("Destroyed while thread"))) << errors.toStdString();
}

TEST(ViewerProgram, WithoutADisplaySaysSoInOneLineAndEndsWithOne) {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("rv-k740-p"));
    QProcessEnvironment none = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        none.remove(QLatin1String(name));
    // A display that is named but not there: the platform plugin itself gives up.
    QProcessEnvironment unreachable = none;
    unreachable.insert(QStringLiteral("DISPLAY"), QStringLiteral(":64999"));
    for (const QProcessEnvironment& env : {none, unreachable}) {
        SCOPED_TRACE(env.value(QStringLiteral("DISPLAY")).toStdString());
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, {QStringLiteral("--demo")});
        ASSERT_TRUE(p.waitForFinished(20000));
        const QString errors = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << errors.toStdString();
        EXPECT_EQ(p.exitCode(), 1) << errors.toStdString();
        EXPECT_EQ(errors.trimmed().count(QLatin1Char('\n')), 0) << errors.toStdString();
        EXPECT_TRUE(errors.startsWith(QStringLiteral("rv-k740-p needs a display")))
            << errors.toStdString();
        EXPECT_TRUE(errors.contains(QStringLiteral("xvfb-run"))) << errors.toStdString();
    }
}

TEST(ViewerProgram, AnswersVersionAndHelpWithoutADisplay) {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("rv-k740-p"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    p.start(program, {QStringLiteral("--version")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardOutput())
                    .startsWith(QStringLiteral("rv-k740-p 5.0.7")));
    p.start(program, {QStringLiteral("--help")});
    ASSERT_TRUE(p.waitForFinished(10000));
    const QString help = QString::fromLocal8Bit(p.readAllStandardOutput());
    EXPECT_TRUE(help.contains(QStringLiteral("--demo")));
    EXPECT_TRUE(help.contains(QStringLiteral("--live")));
    p.start(program, {QStringLiteral("--no-such-option")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_NE(p.exitCode(), 0);
}

}  // namespace
