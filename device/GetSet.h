// Status receiver: takes device information packets on the device port and hands each one,
// decoded, to the settings dialogs. The socket, the loop and the hand-off come from
// k740::UdpReceiver.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/udp_receiver.h"

class GetSet : public k740::UdpReceiver {
    Q_OBJECT
public:
    explicit GetSet(QObject* parent = nullptr);
    ~GetSet() override;

    // Device information packets accepted, and datagrams dropped for their length or header.
    long long packetsAccepted() const { return m_Accepted.load(); }
    long long datagramsDropped() const { return m_Dropped.load(); }

protected:
    void datagramArrived(const std::uint8_t* data, std::size_t length) override;
    void oversizedDatagram() override { ++m_Dropped; }

private:
    std::atomic<long long> m_Accepted{0};
    std::atomic<long long> m_Dropped{0};
};
