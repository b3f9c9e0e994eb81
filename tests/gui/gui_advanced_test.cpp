// The advanced settings window through the dialog seam: its refusals and boxes, the GPS test
// button, Restore to a loopback address, and end to end with the simulated sensor on loopback
// (Refresh and Save from a captured device packet, Set logged by the simulator; the searches
// run on a worker while the live cloud goes on drawing).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "acquisition/GetlidarData_1.h"
#include "app/advanced_form.h"
#include "app/service_room.h"
#include "device/ACWPSettingWidget.h"
#include "device/GetSet.h"
#include "device/advanced_config.h"
#include "gui_test_support.h"
#include "platform/udp_socket.h"

using namespace k740;

TEST(AdvancedWindow, RefusalsBeforeAnythingIsSent) {
    DialogRecorder dialogs;
    ACWPSettingWidget w;
    auto* f = w.form();
    EXPECT_FALSE(f->pushButton_OK->isEnabled());

    // Set before any Refresh.
    w.onOK_Clicked();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "error");
    EXPECT_EQ(dialogs.calls[0].text, QString::fromUtf8("请先刷新数据否则再进行设置!"));
    EXPECT_TRUE(w.lastSentPacket().isEmpty());

    // Refresh before any device packet arrived.
    w.setCaptureInterface("lo");
    w.onRefreshbutton_clicked();
    EXPECT_TRUE(dialogs.saw(QString::fromUtf8("设备包端口错误请检查!"), true));
    EXPECT_FALSE(w.refreshed());

    // Status delivery fills the three board-2 values and nothing else.
    DevicePacketFields fields;
    fields.board2HighVoltage = 1234;
    fields.board2HighVoltageAdjust = 56;
    fields.board2Threshold = 7;
    fields.measuringRange = 15000;
    const DevicePacket p = buildDevicePacket(fields);
    w.onLidarStatusReceiving(decodeSettingData(p.data()), decodeStatusValues(p.data()));
    EXPECT_EQ(f->lineEdit_board2HV->text(), "1234");
    EXPECT_EQ(f->lineEdit_board2HV_adjust->text(), "56");
    EXPECT_EQ(f->lineEdit_board2HV_sill->text(), "7");
    EXPECT_TRUE(f->lineEdit_21->text().isEmpty());

    // Showing the window from the main window empties the hidden fields' meaning: not refreshed.
    f->lineEdit_SerialNumber->setText("x");
    w.onCleanACWPControl();
    EXPECT_TRUE(f->lineEdit_SerialNumber->text().isEmpty());
}

TEST(AdvancedWindow, RestoreSendsTheDefaultPacketToATypedLoopbackAddress) {
    DialogRecorder dialogs;
    ACWPSettingWidget w;
    UdpSocket sink;
    ASSERT_TRUE(sink.open() && sink.bind(0, "127.0.0.1"));
    w.form()->lineEdit_DestIP->setText("127.0.0.1");

    w.form()->lineEdit_DestPort->setText("0");
    w.onRecoverSetting();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, Dialogs::Kind::Warning);
    EXPECT_TRUE(dialogs.calls[0].text.contains("Dest Port"));
    EXPECT_TRUE(w.lastSentPacket().isEmpty());

    w.form()->lineEdit_DestPort->setText(QString::number(sink.localPort()));
    w.onRecoverSetting();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].text, "Reset completed !");
    std::uint8_t buffer[1500];
    ASSERT_GT(sink.waitReadable(2000), 0);
    ASSERT_EQ(sink.receiveFrom(buffer, sizeof buffer), 1206);
    // The default network packet (its bytes are a core test); only its time stamp may differ.
    const QByteArray got(reinterpret_cast<const char*>(buffer), 1206);
    EXPECT_EQ(got, w.lastSentPacket());
    EXPECT_EQ(got.left(52), defaultNetworkPacket(LocalTime{}).left(52));
}

