// The main window: its form, palette and start-up state, whole texts down to a small window,
// the mode refusals, the live switch and the combo boxes that reach the receiver.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>

#include "acquisition/GetlidarData_1.h"
#include "app/service_room.h"
#include "device/InetactionSetupWidget.h"
#include "display/whole_text.h"
#include "device/GetSet.h"
#include "gui_test_support.h"

namespace {

const QString kImages = QStringLiteral(":/image/Resources/images/");

// The icon shown is the one of the resource file: compare what they draw.
bool sameIcon(const QIcon& shown, const QString& file) {
    if (!QFile::exists(file) || shown.isNull()) return false;
    return shown.pixmap(24, 24).toImage() == QIcon(file).pixmap(24, 24).toImage();
}

class MainWindowTest : public ::testing::Test, public WindowFixtureBase {
protected:
    QWidget* child(const char* name) {
        return window->findChild<QWidget*>(QString::fromLatin1(name));
    }
};

struct Button {
    const char* tab;
    const char* name;
    const char* text;
    const char* icon;  // under :/image/Resources/images/
};

TEST_F(MainWindowTest, ButtonsStandInTheirTabsWithTextAndIcon) {
    const Button buttons[] = {
        {"Tab_1", "toolButton_Lidar", "Lidar", "kestrel-K740-P.png"},
        {"Tab_1", "tolbtn_LidarDataList", "LidarData", "DataList.png"},
        {"Tab_1", "toolButton_MeaGrid", "MeaGrid", "Grid.png"},
        {"Tab_1", "toolButton_Coor", "Coordinate", "Coordinate.png"},
        {"Tab_1", "tolbtn_offdata", "Pause", "Red.png"},
        {"Tab_1", "toolButton_selectCloud", "Select", "select.png"},
        {"Tab_1", "toolButton_clear", "Clear", "clear.png"},
        {"Tab_4", "toolButton_Open", "Open", "OpenCaptureFile.png"},
        {"Tab_4", "toolButton_GoToStart", "", "Gotostart.png"},
        {"Tab_4", "toolButton_SeekBackward", "", "Seekbackward.png"},
        {"Tab_4", "toolButton_Play", "", "Play.png"},
        {"Tab_4", "toolButton_SeekForward", "", "Seekforward.png"},
        {"Tab_4", "toolButton_GoToEnd", "", "Gotostop.png"},
        {"Tab_4", "toolButton_SavePcapData", "Record", "Record.png"},
        {"Tab_3", "Btn_Setting", "Parameter", "InteractionSetUp.png"},
        {"Tab_3", "Btn_ACWPSetting", "ACWPSettin", "AdvancedSetting.png"},
        {"Tab_3", "Btn_Channel", "Channel", "Chanel.png"},
        {"Tab_3", "Btn_SaveCSV", "SaveData", "Csv.png"},
        {"Tab_3", "setVerticalPushButton", "俯仰角度信息", nullptr},
        {"Tab_5", "toolButton_About", "About", "About.png"},
        {"Tab_5", "toolButton_User", "UserGuide", "User.png"},
        {"Tab_5", "toolButton_Develop", "Develop", "Develop.png"},
    };
    for (const Button& b : buttons) {
        SCOPED_TRACE(b.name);
        auto* button = qobject_cast<QAbstractButton*>(child(b.name));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(child(b.tab)->isAncestorOf(button));
        EXPECT_EQ(button->text(), QString::fromUtf8(b.text));
        if (b.icon) {
            EXPECT_TRUE(sameIcon(button->icon(), kImages + QLatin1String(b.icon)));
        }
    }
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Lidar")->isCheckable());
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_SavePcapData")->isCheckable());

    const std::pair<const char*, const char*> tabs[] = {
        {"Tab_1", "Lidar"}, {"Tab_4", "Offline"}, {"Tab_3", "K740-P"}, {"Tab_5", "Help"}};
    auto* tabWidget = window->findChild<QTabWidget*>();
    ASSERT_NE(tabWidget, nullptr);
    for (const auto& t : tabs)
        EXPECT_EQ(tabWidget->tabText(tabWidget->indexOf(child(t.first))), QLatin1String(t.second))
            << t.first;
}

TEST_F(MainWindowTest, CombosFieldsAndLabelsCarryTheirItems) {
    struct Combo {
        const char* name;
        std::vector<const char*> items;
        std::vector<const char*> icons;
    };
    const Combo combos[] = {
        {"comboBox_View", {"Front", "Top", "Left"}, {"zhengshi.png", "fushi.png", "zuoshi.png"}},
        {"CBox_Echo",
         {"StrongEcho", "DualEcho", "DualEcho_first", "DualEcho_second"},
         {"Measure_mentGrid.png", "Measure_mentGrid.png", "Measure_mentGrid.png",
          "Measure_mentGrid.png"}},
        {"comboBox_4",
         {"Intensity", "Solid", "Elevation", "Azimuth", "LaserID"},
         {"Purple.png", "Purple.png", "Color.png", "Green.png", "Yellow.png"}},
        {"comboBox_degree", {"View Mode 1", "View Mode 2"}, {}},
        {"comboBoxLidarModel", {"K740", "K740防爆协议"}, {}},
        {"comboBox_agree", {"协议1.6", "协议1.7"}, {}},
    };
    for (const Combo& c : combos) {
        SCOPED_TRACE(c.name);
        auto* combo = qobject_cast<QComboBox*>(child(c.name));
        ASSERT_NE(combo, nullptr);
        ASSERT_EQ(combo->count(), int(c.items.size()));
        for (int i = 0; i < combo->count(); ++i) {
            EXPECT_EQ(combo->itemText(i), QString::fromUtf8(c.items[i]));
            if (!c.icons.empty()) {
                EXPECT_TRUE(sameIcon(combo->itemIcon(i), kImages + QLatin1String(c.icons[i])));
            }
        }
    }
    EXPECT_EQ(named<QComboBox>(*window, "comboBox_agree")->currentText(), QString::fromUtf8("协议1.6"));

    const std::pair<const char*, const char*> texts[] = {
        {"label_portNumber", "Port Number："},
        {"lineEdit_portNumber", "2368"},
        {"label", "  Telemetry Port："},
        {"lineEdit", "2369"},
        {"label_2", " Multicast IP:"},
        {"lineEdit_2", "224.1.1.1"},
        {"label_3", "显示角度：±"},
        {"showAngle_lineEdit", "180.0"},
        {"LabFileLoading", "文件加载："},
        {"LabCsvFileSave", "文件保存："},
    };
    for (const auto& t : texts) {
        QWidget* w = child(t.first);
        ASSERT_NE(w, nullptr) << t.first;
        const QString shown = qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                                       : qobject_cast<QLineEdit*>(w)->text();
        EXPECT_EQ(shown, QString::fromUtf8(t.second)) << t.first;
    }
    EXPECT_TRUE(named<QWidget>(*window, "Tab_4")->isAncestorOf(named<QSlider>(*window, "Slider_Frame")));
    EXPECT_TRUE(named<QWidget>(*window, "Tab_4")->isAncestorOf(named<QSpinBox>(*window, "Spbox_Frame")));
    EXPECT_TRUE(named<QWidget>(*window, "Tab_4")->isAncestorOf(named<QProgressBar>(*window, "analysedata")));
    EXPECT_TRUE(named<QWidget>(*window, "Tab_3")->isAncestorOf(named<QProgressBar>(*window, "FileSaveProgressBar")));
    EXPECT_EQ(QString::fromLatin1(named<QVTKOpenGLNativeWidget>(*window, "screen")->metaObject()->className()),
              QStringLiteral("QVTKOpenGLNativeWidget"));
    EXPECT_TRUE(named<QSplitter>(*window, "splitter")->isAncestorOf(named<QVTKOpenGLNativeWidget>(*window, "screen")));
}

TEST_F(MainWindowTest, StartsMaximisedWithPaletteDockAndHiddenWidgets) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("RV-K740-P"));
    EXPECT_TRUE(sameIcon(window->windowIcon(), kImages + QStringLiteral("kestrel-K740-P.png")));
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);

    const QPalette p = QApplication::palette();
    EXPECT_EQ(p.color(QPalette::Window), QColor(230, 230, 230));
    EXPECT_EQ(p.color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(p.color(QPalette::Base), QColor(255, 255, 255));
    EXPECT_EQ(p.color(QPalette::AlternateBase), QColor(105, 105, 105));
    EXPECT_EQ(p.color(QPalette::ToolTipBase), QColor(Qt::black));
    EXPECT_EQ(p.color(QPalette::Button), QColor(105, 105, 105));
    EXPECT_EQ(p.color(QPalette::BrightText), QColor(Qt::red));
    EXPECT_EQ(p.color(QPalette::Highlight), QColor(142, 45, 197).lighter(150));
    EXPECT_EQ(p.color(QPalette::HighlightedText), QColor(Qt::black));

    for (const char* name :
         {"showAngle_lineEdit", "label_3", "Btn_ACWPSetting", "CBox_Echo", "toolButton_User",
          "toolButton_Develop", "Btn_Channel", "setVerticalPushButton", "analysedata",
          "LabFileLoading", "FileSaveProgressBar", "LabCsvFileSave"})
        EXPECT_TRUE(child(name)->isHidden()) << name;
    for (const char* name : {"toolButton_Play", "toolButton_GoToEnd", "toolButton_GoToStart",
                             "toolButton_SeekBackward", "toolButton_SeekForward"})
        EXPECT_FALSE(child(name)->isEnabled()) << name;
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Open")->isEnabled());

    EXPECT_EQ(named<QDockWidget>(*window, "LidraDataDock")->windowTitle(), QStringLiteral("LidarData"));
    EXPECT_TRUE(named<QDockWidget>(*window, "LidraDataDock")->isAncestorOf(named<QTableView>(*window, "tableView")));
    auto* model = qobject_cast<QStandardItemModel*>(named<QTableView>(*window, "tableView")->model());
    ASSERT_NE(model, nullptr);
    ASSERT_EQ(model->columnCount(), 6);
    const char* headers[] = {"PointID",     "Points_cm_XYZ", "Azimuth",
                             "Distance_cm", "Intensity",     "Timestamp"};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(model->horizontalHeaderItem(c)->text(), QLatin1String(headers[c]));

    // The data list button shows and hides the dock.
    const bool shown = named<QDockWidget>(*window, "LidraDataDock")->isVisible();
    named<QToolButton>(*window, "tolbtn_LidarDataList")->click();
    EXPECT_NE(named<QDockWidget>(*window, "LidraDataDock")->isVisible(), shown);
    named<QToolButton>(*window, "tolbtn_LidarDataList")->click();
    EXPECT_EQ(named<QDockWidget>(*window, "LidraDataDock")->isVisible(), shown);

    // The status bar carries the maker's link, opened in the browser.
    QLabel* link = nullptr;
    for (QLabel* l : named<QStatusBar>(*window, "statusBar")->findChildren<QLabel*>())
        if (l->text().contains(QLatin1String("<a href"))) link = l;
    ASSERT_NE(link, nullptr);
    EXPECT_TRUE(link->openExternalLinks());
    EXPECT_EQ(link->textFormat(), Qt::RichText);
}

