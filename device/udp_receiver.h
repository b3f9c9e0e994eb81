// Base of the two receiver threads (data port and device port): owns the socket's life cycle
// (open, bind, join, non-blocking, close), the receive loop with its bounded wait, the stop,
// and the hand-off of device information packets to the settings dialogs.
#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "device/device_metatypes.h"
#include "device/device_packet.h"
#include "platform/udp_socket.h"

namespace k740 {

class UdpReceiver : public QThread {
    Q_OBJECT
public:
    ~UdpReceiver() override;

    // Creates the socket for m_Port and m_MulticastIp (joined on m_InterfaceIp, empty = any;
    // a text that is no group address joins nothing): open, receive buffer, bind to any
    // address, join, non-blocking. A loop left from an earlier start is given
    // kStopWaitMs to end first; the socket is never replaced under a running loop.
    // Returns false with lastError() naming the port or group when a step fails; the
    // socket is then closed and the loop, if started, receives nothing.
    bool setupSocket();
    // The reason the last setupSocket() failed, empty after a success, e.g.
    // "Port 2368 is in use" or "Cannot join multicast group 239.1.1.1 on 127.0.0.1: ...".
    QString lastError() const;
    // Ends the connection without waiting: a running loop ends at its next look at the
    // flags (within one wait) and closes the socket on its way out; otherwise the socket is
    // closed at once.
    void closeSocket();
    // Clears the run flag and waits at most waitMs for the loop to end; true when no loop
    // runs afterwards. Safe from any thread but the loop's own.
    bool stopLoop(int waitMs = kStopWaitMs);

    // Port actually bound (useful when m_Port is 0), 0 when not bound.
    std::uint16_t boundPort() const;
    // Receive buffer the system granted at the last setupSocket() (as the system reports
    // it; Linux reports twice the usable size), 0 when no socket is open.
    int receiveBufferBytes() const { return m_ReceiveBufferBytes.load(); }
    // Whether setupSocket() tells the application's log (qInfo) which receive buffer the
    // system granted (on by default). A library that embeds the receiver turns it off: it
    // writes nothing to its host's standard error and offers receiveBufferBytes() instead.
    void setReportReceiveBuffer(bool report) { m_ReportReceiveBuffer = report; }
    // Every datagram the loop has read since construction, whatever became of it.
    long long datagramsReceived() const { return m_DatagramsReceived.load(); }

    std::atomic<bool> m_Running{true};
    std::atomic<std::uint16_t> m_Port{0};
    QString m_MulticastIp;
    QString m_InterfaceIp;

    static constexpr int kWaitMs =
        20;  // longest wait for readiness before the flags are seen again
    static constexpr int kStopWaitMs = 2000;  // bound on waiting for an old loop
    // Longest datagram the loop takes whole; a longer one is reported by length only.
    static constexpr std::size_t kDatagramCapacity = 1206;

signals:
    void SendLidarStatusToSettingUI(SettingData data, std::vector<int> Mac);
    void SendDataDifo(QByteArray packet);

protected:
    // receiveBuffer: bytes asked of the system for the socket's receive buffer (0 = its default).
    UdpReceiver(std::uint16_t defaultPort, int receiveBuffer, QObject* parent);

    // Called on the loop's thread: once when the loop starts, for every whole datagram
    // (length <= kDatagramCapacity, the bytes valid until the call returns), and for every
    // longer one, which is never decoded from a cut read.
    virtual void loopStarting() {}
    virtual void datagramArrived(const std::uint8_t* data, std::size_t length) = 0;
    virtual void oversizedDatagram() {}

    // Decodes a device information packet (kDevicePacketSize bytes, checked by the caller)
    // and emits it as values: the record and status values, then a fresh copy of the bytes.
    void handOnDevicePacket(const std::uint8_t* packet);

    // Derived destructors call this first: the loop calls their handlers.
    void endLoopForDestruction();

    void run() override;

private:
    bool failSetup(const QString& reason);

    UdpSocket m_Socket;
    // The socket's open/close against the loop's start and end. A standard mutex, so that
    // ThreadSanitizer (scripts/test --sanitize=thread) sees the locking.
    mutable std::mutex m_Lock;
    bool m_LoopActive = false;
    std::atomic<bool> m_CloseRequested{false};
    QString m_LastError;
    const int m_RequestedReceiveBuffer;
    std::atomic<int> m_ReceiveBufferBytes{0};
    int m_LoggedReceiveBuffer = -1;
    std::atomic<bool> m_ReportReceiveBuffer{true};
    std::atomic<long long> m_DatagramsReceived{0};
    SettingData m_Status{};
};

}  // namespace k740
