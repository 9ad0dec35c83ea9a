// SPDX-License-Identifier: GPL-3.0-or-later
// TextKeys: the key strokes that type a text at the computer, one for each
// character. A keyboard event carries an X keysym, and every Unicode
// character has one: its legacy keysym where the X keysym table has it (é is
// 0xE9, ж 0x6D6, € 0x20AC), otherwise 0x01000000 plus its code point (中 is
// 0x01004E2D). A line end is Return and a tab is Tab.
//
// The letters A to Z are the exception: on this wire 0x41-0x5A name the
// letter keys (the keyboard screen sends 0x41 for its unshifted "a"), so an
// upper-case letter is its key sent while Shift is down, as the keyboard
// screen sends it. The lower-case letters are their own keysyms.
#pragma once

#include <QString>

#include <cstdint>
#include <limits>
#include <vector>

struct TextKey {
    char32_t character = 0; // what it types; '\n' for Return
    uint32_t keysym = 0;
    bool shifted = false; // sent while Shift_L is down

    bool operator==(const TextKey& other) const
    {
        return character == other.character && keysym == other.keysym && shifted == other.shifted;
    }
};

// The key that types `c`; a keysym of 0 for a character that is not typed:
// control characters other than the tab and line ends, surrogates and
// non-characters.
TextKey keyOfCharacter(char32_t c);

struct TextKeys {
    std::vector<TextKey> keys;
    int leftOut = 0; // characters beyond the bound, not turned into keys
};

// The keys of `text` taken as composed characters (NFC, so that an "e" with
// a combining accent is the one key of "é"), at most `maxCharacters` of
// them; a CR LF pair is one line end. Characters that are not typed are
// counted and skipped.
TextKeys keysOfText(const QString& text, int maxCharacters = std::numeric_limits<int>::max());