TEST_F(MainWindowTest, EveryTextShowsWholeDownTo1024x700WithTheDockAndInServiceMode) {
    ASSERT_TRUE(exposed);
    window->onCodeData(QStringLiteral("k740service"));  // the service controls join the tabs
    ASSERT_TRUE(roomOf<k740::ServiceRoom>(*window)->unlocked());
    window->showNormal();
    window->resize(1024, 700);
    ASSERT_TRUE(waitUntil([&] { return window->width() == 1024 && window->height() == 700; }, 3000))
        << "the window cannot be made 1024 x 700: it needs " << window->minimumSizeHint().width();
    ASSERT_TRUE(named<QDockWidget>(*window, "LidraDataDock")->isVisible());
    for (QWidget* tab : {named<QWidget>(*window, "Tab_1"), named<QWidget>(*window, "Tab_4"), named<QWidget>(*window, "Tab_3"), named<QWidget>(*window, "Tab_5")}) {
        named<QTabWidget>(*window, "tabWidget")->setCurrentWidget(tab);
        QCoreApplication::processEvents();
        for (QWidget* w : tab->findChildren<QWidget*>()) {
            const bool hasText = qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                                 qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w) ||
                                 qobject_cast<QSpinBox*>(w);
            if (!hasText || !w->isVisible()) continue;
            // The room its text asks for, inside the window.
            auto* edit = qobject_cast<QLineEdit*>(w);
            EXPECT_GE(w->width(), edit ? k740::lineEditWidthFor(edit, edit->text()) : w->sizeHint().width())
                << w->objectName().toStdString();
            EXPECT_TRUE(window->rect().contains(QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size())))
                << w->objectName().toStdString();
        }
    }
}

