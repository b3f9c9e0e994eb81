// Shared helpers of the window tests: a recorder that answers message boxes, the window's
// widgets and rooms, its mode, frames built point by point, free loopback ports and waiting.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "acquisition/lidar_frame.h"
#include "display/dialogs_seam.h"
#include "app/manwindow.h"
#include "device/GetSet.h"
#include "device/device_packet.h"
#include "platform/capture_device.h"
#include "platform/udp_socket.h"
#include "sim/sim_config.h"
#include "sim/sim_engine.h"
#include "tests/gui/window_reach.h"

// Records every message box and file dialog and answers it without showing anything.
class DialogRecorder {
public:
    DialogRecorder() {
        k740::Dialogs::setHandler([this](const k740::Dialogs::Request& r) {
            calls.push_back(r);
            return answer;
        });
    }
    ~DialogRecorder() { k740::Dialogs::setHandler({}); }
    // Whether a box with this text (or, with prefix, a text starting so) was shown.
    bool saw(const QString& text, bool prefix = false) const {
        for (const auto& r : calls)
            if (prefix ? r.text.startsWith(text) : r.text == text) return true;
        return false;
    }
    std::vector<k740::Dialogs::Request> calls;
    k740::Dialogs::Answer answer;
};

// Puts the window into a mode through the events that lead there, as if the operator had
// got there (without starting the receivers or the player).
inline void putInMode(manwindow& w, k740::WindowMode mode) {
    using E = k740::WindowEvent;
    using M = k740::WindowMode;
    k740::WindowState& s = w.modeState();
    s.apply(E::LiveOff);
    s.apply(E::PlaybackEnded);
    if (mode == M::Live || mode == M::LivePaused) s.apply(E::LiveOn);
    if (mode == M::LivePaused) s.apply(E::DisplayPaused);
    if (mode == M::Playing || mode == M::PlaybackPaused) s.apply(E::PlaybackStarted);
    if (mode == M::PlaybackPaused) s.apply(E::PlaybackPaused);
}

struct TestPoint {
    double azimuth;      // degrees
    double rawDistance;  // count as the sensor sends it
    int intensity;
    std::uint64_t timeStamp;
};

inline LidarDataSingleLine makeFrame(const std::vector<TestPoint>& points) {
    LidarDataSingleLine f;
    for (const TestPoint& p : points) {
        f.pointAngle.push_back(p.azimuth);
        f.distance.push_back(p.rawDistance);
        f.intensity.push_back(p.intensity);
        f.timeStamp.push_back(p.timeStamp);
    }
    if (!points.empty()) f.blockAngle.push_back(points.front().azimuth);
    return f;
}

// Two different UDP ports free on this machine right now.
inline void freePortPair(std::uint16_t* a, std::uint16_t* b) {
    k740::UdpSocket s1, s2;
    s1.open();
    s2.open();
    s1.bind(0);
    s2.bind(0);
    *a = s1.localPort();
    *b = s2.localPort();
}

// A device packet of a sensor at `sensor` (always a loopback address in these tests) sending
// to 127.0.0.1, with its own MAC and a packet interval of 1.
inline k740::DevicePacket loopbackDevicePacket(const k740::Ipv4& sensor) {
    k740::DevicePacketFields f;
    f.sensorIp = sensor;
    f.destIp = {{127, 0, 0, 1}};
    f.gateway = {{127, 0, 0, 254}};  // in the destination's subnet, as on a sensor that works
    f.subnetMask = {{255, 255, 255, 0}};
    f.packetInterval = 1;
    f.mac = {{0x0A, 0x1B, 0x2C, 0xD3, 0xE4, 0xF5}};
    return k740::buildDevicePacket(f);
}

// False (and the reason) when this process may not capture on the loopback adapter (that
// needs root or CAP_NET_RAW); such tests skip.
inline bool canCaptureOnLoopback(std::string* why) {
    k740::LiveCapture probe;
    if (probe.open("lo", "port 9")) return true;
    *why = probe.error();
    return !probe.permissionDenied();
}

// Processes events until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QTest::qWait(5);
    }
    return true;
}

// A shown main window (the viewer needs a real GL surface) with message boxes recorded.
class WindowFixtureBase {
public:
    WindowFixtureBase() : window(new manwindow) {
        window->setMulticastInterface(QStringLiteral("127.0.0.1"));
        window->show();
        exposed = QTest::qWaitForWindowExposed(window.get());
    }
    ~WindowFixtureBase() { window->stopReceivers(2000); }
    DialogRecorder dialogs;
    std::unique_ptr<manwindow> window;
    bool exposed = false;
};

// A simulated sensor at 127.0.0.2 streaming to 127.0.0.1 on two free ports (written to
// *dataPort and *devicePort); null, with *error set, when it cannot start.
inline std::unique_ptr<k740::sim::SimEngine> startLoopbackSensor(std::uint16_t* dataPort,
                                                                 std::uint16_t* devicePort,
                                                                 int protocol, int rpm,
                                                                 std::string* error) {
    freePortPair(dataPort, devicePort);
    k740::sim::SimConfig config;
    config.host = "127.0.0.1";
    config.sourceAddress = "127.0.0.2";
    config.dataPort = *dataPort;
    config.devicePort = *devicePort;
    config.protocol = protocol;
    config.rpm = rpm;
    auto sensor = std::make_unique<k740::sim::SimEngine>(config);
    if (!sensor->start(error)) return nullptr;
    return sensor;
}

// The simulated sensor at its own loopback address sending data and device packets to
// 127.0.0.1 on two free ports and taking configuration on `configPort`, with a status receiver
// on the device port whose signals the test connects to the window under test.
class SimulatedSensorRig {
public:
    ~SimulatedSensorRig() {
        status.m_Running = false;
        status.closeSocket();
        status.wait(3000);
        if (listener) listener->stop();
        if (engine) engine->stop();
    }
    // `adjust` changes the sensor's state before it starts; `logPath` receives what it applies.
    bool start(const char* sensor, std::string* why,
               const std::function<void(k740::sim::SimState&)>& adjust = {},
               std::uint16_t configPort = 2368, const std::string& logPath = {}) {
        freePortPair(&dataPort, &devicePort);
        k740::sim::SimConfig c;
        c.host = "127.0.0.1";
        c.sourceAddress = sensor;
        c.dataPort = dataPort;
        c.devicePort = devicePort;
        c.speedFactor = 4.0;  // device packets four times a second
        engine = std::make_unique<k740::sim::SimEngine>(c);
        if (adjust) {
            k740::sim::SimState s = engine->state();
            adjust(s);
            engine->setState(s);
        }
        listener =
            std::make_unique<k740::sim::ConfigListener>(*engine, sensor, configPort, logPath);
        if (!listener->start(why) || !engine->start(why)) return false;
        status.m_Port = devicePort;
        status.m_Running = true;
        if (!status.setupSocket()) {
            *why = "the status receiver cannot bind its port";
            return false;
        }
        status.start();
        return true;
    }

    GetSet status;
    std::unique_ptr<k740::sim::SimEngine> engine;
    std::unique_ptr<k740::sim::ConfigListener> listener;
    std::uint16_t dataPort = 0, devicePort = 0;
};
