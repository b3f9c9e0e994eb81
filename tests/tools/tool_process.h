// Runs k740-convert (or k740-sim) as a user does, for the tool tests: exit code and outputs.
#pragma once

#include <QProcess>
#include <QStringList>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/udp_socket.h"

namespace tooltest {

constexpr int kTimeoutMs = 30000;

struct ToolRun {
    bool finished = false;  // ended within the time-out (otherwise it was killed)
    int exitCode = -1;      // -1 when it did not start or crashed
    std::string out, err;
};

// Runs one of the project's programs (K740_CONVERT, K740_SIM) with these arguments.
inline ToolRun runProgram(const char* program, const QStringList& args, const QString& workingDir = QString()) {
    QProcess p;
    if (!workingDir.isEmpty()) p.setWorkingDirectory(workingDir);
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

inline ToolRun runConvert(const QStringList& args, const QString& workingDir = QString()) {
    return runProgram(K740_CONVERT, args, workingDir);
}

// A file's bytes; empty when it cannot be read.
inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs k740-convert with arguments handed over byte for byte (QProcess passes them through
// the locale's encoding); its outputs go through files in `scratchDir`.
inline ToolRun runConvertBytes(std::vector<std::string> args, const std::string& scratchDir) {
    args.insert(args.begin(), K740_CONVERT);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    const std::string out = scratchDir + "/stdout.txt", err = scratchDir + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    int status = 0;
    ToolRun r;
    r.finished = posix_spawn(&pid, K740_CONVERT, &actions, nullptr, argv.data(), environ) == 0 &&
                 waitpid(pid, &status, 0) == pid;
    posix_spawn_file_actions_destroy(&actions);
    r.exitCode = r.finished && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = fileBytes(out);
    r.err = fileBytes(err);
    return r;
}

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
