// The vertical angle calibration window.
#include "device/VerticalAngleSetting.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <cstring>

#include "display/dialogs_seam.h"
#include "device/CodeDialog.h"
#include "device/config_sender.h"
#include "device/network_config.h"
#include "ui_VerticalAngleSetting.h"

using k740::Dialogs;

namespace {
enum Column { kChannelColumn = 0, kReViewColumn = 1, kSetColumn = 2 };
// Time the sensor is given to apply new angles before they are read back, ms.
constexpr qint64 kApplyTimeMs = 500;

QString hint() { return QString::fromUtf8(k740::kTitleAngleHint); }
}  // namespace

VerticalAngleSetting::VerticalAngleSetting(QWidget* parent)
    : QWidget(parent), ui(new Ui::VerticalAngleSetting) {
    ui->setupUi(this);
    k740::registerMetaTypes();
    setAttribute(Qt::WA_QuitOnClose, false);
    m_CodeDialog = new CodeDialog(this);
    m_CodeDialog->setWindowTitle(QStringLiteral("设置权限"));
    m_CodeDialog->setPrompt(QStringLiteral("请输入权限密码:"));
    connect(m_CodeDialog, &CodeDialog::sendCode, this, &VerticalAngleSetting::onCodeData);
    connect(ui->updatePushButton, &QPushButton::clicked, this,
            &VerticalAngleSetting::reflushLidarStatus);
    connect(ui->setPushButton, &QPushButton::clicked, this,
            &VerticalAngleSetting::SendPacketToLidar);
    initView();
}

VerticalAngleSetting::~VerticalAngleSetting() = default;

void VerticalAngleSetting::initView() {
    m_Model = new QStandardItemModel(k740::kChannelCount, 3, this);
    m_Model->setHorizontalHeaderLabels({QStringLiteral("Actual Channel"),
                                        QStringLiteral("ReView Angle"),
                                        QStringLiteral("Set Angle")});
    ui->tableView->setModel(m_Model);
    ui->tableView->horizontalHeader()->setFixedHeight(40);
    ui->tableView->horizontalHeader()->setStretchLastSection(true);
    ui->tableView->verticalHeader()->hide();
    for (int row = 0; row < k740::kChannelCount; ++row) {
        const int channel = k740::channelOfRow(row);
        addDataRecord(row, QString(), k740::angleText(k740::nominalAngle(0, channel)));
    }
}

void VerticalAngleSetting::setCell(int row, int column, const QString& text) {
    auto* item = new QStandardItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    // Only the angles to be written are typed in.
    if (column != kSetColumn) item->setEditable(false);
    m_Model->setItem(row, column, item);
}

QString VerticalAngleSetting::cellText(int row, int column) const {
    const QStandardItem* item = m_Model->item(row, column);
    return item ? item->text() : QString();
}

QString VerticalAngleSetting::reViewText(int row) const { return cellText(row, kReViewColumn); }

QString VerticalAngleSetting::setAngleText(int row) const { return cellText(row, kSetColumn); }

void VerticalAngleSetting::typeSetAngle(int channel, const QString& text) {
    setCell(k740::rowOfChannel(channel), kSetColumn, text);
}

void VerticalAngleSetting::addDataRecord(int channel, QString reView, QString setData) {
    if (channel < 0 || channel >= k740::kChannelCount) return;
    setCell(channel, kChannelColumn, QString::number(channel));
    setCell(channel, kReViewColumn, reView);
    setCell(channel, kSetColumn, setData);
}

void VerticalAngleSetting::reViewData(int channel, float data) {
    const int row = k740::rowOfChannel(channel);
    if (row >= 0) setCell(row, kReViewColumn, QString::number(data, 'f', 2));
}

void VerticalAngleSetting::preSetAngleData(int channel, float data) {
    const int row = k740::rowOfChannel(channel);
    if (row >= 0) setCell(row, kSetColumn, QString::number(data, 'f', 2));
}

void VerticalAngleSetting::setDegreeMode(int mode) {
    m_DegreeMode = mode;
    if (!k740::hasNominalAngles(mode)) return;
    for (int c = 0; c < k740::kChannelCount; ++c)
        setCell(k740::rowOfChannel(c), kSetColumn, k740::angleText(k740::nominalAngle(mode, c)));
}

