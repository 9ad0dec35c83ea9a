// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/AppLaunch.h"

#include "support/HelperProcess.h"
#include "support/XvfbDisplay.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace bench {

pid_t spawnProgram(const std::vector<std::string>& command, const std::vector<std::string>& extraEnvironment)
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
    pid_t pid = -1;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

bool readLine(int fd, std::string& line, std::chrono::steady_clock::time_point deadline)
{
    char buffer[64];
    while (line.find('\n') == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, int(left.count())) <= 0)
            continue;
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return !line.empty();
        line.append(buffer, std::size_t(got));
    }
    return true;
}

FirstFrame startUntilFirstFrame(const std::vector<std::string>& command, const std::vector<std::string>& environment,
                                std::chrono::steady_clock::duration giveUp)
{
    FirstFrame started;
    int ends[2];
    if (pipe(ends) != 0)
        return started;
    fcntl(ends[0], F_SETFD, FD_CLOEXEC);
    std::vector<std::string> withFd = environment;
    withFd.push_back("QUILLON_FIRST_FRAME_FD=" + std::to_string(ends[1]));
    const auto begun = std::chrono::steady_clock::now();
    started.pid = spawnProgram(command, withFd); // the child inherits the pipe's writing end
    close(ends[1]);
    std::string line;
    const bool framed = started.pid > 0 && readLine(ends[0], line, begun + giveUp) && line == "first frame\n";
    started.took = std::chrono::steady_clock::now() - begun;
    close(ends[0]);
    if (!framed && started.pid > 0) {
        stopHelper(started.pid);
        started.pid = -1;
    }
    return started;
}

std::unique_ptr<AppStage> AppStage::open(const char* benchmark)
{
    std::unique_ptr<AppStage> stage(new AppStage);
    char scratch[] = "/tmp/quillon-bench-XXXXXX";
    if (!mkdtemp(scratch)) {
        std::fprintf(stderr, "%s: ", benchmark);
        std::perror("mkdtemp");
        return nullptr;
    }
    stage->scratch_ = scratch;
    std::string why;
    stage->server_ = XvfbDisplay::start(why);
    if (!stage->server_) {
        std::fprintf(stderr, "%s: %s\n", benchmark, why.c_str());
        return nullptr;
    }
    return stage;
}

AppStage::~AppStage()
{
    server_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(scratch_, ignored);
}

std::vector<std::string> AppStage::environment(const std::string& settingsName) const
{
    return {"DISPLAY=" + server_->name(), "QT_QPA_PLATFORM=xcb", "XDG_RUNTIME_DIR=" + scratch_,
            "QUILLON_SETTINGS=" + scratch_ + "/" + settingsName};
}

std::vector<std::string> appBinaries(int argc, char** argv, int first, const char* builtHere)
{
    std::vector<std::string> binaries(argv + std::min(first, argc), argv + argc);
    if (binaries.empty())
        binaries.push_back(builtHere);
    return binaries;
}

} // namespace bench
