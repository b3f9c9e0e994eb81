// The main window's start-up, wiring and the slots that forward to the rooms.
#include "app/manwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QSpinBox>
#include <QPalette>
#include <QPointer>
#include <QStandardItemModel>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/metatypes.h"
#include "app/About.h"
#include "app/live_session.h"
#include "app/rules/live_settings.h"
#include "app/mode_refusal.h"
#include "display/dialogs_seam.h"
#include "app/recording_room.h"
#include "app/service_room.h"
#include "app/settings_memory.h"
#include "app/settings_room.h"
#include "app/close_request.h"
#include "app/window_layout.h"
#include "app/export_room.h"
#include "app/figures_room.h"
#include "app/picking_room.h"
#include "app/piece_room.h"
#include "app/snapshot_room.h"
#include "export/SaveDataOptions.h"
#include "app/playback_room.h"
#include "app/pace_room.h"
#include "app/ruler_room.h"
#include "device/GetSet.h"
#include "playback/ReadLiveOffData.h"
#include "ui_manwindow.h"

namespace {
// Frames queued towards the window at most; newer ones are dropped by the receiver until the
// window has drawn one.
constexpr int kMaxFramesInFlight = 2;
// The capture-file player waits instead of dropping: every frame of the file is shown.
constexpr int kPlayerFramesInFlight = 2;
// While an export runs every frame must reach its file: the window draws nothing then and
// keeps up, and this many give it seconds of slack before a frame would be lost.
constexpr int kMaxFramesInFlightExporting = 64;
}  // namespace

