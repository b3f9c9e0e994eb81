// Status receiver: takes device information packets on the device port and hands each one,
// decoded, to the settings dialogs. A thread shell over the receive engine's device-packet
// rules (through k740::UdpReceiver).
#pragma once

#include "device/udp_receiver.h"

class GetSet : public k740::UdpReceiver {
    Q_OBJECT
public:
    explicit GetSet(QObject* parent = nullptr);
    ~GetSet() override;

    // Device information packets accepted, and datagrams dropped for their length or header.
    long long packetsAccepted() const { return m_Engine.devicePacketsAccepted(); }
    long long datagramsDropped() const { return m_Engine.datagramsDropped(); }
};
