// k740-convert pcd: writes each frame of a capture file as a binary PCD file (or PLY) through
// PCL's own writers, with the coordinates, azimuth range and view-mode rule of the CSV rows
// and the intensity as a field.
#include "tools/convert_pcd.h"

#include <pcl/io/pcd_io.h>
#include <pcl/io/ply_io.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>
#include <sys/stat.h>

#include <QString>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "acquisition/frame_assembler.h"
#include "export/csv_format.h"
#include "export/save_options.h"
#include "platform/pcap_file.h"
#include "playback/capture_index.h"
#include "tools/exit_codes.h"
#include "tools/progress_line.h"

namespace k740 {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;

const char* const kPcdUsage =
    "usage: k740-convert pcd FILE DIR [--single-line] [--protocol 0|1] [--view-mode 1|2]\n"
    "                        [--angle-min A] [--angle-max B] [--ply]\n"
    "\n"
    "Writes every frame of the capture-file analysis to DIR (which must exist) as\n"
    "frame-000001.pcd, frame-000002.pcd, ... (binary PCD; binary PLY with --ply). The points\n"
    "are those of the CSV rows: x/y/z in cm with the protocol's distance divisor (0: /0.5,\n"
    "1: /0.25), whole cm in view mode 1, azimuth within [A, B] (defaults 0 and 360; equal\n"
    "bounds widen by 0.5); the field 'intensity' carries the intensity. The number in the name\n"
    "is the frame's (from 1); a frame without a point in the range writes no file. Prints the\n"
    "numbers of frames and of files written.\n";

struct PcdOptions {
    std::string capture, dir;
    bool singleLine = false;
    bool ply = false;
    int protocol = 0;
    int viewMode = 1;
    float angleMin = 0.0f, angleMax = 360.0f;
};

int usage(const std::string& complaint) {
    std::fprintf(stderr, "k740-convert: %s (run 'k740-convert pcd --help' for usage)\n",
                 complaint.c_str());
    return kExitUsage;
}

bool parseNumber(const char* text, double* out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

// Parses the arguments after "pcd"; returns the complaint or an empty string.
std::string parse(int argc, char** argv, PcdOptions& o) {
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        double v = 0;
        if (arg == "--single-line") {
            o.singleLine = true;
        } else if (arg == "--ply") {
            o.ply = true;
        } else if (arg == "--protocol") {
            if (!parseNumber(value, &v) || (v != 0 && v != 1)) return "--protocol takes 0 or 1";
            o.protocol = static_cast<int>(v);
            ++i;
        } else if (arg == "--view-mode") {
            if (!parseNumber(value, &v) || (v != 1 && v != 2)) return "--view-mode takes 1 or 2";
            o.viewMode = static_cast<int>(v);
            ++i;
        } else if (arg == "--angle-min" || arg == "--angle-max") {
            if (!parseNumber(value, &v)) return arg + " takes a number of degrees";
            (arg == "--angle-min" ? o.angleMin : o.angleMax) = static_cast<float>(v);
            ++i;
        } else if (arg.compare(0, 2, "--") == 0) {
            return "unknown option '" + arg + "' for 'pcd'";
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) return "'pcd' takes a capture file and an output folder";
    o.capture = files[0];
    o.dir = files[1];
    const QString complaint = checkAngleRange(&o.angleMin, &o.angleMax);
    if (!complaint.isEmpty()) return "angle range: " + complaint.toStdString();
    return std::string();
}

std::string frameFileName(const PcdOptions& o, unsigned long index) {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06lu.%s", index, o.ply ? "ply" : "pcd");
    return o.dir + "/" + name;
}

}  // namespace

int runConvertPcd(int argc, char** argv) {
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kPcdUsage, stdout);
            return kExitOk;
        }
    }
    PcdOptions o;
    const std::string complaint = parse(argc, argv, o);
    if (!complaint.empty()) return usage(complaint);

    struct stat st {};
    if (::stat(o.dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "k740-convert: %s: not a folder\n", o.dir.c_str());
        return kExitFailure;
    }
    PcapFileReader reader;
    if (!reader.open(o.capture)) {
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
        // An unorganised cloud of one row; PCL's writers refuse nothing else about it.
        cloud.width = static_cast<std::uint32_t>(cloud.size());
        cloud.height = 1;
        cloud.is_dense = true;
        ++frames;
        // PCL's writers refuse a cloud without points: a frame with no point in the range
        // leaves a gap in the numbering instead of a file.
        if (cloud.empty()) return;
        const std::string path = frameFileName(o, frames);
        // PLY without PCL's own "camera" element, which other tools do not know.
        const int rc = o.ply ? pcl::PLYWriter().write(path, cloud, true, false)
                             : pcl::io::savePCDFileBinary(path, cloud);
        if (rc != 0) {
            std::fprintf(stderr, "k740-convert: %s: cannot write\n", path.c_str());
            writeFailed = true;
            return;
        }
        ++written;
    };

    CaptureFrameAnalyzer analyzer(o.singleLine);
    const std::size_t payload = sensorPayloadSize(o.singleLine);
    CaptureRecord record;
    bool readFault = false;
    ProgressLine progress(o.capture);
    for (std::uint64_t n = 0;; ++n) {
        if (n % 256 == 0) progress.update(reader.position());
        const PcapFileReader::Result r = reader.next(record);
        if (r == PcapFileReader::Result::End) break;
        if (r == PcapFileReader::Result::Error) {
            readFault = true;
            break;
        }
        if (isSensorRecord(record.data, record.capturedLength, o.singleLine))
            analyzer.addPacket(record.data + kCaptureHeaderSize, payload, sink);
        if (writeFailed) break;
    }
    progress.finish();
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
