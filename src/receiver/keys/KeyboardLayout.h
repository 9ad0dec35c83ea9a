// SPDX-License-Identifier: GPL-3.0-or-later
// The computer's keyboard layout, compiled by libxkbcommon: which key of the
// Linux input layer, pressed with which modifier keys, types a keysym. A
// virtual keyboard sends key positions, and the desktop turns them into
// characters through this layout, so a German "z" is the key where a US
// keyboard has its "y", and "@" is AltGr with "q".
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// The names of the rules that make a keymap (those of setxkbmap and of
// /etc/default/keyboard). Empty fields take the defaults: model pc105, no
// variant, no options.
struct LayoutNames {
    std::string layout;
    std::string variant;
    std::string model;
    std::string options;
};

// A key, and the modifier keys held while it is pressed (the level the
// keysym is on: Shift, AltGr or both). Linux key codes (KEY_...).
struct KeyStroke {
    uint16_t key = 0;
    std::vector<uint16_t> modifiers;

    bool operator==(const KeyStroke& other) const { return key == other.key && modifiers == other.modifiers; }
};

// What typing a keysym takes: strokes typed through first, then the stroke
// that stays down while the phone holds its key.
struct KeyTyping {
    std::vector<KeyStroke> lead;
    KeyStroke key;

    bool operator==(const KeyTyping& other) const { return lead == other.lead && key == other.key; }
};

class KeyboardLayout {
public:
    // Null, with `error` saying why, when libxkbcommon cannot make a keymap
    // of these names (an unknown layout, or no layout data on the computer).
    static std::unique_ptr<KeyboardLayout> compile(const LayoutNames& names, std::string& error);

    // How to type `keysym`; nothing when no key of the layout can. The
    // letters A to Z are their keys without Shift (the phone sends the
    // upper-case keysym for the unshifted key and holds Shift itself); every
    // other keysym is its own character, typed at the level that has it, so
    // "É" is never typed as "é". A Unicode keysym (0x01000000 plus the code
    // point) is the same character as its legacy keysym. A character the
    // layout has only through a dead key is the dead key and then the key of
    // its base ("é" on a German keyboard: the acute key, then "e"), as a
    // person types it; a spacing accent that the layout has only as a dead
    // key is the dead key and then the space bar.
    std::optional<KeyTyping> typingFor(uint32_t keysym) const;

    // "de", or "de(nodeadkeys)", for notices.
    std::string description() const;

private:
    explicit KeyboardLayout(LayoutNames names);
    std::optional<KeyStroke> strokeFor(uint32_t keysym) const;
    void addDeadKeySequences(struct xkb_context* context);

    LayoutNames names_;
    std::unordered_map<uint32_t, KeyStroke> strokes_; // the easiest stroke for each keysym
    // Characters of no key that a dead key and a base key compose.
    std::unordered_map<uint32_t, KeyTyping> deadKeySequences_;
};
