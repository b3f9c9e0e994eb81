// GPS time-stamp test logs: the files and the lock around them.
#include "acquisition/gps_test_log.h"

#include <QDateTime>
#include <QMutexLocker>
#include <utility>

namespace k740 {

GpsTestLog::GpsTestLog(StampSink stamp, JumpSink jump, FailureSink failure)
    : m_Stamp(std::move(stamp)), m_Jump(std::move(jump)), m_Failure(std::move(failure)) {}

bool GpsTestLog::open(const QString& path, const QString& pathError, QString* why, int protocol) {
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
    const QByteArray header = gpsLogHeader();
    if (m_Main.write(header) != header.size() || !m_Main.flush()) {
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

void GpsTestLog::close() {
    QMutexLocker lock(&m_Lock);
    m_Main.close();
    m_Error.close();
}

bool GpsTestLog::isOpen() const {
    QMutexLocker lock(&m_Lock);
    return m_Main.isOpen();
}

void GpsTestLog::onBlock(const std::uint8_t* block, int blockIndex, int protocol) {
    const long long limit = m_PacketLimit.load();
    if (limit > 0 && m_PacketsLogged.load() >= limit) return;
    GpsBlockStep step;
    QString failure;
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
        step = gpsBlockStep(m_Registers, gpsLocalTimeText(QDateTime::currentDateTime()), blockIndex);
        bool written = m_Main.write(step.mainLines) == step.mainLines.size() && m_Main.flush();
        if (written && step.jump)
            written = m_Error.write(step.errorLine) == step.errorLine.size() && m_Error.flush();
        if (!written) {
            QFile& failed = m_Main.error() != QFileDevice::NoError ? m_Main : m_Error;
            failure = QStringLiteral("The GPS test log %1 could not be written (%2); the test "
                                     "has ended.")
                          .arg(failed.fileName(), failed.errorString());
            m_Main.close();
            m_Error.close();
        }
    }
    if (!failure.isEmpty()) {
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
