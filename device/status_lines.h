// The status values of a device information packet as named text lines: what
// `k740-convert status` prints and what the consumer library hands out.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace k740 {

// (name, text) pairs of a 1206-byte device information packet, in the order k740-convert
// status prints them: generation, addresses and ports, MAC, speed, the newer generation's
// motor, status, interval, PPS angle and time, then the versions and the lidar id. UTF-8.
std::vector<std::pair<const char*, std::string>> deviceStatusLines(const std::uint8_t* packet);

}  // namespace k740
