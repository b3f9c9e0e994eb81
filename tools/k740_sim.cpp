// k740-sim: a simulated K740-P on the network, so that the viewer can be tried without a
// sensor. Sends the measurement stream and the device information packet over UDP.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "sim/sim_config.h"
#include "sim/sim_engine.h"
#include "tools/exit_codes.h"

namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void onSignal(int) { g_interrupted = true; }

using k740::tools::kExitFailure;
using k740::tools::kExitUsage;

int usageError(const QString& message) {
    std::fprintf(stderr, "k740-sim: %s (see --help)\n", qPrintable(message));
    return kExitUsage;
}

bool isIPv4(const QString& text) {
    std::uint32_t ignored = 0;
    return k740::UdpSocket::parseIPv4(text.toStdString(), &ignored);
}

bool parsePort(const QString& text, std::uint16_t* port) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 1 || v > 65535) return false;
    *port = static_cast<std::uint16_t>(v);
    return true;
}

std::string describe(const k740::sim::SimConfig& c) {
    std::string what;
    if (!c.replayFile.empty()) {
        what = "replaying " + c.replayFile + (c.replayLoop ? " (looped)" : "");
    } else if (c.singleLine) {
        what = "778-byte single-line packets";
    } else {
        what = std::string("1206-byte data packets, protocol ") + (c.protocol == 0 ? "1.6" : "1.7") +
               (c.dualReturn ? ", dual return" : "");
    }
    if (c.replayFile.empty()) what += ", " + std::to_string(c.rpm) + " rpm";
    const std::string dataTo = (c.multicastGroup.empty() ? c.host : c.multicastGroup) + ":" +
                               std::to_string(c.dataPort);
    std::string line = "k740-sim: " + what + " to " + dataTo;
    if (!c.multicastGroup.empty() && !c.multicastInterface.empty())
        line += " via " + c.multicastInterface;
    if (c.deviceInfo) line += ", device information to " + c.host + ":" + std::to_string(c.devicePort);
    if (!c.sourceAddress.empty()) line += ", from " + c.sourceAddress;
    if (c.speedFactor != 1.0) line += ", " + QString::number(c.speedFactor).toStdString() + "x speed";
    return line;
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("k740-sim");
    QCoreApplication::setApplicationVersion(QStringLiteral(K740_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Simulated K740-P sensor: sends measurement packets and device information packets over UDP.");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption hostOpt("host", "Destination address of both streams.", "ADDR", "127.0.0.1");
    const QCommandLineOption dataPortOpt("data-port", "Data port.", "PORT", "2368");
    const QCommandLineOption devicePortOpt("device-port", "Device information port.", "PORT", "2369");
    const QCommandLineOption groupOpt("group", "Send the data stream to this multicast group.", "ADDR");
    const QCommandLineOption interfaceOpt("interface", "Outgoing interface address for multicast.", "ADDR");
    const QCommandLineOption sourceOpt("source", "Local address to send from (e.g. 127.0.0.2).", "ADDR");
    const QCommandLineOption protocolOpt(
        "protocol",
        "0 = 1.6 (2 points a block; the viewer's default), 1 = 1.7 (30 points a block).", "0|1",
        "0");
    const QCommandLineOption dualOpt("dual", "Dual return: even blocks first echo, odd blocks last echo.");
    const QCommandLineOption singleLineOpt("single-line", "Send 778-byte single-line packets.");
    const QCommandLineOption rpmOpt("rpm", "Rotation speed: 300, 600 or 1200.", "RPM", "600");
    const QCommandLineOption replayOpt("replay", "Send the sensor payloads of a capture file at their pace.",
                                       "FILE");
    const QCommandLineOption loopOpt("loop", "With --replay: start the capture again at its end.");
    const QCommandLineOption speedOpt("speed", "Speed factor (2 = twice real time).", "FACTOR", "1");
    const QCommandLineOption noDeviceOpt("no-device-info", "Do not send device information packets.");
    const QCommandLineOption durationOpt("duration", "Stop after this many seconds (0 = until Ctrl-C).",
                                         "SECONDS", "0");
    const QCommandLineOption sensorOpt("sensor-address",
                                       "Own sensor address: configuration packets are taken there (see --config-port).",
                                       "ADDR", k740::sim::kDefaultSensorAddress);
    const QCommandLineOption configPortOpt("config-port",
                                           "Port the configuration packets are taken on.", "PORT", "2368");
    const QCommandLineOption noConfigOpt("no-config", "Do not listen for configuration packets.");
    const QCommandLineOption logConfigOpt("log-config", "Write each configuration packet received as hex, one line each.",
                                          "FILE");
    const QCommandLineOption earlierOpt("earlier-generation",
                                        "Play the earlier sensor generation (device packet byte 1202 = 3).");
    for (const auto* o : {&hostOpt, &dataPortOpt, &devicePortOpt, &groupOpt, &interfaceOpt, &sourceOpt,
                          &protocolOpt, &dualOpt, &singleLineOpt, &rpmOpt, &replayOpt, &loopOpt, &speedOpt,
                          &noDeviceOpt, &durationOpt, &sensorOpt, &configPortOpt, &noConfigOpt, &logConfigOpt, &earlierOpt})
        parser.addOption(*o);

    if (!parser.parse(QCoreApplication::arguments())) return usageError(parser.errorText());
    if (parser.isSet("help")) parser.showHelp(0);
    if (parser.isSet("version")) parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return usageError("unexpected argument " + parser.positionalArguments().first());

    k740::sim::SimConfig config;
    QString host = parser.value(hostOpt);
    if (host == "localhost") host = "127.0.0.1";
    if (!isIPv4(host)) return usageError("--host wants an IPv4 address, not " + host);
    config.host = host.toStdString();
    if (!parsePort(parser.value(dataPortOpt), &config.dataPort))
        return usageError("--data-port wants a port 1..65535, not " + parser.value(dataPortOpt));
    if (!parsePort(parser.value(devicePortOpt), &config.devicePort))
        return usageError("--device-port wants a port 1..65535, not " + parser.value(devicePortOpt));
    if (parser.isSet(groupOpt)) {
        const QString g = parser.value(groupOpt);
        std::uint32_t addr = 0;
        if (!k740::UdpSocket::parseIPv4(g.toStdString(), &addr) || (addr >> 28) != 0xE)
            return usageError("--group wants a multicast address (224.0.0.0 to 239.255.255.255), not " + g);
        config.multicastGroup = g.toStdString();
    }
    if (parser.isSet(interfaceOpt)) {
        if (!isIPv4(parser.value(interfaceOpt)))
            return usageError("--interface wants an IPv4 address, not " + parser.value(interfaceOpt));
        config.multicastInterface = parser.value(interfaceOpt).toStdString();
    }
    if (parser.isSet(sourceOpt)) {
        if (!isIPv4(parser.value(sourceOpt)))
            return usageError("--source wants an IPv4 address, not " + parser.value(sourceOpt));
        config.sourceAddress = parser.value(sourceOpt).toStdString();
    }
    const QString protocol = parser.value(protocolOpt);
    if (protocol != "0" && protocol != "1") return usageError("--protocol wants 0 or 1, not " + protocol);
    config.protocol = protocol.toInt();
    config.dualReturn = parser.isSet(dualOpt);
    config.singleLine = parser.isSet(singleLineOpt);
    if (config.dualReturn && config.singleLine) return usageError("--dual and --single-line exclude each other");
    const QString rpm = parser.value(rpmOpt);
    if (rpm != "300" && rpm != "600" && rpm != "1200") return usageError("--rpm wants 300, 600 or 1200, not " + rpm);
    config.rpm = rpm.toInt();
    bool ok = false;
    config.speedFactor = parser.value(speedOpt).toDouble(&ok);
    if (!ok || !(config.speedFactor > 0.0) || config.speedFactor > 1000.0)
        return usageError("--speed wants a factor above 0 and at most 1000, not " + parser.value(speedOpt));
    const double duration = parser.value(durationOpt).toDouble(&ok);
    if (!ok || !(duration >= 0.0)) return usageError("--duration wants seconds >= 0, not " + parser.value(durationOpt));
    config.deviceInfo = !parser.isSet(noDeviceOpt);
    config.replayLoop = parser.isSet(loopOpt);
    if (config.replayLoop && !parser.isSet(replayOpt)) return usageError("--loop goes with --replay");
    if (parser.isSet(replayOpt)) {
        config.replayFile = parser.value(replayOpt).toStdString();
        std::string error;
        if (!k740::sim::SimEngine::checkReplayFile(config.replayFile, &error)) {
            std::fprintf(stderr, "k740-sim: %s\n", error.c_str());
            return kExitUsage;
        }
    }

    const QString sensorAddress = parser.value(sensorOpt);
    std::uint32_t sensorHost = 0;
    if (!k740::UdpSocket::parseIPv4(sensorAddress.toStdString(), &sensorHost) || (sensorHost >> 24) != 127)
        return usageError("--sensor-address wants a loopback address (127.x.x.x), not " + sensorAddress);
    if (parser.isSet(noConfigOpt) && (parser.isSet(logConfigOpt) || parser.isSet(sensorOpt)))
        return usageError("--no-config excludes --sensor-address and --log-config");

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    k740::sim::SimEngine engine(config);
    if (parser.isSet(earlierOpt)) {
        k740::sim::SimState state = engine.state();
        state.earlierGeneration = true;
        engine.setState(state);
    }
    std::uint16_t configPort = 2368;
    if (!parsePort(parser.value(configPortOpt), &configPort))
        return usageError("--config-port takes a port 1-65535");
    k740::sim::ConfigListener listener(engine, sensorAddress.toStdString(), configPort,
                                       parser.value(logConfigOpt).toStdString());
    std::string error;
    bool listening = false;
    if (!parser.isSet(noConfigOpt)) {
        listening = listener.start(&error);
        // Asked for explicitly, a configuration port that cannot be had is a failure; by default
        // the sensor just runs without one.
        if (!listening && (parser.isSet(sensorOpt) || parser.isSet(configPortOpt) || parser.isSet(logConfigOpt))) {
            std::fprintf(stderr, "k740-sim: %s\n", error.c_str());
            return kExitFailure;
        }
        if (!listening) std::fprintf(stderr, "k740-sim: %s; configuration packets are not taken\n", error.c_str());
    }
    if (!engine.start(&error)) {
        std::fprintf(stderr, "k740-sim: %s\n", error.c_str());
        return kExitFailure;
    }
    std::printf("%s%s\n", describe(config).c_str(),
                listening ? (", configuration on " + sensorAddress.toStdString() + ":" + std::to_string(configPort)).c_str()
                          : "");
    std::fflush(stdout);

    const auto started = std::chrono::steady_clock::now();
    while (!g_interrupted && engine.running()) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (duration > 0.0 && elapsed >= duration) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    listener.stop();
    engine.stop();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("k740-sim: sent %llu data packets and %llu device information packets in %.1f s\n",
                static_cast<unsigned long long>(engine.dataPacketsSent()),
                static_cast<unsigned long long>(engine.devicePacketsSent()), elapsed);
    return k740::tools::kExitOk;
}
