// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon-receiver (--sink log) as a child process on 127.0.0.1,
// with a free session port. Its notices are read on a thread of their own so
// that a receiver writing a line per connection never waits for this process.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
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
    // Read: the benchmark reads the sink's lines through output().
    // Discard: they are read and dropped on the notices' thread.
    enum class Output { Read, Discard };

    // Throws std::runtime_error when the receiver does not start.
    ReceiverChild(const std::string& passcode, Output output, const std::vector<std::string>& extraArguments = {});
    ~ReceiverChild();
    ReceiverChild(const ReceiverChild&) = delete;
    ReceiverChild& operator=(const ReceiverChild&) = delete;

    uint16_t port() const { return port_; }
    LineReader& output() { return *output_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    uint16_t port_ = 0;
    std::unique_ptr<LineReader> output_;
    std::thread drain_;
};

} // namespace bench
