// The GPS time-stamp test as the live receiver runs it: a block observer that keeps the time
// registers, writes each block's lines to the main and error logs under one lock and reports
// the time stamp (at most 20 times a second), every jump and a log write that failed through
// callbacks. A test starts at the first whole packet after open(), with empty registers.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QString>
#include <atomic>
#include <functional>

#include "acquisition/frame_assembler.h"
#include "acquisition/gps_time_test.h"

namespace k740 {

class GpsTestLog : public BlockObserver {
public:
    using StampSink = std::function<void(const QString& stamp)>;
    using JumpSink = std::function<void()>;
    // A log write failed (a full disk): the logs are closed and the test has ended.
    using FailureSink = std::function<void(const QString& why)>;

    GpsTestLog(StampSink stamp, JumpSink jump, FailureSink failure = FailureSink());

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
