// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/PrivateSessionBus.h"

#include "support/HelperProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

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
    const auto started = startHelper({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config,
                                      "--print-address={fd}"},
                                     why);
    if (!started) {
        why += " (it is in the dbus-daemon package)";
        std::error_code ignored;
        std::filesystem::remove_all(directory, ignored);
        return nullptr;
    }
    return std::unique_ptr<PrivateSessionBus>(new PrivateSessionBus(started->pid, directory, started->line));
}

PrivateSessionBus::PrivateSessionBus(pid_t pid, std::string directory, std::string address)
    : pid_(pid)
    , directory_(std::move(directory))
    , address_(std::move(address))
{
}

PrivateSessionBus::~PrivateSessionBus()
{
    stopHelper(pid_);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}
