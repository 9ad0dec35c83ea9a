// SPDX-License-Identifier: GPL-3.0-or-later
// X11 keysyms as the key codes of the Linux input layer. The keys that are
// the same in every layout (Return, F1, the keypad, the modifiers, the media
// keys) are always found here; the characters are placed as on a US
// keyboard, which is right only where no layout can be read (the uinput sink
// asks the computer's layout first). Letters are found in either case (the
// phone sends the upper-case keysym for the unshifted key).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// The Linux key code (KEY_...) for `keysym`, or nothing when no key of the
// US layout produces it without a modifier.
std::optional<uint16_t> linuxKeyForKeysym(uint32_t keysym);

// Every Linux key code the table can produce, so that a virtual device can
// announce them all.
std::vector<uint16_t> linuxKeysInUse();
