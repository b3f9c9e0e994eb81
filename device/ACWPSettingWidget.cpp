// The advanced settings window: form, status delivery, captures, packets and the GPS test.
#include "device/ACWPSettingWidget.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "acquisition/gps_stamp_log.h"
#include "display/dialogs_seam.h"
#include "resources/runtime_icons.h"
#include "device/config_sender.h"
#include "platform/capture_device.h"
#include "platform/udp_socket.h"
#include "ui_ACWPSettingWidget.h"

namespace {

constexpr int kSetFrameLimit = 3000;      // frames searched by Set and Save
constexpr int kRefreshFrameLimit = 1000;  // frames searched by Refresh
const char* const kFilter = "Supported Files (*.ini)";

QString tipsTitle() { return QString::fromLatin1(k740::kTitleTips); }
QString errorTitle() { return QString::fromLatin1(k740::kTitleError); }

}  // namespace

ACWPSettingWidget::ACWPSettingWidget(QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::ACWPSettingWidget>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
    k740::registerDeviceMetaTypes();
    m_GpsLogRoot = k740::defaultGpsLogRoot();
    const char* icons[3] = {"./Resources/images/5.png", "./Resources/images/10.png",
                            "./Resources/images/20.png"};
    for (int i = 0; i < 3; ++i)
        ui->comboBox_rotateSpeed->setItemIcon(i, k740::runtimeIcon(QString::fromLatin1(icons[i])));
    // Nothing fills these two: they stay hidden.
    ui->label_SerialNumber->hide();
    ui->lineEdit_SerialNumber->hide();
    ui->label_Version->hide();
    ui->lineEdit_Version->hide();

    connect(ui->pushButton_OK, &QPushButton::clicked, this, &ACWPSettingWidget::onOK_Clicked);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this,
            &ACWPSettingWidget::onCancel_Clicked);
    connect(ui->pushButton_Refreshlidar, &QPushButton::clicked, this,
            &ACWPSettingWidget::onRefreshbutton_clicked);
    connect(ui->pushButton_SaveSettingfile, &QPushButton::clicked, this,
            &ACWPSettingWidget::onSaveSettingFile);
    connect(ui->pushButton_RecoverSetting, &QPushButton::clicked, this,
            &ACWPSettingWidget::onRecoverSetting);
    connect(ui->pushButton_startCheck, &QPushButton::clicked, this,
            &ACWPSettingWidget::onStartCheck_Clicked);
}

ACWPSettingWidget::~ACWPSettingWidget() {
    // A search still running ends within its own bound (the thread's destructor waits for
    // it); its result, queued to this window, goes with it.
    m_AfterSearch = nullptr;
    showSearchWait(false);
    m_Search.reset();
}

k740::AdvancedForm ACWPSettingWidget::formValues() const {
    k740::AdvancedForm f;
    f.highReflect = ui->lineEdit_HighReflect->text();
    f.range = ui->lineEdit_21->text();
    f.tailThreshold = ui->lineEdit_tw->text();
    f.tailDistance = ui->lineEdit_twjl->text();
    f.offsetAngle = ui->lineEdit_deviationAngle->text();
    f.calibrationAngle = ui->lineEdit_MaPanAngle->text();
    f.zeroPosition = ui->comboBox_Zero_degree_position->currentIndex();
    f.echoMode = ui->comboBox_SingleOrDouble->currentIndex();
    f.rotateSpeed = ui->comboBox_rotateSpeed->currentText();
    return f;
}

void ACWPSettingWidget::showFromMainWindow() {
    show();
    m_Refreshed = false;
}

void ACWPSettingWidget::onLidarStatusReceiving(SettingData data, std::vector<int> Mac) {
    m_LastStatus = data;
    m_StatusValues = std::move(Mac);
    if (m_StatusValues.size() < k740::kStatusValueCount) return;
    ui->lineEdit_board2HV->setText(QString::number(m_StatusValues[16]));
    ui->lineEdit_board2HV_adjust->setText(QString::number(m_StatusValues[17]));
    ui->lineEdit_board2HV_sill->setText(QString::number(m_StatusValues[18]));
}

void ACWPSettingWidget::noteSensorAddress(const QString& address) {
    std::uint32_t ip = 0;
    if (k740::UdpSocket::parseIPv4(address.toStdString(), &ip)) m_NotedSensorAddress = ip;
}

k740::AdapterChoice ACWPSettingWidget::chooseAdapter(QString* failure) const {
    // The address a capture found wins; before that, the one device packets announce.
    const std::uint32_t sensor = m_SensorAddress != 0 ? m_SensorAddress : m_NotedSensorAddress;
    return k740::chooseDeviceAdapter(m_CaptureInterface, sensor, failure);
}

