// GPS time-stamp test logs: the files and the lock around them.
#include "acquisition/gps_test_log.h"

#include <QDateTime>
#include <QMutexLocker>
#include <utility>

namespace k740 {

GpsTestLog::GpsTestLog(StampSink stamp, JumpSink jump)
    : m_Stamp(std::move(stamp)), m_Jump(std::move(jump)) {}

bool GpsTestLog::open(const QString& path, const QString& pathError, QString* why) {
    QMutexLocker lock(&m_Lock);
    m_Main.close();
    m_Error.close();
    m_PacketsLogged = 0;
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
    m_Main.write(gpsLogHeader());
    m_Main.flush();
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
    m_Registers.update(block, protocol);
    const GpsBlockStep step =
        gpsBlockStep(m_Registers, gpsLocalTimeText(QDateTime::currentDateTime()), blockIndex);
    {
        QMutexLocker lock(&m_Lock);
        if (m_Main.isOpen()) {
            m_Main.write(step.mainLines);
            m_Main.flush();
        }
        if (step.jump && m_Error.isOpen()) {
            m_Error.write(step.errorLine);
            m_Error.flush();
        }
    }
    if (m_Stamp) m_Stamp(step.stamp);
    if (step.jump && m_Jump) m_Jump();
    if (blockIndex == 11) ++m_PacketsLogged;
}

}  // namespace k740
