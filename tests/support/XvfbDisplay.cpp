// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/XvfbDisplay.h"

#include "support/HelperProcess.h"

std::unique_ptr<XvfbDisplay> XvfbDisplay::start(std::string& why, const std::string& screen)
{
    const auto started = startHelper({"Xvfb", "-displayfd", "{fd}", "-nolisten", "tcp", "-screen", "0",
                                      screen, "-noreset"},
                                     why);
    if (!started) {
        why += " (is it installed? it is in the xvfb package)";
        return nullptr;
    }
    return std::unique_ptr<XvfbDisplay>(new XvfbDisplay(started->pid, ":" + started->line));
}

XvfbDisplay::XvfbDisplay(pid_t pid, std::string name)
    : pid_(pid)
    , name_(std::move(name))
{
}

XvfbDisplay::~XvfbDisplay()
{
    stopHelper(pid_);
}
