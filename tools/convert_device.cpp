// k740-convert status / configure: the sensor's settings from a script. status prints the
// first device information packet as the settings window shows it; configure builds the
// settings window's configuration packet from the latest device packet and the options given,
// and sends it to the sensor.
#include "tools/convert_device.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "acquisition/packet_format.h"
#include "acquisition/receive_engine.h"
#include "device/device_packet.h"
#include "device/device_texts.h"
#include "device/network_config.h"
#include "device/status_lines.h"
#include "platform/udp_socket.h"
#include "tools/convert_options.h"
#include "tools/exit_codes.h"

namespace k740::convert {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;
constexpr double kDefaultTimeoutSeconds = 5.0;

struct DeviceOptions {
    std::string command;
    long port = -1;
    long listenPort = 2369;
    double timeout = kDefaultTimeoutSeconds;
    std::string sensor, rpm, motor, sensorIp, destIp, dataPort, devicePort;
};

CommandLine commandLineOf(const std::string& command) {
    if (command == "status") {
        CommandLine c("status", "  k740-convert status [--port 2369] [--timeout S]\n",
                      "Waits for the first device information packet on the device port and prints its\n"
                      "fields, one 'name: value' line each.\n");
        c.addOption("port", "PORT", "Device port to listen on (default 2369).");
        c.addOption("timeout", "S", "Seconds to wait for the packet (default 5).");
        return c;
    }
    CommandLine c("configure",
                  "  k740-convert configure --sensor ADDR [--port 2368] [--listen-port 2369] [--timeout S]\n"
                  "                   [--rpm 300|600|1200] [--motor run|stop] [--sensor-ip A] [--dest-ip A]\n"
                  "                   [--data-port N] [--device-port N]\n",
                  "Waits for a device information packet on --listen-port, keeps every setting it\n"
                  "reports except those given, builds the configuration packet of the settings window\n"
                  "and sends it once to ADDR, UDP port --port. A refused setting is reported on stderr\n"
                  "and nothing is sent (exit 1). Without --rpm the measured speed is kept (600 rpm when\n"
                  "it is none of 300, 600 and 1200).\n");
    c.addOption("sensor", "ADDR", "The sensor's address (IPv4).");
    c.addOption("port", "PORT", "The sensor's configuration port (default 2368).");
    c.addOption("listen-port", "PORT", "Device port to take the current settings from (default 2369).");
    c.addOption("timeout", "S", "Seconds to wait for the device packet (default 5).");
    c.addOption("rpm", "RPM", "Rotation speed: 300, 600 or 1200.");
    c.addOption("motor", "run|stop", "Motor state.");
    c.addOption("sensor-ip", "A", "New sensor address.");
    c.addOption("dest-ip", "A", "New destination address of the data.");
    c.addOption("data-port", "N", "New data port (1025..65535).");
    c.addOption("device-port", "N", "New device port (1025..65535).");
    return c;
}

bool isIpv4(const std::string& text) { return parseIpv4(QString::fromStdString(text)).has_value(); }

// Reads the options; -1 to run the command, otherwise the exit status.
int readOptions(int argc, char** argv, DeviceOptions& o) {
    CommandLine c = commandLineOf(o.command);
    if (const int rc = c.parse(argc, argv); rc >= 0) return rc;
    if (!c.arguments().empty()) return c.refuse("'" + o.command + "' takes options only, not '" + c.arguments()[0] + "'");
    if (!c.whole("port", 1, 65535, "a port 1..65535", &o.port)) return kExitUsage;
    if (!c.real("timeout", std::numeric_limits<double>::min(), 3600.0, "seconds above 0 (at most 3600)", &o.timeout)) return kExitUsage;
    if (o.command != "configure") return -1;
    if (!c.whole("listen-port", 1, 65535, "a port 1..65535", &o.listenPort)) return kExitUsage;
    o.sensor = c.value("sensor");
    if (c.isSet("sensor") && !isIpv4(o.sensor)) return c.refuse("--sensor takes an IPv4 address, not '" + o.sensor + "'");
    o.rpm = c.value("rpm");
    if (c.isSet("rpm") && o.rpm != "300" && o.rpm != "600" && o.rpm != "1200")
        return c.refuse("--rpm takes 300, 600 or 1200, not '" + o.rpm + "'");
    o.motor = c.value("motor");
    if (c.isSet("motor") && o.motor != "run" && o.motor != "stop")
        return c.refuse("--motor takes run or stop, not '" + o.motor + "'");
    o.sensorIp = c.value("sensor-ip");  // checked by the packet builder
    o.destIp = c.value("dest-ip");
    // The packet takes ports above 1024 only; anything else would silently keep the old one.
    long port = 0;
    if (!c.whole("data-port", 1025, 65535, "a port 1025..65535", &port)) return kExitUsage;
    o.dataPort = c.value("data-port");
    if (!c.whole("device-port", 1025, 65535, "a port 1025..65535", &port)) return kExitUsage;
    o.devicePort = c.value("device-port");
    if (!c.isSet("sensor")) return c.refuse("configure wants --sensor ADDR");
    return -1;
}

// The first device information packet the engine passes on.
struct FirstDevicePacket : ReceiveSink {
    std::mutex lock;
    std::condition_variable arrived;
    bool got = false;
    DevicePacket packet{};
    void devicePacket(const DevicePacket& p) override {
        std::lock_guard<std::mutex> guard(lock);
        if (got) return;
        packet = p;
        got = true;
        arrived.notify_all();
    }
};

// Waits for a device information packet on the port, through the receive engine's device
// rules; false (and the reason) when the port cannot be had or on a timeout.
bool waitForDevicePacket(std::uint16_t port, double timeoutSeconds, DevicePacket& packet,
                         std::string* why) {
    FirstDevicePacket sink;
    ReceiveEngine engine(ReceiveEngine::Role::DevicePackets, &sink);
    ReceiveSettings settings;
    settings.port = port;
    if (!engine.open(settings)) {
        *why = engine.lastError();
        return false;
    }
    std::thread loop([&engine] { engine.run(); });
    bool got = false;
    {
        std::unique_lock<std::mutex> guard(sink.lock);
        got = sink.arrived.wait_for(guard, std::chrono::duration<double>(timeoutSeconds),
                                    [&sink] { return sink.got; });
        if (got) packet = sink.packet;
    }
    engine.running = false;
    loop.join();
    engine.close();
    if (got) return true;
    *why = "no device information packet on UDP port " + std::to_string(port) + " within " +
           QString::number(timeoutSeconds).toStdString() + " s";
    return false;
}

void line(const char* name, const std::string& value) {
    std::printf("%s: %s\n", name, value.c_str());
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
    if (const int rc = readOptions(argc, argv, o); rc >= 0) return rc;
    return o.command == "status" ? runStatus(o) : runConfigure(o);
}

}  // namespace k740::convert
