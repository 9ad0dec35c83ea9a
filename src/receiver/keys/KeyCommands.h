// SPDX-License-Identifier: GPL-3.0-or-later
// What the phone's command codes do on this computer. Ordinary key codes are
// X11 keysyms and need no table; the command codes (high byte 0x08) are the
// phone's own: the remote panel (0x0801xxxx), the media keys (0x0803xxxx)
// and the window commands (0x0805xxxx). This is the one place that gives
// them a meaning; the README shows the same table.
#pragma once

#include "WireFormat.h"

#include <cstdint>
#include <vector>

enum class WindowCommand { Close, Minimise, Maximise };

struct CommandKey {
    uint32_t code;       // the key code the phone sends
    const char* name;    // for notices and the README
    uint32_t keysym;     // the key it becomes; 0 for a window command
    WindowCommand window; // meaningful only when keysym is 0
};

// Every command code this receiver understands, in the order of the README.
const std::vector<CommandKey>& commandKeys();

// The entry for `code`, or null when the code is not a known command.
const CommandKey* findCommandKey(uint32_t code);

// Whether `keysym` is one of the keys that switch the computer off, put it
// to sleep or end the session (the power key and its kin): the system acts
// on them at once, whoever holds the work on screen, so a phone presses them
// only where the owner allowed it (--allow-power).
bool isPowerKeysym(uint32_t keysym);

// The keys pressed together (in order, released in reverse) where a window
// command cannot be sent to the window manager directly.
std::vector<uint32_t> windowCommandShortcut(WindowCommand command);
