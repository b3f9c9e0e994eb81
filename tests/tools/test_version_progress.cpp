// The programs' --version and --help, and k740-convert's progress line: on stderr when stderr
// is a terminal, nothing of it when stderr is a pipe or a file.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "tool_process.h"

namespace {

using tooltest::kTimeoutMs;
const char* const kCapture = K740_TESTDATA "/real/rotating-32ch-b.pcap";

// Runs k740-convert with stderr on a pseudo terminal and stdout on a pipe; returns both.
bool runWithTerminalStderr(const std::vector<std::string>& args, std::string& out, std::string& err,
                           int& exitCode) {
    int master = -1, slave = -1;
    int pipeFds[2];
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(pipeFds) != 0)
        return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        close(pipeFds[0]);
        close(master);
        std::vector<char*> argv{const_cast<char*>(K740_CONVERT)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(K740_CONVERT, argv.data());
        _exit(127);
    }
    close(slave);
    close(pipeFds[1]);
    // Both sides are read as they fill, so that neither can block the child.
    char buf[4096];
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? pipeFds[0] : -1, POLLIN, 0},
                         {errOpen ? master : -1, POLLIN, 0}};
        if (poll(fds, 2, kTimeoutMs) <= 0) break;
        if (fds[0].revents) {
            const ssize_t n = read(pipeFds[0], buf, sizeof buf);
            if (n > 0)
                out.append(buf, std::size_t(n));
            else
                outOpen = false;
        }
        if (fds[1].revents) {
            const ssize_t n = read(master, buf, sizeof buf);  // EIO once the child has ended
            if (n > 0)
                err.append(buf, std::size_t(n));
            else
                errOpen = false;
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    close(master);
    close(pipeFds[0]);
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

}  // namespace

TEST(ToolVersion, EveryToolPrintsItsNameAndVersionAndDocumentsTheOption) {
    const QRegularExpression version(QStringLiteral("^k740-(convert|sim) \\d+\\.\\d+\\.\\d+\\n$"));
    for (const char* tool : {K740_CONVERT, K740_SIM}) {
        SCOPED_TRACE(tool);
        const tooltest::ToolRun v = tooltest::runProgram(tool, {QStringLiteral("--version")});
        EXPECT_EQ(v.exitCode, 0) << v.err;
        EXPECT_TRUE(version.match(QString::fromStdString(v.out)).hasMatch()) << v.out;
        const tooltest::ToolRun h = tooltest::runProgram(tool, {QStringLiteral("--help")});
        EXPECT_EQ(h.exitCode, 0);
        EXPECT_NE(h.out.find("--version"), std::string::npos) << h.out;
    }
}

TEST(ConvertProgress, ShownOnATerminalAndNeverInPipesOrInTheOutput) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", kCapture}, std::vector<std::string>{"dump", kCapture}}) {
        SCOPED_TRACE(args[0]);
        std::string out, err;
        int rc = -1;
        ASSERT_TRUE(runWithTerminalStderr(args, out, err, rc));
        EXPECT_EQ(rc, 0);
        EXPECT_NE(err.find("%"), std::string::npos) << err;
        EXPECT_EQ(out.find('%'), std::string::npos);
        EXPECT_EQ(out.find('\r'), std::string::npos);

        const tooltest::ToolRun piped =
            tooltest::runConvert({QString::fromStdString(args[0]), QString::fromUtf8(kCapture)});
        EXPECT_EQ(piped.exitCode, 0);
        EXPECT_TRUE(piped.err.empty()) << piped.err;
        EXPECT_EQ(piped.out, out);
    }
}
