// The network settings window: the Refresh/Set flags and boxes with packets made by hand,
// then end to end with the simulated sensor on loopback (it answers at 127.0.0.2), and the
// main window's "Parameter" and "About" buttons.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <cstring>
#include <memory>

#include "acquisition/packet_format.h"
#include "app/About.h"
#include "app/demo_session.h"
#include "app/manwindow_form.h"
#include "app/settings_forms.h"
#include "app/settings_room.h"
#include "device/GetSet.h"
#include "device/InetactionSetupWidget.h"
#include "gui_test_support.h"
#include "sim/sim_config.h"
#include "sim/sim_engine.h"

using namespace k740;

namespace {

constexpr const char* kSensor = "127.0.0.2";  // never the form's 192.168.1.x defaults

// A device packet of a sensor at `sensor` (always a loopback address here).
DevicePacket handMadePacket(const Ipv4& sensor) {
    DevicePacketFields f;
    f.sensorIp = sensor;
    f.destIp = {{127, 0, 0, 1}};
    f.packetInterval = 1;
    f.mac = {{0x0A, 0x1B, 0x2C, 0xD3, 0xE4, 0xF5}};
    return buildDevicePacket(f);
}

void deliver(InetactionSetupWidget& w, const DevicePacket& p) {
    w.OnLidarStatusReceiving(decodeSettingData(p.data()), decodeStatusValues(p.data()));
    w.OnLidarDifoData(
        QByteArray(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.size())));
}

bool sawText(const DialogRecorder& d, const char* text) {
    for (const auto& r : d.calls)
        if (r.text == QString::fromLatin1(text)) return true;
    return false;
}

// Smallest forward azimuth step between consecutive data packets (hundredths of a degree):
// the sensor's turning speed as the data shows it, whatever packets the socket dropped.
int smallestAzimuthStep(UdpSocket& data, int packets) {
    std::uint8_t buf[kDataPacketSize + 1];
    int last = -1, smallest = 1 << 30, seen = 0;
    while (seen < packets) {
        if (data.waitReadable(2000) <= 0) return -1;
        if (data.receiveFrom(buf, sizeof buf) != static_cast<long>(kDataPacketSize)) continue;
        const int azimuth = readLE16(buf + kBlockAzimuthOffset);
        if (last >= 0) {
            const int step = (azimuth - last + 36000) % 36000;
            if (step > 0) smallest = std::min(smallest, step);
        }
        last = azimuth;
        ++seen;
    }
    return smallest;
}

}  // namespace

TEST(SettingsWindow, RefreshAndSetFlagsWithTheirBoxes) {
    DialogRecorder dialogs;
    InetactionSetupWidget w;
    EXPECT_FALSE(w.form()->pushButton_OK->isEnabled());
    w.onRefreshCilcked();  // nothing arrived yet
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, "warring");
    EXPECT_EQ(dialogs.calls[0].text, kTextNoDevicePacket);
    EXPECT_FALSE(w.form()->pushButton_OK->isEnabled());

    deliver(w, handMadePacket({{127, 0, 0, 2}}));
    w.onRefreshCilcked();
    EXPECT_TRUE(sawText(dialogs, kTextRefreshCompleted));
    EXPECT_TRUE(w.form()->pushButton_OK->isEnabled());
    EXPECT_EQ(w.form()->lineEdit_DefaultIP->text(), kSensor);
    EXPECT_EQ(w.form()->lineEdit_mac_addr->text(), "0a-1b-2c-d3-e4-f5");

    // The window is shown again: the fields a Refresh fills are emptied; Set still keeps the
    // sensor's MAC and packet interval instead of writing the fixed MAC and 0.
    w.onCleanUCWPControl();
    EXPECT_TRUE(w.form()->lineEdit_DefaultIP->text().isEmpty());
    dialogs.answer.button = QMessageBox::Cancel;
    dialogs.calls.clear();
    w.onOK_Clicked();
    ASSERT_EQ(w.lastSentPacket().size(), 1206);
    const auto* sent = reinterpret_cast<const std::uint8_t*>(w.lastSentPacket().constData());
    EXPECT_EQ(0, std::memcmp(sent + kDevMac, w.devicePacket().data() + kDevMac, 6));
    EXPECT_EQ(readBE16(sent + kDevPacketInterval), 1);
    EXPECT_TRUE(sawText(dialogs, kTextSetupCompleted));
    EXPECT_TRUE(sawText(dialogs, kTextCloseQuestion));
    EXPECT_FALSE(w.packetSeen());

    // A second Set needs a new device packet.
    dialogs.calls.clear();
    w.onOK_Clicked();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, kTextNoDevicePacket);
    // And a second Refresh too.
    dialogs.calls.clear();
    w.onRefreshCilcked();
    EXPECT_TRUE(sawText(dialogs, kTextNoDevicePacket));
}

