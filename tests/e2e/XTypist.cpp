// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/XTypist.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <QList>

#include <thread>
#include <vector>

namespace e2e {

XTypist::XTypist(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {}

XTypist::~XTypist()
{
    if (!display_)
        return;
    for (const auto& [keysym, keycode] : lent_) {
        KeySym none[2] = {NoSymbol, NoSymbol};
        XChangeKeyboardMapping(display_, int(keycode), 2, none, 1);
    }
    XCloseDisplay(display_);
}

unsigned XTypist::keycodeFor(unsigned long keysym, bool& shifted)
{
    shifted = false;
    if (const auto lent = lent_.find(keysym); lent != lent_.end())
        return lent->second;
    const KeyCode keycode = XKeysymToKeycode(display_, keysym);
    if (keycode != 0 && XkbKeycodeToKeysym(display_, keycode, 0, 0) == keysym)
        return keycode;
    if (keycode != 0 && XkbKeycodeToKeysym(display_, keycode, 0, 1) == keysym) {
        shifted = true;
        return keycode;
    }
    // The highest key code that carries nothing and is not lent yet.
    int minKeycode = 0, maxKeycode = 0, perKeycode = 0;
    XDisplayKeycodes(display_, &minKeycode, &maxKeycode);
    KeySym* map = XGetKeyboardMapping(display_, KeyCode(minKeycode), maxKeycode - minKeycode + 1, &perKeycode);
    unsigned spare = 0;
    for (int code = maxKeycode; code >= minKeycode && spare == 0; --code) {
        bool empty = true;
        for (int i = 0; i < perKeycode; ++i)
            empty = empty && map[(code - minKeycode) * perKeycode + i] == NoSymbol;
        if (empty)
            spare = unsigned(code);
    }
    XFree(map);
    if (spare == 0)
        return 0;
    KeySym symbols[2] = {keysym, keysym};
    XChangeKeyboardMapping(display_, int(spare), 2, symbols, 1);
    XSync(display_, False);
    lent_[keysym] = spare;
    return spare;
}

void XTypist::press(unsigned keycode, bool down)
{
    XTestFakeKeyEvent(display_, keycode, down, CurrentTime);
    XSync(display_, False);
}

void XTypist::type(const QString& text, std::chrono::milliseconds pace)
{
    for (const uint c : text.toUcs4()) {
        const unsigned long keysym = c == '\n' ? XK_Return : xkb_utf32_to_keysym(c);
        bool shifted = false;
        const unsigned keycode = keycodeFor(keysym, shifted);
        if (keycode == 0)
            continue;
        // Half the pace before the key: an application reads a keymap that
        // changed for it (a key lent just now) before the key.
        std::this_thread::sleep_for(pace / 2);
        const unsigned shift = XKeysymToKeycode(display_, XK_Shift_L);
        if (shifted)
            press(shift, true);
        press(keycode, true);
        press(keycode, false);
        if (shifted)
            press(shift, false);
        std::this_thread::sleep_for(pace / 2);
    }
}

void XTypist::chord(std::initializer_list<unsigned long> keysyms)
{
    std::vector<unsigned> pressed;
    for (const unsigned long keysym : keysyms) {
        bool shifted = false;
        pressed.push_back(keycodeFor(keysym, shifted));
        press(pressed.back(), true);
    }
    for (auto key = pressed.rbegin(); key != pressed.rend(); ++key)
        press(*key, false);
}

} // namespace e2e
