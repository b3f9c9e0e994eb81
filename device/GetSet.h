// Status receiver: takes device information packets on the device port and hands each one,
// decoded, to the settings dialogs.
#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>
#include <vector>

#include "acquisition/metatypes.h"
#include "device/device_packet.h"
#include "platform/udp_socket.h"

class GetSet : public QThread {
    Q_OBJECT
public:
    explicit GetSet(QObject* parent = nullptr);
    ~GetSet() override;

    // Creates the socket: bind to any address on m_Port, join m_MulticastIp (interface
    // m_InterfaceIp, empty = any), non-blocking. Failures leave a socket that receives nothing.
    void setupSocket();
    // Ends the connection: clears m_Running, lets the loop finish (it looks at the flag at
    // least every 20 ms) and closes the socket, so a new setupSocket() and start() follow safely.
    void closeSocket();

    std::atomic<bool> m_Running{true};
    std::atomic<std::uint16_t> m_Port{2369};
    QString m_MulticastIp;
    QString m_InterfaceIp;

    // Port actually bound (useful when m_Port is 0), 0 when not bound.
    std::uint16_t boundPort() const;

    // Device information packets accepted, and datagrams dropped for their length or header.
    long long packetsAccepted() const { return m_Accepted.load(); }
    long long datagramsDropped() const { return m_Dropped.load(); }

signals:
    void SendLidarStatusToSettingUI(SettingData data, std::vector<int> Mac);
    void SendDataDifo(QByteArray packet);

protected:
    void run() override;

private:
    k740::UdpSocket m_Socket;
    QByteArray m_LastPacket;  // last accepted packet, 1206 bytes
    SettingData m_Status{};
    std::atomic<long long> m_Accepted{0};
    std::atomic<long long> m_Dropped{0};

    // Ends a loop still running from an earlier start before its socket is replaced or closed.
    void stopLoop();
    void accept(const std::uint8_t* packet);
};
