// Configuration datagrams to the sensor.
#include "device/config_sender.h"

#include "platform/udp_socket.h"

namespace k740 {

bool sendConfigDatagram(const void* packet, std::size_t size, const std::string& address, std::uint16_t port,
                        std::string* why) {
    UdpSocket socket;
    if (!socket.open()) {
        if (why) *why = "no UDP socket";
        return false;
    }
    const long sent = socket.sendTo(packet, size, address, port);
    if (sent < 0 || static_cast<std::size_t>(sent) != size) {
        if (why) *why = "the datagram did not leave";
        return false;
    }
    return true;
}

}  // namespace k740
