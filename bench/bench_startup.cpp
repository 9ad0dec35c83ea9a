// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time: from exec to the first frame on the screen, for the quillon
// app and, in the same run, for a minimal Qt Widgets window of the same size
// (startup_minimal_window). They run under one private Xvfb, in turn, N
// times each (default 10); each reports its first frame on a pipe
// (QUILLON_FIRST_FRAME_FD). Prints the median of each and their ratio.
//
//   bench_startup [runs [app-binary...]]
//
// (several app binaries: an older build measured side by side with this one,
// in the same run, so that both meet the same load on the machine)
// The app keeps discovery on loopback and its settings in a scratch file, so
// the benchmark sends nothing onto a network and touches no real settings.
#include "support/AppLaunch.h"
#include "support/HelperProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGiveUp = std::chrono::seconds(30);

// Milliseconds from spawn to the first-frame line, or a negative number.
double timeToFirstFrame(const std::vector<std::string>& command, const std::vector<std::string>& environment)
{
    const bench::FirstFrame started = bench::startUntilFirstFrame(command, environment, kGiveUp);
    if (started.pid < 0)
        return -1;
    stopHelper(started.pid);
    return std::chrono::duration<double, std::milli>(started.took).count();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::unique_ptr<bench::AppStage> stage = bench::AppStage::open("bench_startup");
    if (!stage)
        return 1;
    const std::vector<std::string> environment = stage->environment();
    const std::vector<std::string> appBinaries = bench::appBinaries(argc, argv, 2, QUILLON_APP_BINARY);
    // The minimal window first, then each app.
    std::vector<std::vector<std::string>> programs = {{QUILLON_MINIMAL_WINDOW_BINARY}};
    for (const std::string& binary : appBinaries)
        programs.push_back({binary, "--discovery-address", "127.255.255.255", "--discovery-local-port", "0"});

    // One of each first, untimed: the files are then in the page cache for all.
    for (const auto& program : programs)
        timeToFirstFrame(program, environment);
    std::vector<std::vector<double>> times(programs.size());
    for (int i = 0; i < runs; ++i) {
        for (std::size_t p = 0; p < programs.size(); ++p) {
            const double t = timeToFirstFrame(programs[p], environment);
            if (t < 0) {
                std::fprintf(stderr, "bench_startup: %s showed no first frame within %lld s\n",
                             programs[p][0].c_str(),
                             (long long)std::chrono::duration_cast<std::chrono::seconds>(kGiveUp).count());
                return 1;
            }
            times[p].push_back(t);
        }
    }

    const double minimalMedian = median(times[0]);
    std::printf("exec to first frame under Xvfb, median of %d runs each\n", runs);
    std::printf("  minimal Qt window      %8.1f ms\n", minimalMedian);
    for (std::size_t p = 1; p < programs.size(); ++p) {
        const double appMedian = median(times[p]);
        std::printf("  quillon                %8.1f ms  %5.2f x   %s\n", appMedian, appMedian / minimalMedian,
                    programs[p][0].c_str());
    }
    return 0;
}
