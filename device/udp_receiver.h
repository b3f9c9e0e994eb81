// Base of the two receiver threads (data port and device port): a thin QThread shell over
// the receive engine (acquisition/receive_engine.h), which owns the socket, its checks, the
// loop and the packet rules. The shell keeps the fields the window writes, runs the engine's
// loop in run() and turns device information packets into the settings dialogs' signals.
#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "acquisition/receive_engine.h"
#include "device/device_metatypes.h"
#include "device/device_packet.h"

namespace k740 {

class UdpReceiver : public QThread, protected ReceiveSink {
    Q_OBJECT
public:
    ~UdpReceiver() override;

    // Makes the engine's socket for m_Port, m_MulticastIp and m_InterfaceIp (empty = any).
    // A loop left from an earlier start is given kStopWaitMs to end first; the socket is
    // never replaced under a running loop. Returns false with lastError() in the engine's
    // words when a check or a step fails (a group text that is no multicast group included);
    // the socket is then closed and the loop, if started, receives nothing.
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
    std::uint16_t boundPort() const { return m_Engine.boundPort(); }
    // Receive buffer the system granted at the last setupSocket() (as the system reports
    // it; Linux reports twice the usable size), 0 when no socket is open.
    int receiveBufferBytes() const { return m_Engine.receiveBufferBytes(); }
    // Whether setupSocket() tells the application's log (qInfo) which receive buffer the
    // system granted (on by default).
    void setReportReceiveBuffer(bool report) { m_ReportReceiveBuffer = report; }
    // Every datagram the loop has read since construction, whatever became of it.
    long long datagramsReceived() const { return m_Engine.datagramsReceived(); }

    std::atomic<bool>& m_Running;  // the engine's run flag
    std::atomic<std::uint16_t> m_Port{0};
    QString m_MulticastIp;
    QString m_InterfaceIp;

    static constexpr int kWaitMs = ReceiveEngine::kWaitMs;
    static constexpr int kStopWaitMs = 2000;  // bound on waiting for an old loop

signals:
    void SendLidarStatusToSettingUI(SettingData data, std::vector<int> Mac);
    void SendDataDifo(QByteArray packet);

protected:
    // receiveBuffer: bytes asked of the system for the socket's receive buffer (0 = its default).
    UdpReceiver(ReceiveEngine::Role role, std::uint16_t defaultPort, int receiveBuffer, QObject* parent);

    // Called on the loop's thread before the engine's loop starts.
    virtual void loopStarting() {}
    // A device information packet from the engine: decoded and emitted as values, the
    // record and status values, then a fresh copy of the bytes.
    void devicePacket(const DevicePacket& packet) override;

    // Derived destructors call this first: the loop calls their handlers.
    void endLoopForDestruction();

    void run() override;

    ReceiveEngine m_Engine;

private:
    const int m_RequestedReceiveBuffer;
    int m_LoggedReceiveBuffer = -1;
    std::atomic<bool> m_ReportReceiveBuffer{true};
};

}  // namespace k740
