// The network and operating settings window.
#include "device/InetactionSetupWidget.h"

#include <QEvent>
#include <QIntValidator>
#include <QRegExpValidator>
#include <cstring>

#include "acquisition/packet_format.h"
#include "display/dialogs_seam.h"
#include "resources/runtime_icons.h"
#include "device/config_sender.h"
#include "device/device_texts.h"
#include "device/form_text.h"
#include "ui_InetactionSetupWidget.h"

using k740::Dialogs;

namespace {
const char* const kIpv4Pattern =
    "\\b(?:(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)\\.){3}(?:25[0-5]|2[0-4][0-9]|[01]?[0-9][0-9]?)"
    "\\b";
}  // namespace

InetactionSetupWidget::InetactionSetupWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::InetactionSetupWidget) {
    ui->setupUi(this);
    k740::registerMetaTypes();

    const QRegExp ipv4(QString::fromLatin1(kIpv4Pattern), Qt::CaseSensitive);
    for (QLineEdit* e : {ui->lineEdit_DefaultIP, ui->lineEdit_DestIP, ui->lineEdit_Subnet,
                         ui->lineEdit_Gateway, ui->lineEdit_NTP})
        e->setValidator(new QRegExpValidator(ipv4, e));
    ui->lineEdit_defaultPort->setValidator(
        new QIntValidator(1024, 65536, ui->lineEdit_defaultPort));
    ui->lineEdit_destPort->setValidator(new QIntValidator(1024, 65536, ui->lineEdit_destPort));
    ui->lineEdit_interval->setValidator(new QIntValidator(0, 1, ui->lineEdit_interval));
    ui->lineEdit_SetPPS_Angle->setValidator(new QIntValidator(0, 360, ui->lineEdit_SetPPS_Angle));

    ui->comboBox_localTime->setItemIcon(
        0, k740::runtimeIcon(QStringLiteral("./Resources/images/YES.png")));
    ui->comboBox_localTime->setItemIcon(
        1, k740::runtimeIcon(QStringLiteral("./Resources/images/NO.png")));
    ui->comboBox->setItemIcon(0, k740::runtimeIcon(QStringLiteral("./Resources/images/YES.png")));
    ui->comboBox->setItemIcon(1, k740::runtimeIcon(QStringLiteral("./Resources/images/NO.png")));

    // Fields the sensor reports but the operator has no use for stay out of sight.
    for (QWidget* w : std::initializer_list<QWidget*>{
             ui->label_interval, ui->lineEdit_interval, ui->label_Resolution, ui->CBox_Resolution,
             ui->label_Plate_3_V, ui->lineEdit_Plate_3_V, ui->label_High_T_Pause,
             ui->lineEdit_High_T_Pause, ui->label_Machine_Stop_T, ui->lineEdit_Machine_Stop_T,
             ui->label_GPS_State, ui->lineEdit_GPS_State, ui->label_PPS_State,
             ui->lineEdit_PPS_State, ui->label_Current_IP, ui->lineEdit_Current_IP,
             ui->label_Current_Port, ui->lineEdit_Current_Port})
        w->hide();

    connect(ui->pushButton_LidarRefresh, &QPushButton::clicked, this,
            &InetactionSetupWidget::onRefreshCilcked);
    connect(ui->pushButton_OK, &QPushButton::clicked, this, &InetactionSetupWidget::onOK_Clicked);
    connect(ui->pushButton_Cancel, &QPushButton::clicked, this,
            &InetactionSetupWidget::onCancel_Clicked);
    connect(ui->lineEdit_Subnet, &QLineEdit::editingFinished, this,
            &InetactionSetupWidget::isLegalSubNetMask);
    connect(ui->lineEdit_Gateway, &QLineEdit::editingFinished, this,
            &InetactionSetupWidget::isLegalGateway);
    ui->lineEdit_Subnet->installEventFilter(this);
    ui->lineEdit_Gateway->installEventFilter(this);

    onCleanUCWPControl();
}

