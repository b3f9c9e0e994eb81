// Configuration datagrams to the sensor.
#include "device/config_sender.h"

#include "platform/udp_socket.h"

namespace k740 {

bool sendConfigDatagram(const QByteArray& packet, const QString& address, std::uint16_t port,
                        QString* why) {
    UdpSocket socket;
    if (!socket.open()) {
        if (why) *why = QStringLiteral("no UDP socket");
        return false;
    }
    const long sent = socket.sendTo(packet.constData(), static_cast<std::size_t>(packet.size()),
                                    address.toStdString(), port);
    if (sent != packet.size()) {
        if (why) *why = QStringLiteral("the datagram did not leave");
        return false;
    }
    return true;
}

}  // namespace k740