TEST(SettingsWindow, FailedSendIsAnErrorAndKeepsThePacket) {
    DialogRecorder dialogs;
    InetactionSetupWidget w;
    // A loopback broadcast address: the system refuses the datagram.
    deliver(w, handMadePacket({{127, 255, 255, 255}}));
    w.onRefreshCilcked();
    dialogs.calls.clear();
    w.onOK_Clicked();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, Dialogs::Kind::Critical);
    EXPECT_EQ(dialogs.calls[0].title, "error");
    EXPECT_FALSE(sawText(dialogs, kTextSetupCompleted));
    EXPECT_TRUE(w.packetSeen());  // nothing was sent, so it may be tried again
}

// The simulated sensor on loopback: data and device packets to 127.0.0.1, configuration
// taken at 127.0.0.2:2368; the window fed by a status receiver on the device port.
class SimulatedSensorSettings : public ::testing::Test {
protected:
    void startSensor() {
        freePortPair(&dataPort, &devicePort);
        sim::SimConfig c;
        c.host = "127.0.0.1";
        c.sourceAddress = kSensor;
        c.dataPort = dataPort;
        c.devicePort = devicePort;
        c.rpm = 600;
        c.speedFactor = 4.0;  // device packets four times a second
        engine = std::make_unique<sim::SimEngine>(c);
        listener = std::make_unique<sim::ConfigListener>(*engine, kSensor);
        std::string why;
        ASSERT_TRUE(listener->start(&why)) << why;
        ASSERT_TRUE(data.open() && data.bind(dataPort, "127.0.0.1"));
        ASSERT_TRUE(engine->start(&why)) << why;
        status.m_Port = devicePort;
        status.setupSocket();
        status.m_Running = true;
        QObject::connect(&status, &GetSet::SendLidarStatusToSettingUI, &window,
                         &InetactionSetupWidget::OnLidarStatusReceiving);
        QObject::connect(&status, &GetSet::SendDataDifo, &window,
                         &InetactionSetupWidget::OnLidarDifoData);
        // Runs after the window's slots: counts packets the window has taken in.
        QObject::connect(&status, &GetSet::SendDataDifo, &window, [this] { ++delivered; });
        status.start();
    }
    void TearDown() override {
        status.closeSocket();
        if (listener) listener->stop();
        if (engine) engine->stop();
    }
    // Waits for a fresh device packet and refreshes the window from it.
    bool refreshFromSensor() {
        // The second packet from now was certainly sent after anything applied before.
        const int before = delivered;
        if (!waitUntil([&] { return delivered >= before + 2; }, 5000)) return false;
        window.onRefreshCilcked();
        return true;
    }

    DialogRecorder dialogs;
    InetactionSetupWidget window;
    GetSet status;
    UdpSocket data;
    std::unique_ptr<sim::SimEngine> engine;
    std::unique_ptr<sim::ConfigListener> listener;
    std::uint16_t dataPort = 0, devicePort = 0;
    int delivered = 0;
};

