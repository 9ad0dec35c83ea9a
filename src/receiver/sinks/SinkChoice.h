// SPDX-License-Identifier: GPL-3.0-or-later
// What `--sink auto` takes, decided from the session the receiver runs in.
// A pure function of what the caller found out, so that it can be checked
// without a display.
#pragma once

#include <string>
#include <vector>

struct SessionFacts {
    std::string waylandDisplay; // $WAYLAND_DISPLAY
    std::string sessionType;    // $XDG_SESSION_TYPE: "wayland", "x11", "tty"...
    std::string display;        // $DISPLAY
    bool xserverIsXwayland = false; // the X server in $DISPLAY says it is Xwayland
    // The sinks this build has.
    bool haveXTest = true;
    bool havePortal = true;
};

struct SinkChoice {
    std::vector<std::string> sinks; // to try in this order
    std::string reason;             // the session, as the notice says it: "X11 session: DISPLAY=:0"
};

// A Wayland session (WAYLAND_DISPLAY or XDG_SESSION_TYPE=wayland, or an X
// server that is Xwayland, where XTEST reaches X11 programs only): the
// remote-desktop portal, else uinput. An X11 session: XTEST, else uinput.
// Neither (the console, an ssh login): uinput.
SinkChoice chooseSink(const SessionFacts& facts);

// The environment variables of SessionFacts, from this process's environment.
SessionFacts sessionFactsFromEnvironment();
