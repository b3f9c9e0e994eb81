// Wiring of service mode, the channel selection and the vertical angle calibration windows.
#include "app/service_room.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "acquisition/GetlidarData_1.h"
#include "display/dialogs_seam.h"
#include "app/manwindow.h"
#include "app/rules/service_code.h"
#include "device/ACWPSettingWidget.h"
#include "device/CodeDialog.h"
#include "device/GetSet.h"
#include "device/device_packet.h"
#include "device/VerticalAngleSetting.h"
#include "display/Form_QLaserSelection.h"

namespace k740 {

const char* const kTextWrongServiceCode = "The access code is not correct.";

ServiceRoom::ServiceRoom(manwindow* window, const Widgets& widgets, GetlidarData_1* receiver,
                         GetSet* statusReceiver, QObject* parent)
    : QObject(parent),
      m_Window(window),
      m_W(widgets),
      m_CodeDialog(new CodeDialog()),
      m_Channels(new Form_QLaserSelection()),
      m_VerticalAngles(new VerticalAngleSetting()),
      m_Advanced(new ACWPSettingWidget()) {
    // An open code dialog does not keep the program running once the main window closes.
    m_CodeDialog->setAttribute(Qt::WA_QuitOnClose, false);
    auto* shortcut = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+S")), window);
    connect(shortcut, &QShortcut::activated, this, &ServiceRoom::askForCode);
    connect(m_CodeDialog, &CodeDialog::sendCode, window, &manwindow::onCodeData);

    // The calibration window's entry sits under the view-mode button, hidden like it.
    m_VerticalAngleButton = new QPushButton(QStringLiteral("Vertical Angle Setting"), m_W.page);
    m_VerticalAngleButton->setObjectName(QStringLiteral("Btn_VerticalAngle"));
    m_VerticalAngleButton->setIcon(QIcon(QStringLiteral(":/image/Resources/images/Sensor.png")));
    m_VerticalAngleButton->setIconSize(QSize(24, 24));
    m_VerticalAngleButton->setMinimumHeight(36);
    // The two stand in one column: side by side they would not fit a small window's row.
    QBoxLayout* row = m_W.viewModeRow;
    const int at = row->indexOf(m_W.resendViewMode);
    row->removeWidget(m_W.resendViewMode);
    auto* column = new QVBoxLayout;
    column->addWidget(m_W.resendViewMode);
    column->addWidget(m_VerticalAngleButton);
    row->insertLayout(at, column);
    m_VerticalAngleButton->hide();

    connect(m_W.channels, &QAbstractButton::clicked, m_Channels, &QWidget::show);
    connect(m_VerticalAngleButton, &QPushButton::clicked, m_VerticalAngles, [this] {
        m_VerticalAngles->show();
        m_VerticalAngles->raise();
        m_VerticalAngles->activateWindow();
    });
    // The advanced settings window: its button shows it not refreshed and empties the hidden
    // fields; it starts and stops the live receiver's GPS test and shows what the test reports.
    connect(m_W.advanced, &QAbstractButton::clicked, m_Advanced, [this] {
        m_Advanced->showFromMainWindow();
        m_Advanced->raise();
        m_Advanced->activateWindow();
    });
    connect(m_W.advanced, &QAbstractButton::clicked, m_Advanced,
            &ACWPSettingWidget::onCleanACWPControl);
    connect(m_Advanced, &ACWPSettingWidget::sendTestFileName, receiver,
            &GetlidarData_1::createTestFile, Qt::UniqueConnection);
    connect(m_Advanced, &ACWPSettingWidget::sendStopTest, receiver,
            &GetlidarData_1::stopCheckGPSTime, Qt::UniqueConnection);
    connect(receiver, &GetlidarData_1::gpsTestFailed, m_Advanced,
            &ACWPSettingWidget::onGpsTestFailed, Qt::UniqueConnection);
    // A test that could log nothing is refused at Start, rather than shown running with 0 jumps.
    m_Advanced->setGpsTestHooks(
        [window, echo = m_W.echo]() -> QString {
            if (!window->liveRunning())
                return QStringLiteral("The GPS time-stamp test logs the live data: switch the "
                                      "live display (\"Lidar\") on first.");
            if (echo->currentIndex() != 0)
                return QStringLiteral("The GPS time-stamp test logs the data blocks of the "
                                      "\"StrongEcho\" mode: choose it in the echo mode list first.");
            return QString();
        },
        [receiver] { return receiver->gpsTestLog().packetsLogged(); });
    connect(receiver, &GetlidarData_1::sendErrorCount, m_Advanced,
            &ACWPSettingWidget::recvErrorCount, Qt::UniqueConnection);
    connect(receiver, &GetlidarData_1::sendTimeStamp, m_Advanced, &ACWPSettingWidget::recvTimeStamp,
            Qt::UniqueConnection);
    connect(statusReceiver, &GetSet::SendLidarStatusToSettingUI, m_Advanced,
            &ACWPSettingWidget::onLidarStatusReceiving, Qt::UniqueConnection);
    // The sensor's announced address decides which adapter the window's captures search.
    for (k740::UdpReceiver* source : {static_cast<k740::UdpReceiver*>(receiver),
                                      static_cast<k740::UdpReceiver*>(statusReceiver)})
        connect(source, &k740::UdpReceiver::SendDataDifo, m_Advanced, [advanced = m_Advanced](QByteArray packet) {
            advanced->noteSensorAddress(QString::fromStdString(k740::sensorAddressText(
                reinterpret_cast<const std::uint8_t*>(packet.constData()), std::size_t(packet.size()))));
        });
    connect(receiver, &GetlidarData_1::SendLidarStatusToSettingUI, m_Advanced,
            &ACWPSettingWidget::onLidarStatusReceiving, Qt::UniqueConnection);

    connect(window, &manwindow::SendDegreeMode, m_Channels,
            &Form_QLaserSelection::ReceiveDegreeMode);
    connect(window, &manwindow::SendDegreeMode, m_VerticalAngles,
            &VerticalAngleSetting::setDegreeMode);
    // Both receivers deliver device information packets: queued, one connection each.
    connect(statusReceiver, &GetSet::SendLidarStatusToSettingUI, m_VerticalAngles,
            &VerticalAngleSetting::onLidarStatusReceiving_, Qt::UniqueConnection);
    connect(statusReceiver, &GetSet::SendDataDifo, m_VerticalAngles,
            &VerticalAngleSetting::OnLidarDifoData_, Qt::UniqueConnection);
    connect(receiver, &GetlidarData_1::SendLidarStatusToSettingUI, m_VerticalAngles,
            &VerticalAngleSetting::onLidarStatusReceiving_, Qt::UniqueConnection);
    connect(receiver, &GetlidarData_1::SendDataDifo, m_VerticalAngles,
            &VerticalAngleSetting::OnLidarDifoData_, Qt::UniqueConnection);
}

ServiceRoom::~ServiceRoom() {
    delete m_CodeDialog;
    delete m_Channels;
    delete m_VerticalAngles;
    delete m_Advanced;
}

void ServiceRoom::askForCode() {
    m_CodeDialog->show();
    m_CodeDialog->raise();
    m_CodeDialog->activateWindow();
}

void ServiceRoom::onCodeData(const QString& code) {
    if (code.isEmpty()) return;
    if (!serviceCodeAccepted(code)) {
        Dialogs::warning(m_Window, QStringLiteral("warn"),
                         QString::fromLatin1(kTextWrongServiceCode));
        return;
    }
    unlock();
}

void ServiceRoom::unlock() {
    m_Unlocked = true;
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_W.advanced, m_W.channels, m_W.echo, m_W.resendViewMode, m_W.angleLabel,
             m_W.angleField, m_VerticalAngleButton})
        w->show();
}

}  // namespace k740
