// The leading bytes of a device information packet. The packet has a data packet's length,
// so the data port's classification needs them too.
#pragma once

#include <cstdint>

namespace k740 {

constexpr std::uint8_t kDeviceHeader[8] = {0xA5, 0xFF, 0x00, 0x5A, 0x11, 0x11, 0x55, 0x55};

}  // namespace k740
