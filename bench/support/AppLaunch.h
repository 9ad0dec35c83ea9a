// SPDX-License-Identifier: GPL-3.0-or-later
// Starting whole programs for the benchmarks that time them from outside:
// the quillon app and its yardsticks, under an environment of the
// benchmark's choosing, reporting their first frame on a pipe.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace bench {

// Starts `command` (argv[0] a path) with the process's environment, where
// `environment` ("NAME=value") adds or overrides; its standard output and
// error on /dev/null. Descriptors opened without close-on-exec are
// inherited. -1 when it could not start.
pid_t spawnProgram(const std::vector<std::string>& command, const std::vector<std::string>& environment);

// Reads from `fd` until a newline, the end or the deadline; false on time-out.
bool readLine(int fd, std::string& line, std::chrono::steady_clock::time_point deadline);

// A started program that has reported its first frame (QUILLON_FIRST_FRAME_FD);
// pid -1 when it did not within `giveUp`. The time from the start to the report.
struct FirstFrame {
    pid_t pid = -1;
    std::chrono::steady_clock::duration took{};
};
FirstFrame startUntilFirstFrame(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                                std::chrono::steady_clock::duration giveUp);

} // namespace bench
