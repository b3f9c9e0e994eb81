// Service mode and its windows: the channel selection window, the vertical angle window with
// packets made by hand and end to end with the simulated sensor on loopback, and the main
// window's Ctrl+Alt+S and access code unlocking exactly the service controls.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include "app/service_forms.h"
#include "app/service_room.h"
#include "device/CodeDialog.h"
#include "device/GetSet.h"
#include "device/VerticalAngleSetting.h"
#include "device/vertical_angles.h"
#include "display/Form_QLaserSelection.h"
#include "gui_test_support.h"

using namespace k740;

namespace {

constexpr const char* kServiceCode = "k740service";  // as the README gives it

void deliver(VerticalAngleSetting& w, const DevicePacket& p) {
    w.onLidarStatusReceiving_(decodeSettingData(p.data()), decodeStatusValues(p.data()));
    w.OnLidarDifoData_(
        QByteArray(reinterpret_cast<const char*>(p.data()), static_cast<int>(p.size())));
}

}  // namespace

TEST(ChannelSelectionWindow, OkKeepsCancelDiscardsAndModesRelabel) {
    Form_QLaserSelection w;
    QTableWidget* table = w.form()->tableWidget_laserselection;
    w.show();
    w.form()->checkBox->click();                     // all rows unchecked
    w.form()->pushButton_toggleselection->click();   // the shared toggle: odd rows
    for (int sel : w.selected()) EXPECT_EQ(sel, 1);  // nothing kept before OK
    w.form()->pushButton_OK->click();
    EXPECT_TRUE(w.isVisible());
    for (int row = 0; row < 16; ++row) EXPECT_EQ(w.selected()[row], row % 2) << row;

    w.rowBox(0)->setChecked(true);
    w.form()->pushButton_Cancel->click();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.selected()[0], 0);  // Cancel keeps the selection of the last OK

    // The labels change under the check marks, which persist between showings.
    w.ReceiveDegreeMode(1);
    EXPECT_EQ(table->item(1, 1)->text(), "-8.665");
    EXPECT_EQ(table->item(1, 2)->text(), "2");
    w.ReceiveDegreeMode(3);
    EXPECT_EQ(table->item(1, 1)->text(), "-8.665");
    w.show();
    EXPECT_TRUE(w.rowBox(0)->isChecked());
    EXPECT_FALSE(w.rowBox(2)->isChecked());
}

TEST(VerticalAngleWindow, RefusalsAndFailedSendsAreReportedNotSucceeded) {
    DialogRecorder dialogs;
    VerticalAngleSetting w;
    // A loopback broadcast address: the system refuses the datagram.
    deliver(w, loopbackDevicePacket({{127, 255, 255, 255}}));
    w.typeSetAngle(1, "2.6");  // row 8, 1.6 off
    w.SendPacketToLidar();
    const QString deviation = QStringLiteral("设置：通道8  偏差大于正负1.5，请重新输入");
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, deviation);
    EXPECT_EQ(w.form()->label_2->text(), deviation);
    EXPECT_TRUE(w.lastSentPacket().isEmpty());

    w.setDegreeMode(1);
    EXPECT_EQ(w.setAngleText(1), "-8.665");
    dialogs.calls.clear();
    w.SendPacketToLidar();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, Dialogs::Kind::Warning);
    EXPECT_TRUE(dialogs.calls[0].text.startsWith(QStringLiteral("设置失败")));
    EXPECT_TRUE(w.hasTemplate());  // nothing left, so it may be tried again
}