manwindow::manwindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::manwindowClass) {
    ui->setupUi(this);

    k740::registerMetaTypes();
    k740::g_DisplayAngleLimit = 180.0f;

    applyPalette();
    setWindowState(windowState() | Qt::WindowMaximized);

    // The transport buttons wait for a capture file.
    ui->toolButton_Play->setEnabled(false);
    ui->toolButton_GoToEnd->setEnabled(false);
    ui->toolButton_GoToStart->setEnabled(false);
    ui->toolButton_SeekBackward->setEnabled(false);
    ui->toolButton_SeekForward->setEnabled(false);

    m_Export = new k740::ExportRoom(this, ui->FileSaveProgressBar, ui->LabCsvFileSave);

    // Long-lived workers, without parent; they live as long as the process.
    m_Receiver = new GetlidarData_1();
    m_Receiver->setMaxFramesInFlight(kMaxFramesInFlight);
    m_StatusReceiver = new GetSet();
    m_Export->setLiveLink(
        {[this] { return m_Receiver ? m_Receiver->framesDropped() : 0LL; },
         [this](bool exporting) {
             if (m_Receiver)
                 m_Receiver->setMaxFramesInFlight(exporting ? kMaxFramesInFlightExporting
                                                            : kMaxFramesInFlight);
         }});
    k740::LiveSession::Widgets live;
    live.liveButton = ui->toolButton_Lidar;
    live.pauseButton = ui->tolbtn_offdata;
    live.dataPort = ui->lineEdit_portNumber;
    live.devicePort = ui->lineEdit;
    live.group = ui->lineEdit_2;
    live.protocol = ui->comboBox_agree;
    m_Live = new k740::LiveSession(this, live, m_Receiver, m_StatusReceiver, m_State, this);
    m_SettingsRoom = new k740::SettingsRoom(ui->Btn_Setting, ui->toolButton_About, m_Receiver,
                                            m_StatusReceiver, this);
    m_Player = new ReadLiveOffData();
    m_Player->setMaxFramesInFlight(kPlayerFramesInFlight);
    m_Pace = new k740::PaceRoom(ui->checkBox_RealTime, m_Player, this);
    k740::PlaybackRoom::Widgets transport;
    transport.open = ui->toolButton_Open;
    transport.play = ui->toolButton_Play;
    transport.goToStart = ui->toolButton_GoToStart;
    transport.goToEnd = ui->toolButton_GoToEnd;
    transport.seekForward = ui->toolButton_SeekForward;
    transport.seekBackward = ui->toolButton_SeekBackward;
    transport.slider = ui->Slider_Frame;
    transport.spinBox = ui->Spbox_Frame;
    transport.progressBar = ui->analysedata;
    transport.progressLabel = ui->LabFileLoading;
    transport.model = ui->comboBoxLidarModel;
    m_Playback = new k740::PlaybackRoom(this, transport, m_Player, m_Receiver,
                                        [this]() { return m_Live->startedOnce(); }, m_State, this);
    m_Piece = new k740::PieceRoom(this, ui->toolButton_SaveFrames, ui->Slider_Frame, m_Player, this);
    // The recorder listens on the adapter that carries the sensor's traffic: the one whose
    // subnet holds the address of the last device information packet.
    for (k740::UdpReceiver* source : {static_cast<k740::UdpReceiver*>(m_Receiver),
                                      static_cast<k740::UdpReceiver*>(m_StatusReceiver)})
        connect(source, &k740::UdpReceiver::SendDataDifo, this, &manwindow::noteDevicePacket,
                Qt::UniqueConnection);
    m_Recording = new k740::RecordingRoom(
        this, ui->toolButton_SavePcapData, ui->lineEdit_portNumber, [this] { return bool(m_LiveRunning); },
        [this] { return m_LastSensorAddress; }, this);
    connect(m_Recording, &k740::RecordingRoom::recordingChanged, this,
            [this](bool recording) {
                m_State.apply(recording ? k740::WindowEvent::RecordingStarted
                                        : k740::WindowEvent::RecordingStopped);
            });
    m_ServiceRoom = new k740::ServiceRoom(
        this,
        {ui->Tab_3, ui->horizontalLayout_K740, ui->setVerticalPushButton, ui->Btn_Channel,
         ui->Btn_ACWPSetting, ui->CBox_Echo, ui->label_3, ui->showAngle_lineEdit},
        m_Receiver, m_StatusReceiver, this);

    k740::ViewRoom::Widgets viewWidgets;
    viewWidgets.screen = ui->screen;
    viewWidgets.presets = ui->comboBox_View;
    viewWidgets.table = ui->tableView;
    m_View = new k740::ViewRoom(viewWidgets, this);
    addLinkLabel();

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

    m_View->resetTable();
    m_Picking = new k740::PickingRoom(
        {this, ui->screen, m_View->viewer(), m_View->realTimeCloudPtr(), m_View->clickedCloudPtr(),
         m_View->displayMutex(), ui->tableView, m_View->tableModel(), [this] { m_View->resetTable(); },
         [this] { m_View->repaint(); },
         [this](char code, const char* keySym) { m_View->injectKey(code, keySym); }},
        [this] {
            return k740::PickingRoom::StoredFrame{ui->comboBox_agree->currentIndex(),
                                                  ui->comboBox_degree->currentIndex(),
                                                  m_NotPlayingOffline || !m_DisplayRunning, &m_LastFrame};
        },
        this);
    m_View->setSelectionSource([this] {
        const k740::PickingRoom::Selection& s = m_Picking->selection();
        return k740::ViewRoom::SelectionView{s.active, s.box, s.readoutOn};
    });
    ui->analysedata->hide();
    ui->LabFileLoading->hide();
    ui->FileSaveProgressBar->hide();
    ui->LabCsvFileSave->hide();

    m_Ruler = new k740::RulerRoom(this, ui->toolButton_Measure, m_View->viewer(),
                                  [this] { return m_View->realTimeCloud(); }, [this] { m_View->repaint(); },
                                  this);

    // Comforts: a snapshot of the view, the live figures, a trail of frames, seeking keys,
    // dropped files and toggles that show their state.
    m_Snapshot = new k740::SnapshotRoom(this, ui->screen, ui->toolButton_Snapshot, [this] {
        return k740::playbackActive(m_State) ? m_Playback->frameIndex() : int(m_View->framesDrawn());
    }, this);
    k740::FiguresRoom::Sources figures;
    figures.live = [this] { return bool(m_LiveRunning); };
    figures.running = [this] { return m_LiveRunning || m_Playing; };
    figures.counters = [this] {
        k740::FigureSample f;
        f.framesDrawn = m_View->framesDrawn();
        f.datagrams = m_Receiver->datagramsReceived();
        f.framesDroppedCap = m_Receiver->framesCapped();
        f.framesDroppedFlight =
            m_Receiver->framesDropped() + m_StaleFramesSkipped + m_Player->framesSkipped();
        return f;
    };
    figures.pacedPlay = [this] { return m_Playing && m_Player->realTime(); };
    figures.sensorAddress = [this] { return m_LastSensorAddress; };
    figures.recordingBytes = [this]() -> qint64 {
        return m_Recording->isRecording() ? QFileInfo(m_Recording->fileName()).size() : -1;
    };
    m_Figures = new k740::FiguresRoom(ui->statusBar, figures, {m_Receiver, m_StatusReceiver}, this);
    // The figures come and go with the live display and playback, not a second later.
    m_State.follow([this](const k740::WindowState&) { m_Figures->tick(); });
    // Frames drawn together, older ones fainter (1 = off).
    ui->spinBox_Trail->setRange(1, k740::kMaxTrail);
    connect(ui->spinBox_Trail, QOverload<int>::of(&QSpinBox::valueChanged), m_View, &k740::ViewRoom::setTrailLength);
    m_Playback->addKeys(ui->Tab_4);
    connect(m_Playback, &k740::PlaybackRoom::frameToShow, this, &manwindow::CalculateCoordinates);
    setAcceptDrops(true);
    for (QToolButton* b : {ui->toolButton_MeaGrid, ui->toolButton_Coor, ui->tolbtn_LidarDataList})
        b->setCheckable(true);
    connect(ui->LidraDataDock, &QDockWidget::visibilityChanged, this, [this] { showToggleStates(); });
    showToggleStates();

    // Closing the window ends the program even while a modal window is open.
    m_CloseRequests = std::make_unique<k740::CloseRequestWhileBlocked>(this);

    ui->comboBoxLidarModel->addItem(QStringLiteral("K740"));
    ui->comboBoxLidarModel->addItem(QStringLiteral("K740防爆协议"));
    connect(ui->comboBoxLidarModel, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::process);
    // The tabs span the window and every text in them shows whole (the rooms' widgets too).
    k740::layOutMainWindow(this, {ui->tabWidget, ui->lineEdit_portNumber, ui->lineEdit, ui->lineEdit_2,
                                  ui->showAngle_lineEdit, {ui->Tab_1, ui->Tab_4, ui->Tab_3, ui->Tab_5}});
}

