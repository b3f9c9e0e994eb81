// Status receiver: accepts only complete device information packets on the device port.
#include "device/GetSet.h"

#include "device/device_packet.h"

// Device packets come once a second: the system's default receive buffer is ample.
GetSet::GetSet(QObject* parent) : k740::UdpReceiver(2369, 0, parent) {}

GetSet::~GetSet() { endLoopForDestruction(); }

void GetSet::datagramArrived(const std::uint8_t* data, std::size_t length) {
    if (!k740::isDevicePacket(data, length)) {
        ++m_Dropped;  // wrong length (short, or longer than a packet) or wrong header
        return;
    }
    ++m_Accepted;
    handOnDevicePacket(data);
}
