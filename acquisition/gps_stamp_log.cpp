// GPS time-stamp test logs: the files and the lock around them, and where they go.
#include "acquisition/gps_stamp_log.h"

#include <QDir>
#include <QMutexLocker>
#include <QStandardPaths>
#include <chrono>
#include <utility>

namespace k740 {

GpsLogPaths gpsLogPaths(const QString& root, const QString& number, const QDateTime& start) {
    GpsLogPaths p;
    QString base = root;
    while (base.endsWith(QLatin1Char('/')) && base.size() > 1) base.chop(1);
    p.folder = base + QLatin1Char('/') + start.toString(QStringLiteral("yyyy-MM-dd"));
    const QString stamp = start.toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss"));
    p.mainLog = p.folder + QStringLiteral("/K740-P_") + number + QLatin1Char('_') + stamp +
                QStringLiteral(".txt");
    p.errorLog = p.folder + QStringLiteral("/K740-P_") + number + QStringLiteral("_Error_") +
                 stamp + QStringLiteral(".txt");
    return p;
}

QString defaultGpsLogRoot() {
#ifdef Q_OS_WIN
    return QStringLiteral("D:/RV_K740-P_GPSTimeTest");
#else
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) docs = QDir::homePath();
    return docs + QStringLiteral("/RV_K740-P_GPSTimeTest");
#endif
}

GpsStampLog::GpsStampLog(StampSink stamp, JumpSink jump, FailureSink failure)
    : m_Stamp(std::move(stamp)), m_Jump(std::move(jump)), m_Failure(std::move(failure)) {}

bool GpsStampLog::open(const QString& path, const QString& pathError, QString* why, int protocol) {
    QMutexLocker lock(&m_Lock);
    m_Main.close();
    m_Error.close();
    m_PacketsLogged = 0;
    m_Started = false;
    m_WaitingForStart = false;
    // QFile hands the names to the file system in its own encoding (QFile::encodeName).
    m_Main.setFileName(path);
    if (!m_Main.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (why) *why = QStringLiteral("Cannot open %1: %2").arg(path, m_Main.errorString());
        return false;
    }
    m_Error.setFileName(pathError);
    if (!m_Error.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (why) *why = QStringLiteral("Cannot open %1: %2").arg(pathError, m_Error.errorString());
        m_Main.close();
        return false;
    }
    const std::string header = gpsLogHeader();
    if (m_Main.write(header.data(), static_cast<qint64>(header.size())) !=
            static_cast<qint64>(header.size()) ||
        !m_Main.flush()) {
        if (why) *why = QStringLiteral("Cannot write %1: %2").arg(path, m_Main.errorString());
        m_Main.close();
        m_Error.close();
        return false;
    }
    // A test has no earlier time: the registers start empty at its first whole packet.
    m_StartProtocol = protocol;
    m_WaitingForStart = true;
    return true;
}

void GpsStampLog::close() {
    QMutexLocker lock(&m_Lock);
    m_Main.close();
    m_Error.close();
}

bool GpsStampLog::isOpen() const {
    QMutexLocker lock(&m_Lock);
    return m_Main.isOpen();
}

void GpsStampLog::onBlock(const std::uint8_t* block, int blockIndex, int protocol) {
    const long long limit = m_PacketLimit.load();
    if (limit > 0 && m_PacketsLogged.load() >= limit) return;
    GpsBlockStep step;
    std::string failure;
    {
        QMutexLocker lock(&m_Lock);
        if (!m_Main.isOpen()) return;
        if (m_WaitingForStart) {
            if (blockIndex != 0 || (m_StartProtocol >= 0 && protocol != m_StartProtocol)) return;
            m_WaitingForStart = false;
            m_Registers.reset();
            m_SinceStamp.invalidate();
            m_Started = true;
        }
        m_Registers.update(block, protocol);
        step = gpsBlockStep(m_Registers, gpsLocalTimeText(std::chrono::system_clock::now()),
                            blockIndex);
        const auto writeAll = [](QFile& f, const std::string& bytes) {
            return f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                       static_cast<qint64>(bytes.size()) &&
                   f.flush();
        };
        bool written = writeAll(m_Main, step.mainLines);
        if (written && step.jump) written = writeAll(m_Error, step.errorLine);
        if (!written) {
            QFile& failed = m_Main.error() != QFileDevice::NoError ? m_Main : m_Error;
            failure = QStringLiteral("The GPS test log %1 could not be written (%2); the test "
                                     "has ended.")
                          .arg(failed.fileName(), failed.errorString())
                          .toStdString();
            m_Main.close();
            m_Error.close();
        }
    }
    if (!failure.empty()) {
        if (m_Failure) m_Failure(failure);
        return;
    }
    if (m_Stamp && (!m_SinceStamp.isValid() || m_SinceStamp.elapsed() >= kStampIntervalMs)) {
        m_SinceStamp.start();
        m_Stamp(step.stamp);
    }
    if (step.jump && m_Jump) m_Jump();
    if (blockIndex == 11) ++m_PacketsLogged;
}

}  // namespace k740
