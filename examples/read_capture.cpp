// Reads a capture file with the installed K740-P library: prints the number of frames, then
// the number of points of the first frame.
//
//   cmake -S examples -B build-example -DCMAKE_PREFIX_PATH=/usr/local && cmake --build build-example
//   build-example/read_capture capture.pcap [--single-line]
#include <k740/k740.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || (argc == 3 && std::strcmp(argv[2], "--single-line") != 0)) {
        std::fprintf(stderr, "usage: read_capture FILE [--single-line]\n");
        return 2;
    }
    try {
        k740::CaptureOptions options;
        options.singleLine = argc == 3;
        const k740::Capture capture(argv[1], options);
        std::printf("frames: %zu\n", capture.size());
        if (capture.size() > 0) std::printf("points: %zu\n", capture.frame(0).size());
        if (!capture.readError().empty())
            std::fprintf(stderr, "read_capture: %s: %s\n", argv[1], capture.readError().c_str());
    } catch (const k740::Error& e) {
        std::fprintf(stderr, "read_capture: %s\n", e.what());
        return 1;
    }
    return 0;
}