InetactionSetupWidget::~InetactionSetupWidget() = default;

k740::NetworkForm InetactionSetupWidget::formValues() const {
    k740::NetworkForm f;
    f.sensorIp = ui->lineEdit_DefaultIP->text();
    f.dataPort = ui->lineEdit_defaultPort->text();
    f.destIp = ui->lineEdit_DestIP->text();
    f.devicePort = ui->lineEdit_destPort->text();
    f.subnetMask = ui->lineEdit_Subnet->text();
    f.gateway = ui->lineEdit_Gateway->text();
    f.mac = ui->lineEdit_mac_addr->text();
    f.packetInterval = ui->lineEdit_interval->text();
    f.ntpIp = ui->lineEdit_NTP->text();
    f.ppsAngle = ui->lineEdit_SetPPS_Angle->text();
    f.rotateSpeed = ui->comboBox_rotateSpeed->currentText();
    f.motorState = ui->comboBox->currentText();
    f.lidarStatus = ui->comboBox_LidarStatus->currentIndex();
    f.localTime = ui->comboBox_localTime->currentText() == QLatin1String(" Yes");
    return f;
}

void InetactionSetupWidget::OnLidarStatusReceiving(SettingData data, std::vector<int> Mac) {
    if (Mac.size() < k740::kStatusValueCount) return;  // not a status delivery
    m_StatusSeen = true;
    m_LastStatus = data;
    m_DataPort = Mac[7];
    m_DevicePort = Mac[8];
    m_VersionText.clear();

    m_NewGeneration = !k740::isEarlierGeneration(data);
    m_VersionText = k740::qtText(k740::board3VersionText(data.board3Version));
    emit sVersionsToHelp(k740::qtTexts(k740::versionList(data)));

    ui->lineEdit_Motor_State->setText(k740::qtText(k740::motorSpeedText(data.motorSpeed)));
    ui->lineEdit_utc_time->setText(k740::qtText(k740::gpsTimeText(data.gpsTime)));
    ui->lineEdit_PPS_Set_Angle->setText(k740::qtText(k740::ppsSetAngleText(data.ppsSetAngle)));
    ui->lineEdit_GPS_Position_longitude->setText(
        k740::qtText(k740::positionText(data.longitude, data.longitudeHemisphere)));
    ui->lineEdit_GPS_Position_latitude->setText(
        k740::qtText(k740::positionText(data.latitude, data.latitudeHemisphere)));
    ui->lineEdit_mac_addr->setText(k740::qtText(k740::macText(Mac)));
    const double deviation = k740::ppsDeviationDegrees(Mac[6]);
    ui->lineEdit->setText(deviation >= -15.0 && deviation <= 15.0 ? QStringLiteral("0")
                                                                  : QStringLiteral("1"));
    ui->lineEdit_2->setText(k740::qtText(k740::ppsDeviationText(Mac[6])));
    ui->lineEdit_Plate_2_T->setText(k740::qtText(k740::boardTemperatureText(data.boardTemperature)));
    ui->comboBox_LVDS_Valuse->setCurrentIndex((data.lvdsState[1] & 1) ? 1 : 0);
    ui->lineEdit_GPS_State->setText(QString::number(data.gpsState));
    ui->lineEdit_PPS_State->setText(QString::number(data.ppsState));
    ui->lineEdit_High_T_Pause->setText(QString::number(data.highTempPause));
    ui->lineEdit_Machine_Stop_T->setText(k740::qtText(k740::stopTemperatureText(data.stopTemperature)));
    ui->lineEdit_Plate_3_V->setText(k740::qtText(k740::board3ValuesText(data)));
}

void InetactionSetupWidget::OnLidarDifoData(QByteArray packet) {
    if (packet.size() != static_cast<int>(k740::kDevicePacketSize)) return;
    std::memcpy(m_DevicePacket.data(), packet.constData(), k740::kDevicePacketSize);
    m_PacketSeen = true;
    m_RefreshPending = true;
}

