// Capture-file loader and analysis: arbitrary bytes written to a temporary file, then
// catalogued in both packet formats, summarised, and every catalogued frame decoded from
// the file. A damaged file must end in a reported fault, never in a read outside the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/fuzz_support.h"
#include "playback/capture_index.h"

using namespace k740;

namespace {

// One scratch file for the whole run, rewritten for every input, in the working directory
// (scripts/fuzz runs the targets in build-fuzz/ and removes it afterwards).
const std::string& scratchPath() {
    static const std::string path = [] {
        char name[] = "capture-scratch-XXXXXX";
        const int fd = mkstemp(name);
        if (fd < 0) k740fuzz::fail("no temporary file");
        close(fd);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = scratchPath();
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) k740fuzz::fail("cannot write the temporary file");
        if (size && std::fwrite(data, 1, size, f) != size) k740fuzz::fail("short write");
        std::fclose(f);
    }
    for (const bool singleLine : {false, true}) {
        const CatalogResult result = buildFrameCatalog(path, singleLine);
        const CaptureSummary summary = summarizeCaptureFile(path, singleLine);
        if (summary.packets != result.catalog.packets)
            k740fuzz::fail("summary and catalog count different packets");
        if (summary.frames != result.catalog.frames.size())
            k740fuzz::fail("summary and catalog count different frames");
        if (summary.otherKindPackets != result.catalog.otherKindPackets)
            k740fuzz::fail("summary and catalog count different packets of the other kind");
        CaptureFrameSource source;
        if (!source.open(path, &result.catalog)) continue;
        LidarDataSingleLine frame;
        for (std::size_t i = 0; i < source.frameCount(); ++i) {
            if (!source.decode(i, frame)) k740fuzz::fail("catalogued frame does not decode");
            if (frame.distance.size() != frame.pointAngle.size())
                k740fuzz::fail("decoded frame with vectors of different lengths");
        }
    }
    return 0;
}
