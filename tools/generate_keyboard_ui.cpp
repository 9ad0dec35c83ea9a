// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the keyboard screen's form (KeyboardView.ui) from the key table, at
// build time:
//
//     generate_keyboard_ui <output.ui>
//
// The key table says what each control is: its class (key button, plain
// button or the arrow key pad), its title (the key's label) and its mode;
// this program says only where the controls lie and what the form shows
// where the table has no label (the icons, and the titles of the keys that
// send nothing). An extended-mode control lies the mode offset below its
// place; every other control lies where it is shown.
//
// The screen is 480 x 300 points in landscape. The controller raises it by
// the status bar's height at load, so the keys fill the five rows below the
// status bar strip and the preview label sits in the strip:
//
//     row 0  esc ` 1 .. 0 - = <-           | F1 .. F12, close, minimize, maximize
//     row 1  tab  Q .. P [ ] \             | prt sc, scr lk, break; keypad 7 8 9 / *; media
//     row 2  caps A .. L ; '  enter        | ins home pgup; keypad 4 5 6 - +; mute vol- vol+
//     row 3  shift Z .. M , . /            | del end pgdn; keypad 1 2 3 0 .; arrow key pad
//     row 4  ctrl win alt space text menu arrows, mode key, tab bar key (both modes)
//
// Left of the bar: the standard mode; right of it: the extended mode. A key's
// frame is its whole slot (fingers land anywhere in it); the key cap is drawn
// inside it. The output is the same on every run.
//
// Beside the table's controls the form holds the text entry, which the table
// does not: the "text" key of the bottom row, and the bar that it opens over
// row 0 (hidden at load), with the one-line field and the "done" key.
#include "KeyTable.h"
#include "platform/PhoneLook.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace phone = platform::phone;

constexpr int kWidth = phone::kScreenHeight; // landscape
constexpr int kHeight = phone::kScreenWidth - phone::kStatusBarHeight;
constexpr int kRowTop = phone::kStatusBarHeight;
constexpr int kRowHeight = phone::kKeyRowHeight;
constexpr int kRows = 5;
constexpr int kSideKey = phone::kKeyboardSideKeyWidth;

const char* const kKeyClass = "UIKeyButton";
const char* const kPlainClass = "platform::Button";
const char* const kPadClass = "UIArrowKeyPad";
const char* const kFieldClass = "TextEntryField";

// The text entry's controls.
const char* const kTextKey = "button_Text";
const char* const kTextBar = "textEntryBar";
const char* const kTextField = "textEntryField";
const char* const kTextDoneKey = "button_TextDone";
constexpr int kTextKeyWidth = 38;
constexpr int kTextFieldMargin = 9;

// What the layout adds to a control of the table.
struct Slot {
    std::string outlet;
    const char* title = nullptr; // only where the table has no label
    const char* image = nullptr; // a resource of Keyboard.qrc
};

struct Control {
    const KeyEntry* entry; // null for the text entry's key
    std::string title;
    const char* image;
    int x, y, width, height;
};

std::vector<Control> controls;
std::vector<std::string> errors;

void place(const Slot& slot, int x, int row, int width)
{
    const KeyEntry* entry = keyEntry(slot.outlet.c_str());
    if (!entry) {
        errors.push_back(slot.outlet + ": not in the key table");
        return;
    }
    if (entry->label && slot.title)
        errors.push_back(slot.outlet + ": the layout titles a key that the table labels");
    const int y = kRowTop + row * kRowHeight + (entry->mode == KeyMode::Extended ? phone::kKeyboardModeOffset : 0);
    const std::string title = entry->label ? entry->label : slot.title ? slot.title : "";
    controls.push_back({entry, title, slot.image, x, y, width, kRowHeight});
}

// Lays the slots side by side from start to end, in equal parts rounded to
// whole points (halves to even).
void spread(const std::vector<Slot>& slots, int row, int start, int end)
{
    const double step = double(end - start) / double(slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const int x0 = int(std::nearbyint(start + double(i) * step));
        const int x1 = int(std::nearbyint(start + double(i + 1) * step));
        place(slots[i], x0, row, x1 - x0);
    }
}

std::vector<Slot> keys(const char* outletPrefix, const std::vector<const char*>& names)
{
    std::vector<Slot> slots;
    for (const char* name : names)
        slots.push_back({std::string(outletPrefix) + name});
    return slots;
}