void InetactionSetupWidget::onRefreshCilcked() {
    if (!m_RefreshPending) {
        Dialogs::information(this, QString::fromLatin1(k740::kTitleWarring),
                             QString::fromLatin1(k740::kTextNoDevicePacket));
        return;
    }
    const k740::RefreshValues v =
        k740::refreshValues(m_DevicePacket.data(), m_DataPort, m_DevicePort);
    ui->lineEdit_DefaultIP->setText(k740::qtText(v.sensorIp));
    ui->lineEdit_DestIP->setText(k740::qtText(v.destIp));
    if (m_NewGeneration) {
        if (v.ntpIp) ui->lineEdit_NTP->setText(k740::qtText(*v.ntpIp));
        if (v.gateway) ui->lineEdit_Gateway->setText(k740::qtText(*v.gateway));
        if (v.subnetMask) ui->lineEdit_Subnet->setText(k740::qtText(*v.subnetMask));
    } else {
        m_DataPort = k740::qtText(v.dataPort).toInt();
        m_DevicePort = k740::qtText(v.devicePort).toInt();
    }
    ui->lineEdit_defaultPort->setText(QString::number(m_DataPort));
    ui->lineEdit_destPort->setText(QString::number(m_DevicePort));
    if (m_StatusSeen) {
        const int speed = m_NewGeneration ? m_LastStatus.motorSpeed : v.motorSpeed;
        if (m_NewGeneration)
            ui->lineEdit_interval->setText(QString::number(m_LastStatus.packetInterval));
        ui->lineEdit_Motor_State->setText(m_NewGeneration ? k740::qtText(k740::motorSpeedText(speed))
                                                          : QString::number(speed));
        const int rotation = k740::rotationIndexForSpeed(speed);
        if (rotation >= 0) ui->comboBox_rotateSpeed->setCurrentIndex(rotation);
        if (m_NewGeneration) {
            if (v.lidarStatus == 0 || v.lidarStatus == 1)
                ui->comboBox_LidarStatus->setCurrentIndex(v.lidarStatus);
            if (m_LastStatus.motorState == 0) ui->comboBox->setCurrentText(QStringLiteral("Run"));
            if (m_LastStatus.motorState == 1) ui->comboBox->setCurrentText(QStringLiteral("Stop"));
        }
        Dialogs::information(this, QString::fromLatin1(k740::kTitleTips),
                             QString::fromLatin1(k740::kTextRefreshCompleted));
        m_StatusSeen = false;
    }
    m_RefreshPending = false;
    ui->pushButton_OK->setEnabled(true);
}

