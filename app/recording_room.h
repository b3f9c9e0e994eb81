// The record button's room: starting and stopping a recording of the sensor's traffic into
// a capture file, with the save dialog, the warnings and the button's checked state. The
// main window hands it the button, the port field and two questions it answers for it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

#include "export/pcap_recorder.h"
#include "platform/capture_device.h"

class QAbstractButton;
class QLineEdit;
class QWidget;

namespace k740 {

class RecordingRoom : public QObject {
    Q_OBJECT
public:
    // dialogParent: parent of the message boxes and the save dialog. recordButton: the
    // checkable record button. portField: the data port field read at each start.
    // liveRunning: whether the live display runs. sensorAddress: the sensor's IPv4 address
    // as text from the last device information packet, empty when none came yet.
    RecordingRoom(QWidget* dialogParent, QAbstractButton* recordButton, QLineEdit* portField,
                  std::function<bool()> liveRunning, std::function<QString()> sensorAddress,
                  QObject* parent = nullptr);
    ~RecordingRoom() override;

    // The record button was clicked: stops a running recording (whatever the live state),
    // otherwise starts one if the live display runs.
    void toggle();

    // Records from this adapter instead of the chosen one (empty = choose).
    void setCaptureInterface(const QString& name) { m_CaptureInterface = name; }
    QString captureInterface() const { return m_CaptureInterface; }

    // Where the adapters come from (the capture library by default; tests list their own).
    void setAdapterSource(std::function<std::vector<CaptureAdapter>(std::string* error)> source);

    bool isRecording() const { return m_Active; }
    // The file of the running or last recording and the adapter it was taken from.
    QString fileName() const { return m_FileName; }
    QString adapterName() const { return m_AdapterName; }
    std::uint64_t packetsWritten() const { return m_Recorder.packetsWritten(); }

signals:
    // A recording started (true) or ended (false: the button, or a capture or write failure
    // that the room has already reported); the window's mode follows it.
    void recordingChanged(bool recording);

private:
    void start();
    void stop();
    void refuse(const QString& text);  // warning, button unchecked, nothing records
    void onRecordingFailed(const QString& reason);
    void reportFailure(const QString& reason);

    QPointer<QWidget> m_DialogParent;
    QPointer<QAbstractButton> m_RecordButton;
    QPointer<QLineEdit> m_PortField;
    std::function<bool()> m_LiveRunning;
    std::function<QString()> m_SensorAddress;
    std::function<std::vector<CaptureAdapter>(std::string*)> m_AdapterSource;
    QString m_CaptureInterface;
    QString m_FileName;
    QString m_AdapterName;
    bool m_Active = false;  // a recording was started and not yet ended here
    PcapRecorder m_Recorder;
};

}  // namespace k740
