// Playback at the recorded pace in the viewer: writes a capture of the simulated sensor at
// 1200 rpm (20 frames a second) for SECONDS seconds (default 60), opens it in the window,
// ticks "Real time" and plays it at normal speed, "2x" and "3x"; prints for each play the wall
// time from Play to the end report, the frames drawn and the frames skipped, beside the
// recorded span. Run under Xvfb (software OpenGL).
//
// usage: bench_realtime [SECONDS] [--keep FILE]
#include <QVTKOpenGLNativeWidget.h>
#include <vtkObject.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acquisition/packet_format.h"
#include "app/manwindow.h"
#include "tests/gui/window_reach.h"
#include "app/pace_room.h"
#include "playback/ReadLiveOffData.h"
#include "sim/sim_engine.h"

namespace {

void put32(std::FILE* f, std::uint32_t v) {
    std::uint8_t b[4];
    k740::writeLE32(b, v);
    std::fwrite(b, 1, 4, f);
}

// A classic pcap (microseconds) of `seconds` of the simulated sensor's data stream at
// 1200 rpm, each record stamped with the time the sensor measured it.
bool writeCapture(const std::string& path, int seconds) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    put32(f, 0xA1B2C3D4);
    const std::uint8_t version[4] = {2, 0, 4, 0};
    std::fwrite(version, 1, 4, f);
    put32(f, 0);
    put32(f, 0);
    put32(f, 65535);
    put32(f, 1);
    k740::sim::SimConfig config;
    config.rpm = 1200;
    const std::int64_t start = 1'700'000'000'000'000'000;
    k740::sim::SweepGenerator sweep(k740::sim::initialState(config), start);
    std::uint8_t frame[42 + k740::kDataPacketSize] = {};
    // Ethernet, IPv4 and UDP headers: only the length matters to the capture-file rule.
    frame[12] = 0x08;
    frame[14] = 0x45;
    frame[23] = 17;
    while (sweep.now() - start < std::int64_t(seconds) * 1'000'000'000) {
        const std::int64_t at = sweep.now();
        const k740::sim::SimPacket p = sweep.next();
        if (p.size != k740::kDataPacketSize) continue;
        std::memcpy(frame + 42, p.bytes.data(), p.size);
        put32(f, static_cast<std::uint32_t>(at / 1'000'000'000));
        put32(f, static_cast<std::uint32_t>(at % 1'000'000'000 / 1000));
        put32(f, sizeof frame);
        put32(f, sizeof frame);
        std::fwrite(frame, 1, sizeof frame, f);
    }
    return std::fclose(f) == 0;
}

void play(manwindow& window, int speedStep, const char* name) {
    ReadLiveOffData* player = playerOf(window);
    const long long drawn = window.framesDrawn();
    const long long skipped = player->framesSkipped();
    QElapsedTimer clock;
    clock.start();
    named<QToolButton>(window, "toolButton_Play")->click();
    // The speed button as the operator presses it: until the speed asked for.
    for (int i = 0; i < 6 && playSpeedStep.load() != speedStep; ++i)
        named<QToolButton>(window, "toolButton_SeekForward")->click();
    while (!(window.modeState().mode() == k740::WindowMode::Idle && window.modeState().finished()))
        QTest::qWait(2);
    const double wall = clock.elapsed() / 1000.0;
    std::printf("%-7s wall %7.2f s   frames drawn %5lld   skipped %5lld   (of %d)\n", name, wall,
                window.framesDrawn() - drawn, player->framesSkipped() - skipped,
                player->frameCount());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
    int seconds = 60;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--keep") == 0 && i + 1 < argc)
            keep = argv[++i];
        else
            seconds = std::atoi(argv[i]);
    }
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: bench_realtime [SECONDS] [--keep FILE]\n");
        return 2;
    }
    vtkObject::GlobalWarningDisplayOff();
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const std::string file =
        keep.empty() ? dir.filePath(QStringLiteral("paced.pcap")).toStdString() : keep;
    if (!writeCapture(file, seconds)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        return 1;
    }
    manwindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) std::printf("window not exposed\n");
    std::printf("viewer %dx%d pixels\n", named<QVTKOpenGLNativeWidget>(window, "screen")->width(),
                named<QVTKOpenGLNativeWidget>(window, "screen")->height());
    named<QComboBox>(window, "comboBox_agree")->setCurrentIndex(1);  // the simulator's protocol "1.7"
    if (!window.openCaptureFile(QString::fromStdString(file))) {
        std::fprintf(stderr, "the capture did not open\n");
        return 1;
    }
    std::printf("capture: %d s at 20 frames/s, %d frames\n", seconds, playerOf(window)->frameCount());
    roomOf<k740::PaceRoom>(window)->setRealTime(true);
    play(window, 0, "normal");
    play(window, 1, "2x");
    play(window, 2, "3x");
    return 0;
}