TEST_F(SimulatedSensorSettings, RefreshShowsItAndSetMakesItTurnFasterThenStop) {
    startSensor();
    ASSERT_TRUE(refreshFromSensor());
    auto* f = window.form();
    EXPECT_EQ(f->lineEdit_DefaultIP->text(), kSensor);
    EXPECT_EQ(f->lineEdit_DestIP->text(), "127.0.0.1");
    EXPECT_EQ(f->lineEdit_defaultPort->text(), QString::number(dataPort));
    EXPECT_EQ(f->lineEdit_destPort->text(), QString::number(devicePort));
    EXPECT_EQ(f->comboBox_rotateSpeed->currentText(), " 10 HZ");
    EXPECT_EQ(f->lineEdit_Motor_State->text(), "600");
    const int slowStep = smallestAzimuthStep(data, 40);
    ASSERT_GT(slowStep, 0);

    f->comboBox_rotateSpeed->setCurrentText(" 20 HZ");
    dialogs.answer.button = QMessageBox::Cancel;
    window.onOK_Clicked();
    ASSERT_TRUE(sawText(dialogs, kTextSetupCompleted));
    ASSERT_TRUE(waitUntil([&] { return listener->packetsApplied() == 1; }, 5000));
    ASSERT_TRUE(refreshFromSensor());
    EXPECT_EQ(f->lineEdit_Motor_State->text(), "1200");
    EXPECT_EQ(f->comboBox_rotateSpeed->currentText(), " 20 HZ");
    // Drain what was sent at the old speed, then the data turns twice as far per packet.
    UdpSocket fresh;
    data.close();
    ASSERT_TRUE(fresh.open() && fresh.bind(dataPort, "127.0.0.1"));
    const int fastStep = smallestAzimuthStep(fresh, 40);
    EXPECT_NEAR(fastStep, 2 * slowStep, 2);

    // Motor Stop: the next device packets report it and no data is sent meanwhile.
    f->comboBox->setCurrentText("Stop");
    window.onOK_Clicked();
    ASSERT_TRUE(waitUntil([&] { return listener->packetsApplied() == 2; }, 5000));
    ASSERT_TRUE(refreshFromSensor());
    const std::uint64_t sentWhenStopped = engine->dataPacketsSent();
    ASSERT_TRUE(refreshFromSensor());
    EXPECT_EQ(f->comboBox->currentText(), "Stop");
    EXPECT_EQ(f->lineEdit_Motor_State->text(), "0");
    EXPECT_EQ(engine->dataPacketsSent(), sentWhenStopped);
}

TEST(SettingsInMainWindow, ParameterAndAboutButtonsWithTheDemoSensor) {
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    QString why;
    auto demo = DemoSession::start(*fixture.window, 600, &why);
    ASSERT_TRUE(demo) << why.toStdString();
    InetactionSetupWidget* settings = fixture.window->settingsRoom()->settingsDialog();
    About* about = fixture.window->settingsRoom()->aboutDialog();

    fixture.window->form()->Btn_Setting->click();
    EXPECT_TRUE(settings->isVisible());
    ASSERT_TRUE(
        waitUntil([&] { return settings->refreshPending() && settings->statusSeen(); }, 5000));
    settings->onRefreshCilcked();
    EXPECT_EQ(settings->form()->lineEdit_DefaultIP->text(), kSensor);
    settings->form()->comboBox_rotateSpeed->setCurrentText(" 20 HZ");
    fixture.dialogs.answer.button = QMessageBox::Ok;  // close the window after Set
    settings->onOK_Clicked();
    EXPECT_TRUE(waitUntil([&] { return demo->engine().state().rpm == 1200; }, 5000));
    EXPECT_FALSE(settings->isVisible());

    // Opening it again empties what a Refresh fills.
    fixture.window->form()->Btn_Setting->click();
    EXPECT_TRUE(settings->form()->lineEdit_DefaultIP->text().isEmpty());
    settings->close();

    ASSERT_TRUE(
        waitUntil([&] { return about->dataReceived() && about->versions().size() == 8; }, 5000));
    fixture.window->form()->toolButton_About->click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->form()->label_SoftwareBoard3Value->text(), "2025.3.18-V.1.0.5");
    about->close();
    demo.reset();
}
