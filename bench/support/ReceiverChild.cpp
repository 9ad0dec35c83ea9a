// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReceiverChild.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef QUILLON_RECEIVER_BINARY
#error "QUILLON_RECEIVER_BINARY must name the receiver binary"
#endif

namespace bench {

using Clock = std::chrono::steady_clock;

std::optional<std::string> LineReader::next(std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    for (;;) {
        const auto end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
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

ReceiverChild::ReceiverChild(const std::string& passcode, Output output, const std::vector<std::string>& extraArguments)
{
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    std::vector<std::string> arguments = {QUILLON_RECEIVER_BINARY, "--bind", "127.0.0.1", "--port", "0",
                                          "--discovery-port", "0", "--passcode", passcode, "--name", "bench",
                                          "--sink", "log"};
    arguments.insert(arguments.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        execv(argv[0], argv.data());
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
        throw std::runtime_error("quillon-receiver did not start");
    }
    output_ = std::make_unique<LineReader>(out_);
    const int discarded = output == Output::Discard ? out_ : -1;
    drain_ = std::thread([this, discarded] {
        // Until the receiver exits and both pipes end.
        pollfd fds[2] = {{err_, POLLIN, 0}, {discarded, POLLIN, 0}};
        char buffer[65536];
        while (fds[0].fd >= 0 || fds[1].fd >= 0) {
            if (poll(fds, 2, -1) < 0)
                return;
            for (pollfd& ready : fds) {
                if (ready.fd >= 0 && ready.revents && read(ready.fd, buffer, sizeof buffer) <= 0)
                    ready.fd = -1;
            }
        }
    });
}

ReceiverChild::~ReceiverChild()
{
    kill(pid_, SIGTERM);
    // One that does not stop in time (blocked on an output nobody reads) is killed.
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            break;
        }
        usleep(10000);
    }
    drain_.join();
    close(out_);
    close(err_);
}

} // namespace bench
