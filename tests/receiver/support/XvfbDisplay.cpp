#include "XvfbDisplay.h"

#include "ReceiverProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void stopChild(pid_t pid)
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

} // namespace

std::unique_ptr<XvfbDisplay> XvfbDisplay::start(std::string& why, const std::string& screen)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        why = std::string("pipe: ") + std::strerror(errno);
        return nullptr;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        why = std::string("fork: ") + std::strerror(errno);
        return nullptr;
    }
    if (pid == 0) {
        // The write end must survive exec: Xvfb writes its display number to it.
        const int displayFd = dup(ends[1]);
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
        const std::string fd = std::to_string(displayFd);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", screen.c_str(),
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);

    std::string number;
    const auto deadline = std::chrono::steady_clock::now() + kGenerousWait;
    while (number.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{ends[0], POLLIN, 0};
        char buffer[32];
        ssize_t got = 0;
        if (left.count() <= 0 || poll(&ready, 1, int(left.count())) <= 0
            || (got = read(ends[0], buffer, sizeof buffer)) <= 0) {
            close(ends[0]);
            stopChild(pid);
            why = "Xvfb did not start (is it installed? it is in the xvfb package)";
            return nullptr;
        }
        number.append(buffer, std::size_t(got));
    }
    close(ends[0]);
    return std::unique_ptr<XvfbDisplay>(new XvfbDisplay(pid, ":" + number.substr(0, number.find('\n'))));
}

XvfbDisplay::XvfbDisplay(pid_t pid, std::string name)
    : pid_(pid)
    , name_(std::move(name))
{
}

XvfbDisplay::~XvfbDisplay()
{
    stopChild(pid_);
}
