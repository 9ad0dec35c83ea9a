// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/SinkChoice.h"

#include <cstdlib>

SinkChoice chooseSink(const SessionFacts& facts)
{
    SinkChoice choice;
    std::string wayland;
    if (!facts.waylandDisplay.empty())
        wayland = "Wayland session: WAYLAND_DISPLAY=" + facts.waylandDisplay;
    else if (facts.sessionType == "wayland")
        wayland = "Wayland session: XDG_SESSION_TYPE=wayland";
    else if (!facts.display.empty() && facts.xserverIsXwayland)
        wayland = "Wayland session: the X server of DISPLAY=" + facts.display + " is Xwayland";

    if (!wayland.empty()) {
        if (facts.havePortal)
            choice.sinks.push_back("portal");
        choice.reason = wayland;
    } else if (!facts.display.empty()) {
        if (facts.haveXTest)
            choice.sinks.push_back("xtest");
        choice.reason = "X11 session: DISPLAY=" + facts.display;
    } else {
        choice.reason = "no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set";
    }
    choice.sinks.push_back("uinput");
    return choice;
}

SessionFacts sessionFactsFromEnvironment()
{
    const auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return value ? std::string(value) : std::string();
    };
    SessionFacts facts;
    facts.waylandDisplay = variable("WAYLAND_DISPLAY");
    facts.sessionType = variable("XDG_SESSION_TYPE");
    facts.display = variable("DISPLAY");
#ifndef QUILLON_HAVE_X11
    facts.haveXTest = false;
#endif
#ifndef QUILLON_HAVE_PORTAL
    facts.havePortal = false;
#endif
    return facts;
}
