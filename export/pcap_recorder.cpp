// The recorder thread and the rules for the recording's file name and filter.
#include "export/pcap_recorder.h"

#include <QFile>
#ifdef _WIN32
#include <QTextCodec>
#endif

namespace k740 {

std::string captureFileNameBytes(const QString& path) {
#ifdef _WIN32
    // The library's file functions take names in the ANSI code page of Chinese Windows.
    if (QTextCodec* codec = QTextCodec::codecForName("GB2312"))
        return codec->fromUnicode(path).toStdString();
    return path.toLocal8Bit().toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QString recordingFileName(const QDateTime& localTime) {
    return localTime.toString(QStringLiteral("yyyy-MM-dd-hh-mm")) + QStringLiteral(".pcap");
}

std::string recordingFilter(std::uint16_t port) { return "port " + std::to_string(port); }

PcapRecorder::PcapRecorder(QObject* parent) : QThread(parent) {}

PcapRecorder::~PcapRecorder() { stopRecording(); }

bool PcapRecorder::startRecording(const std::string& adapterName, const std::string& filter,
                                  const std::string& fileNameBytes) {
    stopRecording();
    error_.clear();
    permissionDenied_ = false;
    written_ = 0;
    if (!capture_.open(adapterName, filter)) {
        error_ = capture_.error();
        permissionDenied_ = capture_.permissionDenied();
        return false;
    }
    if (!capture_.openDump(fileNameBytes)) {
        error_ = capture_.error();
        capture_.close();  // the adapter is released with the failed file
        return false;
    }
    stop_ = false;
    start();
    return true;
}

void PcapRecorder::stopRecording() {
    stop_ = true;
    if (isRunning()) wait();
    capture_.close();  // already closed by the thread; a no-op then
}

void PcapRecorder::run() {
    while (!stop_.load()) {
        const int n = capture_.pump(kStopLatencyMs);
        if (n < 0) {
            error_ = capture_.error();
            capture_.close();
            emit recordingFailed(QString::fromStdString(error_));
            return;
        }
        written_ = capture_.packetsWritten();
    }
    capture_.close();
}

}  // namespace k740