// The window fed by a status receiver from the simulated sensor at 127.0.0.23, which takes the
// angle packet on its configuration port and reports the angles in its next device packets.
TEST(VerticalAngleWindow, AnglesWrittenToTheSimulatedSensorAreReadBack) {
    constexpr const char* kSensor = "127.0.0.23";
    DialogRecorder dialogs;
    VerticalAngleSetting w;
    SimulatedSensorRig sensor;
    std::string why;
    ASSERT_TRUE(sensor.start(kSensor, &why)) << why;
    QObject::connect(&sensor.status, &GetSet::SendLidarStatusToSettingUI, &w,
                     &VerticalAngleSetting::onLidarStatusReceiving_);
    QObject::connect(&sensor.status, &GetSet::SendDataDifo, &w,
                     &VerticalAngleSetting::OnLidarDifoData_);

    ASSERT_TRUE(waitUntil([&] { return w.hasTemplate(); }, 5000));
    w.reflushLidarStatus();
    EXPECT_EQ(w.reViewText(7), "0.00");
    EXPECT_EQ(w.setAngleText(7), "-1");  // all angles 0: the nominal angles stay

    w.typeSetAngle(14, "-0.5");
    w.typeSetAngle(1, "2.4");
    w.SendPacketToLidar();
    ASSERT_TRUE(dialogs.saw("设置成功"));
    dialogs.calls.clear();
    w.SendPacketToLidar();  // no device packet since: nothing is sent
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].text, "连接错误");
    ASSERT_TRUE(waitUntil([&] { return sensor.listener->packetsApplied() == 1; }, 5000));
    EXPECT_EQ(sensor.engine->state().verticalAngles[14], -50);
    EXPECT_EQ(sensor.engine->state().verticalAngles[1], 240);
    EXPECT_EQ(sensor.engine->state().rpm, 600);  // nothing but the angles changed

    // The next device packet after the sensor had time to apply them is read back.
    ASSERT_TRUE(waitUntil([&] { return w.reViewText(7) == "-0.50"; }, 5000));
    EXPECT_EQ(w.reViewText(8), "2.40");
    EXPECT_EQ(w.setAngleText(7), "-0.50");
    EXPECT_TRUE(w.hasTemplate());
}

namespace {

std::vector<QWidget*> serviceControls(manwindow& w) {
    return {named<QPushButton>(w, "Btn_ACWPSetting"),
            named<QPushButton>(w, "Btn_Channel"),
            named<QComboBox>(w, "CBox_Echo"),
            named<QPushButton>(w, "setVerticalPushButton"),
            named<QLabel>(w, "label_3"),
            named<QLineEdit>(w, "showAngle_lineEdit"),
            roomOf<k740::ServiceRoom>(w)->verticalAngleButton()};
}

void typeCode(CodeDialog* d, const char* code) {
    QTest::keyClicks(d->form()->lineEdit, QString::fromLatin1(code));
    d->form()->pushButton_ok->click();
}

}  // namespace

TEST(ServiceMode, OnlyTheRightCodeShowsExactlyTheServiceControls) {
    WindowFixtureBase fixture;
    ASSERT_TRUE(fixture.exposed);
    manwindow& w = *fixture.window;
    ServiceRoom* room = roomOf<k740::ServiceRoom>(w);
    CodeDialog* code = room->codeDialog();
    auto allHidden = [&] {
        for (QWidget* c : serviceControls(w))
            if (!c->isHidden()) return false;
        return true;
    };
    ASSERT_TRUE(allHidden());

    // The key press goes through the window system's path, where shortcuts are matched.
    QApplication::setActiveWindow(&w);
    QTest::keyClick(w.windowHandle(), Qt::Key_S, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return code->isVisible(); }, 2000));

    typeCode(code, "wrong");
    ASSERT_EQ(fixture.dialogs.calls.size(), 1u);
    EXPECT_EQ(fixture.dialogs.calls[0].title, "warn");
    EXPECT_TRUE(allHidden());
    room->askForCode();
    typeCode(code, "");  // an empty code changes nothing and says nothing
    room->askForCode();
    QTest::keyClicks(code->form()->lineEdit, QString::fromLatin1(kServiceCode));
    code->form()->pushButton_cancel->click();  // Cancel neither
    EXPECT_EQ(fixture.dialogs.calls.size(), 1u);
    EXPECT_TRUE(allHidden());
    EXPECT_FALSE(room->unlocked());

    room->askForCode();
    typeCode(code, kServiceCode);
    EXPECT_TRUE(room->unlocked());
    for (QWidget* c : serviceControls(w))
        EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
    EXPECT_TRUE(named<QToolButton>(w, "toolButton_User")->isHidden());
    EXPECT_TRUE(named<QToolButton>(w, "toolButton_Develop")->isHidden());
    EXPECT_EQ(fixture.dialogs.calls.size(), 1u);

    // The unlocked controls lead to their windows, which follow the view mode.
    named<QPushButton>(w, "Btn_Channel")->click();
    EXPECT_TRUE(room->channelDialog()->isVisible());
    room->verticalAngleButton()->click();
    EXPECT_TRUE(room->verticalAngleDialog()->isVisible());
    named<QComboBox>(w, "comboBox_degree")->setCurrentIndex(1);
    EXPECT_EQ(room->channelDialog()->degreeMode(), 1);
    EXPECT_EQ(room->verticalAngleDialog()->degreeMode(), 1);

    // A wrong code later does not lock service mode again.
    room->askForCode();
    typeCode(code, "wrong");
    EXPECT_FALSE(named<QPushButton>(w, "Btn_Channel")->isHidden());
    room->channelDialog()->close();
    room->verticalAngleDialog()->close();
}