TEST_F(MainWindowTest, RefusalsWhileTheLiveDisplayIsOff) {
    named<QToolButton>(*window, "tolbtn_offdata")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, k740::Dialogs::Kind::Warning);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("warn"));
    EXPECT_EQ(dialogs.calls[0].text,
              QStringLiteral(
                  "This operation cannot be performed because lidar data is not being played"));
    EXPECT_EQ(named<QToolButton>(*window, "tolbtn_offdata")->text(), QStringLiteral("Pause"));
    EXPECT_TRUE(window->displayRunning());

    named<QToolButton>(*window, "toolButton_SavePcapData")->click();
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].kind, k740::Dialogs::Kind::Information);
    EXPECT_EQ(dialogs.calls[1].title, QStringLiteral("warn"));
    EXPECT_EQ(dialogs.calls[1].text, QStringLiteral("Please connect the lidar first"));
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_SavePcapData")->isChecked());

    named<QPushButton>(*window, "Btn_SaveCSV")->click();
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[2].kind, k740::Dialogs::Kind::Information);
    EXPECT_EQ(dialogs.calls[2].title, QStringLiteral("warn"));
    EXPECT_EQ(dialogs.calls[2].text, QStringLiteral("Please connect the lidar first"));
    EXPECT_FALSE(window->liveRunning());
}