void VerticalAngleSetting::showAngleMistake(int channel) {
    ui->label->setStyleSheet(QStringLiteral("color:red;"));
    ui->label->setText(k740::readBackDeviationText(k740::rowOfChannel(channel)));
}

void VerticalAngleSetting::onLidarStatusReceiving_(SettingData data, std::vector<int> Mac) {
    m_LastStatus = data;
    m_StatusValues = std::move(Mac);
}

void VerticalAngleSetting::OnLidarDifoData_(QByteArray data) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.constData());
    if (!k740::isDevicePacket(p, static_cast<std::size_t>(data.size()))) return;
    std::memcpy(m_Template.data(), p, k740::kDevicePacketSize);
    m_HasTemplate = true;
    if (m_ReadBackPending && m_SinceWrite.elapsed() >= kApplyTimeMs) {
        m_ReadBackPending = false;
        reflushLidarStatus();
    }
}

void VerticalAngleSetting::reflushLidarStatus() {
    if (!m_HasTemplate) {
        Dialogs::information(this, hint(), QString::fromUtf8(k740::kTextAngleNoPacket));
        return;
    }
    const auto angles = k740::reportedAngles(m_LastStatus);
    bool allZero = true;
    for (int c = 0; c < k740::kChannelCount; ++c) {
        const int row = k740::rowOfChannel(c);
        setCell(row, kReViewColumn, k740::hundredthsText(angles[c]));
        if (angles[c] != 0) allZero = false;
    }
    // A sensor that reports no angles at all leaves the angles to be written as they are.
    if (!allZero)
        for (int row = 0; row < k740::kChannelCount; ++row)
            setCell(row, kSetColumn, reViewText(row));
    ui->label->clear();
    ui->label_2->clear();
    Dialogs::information(this, hint(), QString::fromUtf8(k740::kTextAngleRefreshed));
}

void VerticalAngleSetting::SendPacketToLidar() {
    if (!m_HasTemplate) {
        Dialogs::information(this, hint(), QString::fromUtf8(k740::kTextAngleNoPacket));
        return;
    }
    sendDataTolidar();
}

void VerticalAngleSetting::sendDataTolidar() {
    std::array<QString, k740::kChannelCount> setAngles;
    for (int c = 0; c < k740::kChannelCount; ++c)
        setAngles[c] = setAngleText(k740::rowOfChannel(c));
    const k740::AnglePacket packet =
        k740::buildVerticalAnglePacket(m_Template, setAngles, m_DegreeMode);
    if (packet.refusal) {
        ui->label_2->setText(packet.refusal->text);
        Dialogs::information(this, packet.refusal->title, packet.refusal->text);
        return;
    }
    QString why;
    if (!SendPacketDataToLidar(packet.bytes, packet.sensorAddress, k740::kSensorConfigPort, &why)) {
        // Nothing left: the template stays, so the operator may try again.
        const QString text = k740::angleSendFailedText(packet.sensorAddress, why);
        ui->label_2->setText(text);
        Dialogs::warning(this, hint(), text);
        return;
    }
    m_SendBuffer = packet.bytes;
    m_HasTemplate = false;
    ui->label_2->clear();
    m_SinceWrite.start();
    Dialogs::information(this, hint(), QString::fromUtf8(k740::kTextAngleSet));
    // Armed once the box is closed, so that the read-back box never opens on top of it.
    m_ReadBackPending = true;
}

bool VerticalAngleSetting::SendPacketDataToLidar(const QByteArray& packet, const QString& ip_data,
                                                 quint16 portdata, QString* why) {
    std::string reason;
    if (k740::sendConfigDatagram(packet.constData(), std::size_t(packet.size()), ip_data.toStdString(), portdata,
                                 &reason))
        return true;
    if (why) *why = QString::fromStdString(reason);
    return false;
}

void VerticalAngleSetting::onCodeData(QString) {}

void VerticalAngleSetting::hideEvent(QHideEvent* event) {
    m_ReadBackPending = false;
    QWidget::hideEvent(event);
}
