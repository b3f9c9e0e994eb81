// k740-convert cut: the records of frames A..B of a capture file, byte for byte with their
// time stamps and with the other traffic between them, as a classic pcap file.
#include "tools/convert_cut.h"

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "playback/capture_cut.h"
#include "playback/capture_index.h"
#include "platform/same_file.h"
#include "tools/convert_options.h"
#include "tools/exit_codes.h"
#include "tools/progress_line.h"

namespace k740 {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;

struct CutOptions {
    std::string capture, out;
    bool singleLine = false;
    long first = -1, last = -1;
};

int readOptions(int argc, char** argv, CutOptions& o) {
    convert::CommandLine c(
        "cut", "  k740-convert cut FILE OUT.pcap --first A --last B [--single-line]\n",
        "Writes frames A to B of the capture-file analysis (numbered from 0, as 'dump' numbers\n"
        "them; 'info' counts them) as a classic pcap file: every record from the first packet\n"
        "of frame A to the last packet of frame B, byte for byte with its time stamp, other\n"
        "traffic in between included. A revolution usually turns over inside a packet, so the\n"
        "first packet may also carry the end of frame A-1: the piece then starts with that end\n"
        "as a short frame of its own. Prints the records, sensor packets and frames of the\n"
        "piece, as 'info' counts its frames.\n");
    c.addOption("first", "A", "First frame written (from 0).");
    c.addOption("last", "B", "Last frame written (A or later).");
    c.addFlag("single-line", "Frames of the 820-byte single-line records (A2 5C) instead.");
    if (const int rc = c.parse(argc, argv); rc >= 0) return rc;
    const std::vector<std::string> files = c.arguments();
    if (files.size() != 2) return c.refuse("'cut' takes a capture file and an output file");
    o.capture = files[0];
    o.out = files[1];
    if (isSameFile(o.capture, o.out)) return c.refuse("the output file '" + o.out + "' is the capture file itself");
    if (!c.isSet("first") || !c.isSet("last")) return c.refuse("'cut' needs --first and --last");
    if (!c.whole("first", 0, 2000000000L, "a frame number from 0", &o.first)) return kExitUsage;
    if (!c.whole("last", 0, 2000000000L, "a frame number from 0", &o.last)) return kExitUsage;
    if (o.first > o.last) return c.refuse("--first comes after --last");
    o.singleLine = c.isSet("single-line");
    return -1;
}

}  // namespace

int runConvertCut(int argc, char** argv) {
    CutOptions o;
    if (const int rc = readOptions(argc, argv, o); rc >= 0) return rc;

    CatalogResult catalog;
    {
        ProgressLine progress(o.capture);
        catalog = buildFrameCatalog(o.capture, o.singleLine, [&progress](std::int64_t done, std::int64_t) {
            progress.update(done);
            return true;
        });
    }
    if (!catalog.status.opened) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", o.capture.c_str(), catalog.status.error.c_str());
        return kExitFailure;
    }
    const auto first = static_cast<std::uint64_t>(o.first);
    const auto last = static_cast<std::uint64_t>(o.last);
    // A damaged file can still give the frames read before the fault.
    const std::string refused = checkFrameRange(first, last, catalog.catalog.frames.size());
    if (!refused.empty()) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", o.capture.c_str(), refused.c_str());
        if (!catalog.status.complete)
            std::fprintf(stderr, "k740-convert: %s: %s\n", o.capture.c_str(), catalog.status.error.c_str());
        return kExitFailure;
    }
    const CaptureCutResult cut = cutCapture(o.capture, catalog.catalog, first, last, o.out);
    if (!cut.ok) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", o.out.c_str(), cut.error.c_str());
        return kExitFailure;
    }
    std::printf("records: %" PRIu64 "\npackets: %" PRIu64 "\nframes: %" PRIu64 "\n", cut.records,
                cut.sensorPackets, cut.frames);
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace k740
