// k740-convert status / configure: the sensor's settings from a script. status prints the
// first device information packet as the settings window shows it; configure builds the
// settings window's configuration packet from the latest device packet and the options given,
// and sends it to the sensor.
#include "tools/convert_device.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acquisition/packet_format.h"
#include "device/device_packet.h"
#include "device/device_texts.h"
#include "device/network_config.h"
#include "device/status_lines.h"
#include "platform/udp_socket.h"
#include "tools/exit_codes.h"

namespace k740::convert {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;
constexpr double kDefaultTimeoutSeconds = 5.0;

const char* const kDeviceUsage =
    "usage:\n"
    "  k740-convert status [--port 2369] [--timeout S]\n"
    "  k740-convert configure --sensor ADDR [--port 2368] [--listen-port 2369] [--timeout S]\n"
    "                   [--rpm 300|600|1200] [--motor run|stop] [--sensor-ip A] [--dest-ip A]\n"
    "                   [--data-port N] [--device-port N]\n"
    "\n"
    "status     waits for the first device information packet on the device port and prints\n"
    "           its fields, one 'name: value' line each.\n"
    "configure  waits for a device information packet on --listen-port, keeps every setting it\n"
    "           reports except those given, builds the configuration packet of the settings\n"
    "           window and sends it once to ADDR, UDP port --port. A refused setting is reported\n"
    "           on stderr and nothing is sent (exit 1). Without --rpm the measured speed is kept\n"
    "           (600 rpm when it is none of 300, 600 and 1200).\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "k740-convert: %s (run 'k740-convert %s' for usage)\n", message.c_str(),
                 "status --help");
    return kExitUsage;
}

bool parseInt(const std::string& text, long lo, long hi, long* out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (end == nullptr || *end != '\0' || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool isIpv4(const std::string& text) { return parseIpv4(QString::fromStdString(text)).has_value(); }

struct DeviceOptions {
    std::string command;
    long port = -1;
    long listenPort = 2369;
    double timeout = kDefaultTimeoutSeconds;
    std::string sensor, rpm, motor, sensorIp, destIp, dataPort, devicePort;
};

std::string parse(int argc, char** argv, DeviceOptions& o) {
    const bool configure = o.command == "configure";
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return "option '" + arg + "' wants a value";
        const std::string value = argv[++i];
        long n = 0;
        if (arg == "--port") {
            if (!parseInt(value, 1, 65535, &n)) return "--port wants a port 1..65535, not " + value;
            o.port = n;
        } else if (arg == "--timeout") {
            char* end = nullptr;
            o.timeout = std::strtod(value.c_str(), &end);
            if (end == nullptr || *end != '\0' || !(o.timeout > 0.0) || o.timeout > 3600.0)
                return "--timeout wants seconds above 0, not " + value;
        } else if (configure && arg == "--listen-port") {
            if (!parseInt(value, 1, 65535, &n))
                return "--listen-port wants a port 1..65535, not " + value;
            o.listenPort = n;
        } else if (configure && arg == "--sensor") {
            if (!isIpv4(value)) return "--sensor wants an IPv4 address, not " + value;
            o.sensor = value;
        } else if (configure && arg == "--rpm") {
            if (value != "300" && value != "600" && value != "1200")
                return "--rpm wants 300, 600 or 1200, not " + value;
            o.rpm = value;
        } else if (configure && arg == "--motor") {
            if (value != "run" && value != "stop") return "--motor wants run or stop, not " + value;
            o.motor = value;
        } else if (configure && (arg == "--sensor-ip" || arg == "--dest-ip")) {
            (arg == "--sensor-ip" ? o.sensorIp : o.destIp) = value;  // checked by the builder
        } else if (configure && (arg == "--data-port" || arg == "--device-port")) {
            // The packet takes ports above 1024 only; anything else would silently keep the old
            // one.
            if (!parseInt(value, 1025, 65535, &n))
                return arg + " wants a port 1025..65535, not " + value;
            (arg == "--data-port" ? o.dataPort : o.devicePort) = value;
        } else {
            return "unknown option '" + arg + "' for '" + o.command + "'";
        }
    }
    if (configure && o.sensor.empty()) return "configure wants --sensor ADDR";
    return std::string();
}

// Waits for a device information packet on the port; false (and the reason) on a timeout.
bool waitForDevicePacket(std::uint16_t port, double timeoutSeconds, DevicePacket& packet,
                         std::string* why) {
    UdpSocket socket;
    if (!socket.open() || !socket.bind(port)) {
        *why = "cannot listen on UDP port " + std::to_string(port);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(timeoutSeconds));
    std::uint8_t buffer[kDevicePacketSize + 1];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        if (socket.waitReadable(static_cast<int>(left.count())) <= 0) continue;
        const long n = socket.receiveFrom(buffer, sizeof buffer);
        if (n > 0 && isDevicePacket(buffer, static_cast<std::size_t>(n))) {
            std::memcpy(packet.data(), buffer, kDevicePacketSize);
            return true;
        }
    }
    *why = "no device information packet on UDP port " + std::to_string(port) + " within " +
           QString::number(timeoutSeconds).toStdString() + " s";
    return false;
}

