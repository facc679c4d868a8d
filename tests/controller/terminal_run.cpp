#include "terminal_run.h"

#include <QElapsedTimer>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testsupport {

namespace {

// Owned copies for execve: prepared before fork, since the child may only
// make async-signal-safe calls.
struct CStrings {
    std::vector<QByteArray> texts;
    std::vector<char*> pointers;

    explicit CStrings(const QStringList& list) {
        for (const QString& item : list) {
            texts.push_back(item.toLocal8Bit());
        }
        for (QByteArray& text : texts) {
            pointers.push_back(text.data());
        }
        pointers.push_back(nullptr);
    }
};

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

} // namespace

TerminalRun RunOnTerminal(const QString& program, const QStringList& arguments,
                          const QProcessEnvironment& environment, const QString& directory,
                          int timeoutMs, unsigned short columns) {
    TerminalRun run;
    const QByteArray path = program.toLocal8Bit();
    const QByteArray workingDirectory = directory.toLocal8Bit();
    CStrings argv(QStringList{program} + arguments);
    CStrings envp(environment.toStringList());

    Fd master;
    Fd slave;
    winsize size{};
    size.ws_row = 24;
    size.ws_col = columns;
    if (::openpty(&master.fd, &slave.fd, nullptr, nullptr, &size) != 0) {
        return run;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return run;
    }
    if (child == 0) {
        ::setsid();
        ::dup2(slave.fd, STDIN_FILENO);
        ::dup2(slave.fd, STDOUT_FILENO);
        ::dup2(slave.fd, STDERR_FILENO);
        if (::chdir(workingDirectory.constData()) != 0) {
            ::_exit(126);
        }
        ::execve(path.constData(), argv.pointers.data(), envp.pointers.data());
        ::_exit(127);
    }
    ::close(slave.fd);
    slave.fd = -1;

    QElapsedTimer clock;
    clock.start();
    char buffer[4096];
    while (clock.elapsed() < timeoutMs) {
        pollfd wait{master.fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, 100);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = ::read(master.fd, buffer, sizeof buffer);
        if (got <= 0) {
            break; // EIO: every copy of the terminal's other end is closed
        }
        run.output.append(buffer, got);
    }
    int status = 0;
    if (clock.elapsed() >= timeoutMs) {
        ::kill(child, SIGKILL);
    }
    if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
        run.ended = true;
        run.exitCode = WEXITSTATUS(status);
    }
    return run;
}

} // namespace testsupport