void ACWPSettingWidget::startSearch(bool fullHeader, int frameLimit, AfterSearch then) {
    if (m_SearchRunning) return;  // its buttons are disabled; a second search never starts
    k740::DevicePacketSearch search;
    search.captureInterface = m_CaptureInterface;
    // The address a capture found wins; before that, the one device packets announce.
    search.sensorAddress = m_SensorAddress != 0 ? m_SensorAddress : m_NotedSensorAddress;
    search.sensorFilter = m_SensorFilter;
    search.fullHeader = fullHeader;
    search.frameLimit = frameLimit;
    m_AfterSearch = std::move(then);
    m_SearchRunning = true;
    m_OkEnabledBeforeSearch = ui->pushButton_OK->isEnabled();
    ui->pushButton_Refreshlidar->setEnabled(false);
    ui->pushButton_OK->setEnabled(false);
    ui->pushButton_SaveSettingfile->setEnabled(false);
    showSearchWait(true);
    // The worker gets the search as a value and hands its result back as one.
    m_Search = std::make_unique<k740::DevicePacketSearchThread>(search);
    connect(m_Search.get(), &k740::DevicePacketSearchThread::searchEnded, this,
            &ACWPSettingWidget::onSearchEnded, Qt::QueuedConnection);
    m_Search->start();
}

void ACWPSettingWidget::onSearchEnded(const k740::DevicePacketFound& found) {
    m_Search.reset();  // it has handed over its result: the thread is at its end
    m_SearchRunning = false;
    showSearchWait(false);
    ui->pushButton_Refreshlidar->setEnabled(true);
    ui->pushButton_OK->setEnabled(m_OkEnabledBeforeSearch);
    ui->pushButton_SaveSettingfile->setEnabled(true);
    if (found.status == Search::Found) {
        const auto& ip = found.packet.sourceIp;
        m_SensorAddress = (std::uint32_t(ip[0]) << 24) | (std::uint32_t(ip[1]) << 16) |
                          (std::uint32_t(ip[2]) << 8) | ip[3];
    }
    AfterSearch then = std::move(m_AfterSearch);
    m_AfterSearch = nullptr;
    if (then) then(found);
}

