// Cost of drawing in the viewer: per frame, the point work alone and the whole slot with the
// render, for revolutions of 16,000 and 32,000 points, with the grid and with trails of ten
// and twenty frames (and the memory a trail holds and gives back); then frames drawn against
// frames
// dropped with the simulated sensor at 1200 rpm over loopback. Run under Xvfb.
#include <QVTKOpenGLNativeWidget.h>
#include <vtkObject.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "acquisition/GetlidarData_1.h"
#include "acquisition/frame_assembler.h"
#include "app/manwindow.h"
#include "tests/gui/window_reach.h"
#include "app/view_room.h"
#include "display/cloud_builder.h"
#include "platform/udp_socket.h"
#include "sim/sim_engine.h"

namespace {

// Resident memory of this process in kB (Linux), -1 when unknown.
long residentKb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld kB", &kb) == 1) break;
    std::fclose(f);
    return kb;
}

struct Stats {
    double mean = 0, median = 0, p95 = 0;
};

Stats summarise(std::vector<double> ms) {
    Stats s;
    std::sort(ms.begin(), ms.end());
    for (double v : ms) s.mean += v;
    s.mean /= double(ms.size());
    s.median = ms[ms.size() / 2];
    s.p95 = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    return s;
}

void frameCost(manwindow& window, int rpm, bool grid = false, int trail = 1) {
    if (grid != !window.gridHidden()) named<QToolButton>(window, "toolButton_MeaGrid")->click();
    roomOf<k740::ViewRoom>(window)->setTrailLength(trail);
    const std::vector<LidarDataSingleLine> frames = k740::sim::sweepFrames(rpm, 8);
    const int rounds = 40;
    std::vector<double> build, whole;
    // Warm up: the first draws create the GL resources.
    for (int i = 0; i < 3; ++i) window.CalculateCoordinates(frames[i % frames.size()]);
    QCoreApplication::processEvents();
    for (int i = 0; i < rounds; ++i) {
        const LidarDataSingleLine& f = frames[i % frames.size()];
        {
            LidarDataSingleLine copy = f;
            k740::CloudOptions options;
            options.protocol = 1;
            k740::Cloud scratch, realTime, clicked;
            std::vector<k740::TableRow> rows;
            QElapsedTimer t;
            t.start();
            k740::buildFrameClouds(copy, options, scratch, realTime, clicked, rows);
            build.push_back(t.nsecsElapsed() / 1e6);
        }
        QElapsedTimer t;
        t.start();
        window.CalculateCoordinates(f);
        QCoreApplication::processEvents();  // the widget's paint of the rendered image
        whole.push_back(t.nsecsElapsed() / 1e6);
    }
    const Stats b = summarise(build), w = summarise(whole);
    if (grid) named<QToolButton>(window, "toolButton_MeaGrid")->click();
    roomOf<k740::ViewRoom>(window)->setTrailLength(1);
    const std::string extra = std::string(grid ? " with the grid" : "") +
                              (trail > 1 ? " with a trail of " + std::to_string(trail) : "");
    std::printf(
        "%5d rpm, %6zu points/frame%s: point work %6.2f ms (median %6.2f), whole slot + render "
        "%7.2f ms "
        "(median %7.2f, p95 %7.2f) -> %5.1f frames/s\n",
        rpm, frames[0].pointCount(), extra.c_str(), b.mean, b.median, w.mean,
        w.median, w.p95, 1000.0 / w.mean);
}

// Resident memory with the trail off, with a full trail of twenty 32,000-point frames, and
// once the trail is off again.
void trailMemory(manwindow& window) {
    const std::vector<LidarDataSingleLine> frames = k740::sim::sweepFrames(600, 8);
    roomOf<k740::ViewRoom>(window)->setTrailLength(1);
    for (int i = 0; i < 8; ++i) window.CalculateCoordinates(frames[i % frames.size()]);
    QCoreApplication::processEvents();
    const long off = residentKb();
    roomOf<k740::ViewRoom>(window)->setTrailLength(20);
    for (int i = 0; i < 30; ++i) window.CalculateCoordinates(frames[i % frames.size()]);
    QCoreApplication::processEvents();
    const long full = residentKb();
    roomOf<k740::ViewRoom>(window)->setTrailLength(1);
    for (int i = 0; i < 4; ++i) window.CalculateCoordinates(frames[i % frames.size()]);
    QCoreApplication::processEvents();
    const long after = residentKb();
    std::printf("resident memory: trail off %ld kB, trail of 20 at 600 rpm %ld kB, off again %ld kB\n",
                off, full, after);
}