void line(const char* name, const QString& value) {
    std::printf("%s: %s\n", name, value.toUtf8().constData());
}

int runStatus(const DeviceOptions& o) {
    DevicePacket p{};
    std::string why;
    if (!waitForDevicePacket(static_cast<std::uint16_t>(o.port < 0 ? 2369 : o.port), o.timeout, p,
                             &why)) {
        std::fprintf(stderr, "k740-convert: %s\n", why.c_str());
        return kExitFailure;
    }
    for (const auto& [name, value] : deviceStatusLines(p.data())) line(name, value);
    std::fflush(stdout);
    return kExitOk;
}

int runConfigure(const DeviceOptions& o) {
    DevicePacket device{};
    std::string why;
    if (!waitForDevicePacket(static_cast<std::uint16_t>(o.listenPort), o.timeout, device, &why)) {
        std::fprintf(stderr, "k740-convert: %s; nothing sent\n", why.c_str());
        return kExitFailure;
    }
    NetworkForm form = formFromDevicePacket(device.data());
    if (!o.rpm.empty())
        form.rotateSpeed = QString::fromLatin1(kRotationItems[o.rpm == "300"   ? 0
                                                              : o.rpm == "600" ? 1
                                                                               : 2]);
    if (!o.motor.empty())
        form.motorState = o.motor == "stop" ? QStringLiteral("Stop") : QStringLiteral("Run");
    if (!o.sensorIp.empty()) form.sensorIp = QString::fromStdString(o.sensorIp);
    if (!o.destIp.empty()) form.destIp = QString::fromStdString(o.destIp);
    if (!o.dataPort.empty()) form.dataPort = QString::fromStdString(o.dataPort);
    if (!o.devicePort.empty()) form.devicePort = QString::fromStdString(o.devicePort);

    const ConfigPacket packet =
        buildConfigPacket(device, !isEarlierGeneration(device.data()), form, currentLocalTime());
    if (packet.refusal) {
        std::fprintf(stderr, "k740-convert: %s: %s; nothing sent\n",
                     packet.refusal->title.toUtf8().constData(),
                     packet.refusal->text.toUtf8().constData());
        return kExitFailure;
    }
    const std::uint16_t port = static_cast<std::uint16_t>(o.port < 0 ? kSensorConfigPort : o.port);
    UdpSocket socket;
    const long sent =
        socket.open() ? socket.sendTo(packet.bytes.constData(),
                                      static_cast<std::size_t>(packet.bytes.size()), o.sensor, port)
                      : -1;
    if (sent != packet.bytes.size()) {
        std::fprintf(stderr, "k740-convert: the configuration packet could not be sent to %s:%u\n",
                     o.sensor.c_str(), static_cast<unsigned>(port));
        return kExitFailure;
    }
    std::printf("sent %d-byte configuration packet to %s:%u\n", packet.bytes.size(),
                o.sensor.c_str(), static_cast<unsigned>(port));
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace

int deviceCommand(int argc, char** argv) {
    if (argc < 2) return -1;
    DeviceOptions o;
    o.command = argv[1];
    if (o.command != "status" && o.command != "configure") return -1;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kDeviceUsage, stdout);
            return kExitOk;
        }
    }
    const std::string complaint = parse(argc, argv, o);
    if (!complaint.empty()) return usageError(complaint);
    return o.command == "status" ? runStatus(o) : runConfigure(o);
}

}  // namespace k740::convert
