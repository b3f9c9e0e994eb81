// k740-convert pcd: writes each frame of a capture file as a binary PCD file (or PLY), with
// the coordinates, azimuth range and view-mode rule of the CSV rows and the intensity as a
// field.
#include "tools/convert_pcd.h"

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <sys/stat.h>

#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "export/csv_format.h"
#include "playback/capture_index.h"
#include "platform/same_file.h"
#include "tools/capture_feed.h"
#include "tools/convert_options.h"
#include "tools/exit_codes.h"
#include "tools/point_cloud_files.h"

namespace k740 {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;

struct PcdOptions {
    std::string capture, dir;
    bool singleLine = false;
    bool ply = false;
    int protocol = 0;
    int viewMode = 1;
    float angleMin = 0.0f, angleMax = 360.0f;
};

// Reads the arguments after "pcd"; -1 to run, otherwise the exit status.
int readOptions(int argc, char** argv, PcdOptions& o) {
    convert::CommandLine c(
        "pcd",
        "  k740-convert pcd FILE DIR [--single-line] [--protocol 0|1] [--view-mode 1|2]\n"
        "                   [--angle-min A] [--angle-max B] [--ply]\n",
        "Writes every frame of the capture-file analysis to DIR (which must exist) as\n"
        "frame-000001.pcd, frame-000002.pcd, ... (binary PCD; binary PLY with --ply). The points\n"
        "are those of the CSV rows: x/y/z in cm with the protocol's distance divisor (0: /0.5,\n"
        "1: /0.25), whole cm in view mode 1, azimuth within [A, B] (defaults 0 and 360; equal\n"
        "bounds widen by 0.5); the field 'intensity' carries the intensity. The number in the name\n"
        "is the frame's (from 1); a frame without a point in the range writes no file. Prints the\n"
        "numbers of frames and of files written.\n");
    c.addFlag("single-line", "Read the 820-byte single-line records (A2 5C) instead.");
    c.addOption("protocol", "0|1", "Protocol 0 (1.6) or 1 (1.7).");
    c.addOption("view-mode", "1|2", "1: whole centimetres, 2: as computed.");
    c.addOption("angle-min", "A", "Lowest azimuth written, degrees (0..360).");
    c.addOption("angle-max", "B", "Highest azimuth written, degrees (0..360).");
    c.addFlag("ply", "Write binary PLY files instead of PCD.");
    if (const int rc = c.parse(argc, argv); rc >= 0) return rc;
    const std::vector<std::string> files = c.arguments();
    if (files.size() != 2) return c.refuse("'pcd' takes a capture file and an output folder");
    o.capture = files[0];
    o.dir = files[1];
    o.singleLine = c.isSet("single-line");
    o.ply = c.isSet("ply");
    long n = o.protocol;
    if (!c.whole("protocol", 0, 1, "0 or 1", &n)) return kExitUsage;
    o.protocol = static_cast<int>(n);
    n = o.viewMode;
    if (!c.whole("view-mode", 1, 2, "1 or 2", &n)) return kExitUsage;
    o.viewMode = static_cast<int>(n);
    if (!c.angleRange(&o.angleMin, &o.angleMax)) return kExitUsage;
    return -1;
}

std::string frameFileName(const PcdOptions& o, unsigned long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lu.%s", index, o.ply ? "ply" : "pcd");
    return o.dir + "/" + name;
}

}  // namespace

int runConvertPcd(int argc, char** argv) {
    PcdOptions o;
    if (const int rc = readOptions(argc, argv, o); rc >= 0) return rc;

    struct stat st {};
    if (::stat(o.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "k740-convert: %s: not a folder\n", o.dir.c_str());
        return kExitFailure;
    }
    SensorRecordReader reader;
    if (!reader.open(o.capture, sensorKind(o.singleLine))) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", o.capture.c_str(), reader.error().c_str());
        return kExitFailure;
    }

    CsvExportOptions rows;
    rows.protocol = o.protocol;
    rows.viewMode = o.viewMode - 1;  // combo index
    rows.angleMin = o.angleMin;
    rows.angleMax = o.angleMax;

    unsigned long frames = 0, written = 0;
    bool writeFailed = false;
    pcl::PointCloud<pcl::PointXYZI> cloud;
    const FrameSink sink = [&](LidarDataSingleLine&& frame) {
        if (writeFailed) return;
        cloud.clear();
        forEachExportPoint(frame, rows, [&](const ExportPoint& e) {
            pcl::PointXYZI p;
            p.x = e.p.x;
            p.y = e.p.y;
            p.z = e.p.z;
            p.intensity = static_cast<float>(e.intensity);
            cloud.push_back(p);
        });
        // An unorganised cloud of one row.
        cloud.width = static_cast<std::uint32_t>(cloud.size());
        cloud.height = 1;
        cloud.is_dense = true;
        ++frames;
        // A frame with no point in the range leaves a gap in the numbering instead of a file.
        if (cloud.empty()) return;
        const std::string path = frameFileName(o, frames);
        if (isSameFile(path, o.capture)) {
            std::fprintf(stderr, "k740-convert: %s: is the capture file being read; not overwritten\n", path.c_str());
            writeFailed = true;
            return;
        }
        const int rc = o.ply ? writeBinaryPly(path, cloud) : writeBinaryPcd(path, cloud);
        if (rc != 0) {
            std::fprintf(stderr, "k740-convert: %s: cannot write\n", path.c_str());
            writeFailed = true;
            return;
        }
        ++written;
    };

    convert::FeedMode mode;
    mode.singleLine = o.singleLine;
    const bool readFault = !convert::feedCapture(reader, o.capture, mode, sink, [&] { return writeFailed; });
    std::printf("frames: %lu\nfiles: %lu\n", frames, written);
    std::fflush(stdout);
    if (writeFailed) return kExitFailure;
    if (readFault) {
        std::fprintf(stderr, "k740-convert: %s: %s (files cover the records read before)\n",
                     o.capture.c_str(), reader.error().c_str());
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace k740
