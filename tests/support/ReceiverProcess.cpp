// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ReceiverProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef QUILLON_RECEIVER_BINARY
#error "QUILLON_RECEIVER_BINARY must name the receiver binary"
#endif

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

uint16_t portAfter(const std::string& line, const std::string& prefix)
{
    const auto at = line.find(prefix);
    if (at == std::string::npos)
        return 0;
    return static_cast<uint16_t>(std::stoi(line.substr(at + prefix.size())));
}

} // namespace

ReceiverProcess::ReceiverProcess(const std::vector<std::string>& arguments)
{
    // What the receiver keeps between runs goes to a folder of this object's
    // own, unless the test chose one: never into the home of whoever runs
    // the tests.
    std::vector<std::string> environment;
    for (char** variable = environ; *variable; ++variable)
        environment.emplace_back(*variable);
    if (!std::getenv("XDG_STATE_HOME")) {
        state_ = std::make_unique<TemporaryDirectory>();
        environment.push_back("XDG_STATE_HOME=" + state_->path());
    }
    // Made before the fork: a child of a process with threads may only call
    // what is safe in a signal handler.
    std::vector<std::string> argv0 = {QUILLON_RECEIVER_BINARY};
    argv0.insert(argv0.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argv0)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);

    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    stdout_.fd = out[0];
    stderr_.fd = err[0];
}

ReceiverProcess::~ReceiverProcess()
{
    if (!exited_)
        stop(SIGKILL);
    close(stdout_.fd);
    close(stderr_.fd);
}

std::unique_ptr<ReceiverProcess> ReceiverProcess::startOnLoopback(const std::string& passcode,
                                                                  std::vector<std::string> extra)
{
    std::vector<std::string> arguments = {"--bind", "127.0.0.1", "--port", "0", "--discovery-port", "0",
                                          "--passcode", passcode, "--name", "loopback-test"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    auto process = std::make_unique<ReceiverProcess>(arguments);
    const auto session = process->waitForNotice("session listening on 127.0.0.1:");
    const auto discovery = process->waitForNotice("discovery listening on 127.0.0.1:");
    if (!session || !discovery)
        throw std::runtime_error("the receiver did not start; its errors:\n" + process->errors());
    process->sessionPort_ = portAfter(*session, "session listening on 127.0.0.1:");
    process->discoveryPort_ = portAfter(*discovery, "discovery listening on 127.0.0.1:");
    return process;
}

std::chrono::nanoseconds ReceiverProcess::cpuTime() const
{
    // The first field is the time spent on a CPU, in nanoseconds.
    std::ifstream schedstat("/proc/" + std::to_string(pid_) + "/schedstat");
    long long onCpu = 0;
    schedstat >> onCpu;
    return std::chrono::nanoseconds(onCpu);
}

long ReceiverProcess::residentKilobytesOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

bool ReceiverProcess::pump(Clock::time_point deadline)
{
    if ((stdout_.ended || outputPaused_) && stderr_.ended)
        return false;
    // A negative descriptor is skipped by poll: ended (and paused) pipes are not watched.
    pollfd fds[2] = {{stdout_.ended || outputPaused_ ? -1 : stdout_.fd, POLLIN, 0},
                     {stderr_.ended ? -1 : stderr_.fd, POLLIN, 0}};
    const int ready = poll(fds, 2, millisecondsUntil(deadline));
    if (ready <= 0)
        return false;
    bool got = false;
    Stream* streams[2] = {&stdout_, &stderr_};
    for (int i = 0; i < 2; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP)))
            continue;
        char buffer[4096];
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) {
            streams[i]->pending.append(buffer, std::size_t(n));
            if (streams[i] != &stdout_ || keepOutput_)
                streams[i]->all.append(buffer, std::size_t(n));
            got = true;
        } else if (n == 0) {
            streams[i]->ended = true;
        }
    }
    return got;
}

std::optional<std::string> ReceiverProcess::takeLine(Stream& stream)
{
    const auto end = stream.pending.find('\n');
    if (end == std::string::npos)
        return std::nullopt;
    std::string line = stream.pending.substr(0, end);
    stream.pending.erase(0, end + 1);
    return line;
}

std::optional<std::string> ReceiverProcess::nextOutputLine(std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    for (;;) {
        if (auto line = takeLine(stdout_))
            return line;
        if (stdout_.ended || Clock::now() >= deadline)
            return std::nullopt;
        pump(deadline);
    }
}

std::optional<std::string> ReceiverProcess::waitForNotice(const std::string& fragment,
                                                          std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    for (;;) {
        // Look only at complete lines not yet matched, so that one notice
        // answers one wait.
        for (;;) {
            const auto end = stderr_.all.find('\n', stderr_.scanned);
            if (end == std::string::npos)
                break;
            std::string line = stderr_.all.substr(stderr_.scanned, end - stderr_.scanned);
            stderr_.scanned = end + 1;
            if (line.find(fragment) != std::string::npos)
                return line;
        }
        if (stderr_.ended || Clock::now() >= deadline)
            return std::nullopt;
        pump(deadline);
    }
}

int ReceiverProcess::stop(int signal)
{
    if (exited_)
        return exitStatus_;
    kill(pid_, signal);
    return waitForExit();
}

int ReceiverProcess::waitForExit(std::chrono::milliseconds wait)
{
    if (exited_)
        return exitStatus_;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            exited_ = true;
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            break;
        }
        if (Clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            exited_ = true;
            exitStatus_ = -1;
            break;
        }
        // Keep the pipes drained so that the child never blocks on a full one.
        pump(std::min(deadline, Clock::now() + std::chrono::milliseconds(20)));
    }
    // Collect whatever it wrote before it exited.
    while (pump(Clock::now() + std::chrono::milliseconds(50))) {
    }
    return exitStatus_;
}

void expectExitSaying(ReceiverProcess& receiver, int status, const std::vector<std::string>& words)
{
    EXPECT_EQ(receiver.waitForExit(), status) << (words.empty() ? std::string() : words.front());
    for (const std::string& said : words)
        EXPECT_NE(receiver.errors().find(said), std::string::npos) << receiver.errors();
}
