// One configuration datagram to the sensor, with the reason when it did not leave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace k740 {

// Sends the whole packet as one UDP datagram from a fresh socket. False, with a short reason
// in *why, when no socket could be made or the system did not take the whole datagram.
bool sendConfigDatagram(const void* packet, std::size_t size, const std::string& address, std::uint16_t port,
                        std::string* why);

}  // namespace k740
