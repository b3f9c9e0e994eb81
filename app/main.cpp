// rv-k740-p: the K740-P viewer. --demo runs a simulated sensor on loopback inside the
// process; --live switches the live display on at start; a capture file named on the command
// line is opened at start, and --play plays it. Without a display it says so in one line and
// ends with status 1.
#include <QVTKOpenGLNativeWidget.h>
#include <vtkObject.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QSurfaceFormat>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <memory>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#endif

#include "app/demo_session.h"
#include "app/manwindow.h"
#include "app/pace_room.h"
#include "app/settings_memory.h"
#include "app/recording_room.h"
#include "app/service_room.h"
#include "device/ACWPSettingWidget.h"

#include <QToolButton>

namespace {

constexpr int kDemoRpm = 600;

constexpr const char* kNeedsDisplay =
    "rv-k740-p needs a display: run it on a desktop, or on a machine without one under a virtual "
    "display (xvfb-run -a rv-k740-p --demo)";

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
// Whether the window system Qt will use can be reached. Without this, QApplication aborts with
// advice to reinstall Qt. Platforms that need no display server (offscreen, vnc, eglfs) and an
// explicit -display are left to Qt.
bool displayReachable(int argc, char* argv[]) {
    QByteArray platforms = qgetenv("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "-display") == 0) return true;
        if (qstrcmp(argv[i], "-platform") == 0 && i + 1 < argc) platforms = argv[i + 1];
    }
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platforms.isEmpty()) return x11 || wayland;
    for (const QByteArray& candidate : platforms.split(';')) {
        const QByteArray name =
            candidate.split(':').first().trimmed();  // "vnc:size=..." and the like
        if (name == "xcb") {
            if (x11) return true;
        } else if (name.startsWith("wayland")) {
            if (wayland) return true;
        } else if (!name.isEmpty()) {
            return true;
        }
    }
    return false;
}
#else
bool displayReachable(int, char*[]) { return true; }
#endif

// While the application object is made: a display that is named but cannot be reached ends in
// a fatal message from the platform plugin. Say it in one line instead; messages of a start
// that succeeds are passed on afterwards.
QtMessageHandler g_previousHandler = nullptr;
QList<std::pair<QtMsgType, QString>>* g_heldMessages = nullptr;

void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", kNeedsDisplay);
        std::_Exit(1);
    }
    if (g_heldMessages) {
        g_heldMessages->append({type, qFormatLogMessage(type, context, message)});
        return;
    }
    if (g_previousHandler) g_previousHandler(type, context, message);
}

void describe(QCommandLineParser& parser, QCommandLineOption& demo, QCommandLineOption& live,
              QCommandLineOption& play) {
    parser.setApplicationDescription(QStringLiteral("K740-P lidar viewer"));
    parser.addHelpOption();
    parser.addVersionOption();
    demo = QCommandLineOption(
        QStringLiteral("demo"),
        QStringLiteral("Run a simulated sensor on the loopback interface and show it live."));
    live = QCommandLineOption(QStringLiteral("live"),
                              QStringLiteral("Switch the live display on at start."));
    play = QCommandLineOption(QStringLiteral("play"),
                              QStringLiteral("Start playing the capture file FILE at once."));
    parser.addOption(demo);
    parser.addOption(live);
    parser.addOption(play);
    parser.addPositionalArgument(
        QStringLiteral("FILE"),
        QStringLiteral("A capture file (.pcap) to open at start, as \"Open\" in the Offline tab "
                       "does, in the mode the model list shows (\"K740\")."),
        QStringLiteral("[FILE]"));
    parser.addOption(QCommandLineOption(
        QStringLiteral("real-time"),
        QStringLiteral("Play at the pace the capture was recorded, as \"Real time\" in the "
                       "Offline tab (ticks it).")));
    parser.addOption(QCommandLineOption(QStringLiteral("service"),
                                        QStringLiteral("Ask for the service code at start.")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("no-settings"),
        QStringLiteral("Start with the default settings and remember nothing of this run.")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("capture-interface"),
        QStringLiteral("Record from this network adapter instead of the one whose subnet holds "
                       "the sensor's address."),
        QStringLiteral("NAME")));
}

#ifndef _WIN32
// A terminal's Ctrl+C or a service manager's SIGTERM closes the window the ordinary way, so the
// receivers are stopped, and ends the program with exit code 0.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    if (::write(g_signalPipe[1], &byte, 1) < 0) {
        // nothing sensible to do inside a signal handler
    }
}