manwindow::~manwindow() {
    // The form's widgets and the rooms go after this body, with the window's members already
    // gone: nothing they signal on their way out (the dock hiding) may reach the window.
    for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
    // The player first: its queued frames and end report must not outlive the window.
    delete m_Player;
    m_Player = nullptr;
    const bool stopped = stopReceivers(k740::LiveSession::kStopWaitMs);
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
    connect(ui->showAngle_lineEdit, &QLineEdit::returnPressed, this,
            &manwindow::showAngleLinedit_pressed);
    connect(ui->setVerticalPushButton, &QPushButton::clicked, this,
            &manwindow::showVerticalSetting);
    connect(ui->toolButton_clear, &QToolButton::clicked, this, &manwindow::clearView);
    connect(ui->comboBox_View, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::view);
    // Choosing the preset already shown applies it again (after the operator moved the camera).
    connect(ui->comboBox_View, QOverload<int>::of(&QComboBox::activated), this, &manwindow::view);
    connect(ui->toolButton_Coor, &QToolButton::clicked, this, &manwindow::toggleAxes);
    connect(ui->toolButton_Lidar, &QToolButton::clicked, this, &manwindow::onLidar_Clicked);
    connect(ui->toolButton_MeaGrid, &QToolButton::clicked, this, &manwindow::toggleGrid);
    connect(ui->tolbtn_LidarDataList, &QToolButton::clicked, this, &manwindow::onDataList_Clicked);
    connect(ui->tolbtn_offdata, &QToolButton::clicked, this, &manwindow::onPauseDisplay_Clicked);
    connect(ui->toolButton_SavePcapData, &QToolButton::clicked, this,
            &manwindow::onSavePcapData_Clicked);
    connect(ui->toolButton_Play, &QToolButton::clicked, this, &manwindow::onPlay_Clicked);
    connect(ui->toolButton_Open, &QToolButton::clicked, this, &manwindow::onOpen_Clicked);
    connect(ui->toolButton_GoToStart, &QToolButton::clicked, this,
            &manwindow::onGoToStart_Clicked);
    connect(ui->toolButton_GoToEnd, &QToolButton::clicked, this, &manwindow::onGoToEnd_Clicked);
    connect(ui->toolButton_SeekForward, &QToolButton::clicked, this,
            &manwindow::onSeekForward_Clicked);
    connect(ui->toolButton_SeekBackward, &QToolButton::clicked, this,
            &manwindow::onSeekBackward_Clicked);
    connect(ui->Btn_SaveCSV, &QPushButton::clicked, this, &manwindow::onSaveCSV_Clicked);
    connect(m_Export->optionsDialog(), &SaveDataOptions::sendOptions, this, &manwindow::receiveSaveDataOption);
    connect(m_Export, &k740::ExportRoom::exportFinished, this, &manwindow::Sig_SaveCSV, Qt::QueuedConnection);
    connect(this, &manwindow::Sig_SaveCSV, this, &manwindow::On_SaveCSV);
    connect(ui->toolButton_selectCloud, &QToolButton::clicked, this, &manwindow::SelectPoints);
    connect(ui->CBox_Echo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &manwindow::Return_Mode);
    connect(ui->comboBox_degree, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::Return_Degree);
    connect(ui->comboBox_agree, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &manwindow::OnAgreeIndexChange);

    // Worker threads: queued across threads, one connection each however often this runs.
    connect(m_Receiver, &GetlidarData_1::SendData, this, &manwindow::CalculateCoordinates,
            Qt::UniqueConnection);
    connect(this, &manwindow::SendModel, m_Receiver, &GetlidarData_1::Receive,
            Qt::UniqueConnection);
    connect(m_Player, &ReadLiveOffData::SendData, this, &manwindow::CalculateCoordinates,
            Qt::UniqueConnection);
    connect(m_Player, &ReadLiveOffData::SendBool, this, &manwindow::FinshorStart,
            Qt::UniqueConnection);
    // A further file opened after a played one starts from an empty view.
    connect(m_Playback, &k740::PlaybackRoom::viewResetNeeded, this, &manwindow::clearView);

    // A live session that starts gets a fresh table.
    connect(m_Live, &k740::LiveSession::started, m_View, &k740::ViewRoom::resetTable);
}

