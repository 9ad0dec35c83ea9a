#include "PrivateSessionBus.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

namespace {

// A failure guard, not a speed check: dbus-daemon is up at once.
constexpr std::chrono::seconds kStartWait{5};

void stopChild(pid_t pid)
{
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

std::unique_ptr<PrivateSessionBus> PrivateSessionBus::start(std::string& why)
{
    std::string pattern = "/tmp/quillon-bus-XXXXXX";
    if (!mkdtemp(pattern.data())) {
        why = "mkdtemp failed";
        return nullptr;
    }
    const std::string directory = pattern;
    const std::string config = directory + "/bus.conf";
    {
        std::ofstream file(config);
        file << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig>\n"
                "  <type>session</type>\n"
                "  <listen>unix:path="
             << directory
             << "/bus</listen>\n"
                "  <auth>EXTERNAL</auth>\n"
                "  <policy context=\"default\">\n"
                "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                "    <allow eavesdrop=\"true\"/>\n"
                "    <allow own=\"*\"/>\n"
                "  </policy>\n"
                "</busconfig>\n";
    }
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        why = "pipe failed";
        return nullptr;
    }
    const pid_t pid = fork();
    if (pid < 0) {
        why = "fork failed";
        return nullptr;
    }
    if (pid == 0) {
        const int addressFd = dup(ends[1]); // survives exec
        const int devNull = open("/dev/null", O_RDWR);
        dup2(devNull, 0);
        dup2(devNull, 1);
        dup2(devNull, 2);
        const std::string printAddress = "--print-address=" + std::to_string(addressFd);
        const std::string configFile = "--config-file=" + config;
        execlp("dbus-daemon", "dbus-daemon", "--nofork", "--nopidfile", configFile.c_str(), printAddress.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    std::string address;
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (address.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd ready{ends[0], POLLIN, 0};
        char buffer[256];
        ssize_t got = 0;
        if (left.count() <= 0 || poll(&ready, 1, int(left.count())) <= 0
            || (got = read(ends[0], buffer, sizeof buffer)) <= 0) {
            close(ends[0]);
            stopChild(pid);
            why = "dbus-daemon did not start (it is in the dbus-daemon package)";
            return nullptr;
        }
        address.append(buffer, std::size_t(got));
    }
    close(ends[0]);
    return std::unique_ptr<PrivateSessionBus>(
        new PrivateSessionBus(pid, directory, address.substr(0, address.find('\n'))));
}

PrivateSessionBus::PrivateSessionBus(pid_t pid, std::string directory, std::string address)
    : pid_(pid)
    , directory_(std::move(directory))
    , address_(std::move(address))
{
}

PrivateSessionBus::~PrivateSessionBus()
{
    stopChild(pid_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}