TEST(AdvancedWindow, GpsTestButtonNamesTheLogsAndRefusesWhatCannotBeCreated) {
    DialogRecorder dialogs;
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ACWPSettingWidget w;
    w.setGpsLogRoot(root.path());
    QSignalSpy started(&w, &ACWPSettingWidget::sendTestFileName);
    QSignalSpy stopped(&w, &ACWPSettingWidget::sendStopTest);
    auto* f = w.form();

    // No number, then one that names a folder that is not there: nothing starts.
    for (const char* number : {"", "a/b"}) {
        f->lineEdit_IDNumber->setText(number);
        dialogs.calls.clear();
        w.onStartCheck_Clicked();
        ASSERT_EQ(dialogs.calls.size(), 1u) << number;
        EXPECT_EQ(started.count(), 0);
        EXPECT_EQ(f->pushButton_startCheck->text(), "Start");
        EXPECT_TRUE(f->lineEdit_IDNumber->isEnabled());
    }
    EXPECT_EQ(dialogs.calls[0].title, "error");

    // The log names themselves are a core test; here they land under the window's root.
    f->lineEdit_IDNumber->setText("SN9");
    w.onStartCheck_Clicked();
    ASSERT_EQ(started.count(), 1);
    const QString mainLog = started[0][0].toString();
    EXPECT_TRUE(mainLog.startsWith(root.path() + "/")) << mainLog.toStdString();
    EXPECT_TRUE(QFile::exists(mainLog));
    EXPECT_EQ(f->pushButton_startCheck->text(), "Stop");
    EXPECT_FALSE(f->lineEdit_IDNumber->isEnabled());
    w.recvErrorCount(3);
    w.recvTimeStamp("1796703518");
    EXPECT_EQ(f->lineEdit_ErrorNumber->text(), "3");
    EXPECT_EQ(f->lineEdit_timeStamp->text(), "1796703518");

    w.onStartCheck_Clicked();
    EXPECT_EQ(stopped.count(), 1);
    EXPECT_EQ(f->pushButton_startCheck->text(), "Start");
    EXPECT_TRUE(f->lineEdit_IDNumber->isEnabled());
}

// The simulated sensor at its own loopback address, its packets to 127.0.0.1, the window
// capturing on the loopback adapter and fed by a status receiver.
class AdvancedWithSensor : public ::testing::Test {
protected:
    static constexpr const char* kSensor = "127.0.0.73";

    void SetUp() override {
        std::string why;
        if (!canCaptureOnLoopback(&why))
            GTEST_SKIP() << "no capture permission on the loopback adapter (run as root): " << why;
        ASSERT_TRUE(dir.isValid());
        logPath = dir.filePath("config.log");
        // The sensor listens on 2368 and sends its device packets from there, as a sensor
        // does, so Set answers to the captured packet's source.
        ASSERT_TRUE(sensor.start(
            kSensor, &why,
            [](sim::SimState& s) {
                s.lidarIp = {{127, 0, 0, 73}};
                s.measuringRange = 12300;
                s.tailThreshold = 17;
                s.tailDistance = 42;
                s.horizontalOffset = -100;
            },
            2368, logPath.toStdString()))
            << why;
        QObject::connect(&sensor.status, &GetSet::SendLidarStatusToSettingUI, &window,
                         &ACWPSettingWidget::onLidarStatusReceiving);
        window.setCaptureInterface("lo");
        window.setSensorFilter(kSensor);
        ASSERT_TRUE(waitUntil([&] { return !window.statusValues().empty(); }, 5000));
    }

    DialogRecorder dialogs;
    ACWPSettingWidget window;
    QTemporaryDir dir;
    QString logPath;
    SimulatedSensorRig sensor;  // stopped first
};

// The searches end on the worker; their boxes come once the result is back here.
bool searchEnds(const ACWPSettingWidget& w) {
    return waitUntil([&] { return !w.searching(); }, 15000);
}

TEST_F(AdvancedWithSensor, RefreshFillsFromACapturedPacketAndSetIsLoggedByTheSensor) {
    auto* f = window.form();
    window.onRefreshbutton_clicked();
    ASSERT_TRUE(searchEnds(window));
    ASSERT_TRUE(dialogs.saw("Resresh completed", true))
        << (dialogs.calls.empty() ? std::string() : dialogs.calls[0].text.toStdString());
    EXPECT_TRUE(window.refreshed());
    EXPECT_EQ(f->lineEdit_21->text(), "123");
    EXPECT_FALSE(f->lineEdit_22->isEnabled());
    EXPECT_EQ(f->lineEdit_tw->text(), "17");
    EXPECT_EQ(f->lineEdit_twjl->text(), "42");
    EXPECT_EQ(f->lineEdit_deviationAngle->text(), "-1");

    f->lineEdit_21->setText("150");
    f->comboBox_SingleOrDouble->setCurrentIndex(1);
    f->comboBox_rotateSpeed->setCurrentIndex(2);
    window.onOK_Clicked();
    ASSERT_TRUE(searchEnds(window));
    ASSERT_TRUE(dialogs.saw("Setup completed", true));
    EXPECT_FALSE(window.refreshed());
    EXPECT_EQ(window.lastSentAddress(), kSensor);
    ASSERT_TRUE(waitUntil([&] { return sensor.listener->packetsApplied() == 1; }, 5000));
    QFile log(logPath);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QByteArray line = log.readAll().trimmed();
    EXPECT_TRUE(line.startsWith("aa 00 ff 11 22 22 bb bb 04 b0 7f 00 00 49 7f 00 00 01"))
        << line.toStdString();
    const QList<QByteArray> bytes = line.split(' ');
    ASSERT_EQ(bytes.size(), 1206);
    EXPECT_EQ(bytes[178] + bytes[179], "3a98");  // 150 m x 100
    EXPECT_EQ(bytes[185], "01");                 // dual echo
    EXPECT_EQ(bytes[186] + bytes[187], "ff9c");  // -1.00 degrees kept
    EXPECT_TRUE(sensor.engine->state().dualReturn);
    EXPECT_EQ(sensor.engine->state().measuringRange, 15000);

    // A second Set needs a new Refresh.
    window.onOK_Clicked();
    EXPECT_EQ(dialogs.calls.back().text, QString::fromUtf8("请先刷新数据否则再进行设置!"));
}

