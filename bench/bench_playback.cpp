// Capture playback benchmark: opens and analyses a capture file with the player (one pass
// that builds the frame catalog), then plays it with a short fixed pause per frame and reads
// the process's peak resident memory and private memory while it plays.
//
// usage: bench_playback FILE [--frames N] [--pause MS]
// Prints "open_s", "frames", "played", and the memory figures in MB, one per line.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "acquisition/metatypes.h"
#include "playback/ReadLiveOffData.h"

namespace {

// A field of /proc/self/status or /proc/self/smaps_rollup in kB (0 when missing).
long procField(const char* file, const char* name) {
    std::ifstream in(file);
    std::string line;
    const std::size_t n = std::strlen(name);
    long sum = 0;
    while (std::getline(in, line)) {
        if (line.compare(0, n, name) == 0 && line.size() > n && line[n] == ':')
            sum += std::atol(line.c_str() + n + 1);
    }
    return sum;
}

long privateKb() {
    return procField("/proc/self/smaps_rollup", "Private_Clean") +
           procField("/proc/self/smaps_rollup", "Private_Dirty");
}

double mb(long kb) { return static_cast<double>(kb) / 1024.0; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_playback FILE [--frames N] [--pause MS]\n");
        return 2;
    }
    long maxFrames = -1;
    int pauseMs = 2;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) maxFrames = std::atol(argv[i + 1]);
        if (std::strcmp(argv[i], "--pause") == 0) pauseMs = std::atoi(argv[i + 1]);
    }
    QCoreApplication app(argc, argv);
    k740::registerMetaTypes();

    const long rssBefore = procField("/proc/self/status", "VmRSS");
    const long privateBefore = privateKb();

    ReadLiveOffData player;
    player.setFramePauseOverride(pauseMs);
    QElapsedTimer t;
    t.start();
    const CaptureOpenResult r = player.open(QString::fromLocal8Bit(argv[1]), false);
    const double openSeconds = t.nsecsElapsed() * 1e-9;
    if (!r.opened) {
        std::fprintf(stderr, "bench_playback: %s\n", qPrintable(r.error));
        return 1;
    }
    const long privateAfterOpen = privateKb();

    long played = 0, privatePeak = 0;
    QObject::connect(&player, &ReadLiveOffData::SendData, &app, [&](LidarDataSingleLine frame) {
        ++played;
        if (frame.pointAngle.empty()) std::fprintf(stderr, "empty frame %ld\n", played);
        if (played % 25 == 0) privatePeak = std::max(privatePeak, privateKb());
        if (maxFrames > 0 && played >= maxFrames) {
            player.stopPlayback();
            QCoreApplication::quit();
        }
    });
    QObject::connect(&player, &ReadLiveOffData::SendBool, &app, [] { QCoreApplication::quit(); });
    t.restart();
    player.play();
    app.exec();
    const double playSeconds = t.nsecsElapsed() * 1e-9;
    privatePeak = std::max(privatePeak, privateKb());

    std::printf("packets        %llu\n", static_cast<unsigned long long>(r.packets));
    std::printf("frames         %d\n", r.frames);
    std::printf("open_s         %.3f\n", openSeconds);
    std::printf("played         %ld frames in %.1f s (pause %d ms)\n", played, playSeconds,
                pauseMs);
    std::printf("rss_start_mb   %.1f\n", mb(rssBefore));
    std::printf("peak_rss_mb    %.1f\n", mb(procField("/proc/self/status", "VmHWM")));
    std::printf(
        "private_mb     start %.1f, after open %.1f, peak while playing %.1f (growth %.1f)\n",
        mb(privateBefore), mb(privateAfterOpen), mb(privatePeak), mb(privatePeak - privateBefore));
    return 0;
}