TEST_F(MainWindowTest, LiveDisplayIsRefusedWhileAFilePlays) {
    putInMode(*window, k740::WindowMode::Playing);
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, k740::Dialogs::Kind::Warning);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("warn"));
    EXPECT_EQ(
        dialogs.calls[0].text,
        QStringLiteral(
            "The current video is playing and the real - time lidar display cannot be turned on"));
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_Lidar")->isChecked());
    EXPECT_FALSE(window->liveRunning());
    EXPECT_FALSE(receiverOf(*window)->isRunning());
}

class LiveWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        freePortPair(&dataPort, &devicePort);
        named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QString::number(dataPort));
        named<QLineEdit>(*window, "lineEdit")->setText(QString::number(devicePort));
    }
    std::uint16_t dataPort = 0, devicePort = 0;
};

TEST_F(LiveWindowTest, SwitchStartsBothReceiversWithTheFormsSettings) {
    named<QComboBox>(*window, "comboBox_agree")->setCurrentIndex(1);
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(window->liveRunning());
    EXPECT_TRUE(named<QToolButton>(*window, "toolButton_Lidar")->isChecked());
    GetlidarData_1* r = receiverOf(*window);
    GetSet* s = statusReceiverOf(*window);
    EXPECT_TRUE(r->isRunning());
    EXPECT_TRUE(s->isRunning());
    EXPECT_EQ(r->m_Port.load(), dataPort);
    EXPECT_EQ(s->m_Port.load(), devicePort);
    EXPECT_EQ(r->boundPort(), dataPort);
    EXPECT_EQ(s->boundPort(), devicePort);
    EXPECT_EQ(r->m_MulticastIp, QStringLiteral("224.1.1.1"));
    EXPECT_EQ(s->m_MulticastIp, QStringLiteral("224.1.1.1"));
    EXPECT_EQ(r->m_PendingProtocol.load(), 1);

    // While live, the protocol combo reaches the receiver at once.
    named<QComboBox>(*window, "comboBox_agree")->setCurrentIndex(0);
    EXPECT_EQ(r->m_PendingProtocol.load(), 0);

    // Record and play refusals of the live state.
    named<QToolButton>(*window, "toolButton_Play")->setEnabled(true);
    named<QToolButton>(*window, "toolButton_Play")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, k740::Dialogs::Kind::Warning);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("warn"));
    EXPECT_EQ(
        dialogs.calls[0].text,
        QStringLiteral(
            "The real-time lidar data is being played. Please close the lidar connection before "
            "playing offline data "));

    // Off: run flags cleared at once, without waiting for the loops.
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    EXPECT_FALSE(window->liveRunning());
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_Lidar")->isChecked());
    EXPECT_FALSE(r->m_Running.load());
    EXPECT_FALSE(s->m_Running.load());
    EXPECT_TRUE(waitUntil([&] { return !r->isRunning() && !s->isRunning(); }, 3000));

    // While off, the protocol combo leaves the receiver alone.
    named<QComboBox>(*window, "comboBox_agree")->setCurrentIndex(1);
    EXPECT_EQ(r->m_PendingProtocol.load(), 0);
}