void ACWPSettingWidget::showSearchWait(bool waiting) {
    if (waiting == m_WaitCursorShown) return;
    m_WaitCursorShown = waiting;
    if (waiting)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

void ACWPSettingWidget::closeEvent(QCloseEvent* event) {
    // Closed while a search runs: the operator has given up on it. Its buttons stay disabled
    // until it ends, but its result changes nothing and shows no box.
    if (m_SearchRunning) {
        m_AfterSearch = nullptr;
        showSearchWait(false);
    }
    QWidget::closeEvent(event);
}

bool ACWPSettingWidget::sendPacket(const QByteArray& packet, const QString& address,
                                   std::uint16_t port) {
    m_SendBuffer = packet;
    m_LastAddress = address;
    std::string why;
    if (k740::sendConfigDatagram(packet.constData(), std::size_t(packet.size()), address.toStdString(), port, &why))
        return true;
    k740::Dialogs::critical(this, errorTitle(),
                            QString::fromLatin1(k740::kTextSendFailed).arg(address, QString::fromStdString(why)));
    return false;
}

void ACWPSettingWidget::showRefusal(const k740::Refusal& refusal) {
    if (refusal.title == errorTitle())
        k740::Dialogs::critical(this, refusal.title, refusal.text);
    else
        k740::Dialogs::warning(nullptr, refusal.title, refusal.text);
}

void ACWPSettingWidget::onRefreshbutton_clicked() {
    if (m_SearchRunning) return;  // one search at a time
    QString failure;
    if (!chooseAdapter(&failure).ok()) {
        k740::Dialogs::critical(this, errorTitle(),
                                k740::uiText(k740::kTextNoAdapter) + QLatin1Char('\n') + failure);
        return;
    }
    if (m_StatusValues.empty()) {
        k740::Dialogs::critical(this, errorTitle(), k740::uiText(k740::kTextNoStatus));
        return;
    }
    startSearch(false, kRefreshFrameLimit,
                [this](const k740::DevicePacketFound& found) { showRefreshed(found); });
}

void ACWPSettingWidget::showRefreshed(const k740::DevicePacketFound& found) {
    if (found.status == Search::NoAdapter) {
        k740::Dialogs::critical(
            this, errorTitle(), k740::uiText(k740::kTextNoAdapter) + QLatin1Char('\n') + found.detail);
        return;
    }
    if (found.status == Search::NotFound) {
        k740::Dialogs::warning(nullptr, QString::fromLatin1(k740::kTitleWarring),
                               tr(k740::kTextNoLidar));
    } else {
        const k740::AdvancedReadback r =
            k740::advancedReadback(m_LastStatus, m_StatusValues, found.packet.payload.data());
        ui->lineEdit_22->setEnabled(false);
        ui->lineEdit_21->setText(r.range);
        ui->lineEdit_22->setText(r.range);
        ui->lineEdit_tw->setText(r.tailThreshold);
        ui->lineEdit_twjl->setText(r.tailDistance);
        ui->lineEdit_HighReflect->setText(r.highReflect);
        if (r.zeroPosition >= 0) ui->comboBox_Zero_degree_position->setCurrentIndex(r.zeroPosition);
        if (r.echoMode >= 0) ui->comboBox_SingleOrDouble->setCurrentIndex(r.echoMode);
        ui->lineEdit_deviationAngle->setText(r.offsetAngle);
        ui->lineEdit_MaPanAngle->setText(r.calibrationAngle);
        ui->lineEdit_Board_2->setText(r.board2Version);
        ui->lineEdit_Board_3->setText(r.board3Version);
        if (r.rotationIndex >= 0) ui->comboBox_rotateSpeed->setCurrentIndex(r.rotationIndex);
        k740::Dialogs::information(this, tipsTitle(),
                                   QString::fromLatin1(k740::kTextRefreshCompleted));
    }
    ui->pushButton_OK->setEnabled(true);
    m_Refreshed = true;
}

void ACWPSettingWidget::onOK_Clicked() {
    if (m_SearchRunning) return;  // one search at a time
    if (!m_Refreshed) {
        k740::Dialogs::critical(this, errorTitle(), k740::uiText(k740::kTextNotRefreshed));
        return;
    }
    // The typed values are checked before the capture: a refusal costs no search.
    const k740::AdvancedCheck check = k740::checkAdvancedForm(formValues());
    if (check.refusal) {
        showRefusal(*check.refusal);
        return;
    }
    if (check.values.tailZero &&
        k740::Dialogs::question(this, errorTitle(), k740::uiText(k740::kTextTailZero),
                                QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;

    startSearch(true, kSetFrameLimit,
                [this, values = check.values](const k740::DevicePacketFound& found) {
                    sendOnCaptured(found, values);
                });
}

void ACWPSettingWidget::sendOnCaptured(const k740::DevicePacketFound& found,
                                       const k740::AdvancedValues& values) {
    if (found.status == Search::NoAdapter) {
        k740::Dialogs::critical(
            this, errorTitle(),
            k740::uiText(k740::kTextCaptureFailed) + QLatin1Char('\n') + found.detail);
        return;
    }
    if (found.status == Search::Found) {
        const k740::CapturedDevicePacket& captured = found.packet;
        m_Packet = k740::buildAdvancedPacket(captured, m_LastStatus.motorState, values,
                                             k740::currentLocalTime());
        const QString address = QString::fromStdString(k740::ipv4Text(captured.sourceIp));
        const std::uint16_t port = captured.sourcePort;
        if (sendPacket(m_Packet, address, port))
            k740::Dialogs::information(this, tipsTitle(),
                                       QString::fromLatin1(k740::kTextSetupCompleted));
    } else {
        k740::Dialogs::warning(nullptr, QString::fromLatin1(k740::kTitleWarring),
                               tr(k740::kTextNoLidar));
    }
    m_Refreshed = false;
}

void ACWPSettingWidget::onSaveSettingFile() {
    if (m_SearchRunning) return;  // one search at a time
    startSearch(true, kSetFrameLimit,
                [this](const k740::DevicePacketFound& found) { saveCaptured(found); });
}

void ACWPSettingWidget::saveCaptured(const k740::DevicePacketFound& found) {
    if (found.status == Search::NoAdapter) {
        k740::Dialogs::critical(
            this, errorTitle(), k740::uiText(k740::kTextNoAdapter) + QLatin1Char('\n') + found.detail);
        return;
    }
    if (found.status == Search::NotFound) {
        k740::Dialogs::critical(this, errorTitle(), k740::uiText(k740::kTextSaveNoPacket));
        return;
    }
    const QString name = k740::Dialogs::getSaveFileName(
        this, QStringLiteral("WireSharkCaptureFile"), QString(), QString::fromLatin1(kFilter));
    if (name.isEmpty()) return;
    QFile file(name);  // the name reaches the file system through QFile::encodeName
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        k740::Dialogs::critical(this, errorTitle(), k740::uiText(k740::kTextOpenFileFailed));
        return;
    }
    const QByteArray text =
        k740::settingsFileText(found.packet.payload.data(), found.packet.payload.size());
    const bool written = file.write(text) == text.size() && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError)
        k740::Dialogs::critical(this, errorTitle(),
                                QStringLiteral("The settings file %1 could not be written: %2")
                                    .arg(name, file.errorString()));
}

void ACWPSettingWidget::onRecoverSetting() {
    const k740::RestoreTarget target =
        k740::restoreTarget(ui->lineEdit_DestIP->text(), ui->lineEdit_DestPort->text());
    if (target.refusal) {
        showRefusal(*target.refusal);
        return;
    }
    if (sendPacket(k740::defaultNetworkPacket(k740::currentLocalTime()), target.address,
                   target.port))
        k740::Dialogs::information(this, tipsTitle(), k740::uiText(k740::kTextResetCompleted));
}

bool ACWPSettingWidget::gpsTestRunning() const {
    return ui->pushButton_startCheck->text() != tr("Start");
}

void ACWPSettingWidget::endGpsTest() {
    ui->lineEdit_IDNumber->setEnabled(true);
    ui->pushButton_startCheck->setText(tr("Start"));
    ++m_GpsTestNumber;
    emit sendStopTest();
}

void ACWPSettingWidget::onStartCheck_Clicked() {
    if (gpsTestRunning()) {
        endGpsTest();
        return;
    }
    const QString number = ui->lineEdit_IDNumber->text();
    if (number.isEmpty()) {
        k740::Dialogs::warning(nullptr, QString::fromLatin1(k740::kTitleWarring),
                               tr(k740::kTextNumberEmpty));
        return;
    }
    if (m_GpsWhyNot) {
        const QString why = m_GpsWhyNot();
        if (!why.isEmpty()) {
            k740::Dialogs::warning(this, QString::fromLatin1(k740::kTitleWarring), why);
            return;
        }
    }
    const k740::GpsLogPaths paths =
        k740::gpsLogPaths(m_GpsLogRoot, number, QDateTime::currentDateTime());
    // Both logs must open before the test shows as running: a test that writes nothing
    // would pass for one that found no jump.
    QString failed;
    if (!QDir().mkpath(paths.folder)) failed = paths.folder;
    for (const QString& path : {paths.mainLog, paths.errorLog}) {
        if (!failed.isEmpty()) break;
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) failed = path;
    }
    if (!failed.isEmpty()) {
        k740::Dialogs::critical(this, errorTitle(),
                                QStringLiteral("The GPS test log %1 cannot be created.")
                                    .arg(QDir::toNativeSeparators(failed)));
        return;
    }
    ui->lineEdit_IDNumber->setEnabled(false);
    ui->pushButton_startCheck->setText(tr("Stop"));
    ui->lineEdit_ErrorNumber->setText(QStringLiteral("0"));
    const int test = ++m_GpsTestNumber;
    emit sendTestFileName(paths.mainLog, paths.errorLog);
    if (m_GpsPacketsLogged)
        QTimer::singleShot(kGpsSilenceMs, this, [this, test] { checkGpsTestLogs(test); });
}

