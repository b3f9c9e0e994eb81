// k740-convert gps-test: the advanced settings window's GPS time-stamp test without the
// window, for a production line. The receive engine runs the live assembly with the test's
// logs as its block observer and writes the same two logs, with the same names and lines,
// under DIR/<yyyy-MM-dd>/.
#include "tools/convert_gps.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

#include "acquisition/gps_stamp_log.h"
#include "acquisition/receive_engine.h"
#include "tools/convert_options.h"
#include "tools/exit_codes.h"

namespace k740::convert {

namespace {

using tools::kExitFailure;
using tools::kExitOk;
using tools::kExitUsage;

volatile std::sig_atomic_t g_gpsInterrupted = 0;
extern "C" void onGpsInterrupt(int) { g_gpsInterrupted = 1; }

struct GpsOptions {
    QString number;
    long port = 2368;
    long protocol = 0;
    QString folder;
    long packets = 0;
    double seconds = 0;
};

// Reads the options; -1 to run the test, otherwise the exit status.
int readOptions(int argc, char** argv, GpsOptions& o) {
    CommandLine c("gps-test",
                  "  k740-convert gps-test --number ID [--port 2368] [--protocol 0|1] [--folder DIR]\n"
                  "                   [--packets N | --seconds S]\n",
                  "Receives the data port and logs the GPS time of every data block, as the advanced\n"
                  "settings window's GPS test does: DIR/<yyyy-MM-dd>/K740-P_<ID>_<date-time>.txt (every\n"
                  "block) and K740-P_<ID>_Error_<date-time>.txt (every jump of the seconds). DIR defaults to\n"
                  "RV_K740-P_GPSTimeTest in the documents folder. The test starts at the first whole packet\n"
                  "decoded in the given protocol (protocol 1 after the first revolution) and ends after N\n"
                  "whole packets, after S seconds, or on Ctrl+C; then the two file names and\n"
                  "'jumps: <count>' are printed.\n");
    c.addOption("number", "ID", "The sensor's serial number (names the logs).");
    c.addOption("port", "PORT", "Data port to receive (default 2368).");
    c.addOption("protocol", "0|1", "Protocol the test runs in (default 0).");
    c.addOption("folder", "DIR", "Folder of the logs.");
    c.addOption("packets", "N", "Stop after N whole packets.");
    c.addOption("seconds", "S", "Stop after S seconds.");
    if (const int rc = c.parse(argc, argv); rc >= 0) return rc;
    if (!c.arguments().empty()) return c.refuse("'gps-test' takes options only, not '" + c.arguments()[0] + "'");
    // The logs' names go through Qt's file names, which hold only what the system's encoding
    // decodes: a name that would come back as other bytes is refused rather than written
    // somewhere else.
    const std::string number = c.value("number"), folder = c.value("folder");
    o.number = QFile::decodeName(QByteArray::fromStdString(number));
    o.folder = QFile::decodeName(QByteArray::fromStdString(folder));
    if (QFile::encodeName(o.number).toStdString() != number)
        return c.refuse("--number '" + number + "' is not text of the system's encoding");
    if (QFile::encodeName(o.folder).toStdString() != folder)
        return c.refuse("--folder '" + folder + "' is not a name of the system's encoding");
    if (!c.whole("port", 1, 65535, "a port 1..65535", &o.port)) return kExitUsage;
    if (!c.whole("protocol", 0, 1, "0 or 1", &o.protocol)) return kExitUsage;
    if (!c.whole("packets", 1, 1000000000L, "a positive whole number", &o.packets)) return kExitUsage;
    if (!c.real("seconds", std::numeric_limits<double>::min(), 31.0 * 86400, "a positive number of seconds", &o.seconds))
        return kExitUsage;
    if (o.number.isEmpty()) return c.refuse("--number is required (the sensor's serial number)");
    if (o.number.contains(QLatin1Char('/')) || o.number.contains(QLatin1Char('\\')))
        return c.refuse("--number must not contain a path separator");
    if (o.packets > 0 && o.seconds > 0) return c.refuse("--packets and --seconds exclude each other");
    return -1;
}

}  // namespace

int gpsTestCommand(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) != "gps-test") return -1;
    GpsOptions o;
    if (const int rc = readOptions(argc, argv, o); rc >= 0) return rc;

    const QDateTime start = QDateTime::currentDateTime();
    const k740::GpsLogPaths paths = k740::gpsLogPaths(
        o.folder.isEmpty() ? k740::defaultGpsLogRoot() : o.folder, o.number, start);
    if (!QDir().mkpath(paths.folder)) {
        std::fprintf(stderr, "k740-convert: cannot create the folder %s\n",
                     qPrintable(QDir::toNativeSeparators(paths.folder)));
        return kExitFailure;
    }

    // The test's reports come from the loop's thread.
    std::atomic<int> jumps{0};
    std::mutex failureLock;
    std::string failure;
    k740::GpsStampLog log(nullptr, [&jumps] { ++jumps; },
                          [&](const std::string& why) {
                              std::lock_guard<std::mutex> guard(failureLock);
                              failure = why;
                          });
    log.setPacketLimit(o.packets);
    k740::ReceiveSink frames;  // the frames themselves are not wanted
    k740::ReceiveEngine engine(k740::ReceiveEngine::Role::LiveStream, &frames);
    engine.pendingProtocol = static_cast<int>(o.protocol);
    engine.returnMode = 0;  // the test is served in the strong-echo mode
    engine.blockObserver = &log;
    k740::ReceiveSettings settings;
    settings.port = static_cast<std::uint16_t>(o.port);
    settings.receiveBuffer = k740::kLiveStreamReceiveBuffer;
    if (!engine.open(settings)) {
        std::fprintf(stderr, "k740-convert: %s\n", engine.lastError().c_str());
        return kExitFailure;
    }
    std::fprintf(stderr, "listening on port %u\n", static_cast<unsigned>(engine.boundPort()));
    std::fflush(stderr);

    // The log starts the test itself at the first whole packet decoded in the asked
    // protocol, so --packets N logs exactly N whole packets.
    QString openError;
    if (!log.open(paths.mainLog, paths.errorLog, &openError, static_cast<int>(o.protocol))) {
        std::fprintf(stderr, "k740-convert: %s\n", qPrintable(openError));
        return kExitFailure;
    }
    engine.observing = true;
    std::signal(SIGINT, onGpsInterrupt);
    std::signal(SIGTERM, onGpsInterrupt);
    std::thread loop([&engine] { engine.run(); });
    using Clock = std::chrono::steady_clock;
    bool timing = false;
    Clock::time_point deadline;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (g_gpsInterrupted || !log.isOpen()) break;
        if (!timing && log.started() && o.seconds > 0) {
            timing = true;
            deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                          std::chrono::duration<double>(o.seconds));
        }
        if (timing && Clock::now() >= deadline) break;
        if (o.packets > 0 && log.packetsLogged() >= o.packets) break;
    }
    const bool started = log.started();
    engine.observing = false;
    engine.running = false;
    loop.join();
    log.close();
    engine.close();
    {
        std::lock_guard<std::mutex> guard(failureLock);
        if (!failure.empty()) {
            std::fprintf(stderr, "k740-convert: %s\n", failure.c_str());
            return kExitFailure;
        }
    }
    if (!started) {
        std::fprintf(stderr, "k740-convert: no test ran (no whole packet in protocol %ld arrived)\n",
                     o.protocol);
        return kExitFailure;
    }
    std::printf("main log: %s\nerror log: %s\npackets: %lld\njumps: %d\n",
                qPrintable(QDir::toNativeSeparators(paths.mainLog)),
                qPrintable(QDir::toNativeSeparators(paths.errorLog)), log.packetsLogged(),
                jumps.load());
    return kExitOk;
}

}  // namespace k740::convert