TEST_F(LiveWindowTest, SwitchingOnAgainRightAwayWaitsForTheOldLoopsAndRebinds) {
    GetlidarData_1* r = receiverOf(*window);
    GetSet* s = statusReceiverOf(*window);
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        named<QToolButton>(*window, "toolButton_Lidar")->click();  // on
        ASSERT_TRUE(window->liveRunning());
        EXPECT_TRUE(r->isRunning());
        EXPECT_TRUE(s->isRunning());
        EXPECT_TRUE(r->m_Running.load());
        EXPECT_EQ(r->boundPort(), dataPort);
        EXPECT_EQ(s->boundPort(), devicePort);
        named<QToolButton>(*window, "toolButton_Lidar")->click();  // off, and on again in the next round at once
        EXPECT_FALSE(window->liveRunning());
    }
    EXPECT_TRUE(waitUntil([&] { return !r->isRunning() && !s->isRunning(); }, 3000));
}

// The live display stays off, with its button unchecked and no loop running, and a warning
// names what was wrong.
void expectRefusedStart(manwindow& w, DialogRecorder& dialogs, const QString& field) {
    dialogs.calls.clear();
    named<QToolButton>(w, "toolButton_Lidar")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, k740::Dialogs::Kind::Warning);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("warn"));
    EXPECT_TRUE(dialogs.calls[0].text.contains(field)) << dialogs.calls[0].text.toStdString();
    EXPECT_FALSE(w.liveRunning());
    EXPECT_FALSE(named<QToolButton>(w, "toolButton_Lidar")->isChecked());
    EXPECT_FALSE(receiverOf(w)->isRunning());
    EXPECT_FALSE(statusReceiverOf(w)->isRunning());
    EXPECT_EQ(w.modeState().mode(), k740::WindowMode::Idle);
}

TEST_F(LiveWindowTest, FieldsThatAreNoPortOrGroupAreRefusedByName) {
    // Which texts are ports or groups is the live settings rules' test; here each field once.
    named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QStringLiteral("70000"));
    expectRefusedStart(*window, dialogs, QStringLiteral("Port Number"));
    named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(*window, "lineEdit")->setText(QStringLiteral("abc"));
    expectRefusedStart(*window, dialogs, QStringLiteral("Telemetry Port"));
    named<QLineEdit>(*window, "lineEdit")->setText(QString::number(devicePort));
    named<QLineEdit>(*window, "lineEdit_2")->setText(QStringLiteral("224.1.1"));
    expectRefusedStart(*window, dialogs, QStringLiteral("Multicast IP"));

    // Corrected, the same fields start the live display.
    named<QLineEdit>(*window, "lineEdit_2")->setText(QStringLiteral("224.1.1.1"));
    dialogs.calls.clear();
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(window->liveRunning());
    EXPECT_EQ(receiverOf(*window)->boundPort(), dataPort);
}

TEST_F(LiveWindowTest, APortInUseIsToldAndNothingGoesLive) {
    // Another program holds the data port on loopback.
    k740::UdpSocket other;
    ASSERT_TRUE(other.open());
    ASSERT_TRUE(other.bind(0, "127.0.0.1"));
    const std::uint16_t busy = other.localPort();
    named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QString::number(busy));
    expectRefusedStart(*window, dialogs, QString::number(busy));
    // The telemetry port in use is told just the same, and the data receiver is let go.
    named<QLineEdit>(*window, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(*window, "lineEdit")->setText(QString::number(busy));
    expectRefusedStart(*window, dialogs, QString::number(busy));
    EXPECT_EQ(receiverOf(*window)->boundPort(), 0);

    // Once the port is free again, the next click goes live.
    other.close();
    dialogs.calls.clear();
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_TRUE(window->liveRunning());
    EXPECT_EQ(statusReceiverOf(*window)->boundPort(), busy);
}

