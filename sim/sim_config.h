// The simulated sensor's configuration port: it listens on its own sensor address (UDP port
// 2368), checks a configuration packet's header and trailer, and applies what it carries to
// what the sensor is, so the following device and data packets obey it. Also the earlier
// generation's device packet layout.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "device/device_packet.h"
#include "platform/udp_socket.h"
#include "sim/sim_engine.h"

namespace k740::sim {

constexpr const char* kDefaultSensorAddress = "127.0.0.2";

// Applies a 1206-byte (newer generation) or 36-byte (earlier generation) configuration packet,
// an advanced configuration packet (measuring range, tail removal, echo mode, zero position,
// offset and calibration angles, speed, motor state), or a vertical angle packet (which changes
// only the sixteen angles), to the state. False, with the reason, when the packet is not one
// (length, header, trailer) or asks for something the simulated sensor cannot be. A sensor
// address outside 127.0.0.0/8 is kept out: the simulated sensor stays on loopback so that nobody
// is sent to a real network.
bool applyConfigPacket(SimState& state, const std::uint8_t* data, std::size_t length,
                       std::string* why);

// Writes the earlier generation's network block (sensor IP 8-11, data port 12-13, destination
// 14-17, device port 18-19, speed 20-21) and its mark (byte 1202 = 3) into a device packet.
void writeEarlierNetworkBlock(const SimState& state, DevicePacket& packet);

// Lowercase hex pairs separated by blanks: one line of the configuration log.
std::string hexLine(const std::uint8_t* data, std::size_t length);

class ConfigListener {
public:
    // Applies what it receives to engine; logFile (empty = none) gets one hex line per
    // configuration packet.
    ConfigListener(SimEngine& engine, std::string address = kDefaultSensorAddress,
                   std::uint16_t port = 2368, std::string logFile = std::string());
    ~ConfigListener();
    ConfigListener(const ConfigListener&) = delete;
    ConfigListener& operator=(const ConfigListener&) = delete;

    // Binds address:port (sharing the port with a wildcard bind of a host tool on the same
    // machine), announces the address as the sensor's own and starts listening.
    bool start(std::string* error = nullptr);
    void stop();

    std::string address() const;
    std::uint64_t packetsApplied() const { return applied_; }

private:
    void run();
    bool bindTo(const std::string& address);

    SimEngine& engine_;
    std::string address_;
    std::uint16_t port_;
    std::string logPath_;
    std::FILE* log_ = nullptr;
    UdpSocket socket_;
    mutable std::mutex mutex_;  // address_
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> applied_{0};
};

}  // namespace k740::sim
