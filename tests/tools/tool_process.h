// Runs k740-convert (or k740-sim) as a user does, for the tool tests: exit code and outputs.
#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

#include "platform/udp_socket.h"

namespace tooltest {

constexpr int kTimeoutMs = 30000;

struct ToolRun {
    bool finished = false;  // ended within the time-out (otherwise it was killed)
    int exitCode = -1;      // -1 when it did not start or crashed
    std::string out, err;
};

// Runs one of the project's programs (K740_CONVERT, K740_SIM) with these arguments.
inline ToolRun runProgram(const char* program, const QStringList& args) {
    QProcess p;
    p.start(QString::fromUtf8(program), args);
    ToolRun r;
    if (!p.waitForStarted(kTimeoutMs)) return r;
    r.finished = p.waitForFinished(kTimeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput().toStdString();
    r.err = p.readAllStandardError().toStdString();
    return r;
}

inline ToolRun runConvert(const QStringList& args) { return runProgram(K740_CONVERT, args); }

// Three free UDP ports (data, device, configuration), so that tests running beside each other
// never share a stream. Empty when no socket could be bound.
struct StreamPorts {
    QString data, device, config;
};
inline StreamPorts freeStreamPorts() {
    k740::UdpSocket a, b, c;
    if (!(a.open() && b.open() && c.open() && a.bind(0) && b.bind(0) && c.bind(0))) return {};
    return {QString::number(a.localPort()), QString::number(b.localPort()),
            QString::number(c.localPort())};
}

}  // namespace tooltest
