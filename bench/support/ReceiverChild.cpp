// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReceiverChild.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace bench {

std::optional<std::string> LineReader::next(std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd watched{fd_, POLLIN, 0};
        if (left.count() <= 0 || poll(&watched, 1, int(left.count())) != 1)
            return std::nullopt;
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            return std::nullopt;
        pending_.append(buffer, size_t(n));
    }
}

ReceiverChild::ReceiverChild(const char* binary, const std::string& sink)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        execl(binary, binary, "--bind", "127.0.0.1", "--port", "0", "--discovery-port", "0", "--passcode", "bench",
              "--name", "bench", "--sink", sink.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    out_ = out[0];
    err_ = err[0];
    LineReader notices(err_);
    const std::string prefix = "session listening on 127.0.0.1:";
    while (const auto line = notices.next()) {
        const auto at = line->find(prefix);
        if (at != std::string::npos) {
            port_ = uint16_t(std::stoi(line->substr(at + prefix.size())));
            break;
        }
    }
    if (port_ == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        close(out_);
        close(err_);
        throw std::runtime_error("quillon-receiver --sink " + sink + " did not start");
    }
    output_ = std::make_unique<LineReader>(out_);
}

ReceiverChild::~ReceiverChild()
{
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    close(out_);
    close(err_);
}

std::chrono::nanoseconds ReceiverChild::cpuTime() const
{
    // The first field is the time spent on a CPU, in nanoseconds.
    std::ifstream schedstat("/proc/" + std::to_string(pid_) + "/schedstat");
    long long onCpu = 0;
    schedstat >> onCpu;
    return std::chrono::nanoseconds(onCpu);
}

std::vector<uint8_t> benchLoginFrame()
{
    // The dictionary Cmd = "Login", Passcode = "bench" in a 0x80 frame.
    const std::vector<uint8_t> payload = {0x5B, 0x73, 3, 'C', 'm', 'd', 0x73, 5, 'L', 'o', 'g', 'i', 'n',
                                          0x73, 8, 'P', 'a', 's', 's', 'c', 'o', 'd', 'e',
                                          0x73, 5, 'b', 'e', 'n', 'c', 'h', 0x5D};
    std::vector<uint8_t> frame = {0x80, uint8_t(payload.size()), 0, 0, 0};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

} // namespace bench
