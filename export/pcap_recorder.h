// Recording the sensor's raw traffic into a capture file: the file name and filter rules,
// and the recorder thread that owns the live capture while a recording runs.
#pragma once

#include <QDateTime>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <string>

#include "platform/capture_device.h"

namespace k740 {

// Proposed name of a new recording: local date and time "yyyy-MM-dd-hh-mm" + ".pcap".
QString recordingFileName(const QDateTime& localTime);

// The bytes of a file name as the capture library's narrow-character file functions want
// them: the local 8-bit encoding of the file system (the GB2312 code page on Windows).
std::string captureFileNameBytes(const QString& path);

// The capture filter for the data port: "port " + the port number ("port 2368").
std::string recordingFilter(std::uint16_t port);

// The recorder thread. start() opens the adapter and the dump file in the caller's thread,
// so the caller knows at once whether the recording runs; the thread then owns the capture
// until stop(). The thread wakes at least every kStopLatencyMs to look at its stop flag, so
// a stop is honoured even when no packet arrives.
class PcapRecorder : public QThread {
    Q_OBJECT
public:
    static constexpr int kStopLatencyMs = 100;

    explicit PcapRecorder(QObject* parent = nullptr);
    // Stops a running recording; its file is closed complete.
    ~PcapRecorder() override;

    // Opens the adapter with the filter, then the dump file, then starts the thread. On
    // failure nothing stays open, no thread runs and error() says why; permissionDenied()
    // tells a lack of capture permission apart.
    bool startRecording(const std::string& adapterName, const std::string& filter,
                        const std::string& fileNameBytes);
    // Ends the recording and waits for the thread: when this returns the file is closed.
    // Does nothing when no recording runs.
    void stopRecording();

    bool isRecording() const { return isRunning(); }
    std::uint64_t packetsWritten() const { return written_.load(); }
    // Why the last start failed or the last recording ended early; empty otherwise. Read it
    // while no recording runs (after stopRecording()).
    QString error() const { return QString::fromStdString(error_); }
    bool permissionDenied() const { return permissionDenied_; }

signals:
    // The thread ended the recording by itself (capture or write failure); the file is
    // closed with what was written before.
    void recordingFailed(QString reason);

protected:
    void run() override;

private:
    LiveCapture capture_;  // owned by the thread while it runs
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> written_{0};
    std::string error_;  // written before start and after the thread has ended
    bool permissionDenied_ = false;
};

}  // namespace k740
