// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon-receiver as a child process, with its standard output and
// standard error read through pipes. Every wait is bounded (a failure guard,
// not a speed check).
#pragma once

#include "support/GenerousWait.h"
#include "support/TemporaryDirectory.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class ReceiverProcess {
public:
    // Starts the binary with `arguments` (the program name is added). Where
    // the test has not set XDG_STATE_HOME, the receiver keeps its state in a
    // folder of its own that goes with this object.
    explicit ReceiverProcess(const std::vector<std::string>& arguments);
    ~ReceiverProcess();
    ReceiverProcess(const ReceiverProcess&) = delete;
    ReceiverProcess& operator=(const ReceiverProcess&) = delete;

    // Starts it on 127.0.0.1 with free ports and the given passcode, and waits
    // until both sockets are listening. Throws std::runtime_error, with the
    // receiver's errors, if they never are.
    static std::unique_ptr<ReceiverProcess> startOnLoopback(const std::string& passcode,
                                                            std::vector<std::string> extra = {});

    // The next line of standard output, or nothing when none came in time.
    std::optional<std::string> nextOutputLine(std::chrono::milliseconds wait = kGenerousWait);
    // Waits for a line of standard error that contains `fragment`.
    std::optional<std::string> waitForNotice(const std::string& fragment,
                                             std::chrono::milliseconds wait = kGenerousWait);

    // Sends `signal` and waits for the exit; the exit status, or -1 when it
    // did not exit in time (it is then killed) or died of a signal.
    int stop(int signal);
    // Waits for the process to exit by itself; the exit status or -1.
    int waitForExit(std::chrono::milliseconds wait = kGenerousWait);

    // While paused, standard output is left unread, as by a reader that
    // stalled: the pipe fills up and stays full.
    void pauseOutput(bool paused) { outputPaused_ = paused; }

    // Standard output's lines are kept for output() unless this is false:
    // benchmarks that read millions of lines keep none of them.
    void keepOutput(bool keep) { keepOutput_ = keep; }

    // Everything read so far.
    const std::string& output() const { return stdout_.all; }
    const std::string& errors() const { return stderr_.all; }

    // The CPU time the process has used so far (user and system), from the
    // scheduler's own count; for the benchmarks that measure the receiver.
    std::chrono::nanoseconds cpuTime() const;
    // The memory it holds resident now, in kilobytes; for the benchmarks that
    // check that it stays flat.
    long residentKilobytes() const { return residentKilobytesOf(pid_); }
    // The same of any process (this one: getpid()); 0 when it cannot be read.
    static long residentKilobytesOf(pid_t pid);

    uint16_t sessionPort() const { return sessionPort_; }
    uint16_t discoveryPort() const { return discoveryPort_; }

private:
    struct Stream {
        int fd = -1;
        std::string pending; // read but not yet returned as a line
        std::string all;
        std::size_t scanned = 0; // of `all`, for waitForNotice
        bool ended = false;      // the child closed its end
    };
    // Reads whatever either pipe has, waiting at most until `deadline`.
    bool pump(std::chrono::steady_clock::time_point deadline);
    static std::optional<std::string> takeLine(Stream& stream);

    pid_t pid_ = -1;
    int exitStatus_ = -1;
    bool exited_ = false;
    Stream stdout_;
    Stream stderr_;
    uint16_t sessionPort_ = 0;
    uint16_t discoveryPort_ = 0;
    bool outputPaused_ = false;
    bool keepOutput_ = true;
    std::unique_ptr<TemporaryDirectory> state_;
};

// Expects `receiver` to end with `status`, having said each of `words` on
// standard error: how a refused start is checked.
void expectExitSaying(ReceiverProcess& receiver, int status, const std::vector<std::string>& words);
