// The main window's start-up, wiring, state flags and the live display switch.
#include "app/manwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QLabel>
#include <QPalette>
#include <QStandardItemModel>
#include <QTimer>
#include <QtGlobal>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/metatypes.h"
#include "app/dialogs_seam.h"
#include "app/service_room.h"
#include "app/settings_room.h"
#include "device/GetSet.h"
#include "ui_manwindow.h"

namespace {
// Longest wait for one receiver loop to end (it polls its socket every few milliseconds).
constexpr int kThreadStopWaitMs = 2000;
// Frames queued towards the window at most; newer ones are dropped by the receiver until the
// window has drawn one.
constexpr int kMaxFramesInFlight = 2;
}  // namespace

manwindow::manwindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::manwindowClass) {
    ui->setupUi(this);

    k740::registerMetaTypes();
    k740::g_DisplayAngleLimit = 180.0f;

    applyPalette();
    setWindowState(windowState() | Qt::WindowMaximized);
    m_FrameIndex = 0;

    // The transport buttons wait for a capture file.
    ui->toolButton_Play->setEnabled(false);
    ui->toolButton_GoToEnd->setEnabled(false);
    ui->toolButton_GoToStart->setEnabled(false);
    ui->toolButton_SeekBackward->setEnabled(false);
    ui->toolButton_SeekForward->setEnabled(false);

    // Long-lived workers, without parent; they live as long as the process.
    m_Receiver = new GetlidarData_1();
    m_Receiver->setMaxFramesInFlight(kMaxFramesInFlight);
    m_StatusReceiver = new GetSet();
    m_SettingsRoom = std::make_unique<k740::SettingsRoom>(ui.get(), m_Receiver, m_StatusReceiver);
    m_ServiceRoom = std::make_unique<k740::ServiceRoom>(this, ui.get(), m_Receiver, m_StatusReceiver);

    setupViewer();

    // Functions reserved for the maker's service staff stay out of sight.
    ui->showAngle_lineEdit->hide();
    ui->label_3->hide();
    ui->Btn_ACWPSetting->hide();
    ui->CBox_Echo->hide();
    ui->toolButton_User->hide();
    ui->toolButton_Develop->hide();
    ui->Btn_Channel->hide();
    ui->setVerticalPushButton->hide();

    makeConnections();

    m_TableModel = new QStandardItemModel(this);
    resetTableModel();
    ui->tableView->setModel(m_TableModel);
    sizeTableColumns();
    ui->analysedata->hide();
    ui->LabFileLoading->hide();
    ui->FileSaveProgressBar->hide();
    ui->LabCsvFileSave->hide();
    m_NotPlayingOffline = true;

    ui->comboBoxLidarModel->addItem(QStringLiteral("K740"));
    ui->comboBoxLidarModel->addItem(QStringLiteral("K740防爆协议"));
    connect(ui->comboBoxLidarModel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::process);
}

manwindow::~manwindow() {
    const bool stopped = stopReceivers(kThreadStopWaitMs);
    // A thread that would not end is left alone rather than destroyed under its own feet;
    // the process is ending anyway.
    if (stopped) {
        delete m_Receiver;
        delete m_StatusReceiver;
    }
    m_Receiver = nullptr;
    m_StatusReceiver = nullptr;
}

void manwindow::applyPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(230, 230, 230));
    p.setColor(QPalette::WindowText, Qt::black);
    p.setColor(QPalette::Base, QColor(255, 255, 255));
    p.setColor(QPalette::AlternateBase, QColor(105, 105, 105));
    p.setColor(QPalette::ToolTipBase, Qt::black);
    p.setColor(QPalette::ToolTipText, Qt::black);
    p.setColor(QPalette::Text, Qt::black);
    p.setColor(QPalette::Button, QColor(105, 105, 105));
    p.setColor(QPalette::ButtonText, Qt::black);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Highlight, QColor(142, 45, 197).lighter(150));
    p.setColor(QPalette::HighlightedText, Qt::black);
    QApplication::setPalette(p);
}