std::vector<Slot> operator+(std::vector<Slot> a, const std::vector<Slot>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void layOut()
{
    // Standard mode.
    spread(std::vector<Slot>{{"button_ESC"}, {"button_Grave"}}
               + keys("button_", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "0"})
               + std::vector<Slot>{{"button_Minus"}, {"button_Equal"}, {"button_BackSpace"}},
           0, 0, kWidth);
    spread(keys("button_", {"Q", "W", "E", "R", "T", "Y", "U", "I", "O", "P", "BracketLeft", "BracketRight",
                            "BackSlash"}),
           1, kSideKey, kWidth);
    spread(keys("button_", {"A", "S", "D", "F", "G", "H", "J", "K", "L", "SemiColon", "SingleQuote"}), 2, kSideKey,
           kWidth - kSideKey);
    spread(keys("button_", {"Z", "X", "C", "V", "B", "N", "M", "Comma", "Period", "Slash"}), 3, kSideKey, kWidth);

    // Both modes: the left column, enter and the bottom row.
    place({"button_TAB"}, 0, 1, kSideKey);
    place({"button_CAPSLOCK", "caps"}, 0, 2, kSideKey);
    place({"button_Enter"}, kWidth - kSideKey, 2, kSideKey);
    place({"button_LSHIFT", nullptr, ":/keyboard/icon_shift.png"}, 0, 3, kSideKey);
    const std::pair<const char*, int> bottom[] = {
        {"button_LCTRL", 38}, {"button_LWIN", 38}, {"button_LALT", 38},
        {"button_SPACE", 128 - kTextKeyWidth}, {kTextKey, kTextKeyWidth}, {"button_MENU", 38},
        {"button_LEFT", 32},  {"button_UP", 32},   {"button_DOWN", 32}, {"button_RIGHT", 32},
    };
    int x = 0;
    for (const auto& [outlet, width] : bottom) {
        if (outlet == std::string(kTextKey))
            controls.push_back({nullptr, "text", nullptr, x, kRowTop + 4 * kRowHeight, width, kRowHeight});
        else
            place({outlet}, x, 4, width);
        x += width;
    }
    place({"button_FastSwitch", nullptr, ":/keyboard/icon_mode.png"}, x, 4, phone::kKeyboardModeKeyWidth);
    x += phone::kKeyboardModeKeyWidth;
    place({"button_ToggleTabBar", nullptr, ":/keyboard/icon_tabbar.png"}, x, 4, kWidth - x);

    // Extended mode: function and window keys; editing keys, keypad and
    // media keys in three blocks; the arrow key pad.
    spread(keys("button_F", {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"})
               + std::vector<Slot>{{"button_Close", nullptr, ":/keyboard/icon_close.png"},
                                   {"button_Minimize", nullptr, ":/keyboard/icon_minimize.png"},
                                   {"button_Maximize", nullptr, ":/keyboard/icon_maximize.png"}},
           0, 0, kWidth);
    constexpr int kEditing = 62, kKeypad = 162, kMedia = 326, kSlot = 32;
    spread({{"button_Print", "prt sc"}, {"button_ScrollLock", "scr lk"}, {"button_Break", "break"}}, 1, kEditing,
           kEditing + 3 * kSlot);
    spread(keys("button_", {"Insert", "Home", "PageUp"}), 2, kEditing, kEditing + 3 * kSlot);
    spread(keys("button_", {"Delete", "End", "PageDown"}), 3, kEditing, kEditing + 3 * kSlot);
    spread(keys("button_KP_", {"7", "8", "9", "Divide", "Multiply"}), 1, kKeypad, kKeypad + 5 * kSlot);
    spread(keys("button_KP_", {"4", "5", "6", "Subtract", "Add"}), 2, kKeypad, kKeypad + 5 * kSlot);
    spread(keys("button_KP_", {"1", "2", "3", "0", "Decial"}), 3, kKeypad, kKeypad + 5 * kSlot);
    spread({{"button_Prev_Track", nullptr, ":/keyboard/icon_prev.png"},
            {"button_Stop", nullptr, ":/keyboard/icon_stop.png"},
            {"button_Play", nullptr, ":/keyboard/icon_play.png"},
            {"button_Next_Track", nullptr, ":/keyboard/icon_next.png"}},
           1, kMedia, kMedia + 4 * kSlot);
    spread({{"button_VolMute", nullptr, ":/keyboard/icon_mute.png"},
            {"button_VolDown", nullptr, ":/keyboard/icon_voldown.png"},
            {"button_VolUp", nullptr, ":/keyboard/icon_volup.png"}},
           2, kMedia, kMedia + 3 * kSlot);
    place({"arrowKeypad"}, kMedia, 3, kWidth - kMedia);
}

// Every control of the table is placed, once.
void checkEveryControlPlacedOnce()
{
    std::map<const KeyEntry*, int> placed;
    for (const Control& control : controls)
        if (control.entry)
            ++placed[control.entry];
    for (const KeyEntry& entry : keyTable())
        if (placed[&entry] != 1)
            errors.push_back(std::string(entry.outlet) + ": placed " + std::to_string(placed[&entry]) + " times");
}

const char* classOf(const KeyEntry& entry)
{
    switch (entry.kind) {
    case KeyKind::Key:
    case KeyKind::CommandKey:
        return kKeyClass;
    case KeyKind::ShiftKey:
    case KeyKind::PlainButton:
        return kPlainClass;
    case KeyKind::ArrowKeyPad:
        break;
    }
    return kPadClass;
}

std::string escaped(const std::string& text)
{
    // uic drops a title that is only white space: a blank is a character reference.
    if (text == " ")
        return "&#32;";
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string property(const std::string& name, const std::string& inner, int indent)
{
    const std::string pad(indent, ' ');
    return pad + "<property name=\"" + name + "\">\n" + pad + " " + inner + "\n" + pad + "</property>\n";
}

std::string rect(int x, int y, int width, int height)
{
    return "<rect><x>" + std::to_string(x) + "</x><y>" + std::to_string(y) + "</y><width>" + std::to_string(width)
        + "</width><height>" + std::to_string(height) + "</height></rect>";
}

std::string widget(const Control& control)
{
    const char* cls = control.entry ? classOf(*control.entry) : kKeyClass;
    const char* outlet = control.entry ? control.entry->outlet : kTextKey;
    std::string out = std::string("   <widget class=\"") + cls + "\" name=\"" + outlet + "\">\n";
    out += property("geometry", rect(control.x, control.y, control.width, control.height), 4);
    if (!control.entry || control.entry->kind != KeyKind::ArrowKeyPad)
        out += property("title", "<string>" + escaped(control.title) + "</string>", 4);
    if (control.image)
        out += property("image", std::string("<pixmap resource=\"Keyboard.qrc\">") + control.image + "</pixmap>", 4);
    return out + "   </widget>\n";
}

// Over row 0, last so that it lies in front of that row's keys: the field,
// and the "done" key as wide as enter at the right.
std::string textEntryBar()
{
    const int doneX = kWidth - kSideKey;
    std::string out = std::string("   <widget class=\"QWidget\" name=\"") + kTextBar + "\">\n";
    out += property("geometry", rect(0, kRowTop, kWidth, kRowHeight), 4);
    out += std::string("    <widget class=\"") + kFieldClass + "\" name=\"" + kTextField + "\">\n";
    out += property("geometry",
                    rect(kTextFieldMargin, kTextFieldMargin, doneX - 2 * kTextFieldMargin + phone::kKeyCapInsetX,
                         kRowHeight - 2 * kTextFieldMargin),
                    5);
    out += "    </widget>\n";
    out += std::string("    <widget class=\"") + kKeyClass + "\" name=\"" + kTextDoneKey + "\">\n";
    out += property("geometry", rect(doneX, 0, kSideKey, kRowHeight), 5);
    out += property("title", "<string>done</string>", 5);
    out += "    </widget>\n   </widget>\n";
    return out;
}

std::string document()
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!-- SPDX-License-Identifier: GPL-3.0-or-later -->\n"
                      "<!-- Generated from the key table by tools/generate_keyboard_ui.cpp; edit them there. -->\n"
                      "<ui version=\"4.0\">\n <class>KeyboardView</class>\n"
                      " <widget class=\"QWidget\" name=\"KeyboardView\">\n";
    out += property("geometry", rect(0, 0, kWidth, kHeight), 2);
    out += "  <widget class=\"QWidget\" name=\"keyboardView\">\n";
    out += property("geometry", rect(0, 0, kWidth, kRowTop + kRows * kRowHeight), 3);
    out += "   <widget class=\"QLabel\" name=\"preview\">\n";
    out += property("geometry", rect(0, 0, kWidth, kRowTop), 4);
    out += property("text", "<string/>", 4);
    out += "   </widget>\n";
    for (const Control& control : controls)
        out += widget(control);
    out += textEntryBar();
    out += "  </widget>\n </widget>\n <customwidgets>\n";
    const char* const customWidgets[][3] = {{kPlainClass, "QWidget", "platform/Button.h"},
                                            {kKeyClass, kPlainClass, "UIKeyButton.h"},
                                            {kPadClass, kPlainClass, "UIArrowKeyPad.h"},
                                            {kFieldClass, "QLineEdit", "TextEntryField.h"}};
    for (const auto& [cls, base, header] : customWidgets)
        out += std::string("  <customwidget>\n   <class>") + cls + "</class>\n   <extends>" + base
            + "</extends>\n   <header>" + header + "</header>\n  </customwidget>\n";
    out += " </customwidgets>\n <resources>\n  <include location=\"Keyboard.qrc\"/>\n </resources>\n"
           " <connections/>\n</ui>\n";
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.ui>\n", argv[0]);
        return 2;
    }
    layOut();
    checkEveryControlPlacedOnce();
    for (const std::string& error : errors)
        std::fprintf(stderr, "generate_keyboard_ui: %s\n", error.c_str());
    if (!errors.empty())
        return 1;
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file << document();
    file.close();
    if (!file) {
        std::fprintf(stderr, "generate_keyboard_ui: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
