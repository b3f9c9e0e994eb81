// k740-convert: the field engineer's command-line tool. Counts, dumps and exports the frames
// of capture files, and listens to a live sensor stream on the data port.
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif
#include <memory>
#include <string>
#include <vector>

#include "acquisition/frame_assembler.h"
#include "acquisition/packet_format.h"
#include "acquisition/receive_engine.h"
#include "export/csv_format.h"
#include "export/number_text.h"
#include "playback/capture_index.h"
#include "tools/convert_cut.h"
#if K740_CONVERT_DEVICE
#include "tools/convert_device.h"
#endif
#if K740_CONVERT_GPS
#include "tools/convert_gps.h"
#endif
#include "tools/convert_las.h"
#include "platform/same_file.h"
#include "tools/capture_feed.h"
#include "tools/convert_options.h"
#if K740_CONVERT_PCD
#include "tools/convert_pcd.h"
#endif
#include "tools/exit_codes.h"
#include "tools/progress_line.h"
#include "k740/k740.h"

namespace {

using k740::tools::kExitFailure;
using k740::tools::kExitOk;
using k740::tools::kExitUsage;

const char* const kUsage =
    "usage:\n"
    "  k740-convert --help | --version\n"
    "  k740-convert info FILE [--single-line]\n"
    "  k740-convert dump FILE [--single-line] [--live [--protocol 0|1] [--return-mode 0..3]]\n"
    "  k740-convert csv FILE OUT.csv [--single-line] [--live [--return-mode 0..3]] [--protocol 0|1]\n"
    "                   [--view-mode 1|2] [--angle-min A] [--angle-max B]\n"
    "  k740-convert pcd FILE DIR [--single-line] [--protocol 0|1] [--view-mode 1|2]\n"
    "                   [--angle-min A] [--angle-max B] [--ply]\n"
    "  k740-convert las FILE OUT.las [--single-line] [--protocol 0|1] [--view-mode 1|2]\n"
    "                   [--angle-min A] [--angle-max B] [--split]\n"
    "  k740-convert cut FILE OUT.pcap --first A --last B [--single-line]\n"
    "  k740-convert listen [--port 2368] [--group ADDR [--interface ADDR]] [--protocol 0|1]\n"
    "                   [--return-mode 0..3] [--frames N] [--dump]\n"
    "  k740-convert status|configure ...   (the sensor's settings)\n"
    "  k740-convert gps-test --number ID ...   (GPS time-stamp test)\n"
    "\n"
    "Each command lists its own options: k740-convert COMMAND --help.\n"
    "\n"
    "Sensor packets in a capture file are the records of captured length 1248 whose payload\n"
    "(after the 42-byte Ethernet/IPv4/UDP header) begins FF EE; with --single-line, records of\n"
    "captured length 820 beginning A2 5C.\n"
    "\n"
    "info    prints 'packets: N' and 'frames: M' (frames of the capture-file analysis), and\n"
    "        'single-line packets not read: K' when the file also holds K sensor packets of the\n"
    "        other kind ('data packets not read: K' with --single-line).\n"
    "dump    prints every frame as 'F <index> <blocks> <points>' (index from 0), then one line\n"
    "        'P <azimuth> <distance> <intensity> <timestamp>' per point. Frames come from the\n"
    "        capture-file analysis, or with --live from the live receiver's assembly fed with\n"
    "        the sensor records of both kinds (1248 bytes with FF EE, 820 with A2 5C; --single-line\n"
    "        has no effect there). --protocol is the protocol requested from the start; protocol\n"
    "        0 applies until the first frame boundary, as on the live receiver.\n"
    "csv     writes all frames as the CSV export does: FreamID from 1, x/y/z in cm with the\n"
    "        protocol's distance divisor (0: /0.5, 1: /0.25), whole cm in view mode 1, points\n"
    "        whose azimuth lies in [A, B] (defaults 0 and 360; equal bounds widen by 0.5).\n"
    "las     writes the points of the csv rows as a LAS 1.2 file (metres, GPS time in seconds,\n"
    "        the frame's index as point source ID); --split one file per frame.\n"
    "cut     writes frames A..B (numbered from 0) as a capture file of their own: the records\n"
    "        byte for byte, other traffic between them included.\n"
    "listen  receives the data port (and the group, when given) and prints a line per frame,\n"
    "        or the dump format with --dump; stops after N frames (--frames) or on Ctrl-C.\n"
    "        Port 0 takes any free port; the port is reported on stderr.\n"
    "\n"
    "info, dump, csv, pcd, las and cut show their progress on stderr when stderr is a terminal.\n"
    "listen reports the datagrams it received on stderr when it ends.\n"
    "\n"
    "A missing or unreadable file ends with one line on stderr and exit status 1. A damaged or\n"
    "truncated file is processed as far as it can be read; the error is then reported on\n"
    "stderr and the exit status is 1. Usage errors exit with status 2.\n";

struct Options {
    std::string command;
    std::vector<std::string> files;
    bool singleLine = false;
    bool live = false;
    bool dump = false;
    int protocol = k740::kProtocol16;
    int returnMode = k740::kStrongEcho;
    int viewMode = 1;  // as the operator names them: 1 or 2
    float angleMin = 0.0f;
    float angleMax = 360.0f;
    long port = 2368;
    std::string group;
    std::string interfaceAddress;
    long frames = 0;  // 0 = until interrupted
};

using k740::convert::CommandLine;

// The options and arguments of info, dump, csv and listen, each with its own help.
CommandLine commandLineOf(const std::string& command) {
    static const char* const kProtocolHelp = "Protocol 0 (1.6) or 1 (1.7).";
    static const char* const kReturnModeHelp =
        "Echo mode of the live assembly: 0 strong, 1 dual, 2 first, 3 last.";
    if (command == "info") {
        CommandLine c("info", "  k740-convert info FILE [--single-line]\n",
                      "Prints 'packets: N' and 'frames: M': the sensor packets of the capture file and\n"
                      "the frames of the capture-file analysis. A file that also holds K sensor packets\n"
                      "of the other kind adds 'single-line packets not read: K' (with --single-line,\n"
                      "'data packets not read: K'): a file read in the wrong mode.\n");
        c.addFlag("single-line", "Read the 820-byte single-line records (A2 5C) instead.");
        return c;
    }
    if (command == "dump") {
        CommandLine c("dump", "  k740-convert dump FILE [--single-line] [--live [--protocol 0|1] [--return-mode 0..3]]\n",
                      "Prints every frame as 'F <index> <blocks> <points>' (index from 0), then one line\n"
                      "'P <azimuth> <distance> <intensity> <timestamp>' per point. Frames come from the\n"
                      "capture-file analysis, or with --live from the live receiver's assembly fed with\n"
                      "the sensor records of both kinds (--single-line has no effect there). --protocol\n"
                      "is the protocol requested from the start; protocol 0 applies until the first frame\n"
                      "boundary, as on the live receiver.\n");
        c.addFlag("single-line", "Read the 820-byte single-line records (A2 5C) instead.");
        c.addFlag("live", "Assemble the frames as the live receiver does.");
        c.addOption("protocol", "0|1", kProtocolHelp);
        c.addOption("return-mode", "0..3", kReturnModeHelp);
        return c;
    }
    if (command == "csv") {
        CommandLine c("csv",
                      "  k740-convert csv FILE OUT.csv [--single-line] [--live [--return-mode 0..3]] [--protocol 0|1]\n"
                      "                   [--view-mode 1|2] [--angle-min A] [--angle-max B]\n",
                      "Writes all frames as the CSV export does: FreamID from 1, x/y/z in cm with the\n"
                      "protocol's distance divisor (0: /0.5, 1: /0.25), whole cm in view mode 1, points\n"
                      "whose azimuth lies in [A, B] (defaults 0 and 360; equal bounds widen by 0.5).\n");
        c.addFlag("single-line", "Read the 820-byte single-line records (A2 5C) instead.");
        c.addFlag("live", "Assemble the frames as the live receiver does.");
        c.addOption("return-mode", "0..3", kReturnModeHelp);
        c.addOption("protocol", "0|1", kProtocolHelp);
        c.addOption("view-mode", "1|2", "1: whole centimetres, 2: as computed.");
        c.addOption("angle-min", "A", "Lowest azimuth exported, degrees (0..360).");
        c.addOption("angle-max", "B", "Highest azimuth exported, degrees (0..360).");
        return c;
    }
    CommandLine c("listen",
                  "  k740-convert listen [--port 2368] [--group ADDR [--interface ADDR]] [--protocol 0|1]\n"
                  "                   [--return-mode 0..3] [--frames N] [--dump]\n",
                  "Receives the data port (and the group, when given) and prints a line per frame, or\n"
                  "the dump format with --dump; stops after N frames (--frames) or on Ctrl-C. Port 0\n"
                  "takes any free port; the port is reported on stderr, and the datagrams received when\n"
                  "it ends.\n");
    c.addOption("port", "PORT", "Data port to receive (0..65535, default 2368).");
    c.addOption("group", "ADDR", "Multicast group to join.");
    c.addOption("interface", "ADDR", "Interface address the group is joined on.");
    c.addOption("protocol", "0|1", kProtocolHelp);
    c.addOption("return-mode", "0..3", kReturnModeHelp);
    c.addOption("frames", "N", "Stop after N frames.");
    c.addFlag("dump", "Print the frames in the dump format.");
    return c;
}

// Reads the options of info, dump, csv or listen. Returns -1 to run the command, otherwise
// the exit status (help shown, or the refusal reported).
int readOptions(int argc, char** argv, Options& o) {
    CommandLine c = commandLineOf(o.command);
    if (const int rc = c.parse(argc, argv); rc >= 0) return rc;
    o.files = c.arguments();
    const std::string& cmd = o.command;
    const std::size_t wantFiles = cmd == "csv" ? 2 : cmd == "listen" ? 0 : 1;
    if (o.files.size() != wantFiles) {
        if (cmd == "csv") return c.refuse("'csv' takes a capture file and an output file");
        if (cmd == "listen") return c.refuse("'listen' takes no file");
        return c.refuse("'" + cmd + "' takes one capture file");
    }
    if (cmd == "csv" && k740::isSameFile(o.files[0], o.files[1]))
        return c.refuse("the output file '" + o.files[1] + "' is the capture file itself");
    o.singleLine = c.isSet("single-line");
    o.live = c.isSet("live");
    o.dump = c.isSet("dump");
    long n = o.protocol;
    if (!c.whole("protocol", 0, 1, "0 or 1", &n)) return kExitUsage;
    o.protocol = static_cast<int>(n);
    n = o.returnMode;
    if (!c.whole("return-mode", 0, 3, "0, 1, 2 or 3", &n)) return kExitUsage;
    o.returnMode = static_cast<int>(n);
    n = o.viewMode;
    if (!c.whole("view-mode", 1, 2, "1 or 2", &n)) return kExitUsage;
    o.viewMode = static_cast<int>(n);
    if (!c.whole("port", 0, 65535, "a port number 0..65535", &o.port)) return kExitUsage;
    if (!c.whole("frames", 1, 1000000000L, "a positive count", &o.frames)) return kExitUsage;
    o.group = c.value("group");
    o.interfaceAddress = c.value("interface");
    if (c.isSet("group") || c.isSet("interface")) {
        k740::ReceiveSettings settings;
        settings.group = o.group;
        settings.interfaceAddress = o.interfaceAddress;
        if (c.isSet("group") && o.group.empty()) return c.refuse("--group takes a multicast group address");
        if (const std::string why = k740::settingsProblem(settings); !why.empty()) return c.refuse(why);
    }

    if (cmd == "dump" && !o.live && (c.isSet("protocol") || c.isSet("return-mode")))
        return c.refuse("--protocol and --return-mode need --live for 'dump'");
    if (cmd == "csv" && !o.live && c.isSet("return-mode")) return c.refuse("--return-mode needs --live");
    if (cmd == "csv" && !c.angleRange(&o.angleMin, &o.angleMax)) return kExitUsage;
    return -1;
}

// ---- frames of a capture file ----

using FrameCallback = std::function<void(const LidarDataSingleLine&)>;

// Feeds the sensor packets of an open capture to the analysis or to the live assembly. Returns
// false when reading stopped at a fault (the reader's error() says which).
bool feedCapture(k740::SensorRecordReader& reader, const Options& o, const FrameCallback& onFrame) {
    k740::convert::FeedMode mode;
    mode.singleLine = o.singleLine;
    mode.live = o.live;
    mode.returnMode = o.returnMode;
    mode.protocol = o.protocol;
    return k740::convert::feedCapture(reader, o.files[0], mode, [&](LidarDataSingleLine&& f) { onFrame(f); });
}

// The dump of one frame: "%.17g" numbers (putNumberG17) gathered in blocks of lines.
void printFrameDump(std::FILE* out, std::size_t index, const LidarDataSingleLine& f) {
    const std::size_t n = f.pointAngle.size();
    std::fprintf(out, "F %zu %zu %zu\n", index, f.blockAngle.size(), n);
    char block[64 * 1024];
    // "P ", azimuth, distance, intensity, timestamp.
    constexpr std::size_t kLineRoom = k740::textLineRoom(2, 1, 1, 2);
    char* q = block;
    for (std::size_t k = 0; k < n; ++k) {
        if (static_cast<std::size_t>(block + sizeof block - q) < kLineRoom) {
            std::fwrite(block, 1, static_cast<std::size_t>(q - block), out);
            q = block;
        }
        *q++ = 'P';
        *q++ = ' ';
        q = k740::putNumberG17(q, f.pointAngle[k]);
        *q++ = ' ';
        q = k740::putNumberG17(q, f.distance[k]);
        *q++ = ' ';
        q = std::to_chars(q, q + k740::kIntTextRoom, f.intensity[k]).ptr;
        *q++ = ' ';
        q = std::to_chars(q, q + k740::kCountTextRoom, f.timeStamp[k]).ptr;
        *q++ = '\n';
    }
    std::fwrite(block, 1, static_cast<std::size_t>(q - block), out);
}

// The live assembly takes both packet kinds; the analysis only the kind of the file's mode.
bool openCapture(k740::SensorRecordReader& reader, const std::string& path, const Options& o) {
    const k740::SensorKind kind = o.live ? k740::SensorKind::Either : k740::sensorKind(o.singleLine);
    if (reader.open(path, kind)) return true;
    std::fprintf(stderr, "k740-convert: %s: %s\n", path.c_str(), reader.error().c_str());
    return false;
}

int reportReadFault(const std::string& path, const k740::SensorRecordReader& reader) {
    std::fflush(stdout);
    std::fprintf(stderr, "k740-convert: %s: %s (output covers the records read before)\n", path.c_str(),
                 reader.error().c_str());
    return kExitFailure;
}

int runInfo(const Options& o) {
    const std::string& path = o.files[0];
    k740::ProgressLine progress(path);
    const k740::CaptureSummary s = k740::summarizeCaptureFile(path, o.singleLine, [&progress](std::int64_t done, std::int64_t) {
        progress.update(done);
        return true;
    });
    progress.finish();
    if (!s.status.opened) {
        std::fprintf(stderr, "k740-convert: %s: %s\n", path.c_str(), s.status.error.c_str());
        return kExitFailure;
    }
    std::printf("packets: %" PRIu64 "\nframes: %" PRIu64 "\n", s.packets, s.frames);
    // Packets of the other kind are a file read in the wrong mode: say how many were passed by.
    if (s.otherKindPackets > 0)
        std::printf("%s packets not read: %" PRIu64 "\n", o.singleLine ? "data" : "single-line", s.otherKindPackets);
    if (!s.status.complete) {
        std::fflush(stdout);
        std::fprintf(stderr, "k740-convert: %s: %s (counts cover the records read before)\n", path.c_str(),
                     s.status.error.c_str());
        return kExitFailure;
    }
    return kExitOk;
}

int runDump(const Options& o) {
    const std::string& path = o.files[0];
    k740::SensorRecordReader reader;
    if (!openCapture(reader, path, o)) return kExitFailure;
    std::size_t index = 0;
    const bool ok = feedCapture(reader, o, [&](const LidarDataSingleLine& f) { printFrameDump(stdout, index++, f); });
    if (!ok) return reportReadFault(path, reader);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

int runCsv(const Options& o) {
    const std::string& path = o.files[0];
    const std::string& outPath = o.files[1];
    k740::SensorRecordReader reader;
    if (!openCapture(reader, path, o)) return kExitFailure;
    std::ofstream out;
    std::vector<char> buffer(1 << 20);
    out.rdbuf()->pubsetbuf(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    out.open(outPath, std::ios::out | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "k740-convert: %s: cannot open for writing: %s\n", outPath.c_str(), std::strerror(errno));
        return kExitFailure;
    }
    k740::CsvExportOptions csv;
    csv.protocol = o.protocol;
    csv.viewMode = o.viewMode - 1;  // combo index
    csv.angleMin = o.angleMin;
    csv.angleMax = o.angleMax;
    k740::writeCsvHeader(out);
    int frameId = 0;
    const bool ok = feedCapture(reader, o, [&](const LidarDataSingleLine& f) { k740::writeCsvFrame(out, f, ++frameId, csv); });
    out.close();
    if (out.fail()) {
        std::fprintf(stderr, "k740-convert: %s: write failed\n", outPath.c_str());
        return kExitFailure;
    }
    if (!ok) return reportReadFault(path, reader);
    return kExitOk;
}

// The commands a build without Qt (or PCL) leaves out, and what each needs.
struct LeftOut {
    const char* command;
    bool built;
    const char* needs;
};
constexpr LeftOut kLeftOut[] = {
    {"pcd", K740_CONVERT_PCD, "PCL"},
    {"status", K740_CONVERT_DEVICE, "Qt"},
    {"configure", K740_CONVERT_DEVICE, "Qt"},
    {"gps-test", K740_CONVERT_GPS, "Qt"},
};

// "pcd (needs PCL), gps-test (needs Qt)", empty when every command is built.
std::string missingCommands() {
    std::string missing;
    for (const LeftOut& c : kLeftOut) {
        if (c.built) continue;
        if (!missing.empty()) missing += ", ";
        missing += std::string(c.command) + " (needs " + c.needs + ")";
    }
    return missing;
}

bool leftOut(const std::string& command) {
    for (const LeftOut& c : kLeftOut)
        if (!c.built && command == c.command) return true;
    return false;
}

// ---- live listening ----

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void onInterrupt(int) { g_interrupted = 1; }

// Prints one frame of the live stream.
void printLiveFrame(const k740::Frame& frame, std::size_t index, bool dump) {
    if (dump) {
        LidarDataSingleLine record;
        record.blockAngle = frame.blockAzimuth();
        record.distance = frame.distance();
        record.intensity = frame.intensity();
        record.pointAngle = frame.azimuth();
        record.timeStamp = frame.time();
        printFrameDump(stdout, index, record);
    } else {
        const std::vector<double>& azimuth = frame.azimuth();
        if (azimuth.empty())
            std::printf("frame %zu: 0 points\n", index);
        else
            std::printf("frame %zu: %zu points, azimuth %.3f .. %.3f\n", index, azimuth.size(),
                        azimuth.front(), azimuth.back());
    }
    std::fflush(stdout);
}

// The live stream through the consumer library's listener: its frames are printed here on
// the main thread as they come, until --frames are printed or Ctrl-C.
int runListen(const Options& o) {
    k740::ListenOptions lo;
    lo.port = static_cast<std::uint16_t>(o.port);
    lo.group = o.group;
    lo.interfaceAddress = o.interfaceAddress;
    lo.protocol = static_cast<k740::Protocol>(o.protocol);
    lo.returnMode = static_cast<k740::ReturnMode>(o.returnMode);
    lo.maxQueued = 64;  // a slow terminal must not let frames pile up
    std::unique_ptr<k740::Listener> listener;
    try {
        listener = std::make_unique<k740::Listener>(lo);
    } catch (const k740::Error& e) {
        std::fprintf(stderr, "k740-convert: %s\n", e.what());
        return e.kind() == k740::ErrorKind::InvalidArgument ? kExitUsage : kExitFailure;
    }
    std::fprintf(stderr, "listening on port %u\n", static_cast<unsigned>(listener->port()));
    std::fflush(stderr);

    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    long printed = 0;
    while (!g_interrupted && (o.frames <= 0 || printed < o.frames)) {
        // A short wait: an interruption is seen within it.
        if (const std::optional<k740::Frame> f = listener->next(0.05))
            printLiveFrame(*f, static_cast<std::size_t>(printed++), o.dump);
    }
    const long long datagrams = listener->datagrams();
    const long long dropped = listener->framesDropped();
    listener.reset();
    std::fprintf(stderr, "k740-convert: %lld datagrams received, %ld frames\n", datagrams, printed);
    if (dropped > 0) std::fprintf(stderr, "k740-convert: %lld frames dropped while printing\n", dropped);
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The same bytes on every system: a dump or a count piped into a file or compared with
    // another machine's has no "\r\n" for "\n".
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    Options o;
    o.command = argv[1];
    if (o.command == "--help" || o.command == "-h" || o.command == "help") {
        std::fputs(kUsage, stdout);
        const std::string missing = missingCommands();
        if (!missing.empty()) std::printf("\nThis build leaves out: %s.\n", missing.c_str());
        return kExitOk;
    }
    if (o.command == "--version") {
        std::printf("k740-convert %s\n", K740_VERSION);
        return kExitOk;
    }
#if K740_CONVERT_DEVICE
    if (const int rc = k740::convert::deviceCommand(argc, argv); rc >= 0) return rc;
#endif
#if K740_CONVERT_GPS
    if (const int rc = k740::convert::gpsTestCommand(argc, argv); rc >= 0) return rc;
#endif
#if K740_CONVERT_PCD
    if (o.command == "pcd") return k740::runConvertPcd(argc, argv);
#endif
    if (o.command == "las") return k740::runConvertLas(argc, argv);
    if (o.command == "cut") return k740::runConvertCut(argc, argv);
    if (o.command != "info" && o.command != "dump" && o.command != "csv" && o.command != "listen") {
        if (leftOut(o.command))
            return k740::convert::usageError("", "'" + o.command + "' is not in this build, which leaves out " +
                                                     missingCommands());
        return k740::convert::usageError("", "unknown command '" + o.command + "'");
    }
    if (const int rc = readOptions(argc, argv, o); rc >= 0) return rc;

    static char outBuffer[1 << 16];
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);

    if (o.command == "info") return runInfo(o);
    if (o.command == "dump") return runDump(o);
    if (o.command == "csv") return runCsv(o);
    return runListen(o);
}
