// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/HelperProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A failure guard, not a speed check: these servers are up within a second.
constexpr std::chrono::seconds kStartWait{5};

} // namespace

std::optional<StartedHelper> startHelper(const std::vector<std::string>& arguments, std::string& why)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        why = std::string("pipe: ") + std::strerror(errno);
        return std::nullopt;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        why = std::string("fork: ") + std::strerror(errno);
        close(ends[0]);
        close(ends[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        // A copy without close-on-exec: the server writes its line to it.
        const std::string fd = std::to_string(dup(ends[1]));
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
        std::vector<std::string> expanded = arguments;
        for (std::string& argument : expanded) {
            if (const auto at = argument.find("{fd}"); at != std::string::npos)
                argument.replace(at, 4, fd);
        }
        std::vector<char*> argv;
        for (std::string& argument : expanded)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(ends[1]);

    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (text.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{ends[0], POLLIN, 0};
        char buffer[256];
        ssize_t got = 0;
        if (left.count() <= 0 || poll(&ready, 1, int(left.count())) <= 0
            || (got = read(ends[0], buffer, sizeof buffer)) <= 0) {
            close(ends[0]);
            stopHelper(pid);
            why = arguments[0] + " did not start";
            return std::nullopt;
        }
        text.append(buffer, std::size_t(got));
    }
    close(ends[0]);
    return StartedHelper{pid, text.substr(0, text.find('\n'))};
}

void stopHelper(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}
