// One configuration datagram to the sensor, with the reason when it did not leave.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace k740 {

// Sends the whole packet as one UDP datagram from a fresh socket. False, with a short reason
// in *why, when no socket could be made or the system did not take the whole datagram.
bool sendConfigDatagram(const QByteArray& packet, const QString& address, std::uint16_t port,
                        QString* why);

}  // namespace k740
