// The network settings window: the Refresh/Set flags and boxes with packets made by hand, a
// failed send, and the main window's "Parameter" and "About" buttons with the demo sensor on
// loopback (it answers at 127.0.0.2). The packet bytes and field rules are core tests.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <cstring>

#include "acquisition/packet_format.h"
#include "app/About.h"
#include "app/demo_session.h"
#include "app/settings_forms.h"
#include "app/settings_room.h"
#include "device/InetactionSetupWidget.h"
#include "gui_test_support.h"

using namespace k740;

namespace {

constexpr const char* kSensor = "127.0.0.2";  // never the form's 192.168.1.x defaults

void deliver(InetactionSetupWidget& w, const DevicePacket& p) {
    w.OnLidarStatusReceiving(decodeSettingData(p.data()), decodeStatusValues(p.data()));
    w.OnLidarDifoData(
        QByteArray(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.size())));
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

    deliver(w, loopbackDevicePacket({{127, 0, 0, 2}}));
    w.onRefreshCilcked();
    EXPECT_TRUE(dialogs.saw(kTextRefreshCompleted));
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
    EXPECT_TRUE(dialogs.saw(kTextSetupCompleted));
    EXPECT_TRUE(dialogs.saw(kTextCloseQuestion));
    EXPECT_FALSE(w.packetSeen());

    // A second Set needs a new device packet.
    dialogs.calls.clear();
    w.onOK_Clicked();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, kTextNoDevicePacket);
    // And a second Refresh too.
    dialogs.calls.clear();
    w.onRefreshCilcked();
    EXPECT_TRUE(dialogs.saw(kTextNoDevicePacket));
}

TEST(SettingsWindow, FailedSendIsAnErrorAndKeepsThePacket) {
    DialogRecorder dialogs;
    InetactionSetupWidget w;
    // A loopback broadcast address: the system refuses the datagram.
    deliver(w, loopbackDevicePacket({{127, 255, 255, 255}}));
    w.onRefreshCilcked();
    dialogs.calls.clear();
    w.onOK_Clicked();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, Dialogs::Kind::Critical);
    EXPECT_EQ(dialogs.calls[0].title, "error");
    EXPECT_FALSE(dialogs.saw(kTextSetupCompleted));
    EXPECT_TRUE(w.packetSeen());  // nothing was sent, so it may be tried again
}

TEST(SettingsInMainWindow, ParameterAndAboutButtonsWithTheDemoSensor) {
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    QString why;
    auto demo = DemoSession::start(*fixture.window, 600, &why);
    ASSERT_TRUE(demo) << why.toStdString();
    InetactionSetupWidget* settings = roomOf<k740::SettingsRoom>(*fixture.window)->settingsDialog();
    About* about = roomOf<k740::SettingsRoom>(*fixture.window)->aboutDialog();

    named<QPushButton>(*fixture.window, "Btn_Setting")->click();
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
    named<QPushButton>(*fixture.window, "Btn_Setting")->click();
    EXPECT_TRUE(settings->form()->lineEdit_DefaultIP->text().isEmpty());
    settings->close();

    ASSERT_TRUE(
        waitUntil([&] { return about->dataReceived() && about->versions().size() == 8; }, 5000));
    named<QToolButton>(*fixture.window, "toolButton_About")->click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->form()->label_SoftwareBoard3Value->text(), "2025.3.18-V.1.0.5");
    about->close();
    demo.reset();
}

TEST(SettingsInMainWindow, ClosingTheMainWindowEndsTheProgramWhileAboutAndParameterShow) {
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    fixture.window->setAttribute(Qt::WA_QuitOnClose);  // as the program sets it
    bool bothShown = false;
    QTimer::singleShot(0, fixture.window.get(), [&fixture, &bothShown] {
        named<QPushButton>(*fixture.window, "Btn_Setting")->click();
        named<QToolButton>(*fixture.window, "toolButton_About")->click();
        bothShown = roomOf<k740::SettingsRoom>(*fixture.window)->settingsDialog()->isVisible() &&
                    roomOf<k740::SettingsRoom>(*fixture.window)->aboutDialog()->isVisible();
        fixture.window->close();
    });
    // Without the fix the event loop would run on behind the two windows left open.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    giveUp.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    giveUp.stop();
    EXPECT_TRUE(bothShown);
    roomOf<k740::SettingsRoom>(*fixture.window)->settingsDialog()->close();
    roomOf<k740::SettingsRoom>(*fixture.window)->aboutDialog()->close();
}
