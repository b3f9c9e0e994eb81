// Runs k740-convert as a user does, for the tool tests: its exit code and both outputs.
#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

namespace tooltest {

constexpr int kTimeoutMs = 30000;

struct ToolRun {
    bool finished = false;  // ended within the time-out (otherwise it was killed)
    int exitCode = -1;      // -1 when it did not start or crashed
    std::string out, err;
};

inline ToolRun runConvert(const QStringList& args) {
    QProcess p;
    p.start(QString::fromUtf8(K740_CONVERT), args);
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

}  // namespace tooltest
