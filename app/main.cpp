// rv-k740-p: the K740-P viewer. --demo runs a simulated sensor on loopback inside the
// process; --live switches the live display on at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QSurfaceFormat>
#include <QToolButton>
#include <QVTKOpenGLNativeWidget.h>
#include <vtkObject.h>

#include <cstdio>
#include <memory>

#ifndef _WIN32
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include "app/demo_session.h"
#include "app/manwindow.h"
#include "app/manwindow_form.h"
#include "app/service_room.h"

namespace {

constexpr int kDemoRpm = 600;

void describe(QCommandLineParser& parser, QCommandLineOption& demo, QCommandLineOption& live) {
    parser.setApplicationDescription(QStringLiteral("K740-P lidar viewer"));
    parser.addHelpOption();
    parser.addVersionOption();
    demo = QCommandLineOption(QStringLiteral("demo"),
                              QStringLiteral("Run a simulated sensor on the loopback interface and show it live."));
    live = QCommandLineOption(QStringLiteral("live"), QStringLiteral("Switch the live display on at start."));
    parser.addOption(demo);
    parser.addOption(live);
    parser.addOption(QCommandLineOption(QStringLiteral("service"),
                                        QStringLiteral("Ask for the service code at start.")));
}

#ifndef _WIN32
// A terminal's Ctrl+C or a service manager's SIGTERM closes the window the ordinary way, so the
// receivers are stopped and the exit code is 0.
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
        if (::read(g_signalPipe[0], &byte, 1) > 0) window.close();
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
        QCommandLineOption demo(QStringLiteral("demo")), live(QStringLiteral("live"));
        describe(parser, demo, live);
        if (!parser.parse(arguments) || parser.isSet(QStringLiteral("help")) ||
            parser.isSet(QStringLiteral("version")) || !parser.positionalArguments().isEmpty()) {
            QCoreApplication core(argc, argv);
            if (!parser.positionalArguments().isEmpty() && parser.errorText().isEmpty()) {
                std::fprintf(stderr, "rv-k740-p: unexpected argument '%s'\n",
                             qPrintable(parser.positionalArguments().first()));
                return 1;
            }
            parser.process(core);  // prints help, version or the mistake, and ends the process
            return 0;
        }
    }

    // PCL's renderers still use calls that VTK 9 reports as deprecated on every new mapper.
    vtkObject::GlobalWarningDisplayOff();
    QSurfaceFormat::setDefaultFormat(QVTKOpenGLNativeWidget::defaultFormat());
    QApplication app(argc, argv);

    QCommandLineParser parser;
    QCommandLineOption demo(QStringLiteral("demo")), live(QStringLiteral("live"));
    describe(parser, demo, live);
    parser.process(app);

    manwindow window;
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
            std::fprintf(stderr, "rv-k740-p: the simulated sensor did not start: %s\n", qPrintable(error));
            return 1;
        }
    } else if (parser.isSet(live) && !window.liveRunning()) {
        window.form()->toolButton_Lidar->click();
    }

    if (parser.isSet(QStringLiteral("service"))) window.serviceRoom()->askForCode();

    const int code = QApplication::exec();
    // The window stopped its receivers as it closed; the simulated sensor goes next.
    session.reset();
    return code;
}
