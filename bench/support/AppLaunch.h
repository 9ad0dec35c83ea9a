// SPDX-License-Identifier: GPL-3.0-or-later
// Starting whole programs for the benchmarks that time them from outside:
// the quillon app and its yardsticks, under an environment of the
// benchmark's choosing, reporting their first frame on a pipe.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class XvfbDisplay;

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

// Where the benchmarks that time the whole app start it: a private Xvfb and
// a scratch folder for its runtime directory and settings, so that nothing
// reaches real settings; both go with it.
class AppStage {
public:
    // Null, with the reason on standard error after `benchmark`'s name, when
    // either cannot be had.
    static std::unique_ptr<AppStage> open(const char* benchmark);
    ~AppStage();
    AppStage(const AppStage&) = delete;
    AppStage& operator=(const AppStage&) = delete;

    // The display, the xcb platform, the runtime folder and the settings
    // file `settingsName` in the scratch folder.
    std::vector<std::string> environment(const std::string& settingsName = "settings.json") const;

private:
    AppStage() = default;
    std::string scratch_;
    std::unique_ptr<XvfbDisplay> server_;
};

// The app binaries named from argv[first] on, or `builtHere` when none is:
// an older build measured side by side with this one meets the same load.
std::vector<std::string> appBinaries(int argc, char** argv, int first, const char* builtHere);

} // namespace bench