void liveRate(manwindow& window, int rpm, int seconds, bool grid) {
    std::uint16_t dataPort = 0, devicePort = 0;
    {
        k740::UdpSocket a, b;
        a.open();
        b.open();
        a.bind(0);
        b.bind(0);
        dataPort = a.localPort();
        devicePort = b.localPort();
    }
    k740::sim::SimConfig config;
    config.host = "127.0.0.1";
    config.sourceAddress = "127.0.0.2";
    config.dataPort = dataPort;
    config.devicePort = devicePort;
    config.protocol = 1;
    config.rpm = rpm;
    k740::sim::SimEngine sensor(config);
    std::string error;
    if (!sensor.start(&error)) {
        std::printf("simulated sensor did not start: %s\n", error.c_str());
        return;
    }
    named<QLineEdit>(window, "lineEdit_portNumber")->setText(QString::number(dataPort));
    named<QLineEdit>(window, "lineEdit")->setText(QString::number(devicePort));
    named<QComboBox>(window, "comboBox_agree")->setCurrentIndex(1);
    if (grid != !window.gridHidden()) named<QToolButton>(window, "toolButton_MeaGrid")->click();
    named<QToolButton>(window, "toolButton_Lidar")->click();
    QTest::qWait(1000);  // settle
    GetlidarData_1* r = receiverOf(window);
    const long long drawn0 = window.framesDrawn(), stale0 = window.staleFramesSkipped(),
                    emitted0 = r->framesEmitted(), dropped0 = r->framesDropped();
    // The queue towards the window, looked at between events.
    int maxInFlight = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { maxInFlight = std::max(maxInFlight, r->framesInFlight()); });
    sampler.start(1);
    // Long runs print the resident memory every 30 s: it must stay flat.
    for (int elapsed = 0; elapsed < seconds; ++elapsed) {
        QTest::qWait(1000);
        if (seconds >= 60 && elapsed % 30 == 0)
            std::printf("  after %3d s: resident %ld kB, %lld drawn\n", elapsed, residentKb(),
                        window.framesDrawn() - drawn0);
        std::fflush(stdout);
    }
    sampler.stop();
    const long long drawn = window.framesDrawn() - drawn0;
    const long long stale = window.staleFramesSkipped() - stale0;
    const long long emitted = r->framesEmitted() - emitted0;
    const long long dropped = r->framesDropped() - dropped0;
    window.stopReceivers(2000);
    sensor.stop();
    std::printf(
        "%5d rpm live for %d s%s: %lld frames assembled, %lld drawn (%.1f/s), %lld dropped "
        "(%.0f%%), "
        "%lld stale skipped, at most %d seen in flight\n",
        rpm, seconds, grid ? " with the grid" : "", emitted + dropped, drawn,
        double(drawn) / seconds, dropped,
        100.0 * double(dropped) / double(std::max(1LL, emitted + dropped)), stale, maxInFlight);
    if (grid) named<QToolButton>(window, "toolButton_MeaGrid")->click();
}

}  // namespace

int main(int argc, char* argv[]) {
    // --soak SECONDS: only the long live run at 1200 rpm, with memory read-outs.
    int soakSeconds = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--soak") == 0) soakSeconds = std::atoi(argv[i + 1]);
    vtkObject::GlobalWarningDisplayOff();
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);
    manwindow window;
    window.setMulticastInterface(QStringLiteral("127.0.0.1"));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::printf("window not exposed\n");
    std::printf("viewer %dx%d pixels\n", named<QVTKOpenGLNativeWidget>(window, "screen")->width(),
                named<QVTKOpenGLNativeWidget>(window, "screen")->height());

    named<QComboBox>(window, "comboBox_agree")->setCurrentIndex(1);
    if (soakSeconds > 0) {
        liveRate(window, 1200, soakSeconds, false);
        std::printf("resident at the end: %ld kB\n", residentKb());
        return 0;
    }
    frameCost(window, 1200);  // about 16,000 points a revolution
    frameCost(window, 600);   // about 32,000
    frameCost(window, 1200, true);
    // Trails of frames: nine or nineteen older frames drawn beside the newest, fainter.
    for (int trail : {10, 20}) {
        frameCost(window, 1200, false, trail);
        frameCost(window, 600, false, trail);
    }
    trailMemory(window);

    liveRate(window, 1200, 10, false);
    liveRate(window, 600, 10, false);
    // The measuring grid adds its lines, rings and labels to every render.
    liveRate(window, 1200, 10, true);
    return 0;
}
