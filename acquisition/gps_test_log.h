// The GPS time-stamp test as the live receiver runs it: a block observer that keeps the time
// registers, writes each block's lines to the main and error logs under one lock and reports
// the time stamp and every jump through callbacks.
#pragma once

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

    GpsTestLog(StampSink stamp, JumpSink jump);

    // Closes the logs if open and opens both at the given paths for appending; the main log
    // gets its header. False, with *why naming the file, when either cannot be opened: then
    // none stays open. Safe against a running receiver (the log lock).
    bool open(const QString& path, const QString& pathError, QString* why);
    void close();
    bool isOpen() const;

    // Receiver thread: the start of a receive loop zeroes the registers.
    void resetRegisters() { m_Registers.reset(); }
    // Receiver thread: one strong-echo block.
    void onBlock(const std::uint8_t* block, int blockIndex, int protocol) override;

    // Whole packets (twelve blocks) logged since the last open().
    long long packetsLogged() const { return m_PacketsLogged.load(); }
    // After this many packets no further block is logged or reported (0 = no limit).
    void setPacketLimit(long long packets) { m_PacketLimit.store(packets); }

private:
    StampSink m_Stamp;
    JumpSink m_Jump;
    mutable QMutex m_Lock;  // the two files: opening and closing against each line
    QFile m_Main;
    QFile m_Error;
    GpsTimeRegisters m_Registers;  // receiver thread only
    std::atomic<long long> m_PacketsLogged{0};
    std::atomic<long long> m_PacketLimit{0};
};

}  // namespace k740
