// The GPS time-stamp test's logs as the live receiver writes them: a block observer that keeps
// the time registers (acquisition/gps_stamp_check.h), writes each block's lines to the main
// and error logs under one lock and reports the time stamp (at most 20 times a second), every
// jump and a log write that failed through callbacks. A test starts at the first whole
// packet after open(), with empty registers. Also where a test's two logs go.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QString>
#include <atomic>
#include <functional>
#include <string>

#include "acquisition/frame_assembler.h"
#include "acquisition/gps_stamp_check.h"

namespace k740 {

// The two logs of a test that starts at `start` for the sensor numbered `number`.
struct GpsLogPaths {
    QString folder;    // root + "/" + yyyy-MM-dd
    QString mainLog;   // folder/K740-P_<number>_<yyyy-MM-dd-hh-mm-ss>.txt
    QString errorLog;  // folder/K740-P_<number>_Error_<yyyy-MM-dd-hh-mm-ss>.txt
};
GpsLogPaths gpsLogPaths(const QString& root, const QString& number, const QDateTime& start);
// Where the window's test writes: "D:/RV_K740-P_GPSTimeTest" on Windows, elsewhere
// RV_K740-P_GPSTimeTest in the user's documents folder (a "D:/" folder is none there).
QString defaultGpsLogRoot();

class GpsStampLog : public BlockObserver {
public:
    using StampSink = std::function<void(const std::string& stamp)>;
    using JumpSink = std::function<void()>;
    // A log write failed (a full disk): the logs are closed and the test has ended.
    using FailureSink = std::function<void(const std::string& why)>;

    GpsStampLog(StampSink stamp, JumpSink jump, FailureSink failure = FailureSink());

    // Closes the logs if open and opens both at the given paths for appending; the main log
    // gets its header. False, with *why naming the file, when either cannot be opened: then
    // none stays open. Safe against a running receiver (the log lock). Logging starts at the
    // first block 0 of a packet decoded in `protocol` (any protocol when -1).
    bool open(const QString& path, const QString& pathError, QString* why, int protocol = -1);
    void close();
    bool isOpen() const;
    // True once the first whole packet of the test since open() has been logged from.
    bool started() const { return m_Started.load(); }
    // Receiver thread: one strong-echo block.
    void onBlock(const std::uint8_t* block, int blockIndex, int protocol) override;

    // Whole packets (twelve blocks) logged since the last open().
    long long packetsLogged() const { return m_PacketsLogged.load(); }
    // After this many packets no further block is logged or reported (0 = no limit).
    void setPacketLimit(long long packets) { m_PacketLimit.store(packets); }

    // Time stamps are reported at most this often (the window's label follows them).
    static constexpr int kStampIntervalMs = 50;

private:
    StampSink m_Stamp;
    JumpSink m_Jump;
    FailureSink m_Failure;
    mutable QMutex m_Lock;  // the two files: opening and closing against each line
    QFile m_Main;
    QFile m_Error;
    GpsTimeRegisters m_Registers;  // under the lock
    bool m_WaitingForStart = false;  // under the lock
    int m_StartProtocol = -1;        // under the lock
    std::atomic<bool> m_Started{false};
    QElapsedTimer m_SinceStamp;  // receiver thread only
    std::atomic<long long> m_PacketsLogged{0};
    std::atomic<long long> m_PacketLimit{0};
};

}  // namespace k740
