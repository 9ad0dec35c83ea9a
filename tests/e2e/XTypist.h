// SPDX-License-Identifier: GPL-3.0-or-later
// A keyboard on a private X server, typing as a person does: each character
// is a key press and release sent through the X server (XTest), at a
// person's pace. A character whose keysym the keymap lacks (é, ж, 中 on the
// server's US keymap) is typed on a spare key code lent to it, as a program
// that types text does; the lent codes are given back at the end.
#pragma once

#include <QString>

#include <chrono>
#include <initializer_list>
#include <map>
#include <string>

struct _XDisplay;

namespace e2e {

class XTypist {
public:
    // Connects to the display (":N"); valid() tells whether it could.
    explicit XTypist(const std::string& displayName);
    ~XTypist();
    XTypist(const XTypist&) = delete;
    XTypist& operator=(const XTypist&) = delete;

    bool valid() const { return display_ != nullptr; }

    // Types `text`, one character every `pace` ("\n" is Return).
    void type(const QString& text, std::chrono::milliseconds pace = std::chrono::milliseconds(40));
    // Presses the keys of `keysyms` in order and lets go of them in reverse
    // (a shortcut such as Control_L and v).
    void chord(std::initializer_list<unsigned long> keysyms);

private:
    // The key of `keysym`, and whether Shift selects it; a lent key when
    // the keymap has none.
    unsigned keycodeFor(unsigned long keysym, bool& shifted);
    void press(unsigned keycode, bool down);

    _XDisplay* display_ = nullptr;
    std::map<unsigned long, unsigned> lent_;
};

} // namespace e2e
