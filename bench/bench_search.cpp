// The live cloud while the advanced settings window searches for a device packet: the longest
// gap between two drawn live frames while a search runs for its whole 5 s bound, with the
// search on the window's thread (as it ran before) and on the window's worker (as it runs
// now), next to the gap without any search. The simulated sensor streams over loopback; the
// search listens on the loopback adapter for a sensor that does not exist, while device
// packets of another one keep it going. Needs capture permission on "lo" (root). Run under
// Xvfb.
#include <QVTKOpenGLNativeWidget.h>
#include <vtkObject.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "acquisition/GetlidarData_1.h"
#include "app/manwindow.h"
#include "tests/gui/window_reach.h"
#include "display/dialogs_seam.h"
#include "app/service_room.h"
#include "device/ACWPSettingWidget.h"
#include "device/device_packet.h"
#include "device/device_packet_search.h"
#include "platform/capture_device.h"
#include "platform/udp_socket.h"
#include "sim/sim_engine.h"

namespace {

constexpr const char* kNoSuchSensor = "127.0.0.99";

// Watches the window's drawn-frame count between events and keeps the longest time between
// two frames drawn.
class GapMeter {
public:
    explicit GapMeter(manwindow& w) : m_Window(w) {
        QObject::connect(&m_Timer, &QTimer::timeout, [this] { sample(); });
        m_Timer.start(1);
    }
    void restart() {
        m_Last = m_Window.framesDrawn();
        m_Clock.start();
        m_LastDrawMs = 0;
        m_MaxGapMs = 0;
    }
    void sample() {
        const long long drawn = m_Window.framesDrawn();
        if (drawn == m_Last) return;
        const qint64 now = m_Clock.elapsed();
        m_MaxGapMs = std::max(m_MaxGapMs, now - m_LastDrawMs);
        m_LastDrawMs = now;
        m_Last = drawn;
    }
    long long drawnSince(long long start) const { return m_Window.framesDrawn() - start; }
    qint64 maxGapMs() const { return m_MaxGapMs; }

private:
    manwindow& m_Window;
    QTimer m_Timer;
    QElapsedTimer m_Clock;
    long long m_Last = 0;
    qint64 m_LastDrawMs = 0;
    qint64 m_MaxGapMs = 0;
};

// Waits (processing events) until the window has drawn one more frame.
void waitForNextFrame(manwindow& w, GapMeter& meter) {
    const long long drawn = w.framesDrawn();
    QElapsedTimer t;
    t.start();
    while (w.framesDrawn() == drawn && t.elapsed() < 3000) QTest::qWait(1);
    meter.sample();
}

}  // namespace

