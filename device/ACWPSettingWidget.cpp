// The advanced settings window: form, status delivery, captures, packets and the GPS test.
#include "device/ACWPSettingWidget.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTimer>

#include "acquisition/gps_time_test.h"
#include "app/dialogs_seam.h"
#include "app/runtime_icons.h"
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

// Shows the wait cursor while a capture search runs.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

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

ACWPSettingWidget::~ACWPSettingWidget() = default;

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
    std::string error;
    const auto adapters = k740::listCaptureAdapters(&error);
    // The address a capture found wins; before that, the one device packets announce.
    const std::uint32_t sensor = m_SensorAddress != 0 ? m_SensorAddress : m_NotedSensorAddress;
    const k740::AdapterChoice choice =
        k740::chooseCaptureAdapter(adapters, sensor, m_CaptureInterface.toStdString());
    if (!choice.ok() && failure)
        *failure = QString::fromStdString((error.empty() ? choice.error : error) + ". " +
                                          k740::adapterChoiceHelp(adapters));
    return choice;
}

ACWPSettingWidget::Search ACWPSettingWidget::captureDevicePacket(bool fullHeader, int frameLimit,
                                                                 k740::CapturedDevicePacket* out,
                                                                 QString* detail) {
    const k740::AdapterChoice choice = chooseAdapter(detail);
    if (!choice.ok()) return Search::NoAdapter;
    std::string error;
    BusyCursor busy;
    k740::FrameSearch search;
    search.frameLimit = frameLimit;
    // Only UDP payloads beginning A5 FF reach the count: the data stream (about 900 packets a
    // second) would otherwise use up the frame limit before the next device packet came.
    search.filter = "udp[8:2] = 0xa5ff";
    std::vector<std::uint8_t> frame;
    const auto result = k740::searchFrame(
        choice.name, search,
        [fullHeader, this](const std::uint8_t* bytes, std::size_t length) {
            const auto packet = k740::devicePacketFromFrame(bytes, length, fullHeader);
            return packet &&
                   (m_SensorFilter.isEmpty() || k740::ipv4Text(packet->sourceIp) == m_SensorFilter);
        },
        &frame, &error);
    if (result == k740::FrameSearchResult::OpenFailed) {
        *detail = QString::fromStdString(error);
        return Search::NoAdapter;
    }
    if (result == k740::FrameSearchResult::NotFound) return Search::NotFound;
    *out = *k740::devicePacketFromFrame(frame.data(), frame.size(), fullHeader);
    const auto& ip = out->sourceIp;
    m_SensorAddress = (std::uint32_t(ip[0]) << 24) | (std::uint32_t(ip[1]) << 16) |
                      (std::uint32_t(ip[2]) << 8) | ip[3];
    return Search::Found;
}

bool ACWPSettingWidget::sendPacket(const QByteArray& packet, const QString& address,
                                   std::uint16_t port) {
    m_SendBuffer = packet;
    m_LastAddress = address;
    m_LastPort = port;
    QString why;
    if (k740::sendConfigDatagram(packet, address, port, &why)) return true;
    k740::Dialogs::critical(this, errorTitle(),
                            QString::fromLatin1(k740::kTextSendFailed).arg(address, why));
    return false;
}

void ACWPSettingWidget::showRefusal(const k740::Refusal& refusal) {
    if (refusal.title == errorTitle())
        k740::Dialogs::critical(this, refusal.title, refusal.text);
    else
        k740::Dialogs::warning(nullptr, refusal.title, refusal.text);
}

void ACWPSettingWidget::onRefreshbutton_clicked() {
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
    k740::CapturedDevicePacket captured;
    QString detail;
    const Search found = captureDevicePacket(false, kRefreshFrameLimit, &captured, &detail);
    if (found == Search::NoAdapter) {
        k740::Dialogs::critical(this, errorTitle(),
                                k740::uiText(k740::kTextNoAdapter) + QLatin1Char('\n') + detail);
        return;
    }
    if (found == Search::NotFound) {
        k740::Dialogs::warning(nullptr, QString::fromLatin1(k740::kTitleWarring),
                               tr(k740::kTextNoLidar));
    } else {
        const k740::AdvancedReadback r =
            k740::advancedReadback(m_LastStatus, m_StatusValues, captured.payload.data());
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

    k740::CapturedDevicePacket captured;
    QString detail;
    const Search found = captureDevicePacket(true, kSetFrameLimit, &captured, &detail);
    if (found == Search::NoAdapter) {
        k740::Dialogs::critical(
            this, errorTitle(),
            k740::uiText(k740::kTextCaptureFailed) + QLatin1Char('\n') + detail);
        return;
    }
    if (found == Search::Found) {
        m_Packet = k740::buildAdvancedPacket(captured, m_LastStatus.motorState, check.values,
                                             k740::currentLocalTime());
        const QString address = k740::ipv4Text(captured.sourceIp);
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
    k740::CapturedDevicePacket captured;
    QString detail;
    const Search found = captureDevicePacket(true, kSetFrameLimit, &captured, &detail);
    if (found == Search::NoAdapter) {
        k740::Dialogs::critical(this, errorTitle(),
                                k740::uiText(k740::kTextNoAdapter) + QLatin1Char('\n') + detail);
        return;
    }
    if (found == Search::NotFound) {
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
        k740::settingsFileText(captured.payload.data(), captured.payload.size());
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