void manwindow::makeConnections() {
    connect(ui->showAngle_lineEdit, &QLineEdit::returnPressed, this, &manwindow::showAngleLinedit_pressed);
    connect(ui->setVerticalPushButton, &QPushButton::clicked, this, &manwindow::showVerticalSetting);
    connect(ui->toolButton_clear, &QToolButton::clicked, this, &manwindow::clearView);
    connect(ui->comboBox_View, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &manwindow::view);
    connect(ui->toolButton_Coor, &QToolButton::clicked, this, &manwindow::toggleAxes);
    connect(ui->toolButton_Lidar, &QToolButton::clicked, this, &manwindow::onLidar_Clicked);
    connect(ui->toolButton_MeaGrid, &QToolButton::clicked, this, &manwindow::toggleGrid);
    connect(ui->tolbtn_LidarDataList, &QToolButton::clicked, this, &manwindow::onDataList_Clicked);
    connect(ui->tolbtn_offdata, &QToolButton::clicked, this, &manwindow::onPauseDisplay_Clicked);
    connect(ui->toolButton_SavePcapData, &QToolButton::clicked, this, &manwindow::onSavePcapData_Clicked);
    connect(ui->toolButton_Play, &QToolButton::clicked, this, &manwindow::onPlay_Clicked);
    connect(ui->Slider_Frame, &QSlider::valueChanged, ui->Spbox_Frame, &QSpinBox::setValue);
    connect(ui->Spbox_Frame, QOverload<int>::of(&QSpinBox::valueChanged), ui->Slider_Frame, &QSlider::setValue);
    connect(ui->Btn_SaveCSV, &QPushButton::clicked, this, &manwindow::onSaveCSV_Clicked);
    connect(ui->CBox_Echo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &manwindow::Return_Mode);
    connect(ui->comboBox_degree, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::Return_Degree);
    connect(ui->comboBox_agree, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::OnAgreeIndexChange);

    // Worker threads: queued across threads, one connection each however often this runs.
    connect(m_Receiver, &GetlidarData_1::SendData, this, &manwindow::CalculateCoordinates, Qt::UniqueConnection);
    connect(this, &manwindow::SendModel, m_Receiver, &GetlidarData_1::Receive, Qt::UniqueConnection);
}

void manwindow::setMulticastInterface(const QString& address) { m_MulticastInterface = address; }

bool manwindow::stopReceivers(int waitMs) {
    bool stopped = true;
    if (m_Receiver) {
        m_Receiver->m_Running = false;
        m_Receiver->closeSocket();
    }
    if (m_StatusReceiver) {
        m_StatusReceiver->m_Running = false;
        m_StatusReceiver->closeSocket();
    }
    if (m_Receiver && m_Receiver->isRunning()) stopped = m_Receiver->wait(waitMs) && stopped;
    if (m_StatusReceiver && m_StatusReceiver->isRunning()) stopped = m_StatusReceiver->wait(waitMs) && stopped;
    m_LiveRunning = false;
    return stopped;
}

void manwindow::closeEvent(QCloseEvent* event) {
    m_Closing = true;
    stopReceivers(kThreadStopWaitMs);
    QMainWindow::closeEvent(event);
}

