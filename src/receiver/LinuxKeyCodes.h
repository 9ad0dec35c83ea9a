// X11 keysyms as the key codes of the Linux input layer, for a computer with
// a US keyboard layout: a key code names a key position, and the US layout
// decides which keysym each position stands for. Letters are found in either
// case (the phone sends the upper-case keysym for the unshifted key).
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
