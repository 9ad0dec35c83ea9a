// SPDX-License-Identifier: GPL-3.0-or-later
// A private X server for a test: Xvfb on a display number it picks itself,
// listening on a local socket only, stopped when the object goes.
#pragma once

#include <memory>
#include <string>
#include <sys/types.h>

class XvfbDisplay {
public:
    // Starts Xvfb with a screen of `screen` ("WIDTHxHEIGHTxDEPTH") and waits
    // (bounded) for it to be ready. Null, with `why` set, where it cannot
    // run; the caller skips its test then.
    static std::unique_ptr<XvfbDisplay> start(std::string& why, const std::string& screen = "1024x768x24");
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    // ":N", for DISPLAY and XOpenDisplay.
    const std::string& name() const { return name_; }

private:
    XvfbDisplay(pid_t pid, std::string name);

    pid_t pid_;
    std::string name_;
};
