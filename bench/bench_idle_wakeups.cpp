// SPDX-License-Identifier: GPL-3.0-or-later
// Idle wake-ups on the computer list, the screen the app starts on: the
// quillon app (or each of several builds, side by side) runs under one
// private Xvfb with nobody answering its queries, and the times its threads
// went to sleep and were woken are counted from /proc (the voluntary context
// switches of every thread) over N seconds once it has drawn its first frame
// and settled. Each build listens on a loopback port of its own and sends
// its query there, so that its query comes back to its own socket, as the
// broadcast does on a phone's network. Prints the wake-ups per second of
// each, and of its main thread.
//
//   bench_idle_wakeups [seconds [app-binary...]]      (30 seconds by default)
//
// Builds given together run at the same time, so that they meet the same
// load on the machine. Nothing leaves loopback; settings live in a scratch
// directory.
#include "support/AppLaunch.h"
#include "support/HelperProcess.h"
#include "support/LoopbackSockets.h"

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr auto kGiveUp = std::chrono::seconds(30);
constexpr auto kSettle = std::chrono::seconds(3);

// The voluntary context switches of one thread, from its status file.
long voluntarySwitches(const std::string& statusPath)
{
    std::ifstream status(statusPath);
    std::string line;
    const std::string key = "voluntary_ctxt_switches:";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    return 0;
}

// The voluntary context switches of each thread of `pid` alive now, by thread id.
std::map<long, long> switchesOf(pid_t pid)
{
    std::map<long, long> counted;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* dir = opendir(tasks.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.')
                counted[std::atol(entry->d_name)] = voluntarySwitches(tasks + "/" + entry->d_name + "/status");
        }
        closedir(dir);
    }
    return counted;
}

// The wake-ups between two counts: of the threads that lived through, what
// they added; of the threads that began meanwhile, all they had. (A thread
// that ended meanwhile is not counted: the pool's threads come and go when
// there is work, which an idle app has none of.)
long wakeUpsBetween(const std::map<long, long>& before, const std::map<long, long>& after, long onlyThread = -1)
{
    long wakeUps = 0;
    for (const auto& [thread, switches] : after) {
        if (onlyThread >= 0 && thread != onlyThread)
            continue;
        const auto earlier = before.find(thread);
        wakeUps += switches - (earlier != before.end() ? earlier->second : 0);
    }
    return wakeUps;
}

// A loopback UDP port nobody holds now.
uint16_t freeUdpPort()
{
    const UniqueFd probe = boundUdpSocket("127.0.0.1", 0);
    return localPort(probe.get());
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    const std::vector<std::string> binaries = bench::appBinaries(argc, argv, 2, QUILLON_APP_BINARY);
    const std::unique_ptr<bench::AppStage> stage = bench::AppStage::open("bench_idle_wakeups");
    if (!stage)
        return 1;

    std::vector<pid_t> apps;
    for (std::size_t i = 0; i < binaries.size(); ++i) {
        const std::string port = std::to_string(freeUdpPort());
        const bench::FirstFrame started = bench::startUntilFirstFrame(
            {binaries[i], "--discovery-address", "127.255.255.255", "--discovery-port", port,
             "--discovery-local-port", port},
            stage->environment("settings-" + std::to_string(i) + ".json"), kGiveUp);
        if (started.pid < 0) {
            std::fprintf(stderr, "bench_idle_wakeups: %s showed no first frame\n", binaries[i].c_str());
            for (const pid_t app : apps)
                stopHelper(app);
            return 1;
        }
        apps.push_back(started.pid);
    }
    std::this_thread::sleep_for(kSettle);

    std::vector<std::map<long, long>> before;
    for (const pid_t app : apps)
        before.push_back(switchesOf(app));
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::vector<std::map<long, long>> after;
    for (const pid_t app : apps)
        after.push_back(switchesOf(app));
    for (const pid_t app : apps)
        stopHelper(app);

    std::printf("idle wake-ups on the computer list over %d s (voluntary context switches)\n", seconds);
    for (std::size_t i = 0; i < apps.size(); ++i) {
        const double all = double(wakeUpsBetween(before[i], after[i])) / seconds;
        const double main = double(wakeUpsBetween(before[i], after[i], long(apps[i]))) / seconds;
        std::printf("  %6.2f /s, main thread %6.2f /s   %s\n", all, main, binaries[i].c_str());
    }
    return 0;
}