void manwindow::addLinkLabel() {
    auto* link = new QLabel(this);
    link->setObjectName(QStringLiteral("label_Link"));
    link->setTextFormat(Qt::RichText);
    link->setStyleSheet(QStringLiteral("color: white;"));
    link->setOpenExternalLinks(true);
    link->setText(
        QStringLiteral("<a href=\"https://www.kestrel-lidar.example/\">Kestrel K740-P lidar</a>"));
    ui->statusBar->addPermanentWidget(link);
}

void manwindow::showToggleStates() {
    ui->toolButton_MeaGrid->setChecked(!m_View->gridHidden());
    ui->toolButton_Coor->setChecked(m_View->axesShown());
    ui->tolbtn_LidarDataList->setChecked(!ui->LidraDataDock->isHidden());
}

void manwindow::dragEnterEvent(QDragEnterEvent* event) {
    for (const QUrl& u : event->mimeData()->urls())
        if (u.isLocalFile()) {
            event->acceptProposedAction();
            return;
        }
}

void manwindow::dropEvent(QDropEvent* event) {
    event->acceptProposedAction();
    // Opening shows its progress and boxes: after the drop has ended, not inside it.
    const QList<QUrl> urls = event->mimeData()->urls();
    QMetaObject::invokeMethod(this, [this, urls] { m_Playback->openDropped(urls); }, Qt::QueuedConnection);
}

void manwindow::CalculateCoordinates(struct LidarDataSingleLine lidardata) {
    // The player hears of every frame of its own once it is drawn (or left undrawn).
    struct PlayerFrameDone {
        ReadLiveOffData* player;
        ~PlayerFrameDone() {
            if (player) player->frameConsumed();
        }
    } playerFrameDone{sender() == m_Player ? m_Player : nullptr};
    // The receiver keeps only a couple of frames on their way here; this one has arrived. When
    // drawing falls behind and a newer frame is already waiting, this one is stale: skip it.
    if (m_Receiver && sender() == m_Receiver) {
        m_Receiver->frameConsumed();
        // An export writes every frame, stale or not.
        if (m_Receiver->framesInFlight() > 0 && m_DisplayRunning && !m_Closing && !m_Export->saving()) {
            ++m_StaleFramesSkipped;
            return;
        }
    }
    if (!m_DisplayRunning || m_Closing) return;
    // A frame that reaches drawing, live or from a file, means data has been received.
    m_SettingsRoom->aboutDialog()->setDataReceived();

    m_LastFrame = lidardata;
    ui->comboBox_4->setEnabled(true);
    k740::CloudOptions options;
    options.protocol = ui->comboBox_agree->currentIndex();
    options.viewMode = ui->comboBox_degree->currentIndex();
    options.colourMode = ui->comboBox_4->currentIndex();
    options.angleLimit = k740::g_DisplayAngleLimit;
    // While an export runs the frame goes to the file instead of the view.
    const bool exported = m_Export->exportFrame(lidardata, {options.protocol, options.viewMode});
    m_View->drawFrame(lidardata, options, exported, m_Picking->inBoxHook(lidardata));
}

void manwindow::view() { m_View->applyPreset(); }

void manwindow::toggleAxes() {
    m_View->toggleAxes();
    showToggleStates();
}

void manwindow::toggleGrid() {
    m_View->toggleGrid();
    m_Ruler->redraw();  // hiding the grid takes every shape, the ruler's too
    showToggleStates();
}

void manwindow::clearView() {
    m_Picking->clear();
    m_Ruler->clear();
    m_View->clear();
    showToggleStates();
}