void manwindow::onLidar_Clicked() {
    if (!m_NotPlayingOffline) {
        k740::Dialogs::warning(
            this, QStringLiteral("warn"),
            QStringLiteral("The current video is playing and the real - time lidar display cannot be turned on"));
        ui->toolButton_Lidar->setChecked(false);
        return;
    }
    if (m_LiveRunning) {
        // Switching off does not wait: the loops see their run flags and close their sockets.
        m_Receiver->m_Running = false;
        m_Receiver->closeSocket();
        m_StatusReceiver->m_Running = false;
        m_StatusReceiver->closeSocket();
        m_LiveRunning = false;
        ui->toolButton_Lidar->setChecked(false);
        return;
    }

    // Loops of a previous live session must be gone before their sockets are replaced.
    if (m_Receiver->isRunning()) m_Receiver->wait(kThreadStopWaitMs);
    if (m_StatusReceiver->isRunning()) m_StatusReceiver->wait(kThreadStopWaitMs);
    if (m_Receiver->isRunning() || m_StatusReceiver->isRunning()) {
        qWarning("The previous receive loop has not ended; the live display stays off.");
        ui->toolButton_Lidar->setChecked(false);
        return;
    }

    resetTableModel();
    ui->tableView->setModel(m_TableModel);
    m_LiveRunning = true;
    m_LiveStartedOnce = true;
    m_Receiver->m_Port = static_cast<std::uint16_t>(ui->lineEdit_portNumber->text().toInt());
    m_StatusReceiver->m_Port = static_cast<std::uint16_t>(ui->lineEdit->text().toInt());
    m_Receiver->m_MulticastIp = ui->lineEdit_2->text();
    m_StatusReceiver->m_MulticastIp = ui->lineEdit_2->text();
    m_Receiver->m_InterfaceIp = m_MulticastInterface;
    m_StatusReceiver->m_InterfaceIp = m_MulticastInterface;
    m_Receiver->m_Running = true;
    m_StatusReceiver->m_Running = true;
    m_Receiver->m_PendingProtocol = ui->comboBox_agree->currentIndex() == 0 ? 0 : 1;
    m_Receiver->setupSocket();
    m_StatusReceiver->setupSocket();
    m_Receiver->start(QThread::InheritPriority);
    m_StatusReceiver->start(QThread::InheritPriority);
    ui->toolButton_Lidar->setChecked(true);
}

void manwindow::onPauseDisplay_Clicked() {
    if (!m_LiveRunning) {
        k740::Dialogs::warning(this, QStringLiteral("warn"),
                               QStringLiteral("This operation cannot be performed because lidar data is not being played"));
        return;
    }
    if (m_DisplayRunning) {
        ui->tolbtn_offdata->setText(QStringLiteral("Paly "));
        ui->tolbtn_offdata->setIcon(QIcon(QStringLiteral(":/image/Resources/images/Green.png")));
    } else {
        ui->tolbtn_offdata->setText(QStringLiteral("Pause"));
        ui->tolbtn_offdata->setIcon(QIcon(QStringLiteral(":/image/Resources/images/Red.png")));
    }
    m_DisplayRunning = !m_DisplayRunning;
}

void manwindow::onDataList_Clicked() {
    if (ui->LidraDataDock->isHidden())
        ui->LidraDataDock->show();
    else
        ui->LidraDataDock->hide();
}

void manwindow::onSavePcapData_Clicked() {
    if (!m_LiveRunning) {
        k740::Dialogs::information(this, QStringLiteral("warn"), QStringLiteral("Please connect the lidar first"));
        ui->toolButton_SavePcapData->setChecked(false);
        return;
    }
    // The recorder itself is not part of this build yet: nothing starts.
    ui->toolButton_SavePcapData->setChecked(false);
}

void manwindow::onSaveCSV_Clicked() {
    if (!m_LiveRunning) {
        k740::Dialogs::information(this, QStringLiteral("warn"), QStringLiteral("Please connect the lidar first"));
        return;
    }
    // The export options dialog joins here together with the CSV export.
}

void manwindow::onPlay_Clicked() {
    if (m_LiveRunning) {
        k740::Dialogs::warning(this, QStringLiteral("warn"),
                               QStringLiteral("The real-time lidar data is being played. Please close the lidar "
                                              "connection before playing offline data "));
        return;
    }
    // Starting a capture file joins here together with the playback thread.
}

void manwindow::process(int) {}

void manwindow::onCodeData(QString code) { m_ServiceRoom->onCodeData(code); }

void manwindow::Return_Mode() {
    m_ReturnMode = ui->CBox_Echo->currentIndex();
    emit SendModel(m_ReturnMode);
}

void manwindow::Return_Degree() {
    m_ViewMode = ui->comboBox_degree->currentIndex();
    emit SendDegreeMode(m_ViewMode);
}

void manwindow::showVerticalSetting() { Return_Degree(); }

void manwindow::showAngleLinedit_pressed() {
    k740::g_DisplayAngleLimit = ui->showAngle_lineEdit->text().toFloat();
}

void manwindow::OnAgreeIndexChange(int index) {
    if (m_LiveRunning) m_Receiver->m_PendingProtocol = index;
}
