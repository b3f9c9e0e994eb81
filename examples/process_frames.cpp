// One processing for capture files and the live stream: the frames come from a k740::Source,
// whichever it is. Prints each frame's number of points and its farthest point.
//
//   build-example/process_frames capture.pcap      the frames of a capture file
//   build-example/process_frames --live [PORT]     live frames, until 5 s pass without one
#include <k740/k740.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Written once: the same code for a file and for the sensor.
std::size_t printFrames(k740::Source& source, double idleSeconds) {
    return source.run(
        [](const k740::Frame& f) {
            double farthest = 0.0;
            for (const k740::PointXyz& p : f.xyz()) farthest = std::max(farthest, std::hypot(double{p.x}, double{p.y}, double{p.z}));
            std::printf("frame %zu: %zu points, farthest %.1f cm\n", f.index(), f.size(), farthest);
            return true;
        },
        idleSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    const bool live = argc >= 2 && std::strcmp(argv[1], "--live") == 0;
    if (argc < 2 || argc > 3 || (!live && argc != 2)) {
        std::fprintf(stderr, "usage: process_frames FILE | process_frames --live [PORT]\n");
        return 2;
    }
    try {
        std::unique_ptr<k740::Source> source;
        if (live) {
            k740::ListenOptions options;
            if (argc == 3) options.port = static_cast<std::uint16_t>(std::atoi(argv[2]));
            source = std::make_unique<k740::Listener>(options);
        } else {
            source = std::make_unique<k740::Capture>(argv[1]);
        }
        const std::size_t frames = printFrames(*source, 5.0);
        std::printf("frames: %zu\n", frames);
    } catch (const k740::Error& e) {
        std::fprintf(stderr, "process_frames: %s\n", e.what());
        return 1;
    }
    return 0;
}