TEST_F(AdvancedWithSensor, SaveWritesTheCapturedPacketAsHexText) {
    const QString file = dir.filePath("settings.ini");
    dialogs.answer.fileName = file;
    window.onSaveSettingFile();
    ASSERT_TRUE(searchEnds(window));
    ASSERT_EQ(dialogs.calls.size(), 1u) << dialogs.calls[0].text.toStdString();
    EXPECT_EQ(dialogs.calls[0].kind, Dialogs::Kind::SaveFile);
    EXPECT_EQ(dialogs.calls[0].filter, "Supported Files (*.ini)");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_EQ(text.size(), 3618);
    EXPECT_TRUE(text.startsWith("a5 ff 00 5a 11 11 55 55 "));
    EXPECT_TRUE(text.contains(" 7f 00 00 49 "));  // the sensor's own address
}

TEST(AdvancedInMainWindow, ItsButtonShowsItNotRefreshedAndItDrivesTheReceiversGpsTest) {
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    manwindow& w = *fixture.window;
    ACWPSettingWidget* advanced = roomOf<k740::ServiceRoom>(w)->advancedDialog();
    ASSERT_NE(advanced, nullptr);
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    advanced->setGpsLogRoot(root.path());

    // A Refresh that found nothing still counts as refreshed; the button clears it.
    advanced->setCaptureInterface("no-such-adapter");
    DevicePacketFields fields;
    const DevicePacket p = buildDevicePacket(fields);
    advanced->onLidarStatusReceiving(decodeSettingData(p.data()), decodeStatusValues(p.data()));
    advanced->form()->lineEdit_Version->setText("old");
    named<QPushButton>(w, "Btn_ACWPSetting")->click();
    EXPECT_TRUE(advanced->isVisible());
    EXPECT_FALSE(advanced->refreshed());
    EXPECT_TRUE(advanced->form()->lineEdit_Version->text().isEmpty());

    // Without the live display a test could log nothing: Start is refused, saying why.
    advanced->form()->lineEdit_IDNumber->setText("SN1");
    advanced->form()->pushButton_startCheck->click();
    EXPECT_FALSE(receiverOf(w)->m_GpsTestActive.load());
    ASSERT_FALSE(fixture.dialogs.calls.empty());
    EXPECT_TRUE(fixture.dialogs.calls.back().text.contains("live display"));
    EXPECT_EQ(advanced->form()->pushButton_startCheck->text(), "Start");

    // With the simulated sensor streaming, Start and Stop reach the live receiver, and a steady
    // stream reports no jump (the first block of the test has no earlier time).
    std::uint16_t dataPort = 0, devicePort = 0;
    std::string error;
    const auto sensor = startLoopbackSensor(&dataPort, &devicePort, 0, 600, &error);
    ASSERT_TRUE(sensor) << error;
    named<QLineEdit>(w, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(w, "lineEdit")->setText(QString::number(devicePort));
    named<QToolButton>(w, "toolButton_Lidar")->click();
    ASSERT_TRUE(w.liveRunning());
    advanced->form()->pushButton_startCheck->click();
    EXPECT_TRUE(receiverOf(w)->m_GpsTestActive.load());
    EXPECT_TRUE(receiverOf(w)->gpsTestLog().isOpen());
    ASSERT_TRUE(waitUntil([&] { return receiverOf(w)->gpsTestLog().packetsLogged() >= 20; }, 5000));
    EXPECT_EQ(advanced->form()->lineEdit_ErrorNumber->text(), "0");
    advanced->form()->pushButton_startCheck->click();
    EXPECT_FALSE(receiverOf(w)->m_GpsTestActive.load());
    EXPECT_FALSE(receiverOf(w)->gpsTestLog().isOpen());
    advanced->close();
    w.stopReceivers(2000);
    sensor->stop();
}

// Device packets from another sensor, ten a second: they pass the search's capture filter but
// not its sensor filter, so a search lasts its whole bound.
class ForeignDevicePackets {
public:
    ForeignDevicePackets() {
        m_Sink.open();
        m_Sink.bind(0, "127.0.0.1");
        m_Thread = std::thread([this] {
            UdpSocket out;
            if (!out.open() || !out.bind(0, "127.0.0.3")) return;
            const DevicePacket p = loopbackDevicePacket({{127, 0, 0, 3}});
            while (!m_Stop.load()) {
                out.sendTo(p.data(), p.size(), "127.0.0.1", m_Sink.localPort());
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }
    ~ForeignDevicePackets() {
        m_Stop = true;
        m_Thread.join();
    }

private:
    UdpSocket m_Sink;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

TEST(AdvancedInMainWindow, ItsSearchesRunOnAWorkerWhileTheLiveCloudIsDrawn) {
    std::string why;
    if (!canCaptureOnLoopback(&why))
        GTEST_SKIP() << "no capture permission on the loopback adapter (run as root): " << why;
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    manwindow& w = *fixture.window;
    ACWPSettingWidget* advanced = roomOf<k740::ServiceRoom>(w)->advancedDialog();
    auto* f = advanced->form();
    std::uint16_t dataPort = 0, devicePort = 0;
    const auto sensor = startLoopbackSensor(&dataPort, &devicePort, 0, 600, &why);
    ASSERT_TRUE(sensor) << why;
    named<QLineEdit>(w, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(w, "lineEdit")->setText(QString::number(devicePort));
    named<QToolButton>(w, "toolButton_Lidar")->click();
    ASSERT_TRUE(w.liveRunning());
    ASSERT_TRUE(waitUntil([&] { return w.framesDrawn() > 0; }, 5000));

    ForeignDevicePackets foreign;
    advanced->setCaptureInterface("lo");
    advanced->setSensorFilter("127.0.0.99");  // no such sensor: the search runs to its bound
    const DevicePacket status = buildDevicePacket(DevicePacketFields());
    advanced->onLidarStatusReceiving(decodeSettingData(status.data()),
                                     decodeStatusValues(status.data()));
    advanced->showFromMainWindow();

    // Refresh: the search runs, the window goes on drawing; the buttons that would start a
    // second search are disabled and the busy cursor shows.
    f->pushButton_Refreshlidar->click();
    ASSERT_TRUE(advanced->searching());
    EXPECT_FALSE(f->pushButton_Refreshlidar->isEnabled());
    EXPECT_FALSE(f->pushButton_OK->isEnabled());
    EXPECT_FALSE(f->pushButton_SaveSettingfile->isEnabled());
    EXPECT_TRUE(f->pushButton_RecoverSetting->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    advanced->onSaveSettingFile();  // a second search does not start beside the first
    const long long before = w.framesDrawn();
    long long drawnWhileSearching = 0;
    waitUntil(
        [&] {
            if (advanced->searching()) drawnWhileSearching = w.framesDrawn() - before;
            return drawnWhileSearching >= 3 || !advanced->searching();
        },
        15000);
    EXPECT_GE(drawnWhileSearching, 3) << "no live frame was drawn while the search ran";
    EXPECT_TRUE(fixture.dialogs.calls.empty());

    // When it ends: the same box as ever, the buttons back, the cursor restored.
    ASSERT_TRUE(searchEnds(*advanced));
    ASSERT_EQ(fixture.dialogs.calls.size(), 1u);
    EXPECT_EQ(fixture.dialogs.calls[0].kind, Dialogs::Kind::Warning);
    EXPECT_EQ(fixture.dialogs.calls[0].text, "You didn't connect Lidar.");
    EXPECT_TRUE(advanced->refreshed());
    EXPECT_TRUE(f->pushButton_Refreshlidar->isEnabled());
    EXPECT_TRUE(f->pushButton_OK->isEnabled());
    EXPECT_TRUE(f->pushButton_SaveSettingfile->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Closing the window gives the search up: the cursor goes at once, its result shows nothing.
    f->pushButton_SaveSettingfile->click();
    ASSERT_TRUE(advanced->searching());
    advanced->close();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(searchEnds(*advanced));
    QTest::qWait(50);
    EXPECT_EQ(fixture.dialogs.calls.size(), 1u);
    EXPECT_TRUE(f->pushButton_SaveSettingfile->isEnabled());

    // A window destroyed during a search waits for it and shows nothing.
    {
        ACWPSettingWidget other;
        other.setCaptureInterface("lo");
        other.setSensorFilter("127.0.0.99");
        other.onLidarStatusReceiving(decodeSettingData(status.data()),
                                     decodeStatusValues(status.data()));
        other.onRefreshbutton_clicked();
        ASSERT_TRUE(other.searching());
    }
    QTest::qWait(50);
    EXPECT_EQ(fixture.dialogs.calls.size(), 1u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    w.stopReceivers(2000);
    sensor->stop();
}
