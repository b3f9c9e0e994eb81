// The record button's room: see recording_room.h.
#include "app/recording_room.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>

#include "display/dialogs_seam.h"
#include "app/rules/live_settings.h"
#include "platform/udp_socket.h"

namespace k740 {

RecordingRoom::RecordingRoom(QWidget* dialogParent, QAbstractButton* recordButton,
                             QLineEdit* portField, std::function<bool()> liveRunning,
                             std::function<QString()> sensorAddress, QObject* parent)
    : QObject(parent),
      m_DialogParent(dialogParent),
      m_RecordButton(recordButton),
      m_PortField(portField),
      m_LiveRunning(std::move(liveRunning)),
      m_SensorAddress(std::move(sensorAddress)),
      m_AdapterSource(listCaptureAdapters) {
    // The recorder's failure arrives from its thread; it is handled here, in the GUI thread.
    connect(&m_Recorder, &PcapRecorder::recordingFailed, this, &RecordingRoom::onRecordingFailed,
            static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
}

RecordingRoom::~RecordingRoom() { m_Recorder.stopRecording(); }

void RecordingRoom::setAdapterSource(
    std::function<std::vector<CaptureAdapter>(std::string* error)> source) {
    m_AdapterSource = source ? std::move(source) : listCaptureAdapters;
}

void RecordingRoom::toggle() {
    // A running recording stops whatever the live display does, so it can always be ended.
    if (isRecording()) {
        stop();
        return;
    }
    if (!m_LiveRunning || !m_LiveRunning()) {
        Dialogs::information(m_DialogParent, QStringLiteral("warn"),
                             QStringLiteral("Please connect the lidar first"));
        if (m_RecordButton) m_RecordButton->setChecked(false);
        return;
    }
    start();
}

void RecordingRoom::refuse(const QString& text) {
    Dialogs::warning(m_DialogParent, QStringLiteral("warn"), text);
    if (m_RecordButton) m_RecordButton->setChecked(false);
}

void RecordingRoom::start() {
    std::uint16_t port = 0;
    const QString portText = m_PortField ? m_PortField->text() : QString();
    if (!parsePortField(portText, &port)) {
        refuse(QStringLiteral("Port Number \"%1\" is not a port (1-65535): nothing is recorded")
                   .arg(portText));
        return;
    }
    const QString name = Dialogs::getSaveFileName(m_DialogParent, QStringLiteral("Save PCAP"),
                                                  recordingFileName(QDateTime::currentDateTime()),
                                                  QStringLiteral("WireSharkCaptureFile (*.pcap)"));
    if (name.isEmpty()) {
        if (m_RecordButton) m_RecordButton->setChecked(false);
        return;
    }

    std::uint32_t sensor = 0;
    const QString sensorText = m_SensorAddress ? m_SensorAddress().trimmed() : QString();
    if (!sensorText.isEmpty() && !UdpSocket::parseIPv4(sensorText.toStdString(), &sensor))
        sensor = 0;
    std::string listError;
    const std::vector<CaptureAdapter> adapters = m_AdapterSource(&listError);
    const AdapterChoice choice =
        chooseCaptureAdapter(adapters, sensor, m_CaptureInterface.toStdString());
    if (!choice.ok()) {
        const std::string why = adapters.empty() && !listError.empty() ? listError : choice.error;
        refuse(QStringLiteral("Recording could not start: %1").arg(QString::fromStdString(why)));
        return;
    }

    if (!m_Recorder.startRecording(choice.name, recordingFilter(port),
                                   captureFileNameBytes(name))) {
        QString text = QStringLiteral("Recording could not start: %1").arg(m_Recorder.error());
        if (m_Recorder.permissionDenied())
            text += QStringLiteral(
                "\nCapturing needs administrator rights (or the capture "
                "permission) on this computer.");
        refuse(text);
        return;
    }
    m_Active = true;
    m_FileName = name;
    m_AdapterName = QString::fromStdString(choice.name);
    if (m_RecordButton) m_RecordButton->setChecked(true);
    emit recordingChanged(true);  // before the box: its event loop may run the window's slots
    Dialogs::warning(m_DialogParent, QStringLiteral("warn"), QStringLiteral("Start recording"));
}

void RecordingRoom::stop() {
    m_Active = false;
    m_Recorder.stopRecording();  // the file is complete when this returns
    emit recordingChanged(false);
    // The recorder may have failed just before the stop, its report still queued.
    if (!m_Recorder.error().isEmpty()) {
        reportFailure(m_Recorder.error());
        return;
    }
    if (m_RecordButton) m_RecordButton->setChecked(false);
    Dialogs::information(m_DialogParent, QStringLiteral("warn"),
                         QStringLiteral("Recording the PCAP file is complete！"));
}

void RecordingRoom::onRecordingFailed(const QString& reason) {
    if (!m_Active) return;  // already reported by stop()
    m_Active = false;
    m_Recorder.stopRecording();  // joins the ended thread
    emit recordingChanged(false);
    reportFailure(reason);
}

void RecordingRoom::reportFailure(const QString& reason) {
    refuse(QStringLiteral("Recording stopped: %1\nThe file %2 holds what was recorded before.")
               .arg(reason, m_FileName));
}

}  // namespace k740