void InetactionSetupWidget::onOK_Clicked() {
    const k740::NetworkForm form = formValues();
    // The same-address refusal comes from the builder and goes first.
    if (!m_PacketSeen && !k740::sameAddressRefused(form)) {
        Dialogs::information(this, QString::fromLatin1(k740::kTitleWarring),
                             QString::fromLatin1(k740::kTextNoDevicePacket));
        return;
    }
    const k740::ConfigPacket packet =
        k740::buildConfigPacket(m_DevicePacket, m_NewGeneration, form, k740::currentLocalTime());
    if (packet.refusal) {
        if (packet.refusal->title == QLatin1String(k740::kTitleWarring))
            Dialogs::information(this, packet.refusal->title, packet.refusal->text);
        else
            Dialogs::warning(this, packet.refusal->title, packet.refusal->text, QMessageBox::Yes);
        return;
    }
    m_SendPacket = packet.bytes;
    QString why;
    if (!send(packet.bytes, packet.sensorAddress, &why)) {
        Dialogs::critical(
            this, QString::fromLatin1(k740::kTitleError),
            QString::fromLatin1(k740::kTextSendFailed).arg(packet.sensorAddress, why));
        return;
    }
    m_PacketSeen = false;
    Dialogs::information(this, QString::fromLatin1(k740::kTitleTips),
                         QString::fromLatin1(k740::kTextSetupCompleted));
    if (Dialogs::question(this, QString::fromLatin1(k740::kTitleQuestion),
                          QString::fromLatin1(k740::kTextCloseQuestion),
                          QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
        close();
}

bool InetactionSetupWidget::send(const QByteArray& packet, const QString& address, QString* why) {
    std::string reason;
    if (k740::sendConfigDatagram(packet.constData(), std::size_t(packet.size()), address.toStdString(),
                                 k740::kSensorConfigPort, &reason))
        return true;
    if (why) *why = QString::fromStdString(reason);
    return false;
}

void InetactionSetupWidget::onCancel_Clicked() { close(); }

bool InetactionSetupWidget::showCheck(const k740::CheckResult& r) {
    if (!r.warning.isEmpty() && !m_Checking) {
        m_Checking = true;
        Dialogs::warning(this, QString::fromLatin1(k740::kTitleWarning), r.warning,
                         QMessageBox::Yes);
        m_Checking = false;
    }
    return r.ok;
}

bool InetactionSetupWidget::isLegalSubNetMask() {
    return showCheck(k740::checkSubnetMask(ui->lineEdit_Subnet->text()));
}

bool InetactionSetupWidget::isLegalGateway() {
    const k740::CheckResult r = k740::checkGateway(
        ui->lineEdit_Gateway->text(), ui->lineEdit_DestIP->text(), ui->lineEdit_Subnet->text());
    const bool ok = showCheck(r);
    if (!r.warning.isEmpty()) ui->lineEdit_Gateway->setFocus();
    return ok;
}

bool InetactionSetupWidget::isLegalLidarIP() {
    const k740::CheckResult r = k740::checkFirstOctet(ui->lineEdit_DefaultIP->text());
    const bool ok = showCheck(r);
    if (r.newText) ui->lineEdit_DefaultIP->setText(*r.newText);
    return ok;
}

bool InetactionSetupWidget::isLegalLocalIP() {
    const k740::CheckResult r = k740::checkFirstOctet(ui->lineEdit_DestIP->text());
    const bool ok = showCheck(r);
    if (r.newText) ui->lineEdit_DestIP->setText(*r.newText);
    return ok;
}

void InetactionSetupWidget::onCleanUCWPControl() {
    for (QLineEdit* e : {ui->lineEdit_Current_IP, ui->lineEdit_DefaultIP, ui->lineEdit_DestIP,
                         ui->lineEdit_Current_Port, ui->lineEdit_defaultPort, ui->lineEdit_destPort,
                         ui->lineEdit_GPS_Position_longitude, ui->lineEdit_GPS_Position_latitude,
                         ui->lineEdit_Motor_State, ui->lineEdit_mac_addr, ui->lineEdit_interval})
        e->clear();
}

bool InetactionSetupWidget::eventFilter(QObject* watched, QEvent* event) {
    // A guess from the address class only fills an empty field: it must never replace what a
    // Refresh read from the sensor or what the operator typed.
    if (event->type() == QEvent::FocusIn) {
        if (watched == ui->lineEdit_Subnet) {
            if (auto mask = k740::maskOnFocus(ui->lineEdit_Subnet->text(), ui->lineEdit_DestIP->text()))
                ui->lineEdit_Subnet->setText(*mask);
        } else if (watched == ui->lineEdit_Gateway) {
            if (auto gateway = k740::gatewayOnFocus(ui->lineEdit_Gateway->text(),
                                                    ui->lineEdit_DestIP->text(),
                                                    ui->lineEdit_Subnet->text()))
                ui->lineEdit_Gateway->setText(*gateway);
        }
    }
    return QWidget::eventFilter(watched, event);
}
