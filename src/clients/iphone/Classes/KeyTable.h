// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard screen's key table: every control with its label, shifted
// label, key code, flags and the mode it is shown in. The controller applies
// it when its view loads (codes, labels, the static and repeat flags) and
// moves controls by its Mode column; the keyboard's form is written from it
// at build time (tools/generate_keyboard_ui.cpp). Key codes are X11 keysyms
// (<X11/keysym.h>) or the command codes of WireFormat.h.
#pragma once

#include <cstdint>
#include <vector>

enum class KeyMode { Standard, Extended, Both };

enum class KeyKind {
    Key,          // a key button connected to keypress: and keyrelease:
    CommandKey,   // a key button sent as a down-and-up pair at its release
    ShiftKey,     // the plain button that latches shift
    PlainButton,  // the mode key and the tab bar key
    ArrowKeyPad,  // the swipe pad of the extended mode
};

struct KeyEntry {
    const char* outlet;
    // Null: no text ("none", or taken from the layout when hasCode is false).
    const char* label;
    const char* shiftLabel;
    uint32_t code;
    uint32_t shiftCode;
    // False for the controls that carry no key code of their own (caps lock,
    // print, scroll lock, break, shift, the plain buttons and the pad).
    bool hasCode;
    bool isStatic;
    bool repeats;
    KeyMode mode;
    KeyKind kind;
};

// Every one of the screen's 111 controls, in the order of the controller's fields.
const std::vector<KeyEntry>& keyTable();

// The entry of a control, or nullptr.
const KeyEntry* keyEntry(const char* outlet);