void ACWPSettingWidget::checkGpsTestLogs(int testNumber) {
    // Only the test that asked, and only while it still runs.
    if (testNumber != m_GpsTestNumber || !gpsTestRunning()) return;
    if (m_GpsPacketsLogged() > 0) return;
    endGpsTest();
    k740::Dialogs::warning(
        this, QString::fromLatin1(k740::kTitleWarring),
        QStringLiteral("No data block has been logged in %1 s, so the GPS time-stamp test has "
                       "ended. It needs the live display on, in \"StrongEcho\", receiving data "
                       "packets (not single-line packets).")
            .arg(kGpsSilenceMs / 1000));
}

void ACWPSettingWidget::onGpsTestFailed(QString why) {
    if (gpsTestRunning()) endGpsTest();
    k740::Dialogs::critical(this, errorTitle(), why);
}

void ACWPSettingWidget::recvErrorCount(int count) {
    ui->lineEdit_ErrorNumber->setText(QString::number(count));
}

void ACWPSettingWidget::recvTimeStamp(QString stamp) {
    // The receiver already reports at most 20 stamps a second; the label shows the latest.
    m_LatestStamp = stamp;
    showLatestStamp();
}

void ACWPSettingWidget::showLatestStamp() { ui->lineEdit_timeStamp->setText(m_LatestStamp); }

void ACWPSettingWidget::onCleanACWPControl() {
    ui->lineEdit_SerialNumber->clear();
    ui->lineEdit_Version->clear();
}

void ACWPSettingWidget::onCancel_Clicked() { close(); }