void closeOnTerminationSignals(manwindow& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, notifier]() {
        char byte;
        if (::read(g_signalPipe[0], &byte, 1) > 0) {
            // Closing stops the receivers; quitting ends the program even when the window was
            // already closed and another window still shows.
            window.close();
            QCoreApplication::quit();
        }
        notifier->setEnabled(true);
    });
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}
#endif

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName(QStringLiteral("rv-k740-p"));
    QCoreApplication::setApplicationVersion(QStringLiteral(K740_VERSION));

    // Help, version and mistakes on the command line need no display.
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        QCommandLineParser parser;
        QCommandLineOption demo(QStringLiteral("demo")), live(QStringLiteral("live")),
            play(QStringLiteral("play"));
        describe(parser, demo, live, play);
        const bool parsed = parser.parse(arguments);
        const QStringList files = parsed ? parser.positionalArguments() : QStringList();
        if (!parsed || parser.isSet(QStringLiteral("help")) ||
            parser.isSet(QStringLiteral("version")) || files.size() > 1) {
            QCoreApplication core(argc, argv);
            if (parsed && files.size() > 1) {
                std::fprintf(stderr, "rv-k740-p: unexpected argument '%s'\n",
                             qPrintable(files.at(1)));
                return 1;
            }
            parser.process(core);  // prints help, version or the mistake, and ends the process
            return 0;
        }
        if (parser.isSet(play) && files.isEmpty()) {
            std::fprintf(stderr, "rv-k740-p: --play needs a capture file to play\n");
            return 1;
        }
        if (!files.isEmpty() && !QFileInfo(files.first()).isFile()) {
            std::fprintf(stderr, "rv-k740-p: no capture file '%s'\n", qPrintable(files.first()));
            return 1;
        }
    }

    if (!displayReachable(argc, argv)) {
        std::fprintf(stderr, "%s\n", kNeedsDisplay);
        return 1;
    }

    // PCL's renderers still use calls that VTK 9 reports as deprecated on every new mapper.
    vtkObject::GlobalWarningDisplayOff();
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QList<std::pair<QtMsgType, QString>> held;
    g_heldMessages = &held;
    g_previousHandler = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_previousHandler);
    g_heldMessages = nullptr;
    for (const auto& m : held) std::fprintf(stderr, "%s\n", qPrintable(m.second));

    QCommandLineParser parser;
    QCommandLineOption demo(QStringLiteral("demo")), live(QStringLiteral("live")),
        play(QStringLiteral("play"));
    describe(parser, demo, live, play);
    parser.process(app);

    manwindow window;
    // The settings of the last run, unless asked not to; the demo keeps its own ports and
    // protocol without storing them over the remembered ones.
    std::unique_ptr<k740::SettingsMemory> memory;
    if (!parser.isSet(QStringLiteral("no-settings"))) {
        memory = window.settingsMemory();
        memory->restore(parser.isSet(demo));
    }
    if (parser.isSet(QStringLiteral("real-time"))) window.findChild<k740::PaceRoom*>()->setRealTime(true);
    window.show();
    window.setAttribute(Qt::WA_QuitOnClose);
#ifndef _WIN32
    closeOnTerminationSignals(window);
#endif

    std::unique_ptr<k740::DemoSession> session;
    if (parser.isSet(demo)) {
        QString error;
        session = k740::DemoSession::start(window, kDemoRpm, &error);
        if (!session) {
            std::fprintf(stderr, "rv-k740-p: the simulated sensor did not start: %s\n",
                         qPrintable(error));
            return 1;
        }
    } else if (parser.isSet(live) && !window.liveRunning()) {
        window.findChild<QToolButton*>(QStringLiteral("toolButton_Lidar"))->click();
    }

    // A capture file named on the command line: opened as "Open" does (a file that cannot be
    // read is named in a warning), then played with --play (refused while live runs).
    if (!parser.positionalArguments().isEmpty()) {
        const QString file = parser.positionalArguments().first();
        if (!window.openCaptureFile(file))
            std::fprintf(stderr, "rv-k740-p: the capture file '%s' did not open\n",
                         qPrintable(file));
        else if (parser.isSet(play))
            window.findChild<QToolButton*>(QStringLiteral("toolButton_Play"))->click();
    }
    if (parser.isSet(QStringLiteral("capture-interface"))) {
        window.findChild<k740::RecordingRoom*>()->setCaptureInterface(
            parser.value(QStringLiteral("capture-interface")));
        window.findChild<k740::ServiceRoom*>()->advancedDialog()->setCaptureInterface(
            parser.value(QStringLiteral("capture-interface")));
    }
    if (parser.isSet(QStringLiteral("service"))) window.findChild<k740::ServiceRoom*>()->askForCode();

    const int code = QApplication::exec();
    if (memory) memory->store();
    // The window stopped its receivers as it closed; the simulated sensor goes next.
    session.reset();
    return code;
}
