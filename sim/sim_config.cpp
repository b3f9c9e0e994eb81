// The simulated sensor's configuration port and the earlier generation's packet layout.
#include "sim/sim_config.h"

#include <cstring>
#include <utility>

#include "acquisition/packet_format.h"
#include "device/advanced_config.h"
#include "device/network_config.h"
#include "device/vertical_angles.h"

namespace k740::sim {

namespace {

// Longest wait for a datagram before the stop flag is looked at again, ms.
constexpr int kWaitMs = 20;

bool isLoopback(const Ipv4& ip) { return ip[0] == 127; }

Ipv4 ipAt(const std::uint8_t* p) { return Ipv4{{p[0], p[1], p[2], p[3]}}; }

bool validRpm(int rpm) { return rpm == 300 || rpm == 600 || rpm == 1200; }

// Sensor address, ports and speed, common to both generations.
bool applyNetwork(SimState& s, const Ipv4& sensorIp, const Ipv4& destIp, std::uint16_t dataPort,
                  std::uint16_t devicePort, int rpm, std::string* why) {
    auto refuse = [why](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    if (!validRpm(rpm))
        return refuse("rotation speed " + std::to_string(rpm) + " rpm is not 300, 600 or 1200");
    if (dataPort == 0 || devicePort == 0) return refuse("port 0");
    if (!isLoopback(sensorIp))
        return refuse("sensor address " + ipv4Text(sensorIp) +
                      " is outside 127.0.0.0/8; the simulated sensor stays on loopback");
    s.lidarIp = sensorIp;
    s.destIp = destIp;
    s.dataPort = dataPort;
    s.devicePort = devicePort;
    s.rpm = rpm;
    return true;
}

// The advanced configuration packet: measuring parameters, echo mode, angles, speed.
bool applyAdvanced(SimState& s, const std::uint8_t* p, std::string* why) {
    auto refuse = [why](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    const int rpm = readBE16(p + kCfgRotationSpeed);
    if (!validRpm(rpm))
        return refuse("rotation speed " + std::to_string(rpm) + " rpm is not 300, 600 or 1200");
    const int zero = p[kAdvZeroPosition];
    const int echo = p[kAdvEchoMode];
    const int motor = p[kAdvMotorState + 1];
    if (zero > 1 || echo > 1 || motor > 2)
        return refuse("zero position " + std::to_string(zero) + " / echo mode " +
                      std::to_string(echo) + " / motor state " + std::to_string(motor));
    s.rpm = rpm;
    s.motorState = motor;
    s.measuringRange = readBE16(p + kAdvRange);
    s.tailThreshold = readBE16(p + kAdvTailThreshold);
    s.tailDistance = readBE16(p + kAdvTailDistance);
    s.zeroAnglePosition = zero;
    s.dualReturn = echo == 1;
    s.horizontalOffset = static_cast<std::int16_t>(readBE16(p + kAdvOffsetAngle));
    // A negative calibration arrives with 65535 added.
    const int cal = readBE16(p + kAdvCalibration);
    s.encoderZero = cal > 32767 ? cal - 65535 : cal;
    return true;
}

}  // namespace

bool applyConfigPacket(SimState& state, const std::uint8_t* p, std::size_t length,
                       std::string* why) {
    SimState s = state;
    if (isVerticalAnglePacket(p, length)) {
        // Only the sixteen angles change; the rest of the packet is the host's copy of an
        // earlier device packet.
        for (int c = 0; c < kChannelCount; ++c)
            s.verticalAngles[c] = angleFromField(readBE16(p + kDevVerticalAngles + 2 * c));
    } else if (length == kDevicePacketSize &&
               std::memcmp(p, kAdvancedHeader, sizeof kAdvancedHeader) == 0) {
        if (std::memcmp(p + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer) != 0) {
            if (why) *why = "advanced configuration packet without its trailer";
            return false;
        }
        if (!applyAdvanced(s, p, why)) return false;
    } else if (length == kDevicePacketSize) {
        if (std::memcmp(p, kConfigHeader, sizeof kConfigHeader) != 0 ||
            std::memcmp(p + kConfigTrailerOffset, kConfigTrailer, sizeof kConfigTrailer) != 0) {
            if (why) *why = "1206-byte datagram without the configuration header and trailer";
            return false;
        }
        if (!applyNetwork(s, ipAt(p + kDevSensorIp), ipAt(p + kDevDestIp),
                          readBE16(p + kDevDataPort), readBE16(p + kDevDevicePort),
                          readBE16(p + kCfgRotationSpeed), why))
            return false;
        const int motor = readBE16(p + kDevMotorState);
        const int status = readBE16(p + kDevSensorStatus);
        if (motor > 2 || status > 1) {
            if (why)
                *why = "motor state " + std::to_string(motor) + " / sensor status " +
                       std::to_string(status);
            return false;
        }
        std::memcpy(s.mac.data(), p + kDevMac, 6);
        s.ntpServer = ipAt(p + kDevNtpIp);
        s.gateway = ipAt(p + kDevGateway);
        s.subnetMask = ipAt(p + kDevSubnetMask);
        s.motorState = motor;
        s.packetInterval = readBE16(p + kDevPacketInterval);
        s.sensorStatus = status;
        s.ppsAngle = readBE16(p + kDevPpsSetAngle);
        // A time in the packet sets the sensor's clock to the PC's local time; zeros leave it
        // on GPS time.
        static const std::uint8_t kNoTime[6] = {0, 0, 0, 0, 0, 0};
        s.timeSource = std::memcmp(p + kCfgLocalTime, kNoTime, 6) == 0 ? TimeSource::Gps
                                                                       : TimeSource::LocalClock;
    } else if (length == kEarlierConfigSize) {
        if (std::memcmp(p, kEarlierConfigHeader, sizeof kEarlierConfigHeader) != 0 ||
            std::memcmp(p + kEcfgTrailer, kEarlierConfigTrailer, sizeof kEarlierConfigTrailer) !=
                0) {
            if (why) *why = "36-byte datagram without the configuration header and trailer";
            return false;
        }
        if (!applyNetwork(s, ipAt(p + kEcfgSensorIp), ipAt(p + kEcfgDestIp),
                          readBE16(p + kEcfgDataPort), readBE16(p + kEcfgDevicePort),
                          readBE16(p + kEcfgRotationSpeed), why))
            return false;
    } else {
        if (why) *why = std::to_string(length) + "-byte datagram is no configuration packet";
        return false;
    }
    state = s;
    return true;
}

void writeEarlierNetworkBlock(const SimState& s, DevicePacket& p) {
    std::memcpy(p.data() + kDevOldSensorIp, s.lidarIp.data(), 4);
    writeBE16(p.data() + kDevOldDataPort, s.dataPort);
    std::memcpy(p.data() + kDevOldDestIp, s.destIp.data(), 4);
    writeBE16(p.data() + kDevOldDevicePort, s.devicePort);
    writeBE16(p.data() + kDevOldMotorSpeed, static_cast<std::uint16_t>(s.measuredRpm()));
    p[kDevGenerationByte] = kEarlierGenerationMark;
}

std::string hexLine(const std::uint8_t* data, std::size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string line;
    line.reserve(length * 3);
    for (std::size_t i = 0; i < length; ++i) {
        if (i) line += ' ';
        line += kDigits[data[i] >> 4];
        line += kDigits[data[i] & 0xF];
    }
    return line;
}

ConfigListener::ConfigListener(SimEngine& engine, std::string address, std::uint16_t port,
                               std::string logFile)
    : engine_(engine), address_(std::move(address)), port_(port), logPath_(std::move(logFile)) {}

ConfigListener::~ConfigListener() { stop(); }

std::string ConfigListener::address() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return address_;
}

bool ConfigListener::bindTo(const std::string& address) {
    socket_.close();
    // The host tool binds the same port on the wildcard address; both sides allow the share.
    return socket_.open() && socket_.setReuseAddress(true) && socket_.bind(port_, address);
}

bool ConfigListener::start(std::string* error) {
    stop();
    const std::string address = this->address();
    std::uint32_t host = 0;
    if (!UdpSocket::parseIPv4(address, &host) || (host >> 24) != 127) {
        if (error)
            *error = "the sensor address must be a loopback address (127.x.x.x), not " + address;
        return false;
    }
    if (!bindTo(address)) {
        if (error)
            *error = "cannot listen for configuration packets on " + address + ":" +
                     std::to_string(port_);
        socket_.close();
        return false;
    }
    if (!logPath_.empty()) {
        log_ = std::fopen(logPath_.c_str(), "w");
        if (!log_) {
            if (error) *error = "cannot write the configuration log " + logPath_;
            socket_.close();
            return false;
        }
    }
    // The sensor announces the address it listens on.
    SimState s = engine_.state();
    s.lidarIp = {{static_cast<std::uint8_t>(host >> 24), static_cast<std::uint8_t>(host >> 16),
                  static_cast<std::uint8_t>(host >> 8), static_cast<std::uint8_t>(host)}};
    engine_.setState(s);
    engine_.setDevicePacketSocket(&socket_);
    stop_ = false;
    thread_ = std::thread(&ConfigListener::run, this);
    return true;
}

void ConfigListener::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    engine_.setDevicePacketSocket(nullptr);
    socket_.close();
    if (log_) {
        std::fclose(log_);
        log_ = nullptr;
    }
}

void ConfigListener::run() {
    std::uint8_t buffer[kDevicePacketSize + 1];
    while (!stop_) {
        if (socket_.waitReadable(kWaitMs) <= 0) continue;
        const long n = socket_.receiveFrom(buffer, sizeof buffer);
        if (n < 0) continue;
        const std::size_t length = static_cast<std::size_t>(n);
        if (length > kDevicePacketSize) continue;
        SimState s = engine_.state();
        const Ipv4 oldIp = s.lidarIp;
        std::string why;
        if (!applyConfigPacket(s, buffer, length, &why)) {
            std::fprintf(stderr, "k740-sim: configuration packet refused: %s\n", why.c_str());
            continue;
        }
        if (log_) {
            std::fprintf(log_, "%s\n", hexLine(buffer, length).c_str());
            std::fflush(log_);
        }
        if (s.lidarIp != oldIp) {
            // The sensor moves to its new address; it stays where it was if it cannot.
            const std::string newAddress = ipv4Text(s.lidarIp);
            if (bindTo(newAddress)) {
                std::lock_guard<std::mutex> lock(mutex_);
                address_ = newAddress;
            } else {
                std::fprintf(stderr, "k740-sim: cannot move to %s, staying at %s\n",
                             newAddress.c_str(), address().c_str());
                s.lidarIp = oldIp;
                bindTo(address());
            }
        }
        engine_.setState(s);
        ++applied_;
    }
}

}  // namespace k740::sim