TEST_F(LiveWindowTest, AGroupThatCannotBeJoinedIsToldByName) {
    // No interface of this machine has an address in TEST-NET-1: joining through it fails.
    window->setMulticastInterface(QStringLiteral("192.0.2.1"));
    named<QLineEdit>(*window, "lineEdit_2")->setText(QStringLiteral("239.1.1.7"));
    expectRefusedStart(*window, dialogs, QStringLiteral("239.1.1.7"));
}

TEST_F(LiveWindowTest, PauseButtonFlipsBetweenPauseAndPlay) {
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    named<QToolButton>(*window, "tolbtn_offdata")->click();
    EXPECT_FALSE(window->displayRunning());
    EXPECT_EQ(named<QToolButton>(*window, "tolbtn_offdata")->text(), QStringLiteral("Paly "));
    EXPECT_TRUE(sameIcon(named<QToolButton>(*window, "tolbtn_offdata")->icon(), kImages + QStringLiteral("Green.png")));
    named<QToolButton>(*window, "tolbtn_offdata")->click();
    EXPECT_TRUE(window->displayRunning());
    EXPECT_EQ(named<QToolButton>(*window, "tolbtn_offdata")->text(), QStringLiteral("Pause"));
    EXPECT_TRUE(sameIcon(named<QToolButton>(*window, "tolbtn_offdata")->icon(), kImages + QStringLiteral("Red.png")));
    EXPECT_TRUE(dialogs.calls.empty());

    // Recording is no longer refused while live: it asks for a file name (cancelled here, so
    // nothing records and the button is unchecked again).
    named<QToolButton>(*window, "toolButton_SavePcapData")->click();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].title, QStringLiteral("Save PCAP"));
    EXPECT_FALSE(named<QToolButton>(*window, "toolButton_SavePcapData")->isChecked());
    dialogs.calls.clear();

    // Switching off while paused leaves no paused display behind: the next session draws.
    named<QToolButton>(*window, "tolbtn_offdata")->click();
    ASSERT_FALSE(window->displayRunning());
    named<QToolButton>(*window, "toolButton_Lidar")->click();
    EXPECT_TRUE(window->displayRunning());
    EXPECT_EQ(named<QToolButton>(*window, "tolbtn_offdata")->text(), QStringLiteral("Pause"));
    EXPECT_TRUE(sameIcon(named<QToolButton>(*window, "tolbtn_offdata")->icon(), kImages + QStringLiteral("Red.png")));
}

TEST_F(MainWindowTest, ModeCombosAndTheAngleFieldReachTheirTargets) {
    QSignalSpy model(window.get(), &manwindow::SendModel);
    QSignalSpy degree(window.get(), &manwindow::SendDegreeMode);

    named<QComboBox>(*window, "CBox_Echo")->setCurrentIndex(2);
    EXPECT_EQ(window->returnMode(), 2);
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.at(0).at(0).toInt(), 2);
    // The receiver object lives in this thread, so the return mode is there at once.
    EXPECT_EQ(receiverOf(*window)->m_ReturnMode.load(), 2);

    named<QComboBox>(*window, "comboBox_degree")->setCurrentIndex(1);
    EXPECT_EQ(window->viewMode(), 1);
    ASSERT_EQ(degree.count(), 1);
    EXPECT_EQ(degree.at(0).at(0).toInt(), 1);

    named<QLineEdit>(*window, "showAngle_lineEdit")->setText(QStringLiteral("90"));
    emit named<QLineEdit>(*window, "showAngle_lineEdit")->returnPressed();
    EXPECT_FLOAT_EQ(k740::g_DisplayAngleLimit, 90.0f);
    // A typo is refused with a warning naming the field; the limit stays.
    named<QLineEdit>(*window, "showAngle_lineEdit")->setText(QStringLiteral("ninety"));
    emit named<QLineEdit>(*window, "showAngle_lineEdit")->returnPressed();
    EXPECT_FLOAT_EQ(k740::g_DisplayAngleLimit, 90.0f);
    ASSERT_FALSE(dialogs.calls.empty());
    EXPECT_EQ(dialogs.calls.back().kind, k740::Dialogs::Kind::Warning);
    EXPECT_TRUE(dialogs.calls.back().text.contains(QString::fromUtf8("显示角度")));
    k740::g_DisplayAngleLimit = 180.0f;
}

}  // namespace
