// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard layout the computer is set up with, read from the files where
// the system keeps it: /etc/default/keyboard (Debian, Ubuntu), the XKB
// entries of /etc/vconsole.conf and /etc/X11/xorg.conf.d/00-keyboard.conf
// (what `localectl set-x11-keymap` writes). Of a list such as "de,us" the
// first layout is the one in use.
#pragma once

#include "keys/KeyboardLayout.h"

#include <optional>
#include <string>

struct ConfiguredLayout {
    LayoutNames names;
    std::string source; // the file it came from, for notices
};

// The first of those files that names a layout, under `root` (the file
// system's root; tests give a directory of their own). Nothing when none does.
std::optional<ConfiguredLayout> configuredKeyboardLayout(const std::string& root = "");