int main(int argc, char* argv[]) {
    vtkObject::GlobalWarningDisplayOff();
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);
    {
        k740::LiveCapture probe;
        if (!probe.open("lo", "port 9")) {
            std::printf("cannot capture on the loopback adapter (run as root): %s\n",
                        probe.error().c_str());
            return 1;
        }
    }
    manwindow window;
    window.setMulticastInterface(QStringLiteral("127.0.0.1"));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::printf("window not exposed\n");

    // The simulated sensor, protocol "1.6" at 600 rpm: ten revolutions a second.
    std::uint16_t dataPort = 0, devicePort = 0, sinkPort = 0;
    k740::UdpSocket a, b, sink;
    a.open();
    b.open();
    sink.open();
    a.bind(0);
    b.bind(0);
    sink.bind(0, "127.0.0.1");
    dataPort = a.localPort();
    devicePort = b.localPort();
    sinkPort = sink.localPort();
    a.close();
    b.close();
    k740::sim::SimConfig config;
    config.host = "127.0.0.1";
    config.sourceAddress = "127.0.0.2";
    config.dataPort = dataPort;
    config.devicePort = devicePort;
    config.rpm = 600;
    k740::sim::SimEngine sensor(config);
    std::string error;
    if (!sensor.start(&error)) {
        std::printf("simulated sensor did not start: %s\n", error.c_str());
        return 1;
    }
    // Another sensor's device packets, ten a second, keep the search from ending early.
    std::atomic<bool> stop{false};
    std::thread foreign([&] {
        k740::UdpSocket out;
        if (!out.open() || !out.bind(0, "127.0.0.3")) return;
        k740::DevicePacketFields f;
        f.sensorIp = {{127, 0, 0, 3}};
        f.destIp = {{127, 0, 0, 1}};
        const k740::DevicePacket p = k740::buildDevicePacket(f);
        while (!stop.load()) {
            out.sendTo(p.data(), p.size(), "127.0.0.1", sinkPort);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });

    named<QLineEdit>(window, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(window, "lineEdit")->setText(QString::number(devicePort));
    named<QToolButton>(window, "toolButton_Lidar")->click();
    QTest::qWait(1500);  // settle
    GapMeter meter(window);

    // Without a search.
    meter.restart();
    long long start = window.framesDrawn();
    QTest::qWait(5000);
    const qint64 idleGap = meter.maxGapMs();
    const long long idleFrames = meter.drawnSince(start);

    // The search on the window's thread, as the window ran it before.
    k740::DevicePacketSearch search;
    search.captureInterface = QStringLiteral("lo");
    search.sensorFilter = QString::fromLatin1(kNoSuchSensor);
    search.frameLimit = 1000;
    waitForNextFrame(window, meter);
    meter.restart();
    start = window.framesDrawn();
    QElapsedTimer took;
    took.start();
    const k740::DevicePacketFound blocked = k740::searchDevicePacket(search);
    const qint64 blockedMs = took.elapsed();
    const long long blockedFrames = meter.drawnSince(start);
    waitForNextFrame(window, meter);  // the first frame after the search closes the gap
    const qint64 blockedGap = meter.maxGapMs();

    // The window's own Refresh, whose search runs on its worker.
    ACWPSettingWidget* advanced = roomOf<k740::ServiceRoom>(window)->advancedDialog();
    advanced->setCaptureInterface(QStringLiteral("lo"));
    advanced->setSensorFilter(QString::fromLatin1(kNoSuchSensor));
    const k740::DevicePacket status = k740::buildDevicePacket(k740::DevicePacketFields());
    advanced->onLidarStatusReceiving(k740::decodeSettingData(status.data()),
                                     k740::decodeStatusValues(status.data()));
    k740::Dialogs::setHandler([](const k740::Dialogs::Request&) { return k740::Dialogs::Answer(); });
    waitForNextFrame(window, meter);
    meter.restart();
    start = window.framesDrawn();
    took.restart();
    advanced->onRefreshbutton_clicked();
    while (advanced->searching()) QTest::qWait(1);
    const qint64 workerMs = took.elapsed();
    const long long workerFrames = meter.drawnSince(start);
    waitForNextFrame(window, meter);
    const qint64 workerGap = meter.maxGapMs();

    stop = true;
    foreign.join();
    window.stopReceivers(2000);
    sensor.stop();
    k740::Dialogs::setHandler({});

    std::printf("live display at 600 rpm (10 revolutions a second) over loopback\n");
    std::printf("  without a search:               longest gap %5lld ms (%lld frames in 5.0 s)\n",
                static_cast<long long>(idleGap), idleFrames);
    std::printf("  search on the window's thread:  longest gap %5lld ms (%lld frames drawn in "
                "the %.1f s search, %s)\n",
                static_cast<long long>(blockedGap), blockedFrames, blockedMs / 1000.0,
                blocked.status == k740::DevicePacketFound::Status::NotFound ? "not found"
                                                                            : "ended otherwise");
    std::printf("  search on the worker (now):     longest gap %5lld ms (%lld frames drawn in "
                "the %.1f s search)\n",
                static_cast<long long>(workerGap), workerFrames, workerMs / 1000.0);
    return 0;
}
