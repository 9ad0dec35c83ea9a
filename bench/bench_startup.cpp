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
#include "support/HelperProcess.h"
#include "support/XvfbDisplay.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kGiveUp = std::chrono::seconds(30);

// Reads from `fd` until a newline, the end or the deadline; false on time-out.
bool readLine(int fd, std::string& line, Clock::time_point deadline)
{
    char buffer[64];
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, int(left)) <= 0)
            continue;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return !line.empty();
        line.append(buffer, std::size_t(got));
    }
    return true;
}


pid_t spawn(const std::vector<std::string>& command, const std::vector<std::string>& extraEnvironment, int keepFd)
{
    std::vector<std::string> environment = extraEnvironment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        const bool overridden = std::any_of(extraEnvironment.begin(), extraEnvironment.end(),
                                            [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
        if (!overridden)
            environment.push_back(text);
    }
    std::vector<char*> argv, envp;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    (void)keepFd; // opened without O_CLOEXEC: the child inherits it
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}


// Milliseconds from spawn to the first-frame line, or a negative number.
double timeToFirstFrame(const std::vector<std::string>& command, const std::vector<std::string>& environment)
{
    int ends[2];
    if (pipe(ends) != 0)
        return -1;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> withFd = environment;
    withFd.push_back("QUILLON_FIRST_FRAME_FD=" + std::to_string(ends[1]));
    const auto started = Clock::now();
    const pid_t pid = spawn(command, withFd, ends[1]);
    close(ends[1]);
    std::string line;
    const bool framed = pid > 0 && readLine(ends[0], line, started + kGiveUp) && line == "first frame\n";
    const auto framedAt = Clock::now();
    close(ends[0]);
    if (pid > 0)
        stopHelper(pid);
    if (!framed)
        return -1;
    return std::chrono::duration<double, std::milli>(framedAt - started).count();
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
    char scratch[] = "/tmp/quillon-bench-startup-XXXXXX";
    if (!mkdtemp(scratch)) {
        std::perror("bench_startup: mkdtemp");
        return 1;
    }
    std::string why;
    std::unique_ptr<XvfbDisplay> server = XvfbDisplay::start(why);
    if (!server) {
        std::fprintf(stderr, "bench_startup: %s\n", why.c_str());
        return 1;
    }
    const std::vector<std::string> environment = {
        "DISPLAY=" + server->name(), "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + std::string(scratch),
        "QUILLON_SETTINGS=" + std::string(scratch) + "/settings.json"};
    std::vector<std::string> appBinaries;
    for (int i = 2; i < argc; ++i)
        appBinaries.push_back(argv[i]);
    if (appBinaries.empty())
        appBinaries.push_back(QUILLON_APP_BINARY);
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
    server.reset();
    const std::string cleanup = std::string("rm -rf ") + scratch;
    [[maybe_unused]] const int removed = std::system(cleanup.c_str());

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