void manwindow::onViewerKey(const pcl::visualization::KeyboardEvent& event) { m_View->onKey(event); }

std::unique_ptr<k740::SettingsMemory> manwindow::settingsMemory(const QString& file) {
    const k740::SettingsMemory::Widgets w{
        ui->lineEdit_portNumber, ui->lineEdit,          ui->lineEdit_2,         ui->comboBox_agree,
        ui->comboBoxLidarModel,  ui->comboBox_4,        ui->comboBox_degree,    ui->toolButton_MeaGrid,
        ui->toolButton_Coor,     ui->tolbtn_LidarDataList, ui->LidraDataDock};
    return std::make_unique<k740::SettingsMemory>(*this, w, k740::SettingsMemory::Rooms{m_View, m_Playback, m_Pace},
                                                  file);
}

void manwindow::setMulticastInterface(const QString& address) {
    m_Live->setMulticastInterface(address);
}

bool manwindow::stopReceivers(int waitMs) { return m_Live->stop(waitMs); }

void manwindow::closeEvent(QCloseEvent* event) {
    m_Closing = true;
    stopReceivers(k740::LiveSession::kStopWaitMs);
    // A running export writes what it was handed and, cut short, says so (file name, stderr).
    m_Export->endOnClose();
    QMainWindow::closeEvent(event);
    // Every other window goes with this one, so the program ends whatever else is open: each is
    // asked to close (its own closing work runs), and one that refuses is hidden. A dialog
    // waiting in its own event loop returns from it as it hides.
    QList<QPointer<QWidget>> others;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible() && !qobject_cast<manwindow*>(w)) others.append(w);
    for (const QPointer<QWidget>& other : others) {
        if (other) other->close();
        if (other && other->isVisible()) other->hide();
    }
}

void manwindow::onLidar_Clicked() { m_Live->toggle(); }

void manwindow::onPauseDisplay_Clicked() { m_Live->togglePause(); }

void manwindow::onDataList_Clicked() {
    if (ui->LidraDataDock->isHidden())
        ui->LidraDataDock->show();
    else
        ui->LidraDataDock->hide();
    showToggleStates();
}

void manwindow::onSavePcapData_Clicked() {
    if (!k740::allowedNow(this, m_State, k740::WindowAction::ToggleRecording)) {
        ui->toolButton_SavePcapData->setChecked(false);
        return;
    }
    m_Recording->toggle();
}

void manwindow::onSaveCSV_Clicked() {
    if (!k740::allowedNow(this, m_State, k740::WindowAction::OpenExportOptions)) return;
    m_Export->showOptions(m_LiveRunning);
}

void manwindow::receiveSaveDataOption(bool isSave, int freams, float angleMin, float angleMax, QList<int> lines) {
    m_Export->receiveOptions(isSave, freams, angleMin, angleMax, lines,
                             {ui->comboBox_agree->currentIndex(), ui->comboBox_degree->currentIndex()},
                             !m_DisplayRunning, m_LastFrame);
}

void manwindow::On_SaveCSV() { m_Export->reportSaved(); }

void manwindow::SelectPoints() { m_Picking->selectPoints(); }


void manwindow::onPlay_Clicked() { m_Playback->playClicked(); }

void manwindow::onOpen_Clicked() { m_Playback->openClicked(); }

bool manwindow::openCaptureFile(const QString& path) { return m_Playback->openFile(path); }

void manwindow::onGoToStart_Clicked() { m_Playback->stepBackwardClicked(); }

void manwindow::onGoToEnd_Clicked() { m_Playback->stepForwardClicked(); }

void manwindow::onSeekForward_Clicked() { m_Playback->seekForwardClicked(); }

void manwindow::onSeekBackward_Clicked() { m_Playback->seekBackwardClicked(); }

void manwindow::FinshorStart(bool Finshone) { m_Playback->finishedOrStarted(Finshone); }

void manwindow::process(int) {}

void manwindow::noteDevicePacket(QByteArray packet) {
    m_LastSensorAddress = QString::fromStdString(k740::sensorAddressText(
        reinterpret_cast<const std::uint8_t*>(packet.constData()), std::size_t(packet.size())));
}

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
    const QString text = ui->showAngle_lineEdit->text();
    if (!k740::parseDisplayAngleField(text, &k740::g_DisplayAngleLimit))
        k740::Dialogs::warning(this, QStringLiteral("warn"), k740::displayAngleRefusal(text));
}

void manwindow::OnAgreeIndexChange(int index) {
    m_View->clearTrail();  // frames of the other protocol do not belong with the next ones
    m_Live->protocolChanged(index);
}
