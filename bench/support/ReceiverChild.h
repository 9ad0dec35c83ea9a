// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon-receiver as a child process on 127.0.0.1 with a free
// session port, for the benchmarks that measure it: its standard output is
// read line by line, and its CPU time is read from /proc.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// Lines from a pipe; a line that does not come within the wait is a failure.
class LineReader {
public:
    explicit LineReader(int fd) : fd_(fd) {}
    std::optional<std::string> next(std::chrono::milliseconds wait = std::chrono::milliseconds(5000));

private:
    int fd_;
    std::string pending_;
};

class ReceiverChild {
public:
    // Starts `binary` with the sink named `sink` and the passcode "bench";
    // throws std::runtime_error when it does not start listening.
    ReceiverChild(const char* binary, const std::string& sink);
    ~ReceiverChild();
    ReceiverChild(const ReceiverChild&) = delete;
    ReceiverChild& operator=(const ReceiverChild&) = delete;

    uint16_t port() const { return port_; }
    LineReader& output() { return *output_; }
    // The CPU time the process has used so far (user and system), from the
    // scheduler's own count.
    std::chrono::nanoseconds cpuTime() const;

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    uint16_t port_ = 0;
    std::unique_ptr<LineReader> output_;
};

// The login request frame for the passcode "bench", and the size of the
// receiver's accepting reply.
std::vector<uint8_t> benchLoginFrame();
constexpr std::size_t kLoginReplySize = 17;

} // namespace bench
