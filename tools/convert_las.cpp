// k740-convert las: every point the CSV rows would hold (same frames, azimuth range and
// coordinates) as LAS 1.2 point records of format 1, in one file or, with --split, one file
// per frame named as the pcd command names them.
#include "tools/convert_las.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "export/csv_format.h"
#include "export/las_export_file.h"
#include "playback/capture_index.h"
#include "platform/same_file.h"
#include "tools/capture_feed.h"
#include "tools/convert_options.h"
#include "tools/exit_codes.h"

namespace k740 {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;

const char* const kSoftware = "k740-convert " K740_VERSION;

struct LasOptions {
    std::string capture, out;
    bool singleLine = false;
    bool split = false;
    CsvExportOptions rows;
};

// Reads the arguments after "las"; -1 to run, otherwise the exit status.
int readOptions(int argc, char** argv, LasOptions& o) {
    convert::CommandLine c(
        "las",
        "  k740-convert las FILE OUT.las [--single-line] [--protocol 0|1] [--view-mode 1|2]\n"
        "                   [--angle-min A] [--angle-max B] [--split]\n",
        "Writes the points of every frame of the capture-file analysis as a LAS 1.2 file of\n"
        "point data format 1: the points of the CSV rows (the protocol's distance divisor, whole\n"
        "cm in view mode 1, azimuth within [A, B], defaults 0 and 360, equal bounds widen by\n"
        "0.5) with x/y/z in metres (scale 0.0001, offset 0), the intensity, the point's time\n"
        "stamp as GPS time in seconds and the frame's index (from 0, as 'dump' numbers them)\n"
        "modulo 65536 as point source ID. With --split, OUT is a folder (which must exist) that\n"
        "gets frame-000001.las, frame-000002.las, ... as 'pcd' names its files. Prints the\n"
        "numbers of frames, points and files written.\n");
    c.addFlag("single-line", "Read the 820-byte single-line records (A2 5C) instead.");
    c.addOption("protocol", "0|1", "Protocol 0 (1.6) or 1 (1.7).");
    c.addOption("view-mode", "1|2", "1: whole centimetres, 2: as computed.");
    c.addOption("angle-min", "A", "Lowest azimuth written, degrees (0..360).");
    c.addOption("angle-max", "B", "Highest azimuth written, degrees (0..360).");
    c.addFlag("split", "One file per frame in the folder OUT.");
    if (const int rc = c.parse(argc, argv); rc >= 0) return rc;
    const std::vector<std::string> files = c.arguments();
    if (files.size() != 2) return c.refuse("'las' takes a capture file and an output file (a folder with --split)");
    o.capture = files[0];
    o.out = files[1];
    if (isSameFile(o.capture, o.out)) return c.refuse("the output file '" + o.out + "' is the capture file itself");
    o.singleLine = c.isSet("single-line");
    o.split = c.isSet("split");
    long n = o.rows.protocol;
    if (!c.whole("protocol", 0, 1, "0 or 1", &n)) return kExitUsage;
    o.rows.protocol = static_cast<int>(n);
    n = 1;
    if (!c.whole("view-mode", 1, 2, "1 or 2", &n)) return kExitUsage;
    o.rows.viewMode = static_cast<int>(n) - 1;  // combo index
    if (!c.angleRange(&o.rows.angleMin, &o.rows.angleMax)) return kExitUsage;
    return -1;
}

std::string frameFileName(const std::string& dir, unsigned long number) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lu.las", number);
    return dir + "/" + name;
}

}  // namespace

int runConvertLas(int argc, char** argv) {
    LasOptions o;
    if (const int rc = readOptions(argc, argv, o); rc >= 0) return rc;

    if (o.split) {
        struct stat st {};
        if (::stat(o.out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            std::fprintf(stderr, "k740-convert: %s: not a folder\n", o.out.c_str());
            return kExitFailure;
        }
    }
    SensorRecordReader reader;
    if (!reader.open(o.capture, sensorKind(o.singleLine))) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", o.capture.c_str(), reader.error().c_str());
        return kExitFailure;
    }
    LasExportFile whole(kSoftware);
    if (!o.split && !whole.open(o.out)) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", o.out.c_str(), whole.error().c_str());
        return kExitFailure;
    }

    unsigned long frames = 0, files = 0;
    unsigned long long points = 0;
    bool writeFailed = false;
    auto fail = [&](const LasExportFile& f) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", f.path().c_str(),
                     f.error().empty() ? "write failed" : f.error().c_str());
        writeFailed = true;
    };
    const FrameSink sink = [&](LidarDataSingleLine&& frame) {
        if (writeFailed) return;
        const int frameId = static_cast<int>(++frames);  // source ID frameId - 1: the index from 0
        if (!o.split) {
            points += whole.writeFrame(frame, frameId, o.rows);
            if (!whole.good()) fail(whole);
            return;
        }
        // A frame with no point in the range leaves a gap in the numbering instead of a file.
        std::size_t inRange = forEachExportPoint(frame, o.rows, [](const ExportPoint&) {});
        if (inRange == 0) return;
        const std::string path = frameFileName(o.out, frames);
        if (isSameFile(path, o.capture)) {
            std::fprintf(stderr, "k740-convert: %s: is the capture file being read; not overwritten\n", path.c_str());
            writeFailed = true;
            return;
        }
        LasExportFile one(kSoftware);
        if (!one.open(path)) return fail(one);
        points += one.writeFrame(frame, frameId, o.rows);
        if (!one.close()) return fail(one);
        ++files;
    };

    convert::FeedMode mode;
    mode.singleLine = o.singleLine;
    const bool readFault = !convert::feedCapture(reader, o.capture, mode, sink, [&] { return writeFailed; });
    if (!o.split) {
        if (whole.close())
            files = 1;
        else if (!writeFailed)
            fail(whole);
    }
    std::printf("frames: %lu\npoints: %llu\nfiles: %lu\n", frames, points, files);
    std::fflush(stdout);
    if (writeFailed) return kExitFailure;
    if (readFault) {
        std::fprintf(stderr, "k740-convert: %s: %s (files cover the records read before)\n", o.capture.c_str(),
                     reader.error().c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace k740
