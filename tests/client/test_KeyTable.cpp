// SPDX-License-Identifier: GPL-3.0-or-later
// The key table as the screen is built from it: every control's label,
// shifted label, code, flags and mode, checked both in the table and on the
// loaded keyboard, plus the counts and the code space rules.
#include "KeyTable.h"
#include "KeyboardViewController.h"

#include "support/platform/ManualClock.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

constexpr long long kNone = -1;
enum Mode { S, E, B };

struct Expected {
    const char* outlet;
    const char* label;       // nullptr: none, or from the layout
    const char* shiftLabel;
    long long code;          // kNone: the control carries no code
    const char* flags;       // static, no repeat; command, shift, plain, pad for the non-ordinary controls
    Mode mode;
};

// In the order of the controller's fields.
const std::vector<Expected> kTable{
    {"arrowKeypad", nullptr, nullptr, kNone, "pad", E},
    {"button_ESC", "esc", "esc", 0xFF1B, "static", S},
    {"button_F1", "F1", "F1", 0xFFBE, "", E},
    {"button_F2", "F2", "F2", 0xFFBF, "", E},
    {"button_F3", "F3", "F3", 0xFFC0, "", E},
    {"button_F4", "F4", "F4", 0xFFC1, "", E},
    {"button_F5", "F5", "F5", 0xFFC2, "", E},
    {"button_F6", "F6", "F6", 0xFFC3, "", E},
    {"button_F7", "F7", "F7", 0xFFC4, "", E},
    {"button_F8", "F8", "F8", 0xFFC5, "", E},
    {"button_F9", "F9", "F9", 0xFFC6, "", E},
    {"button_F10", "F10", "F10", 0xFFC7, "", E},
    {"button_F11", "F11", "F11", 0xFFC8, "", E},
    {"button_F12", "F12", "F12", 0xFFC9, "", E},
    {"button_Grave", "`", "~", 0x60, "", S},
    {"button_1", "1", "!", 0x31, "", S},
    {"button_2", "2", "@", 0x32, "", S},
    {"button_3", "3", "#", 0x33, "", S},
    {"button_4", "4", "$", 0x34, "", S},
    {"button_5", "5", "%", 0x35, "", S},
    {"button_6", "6", "^", 0x36, "", S},
    {"button_7", "7", "&", 0x37, "", S},
    {"button_8", "8", "*", 0x38, "", S},
    {"button_9", "9", "(", 0x39, "", S},
    {"button_0", "0", ")", 0x30, "", S},
    {"button_Minus", "-", "_", 0x2D, "", S},
    {"button_Equal", "=", "+", 0x3D, "", S},
    {"button_BackSpace", "<-", "<-", 0xFF08, "static", S},
    {"button_TAB", "tab", "tab", 0xFF09, "static", B},
    {"button_Q", "Q", "Q", 0x51, "", S},
    {"button_W", "W", "W", 0x57, "", S},
    {"button_E", "E", "E", 0x45, "", S},
    {"button_R", "R", "R", 0x52, "", S},
    {"button_T", "T", "T", 0x54, "", S},
    {"button_Y", "Y", "Y", 0x59, "", S},
    {"button_U", "U", "U", 0x55, "", S},
    {"button_I", "I", "I", 0x49, "", S},
    {"button_O", "O", "O", 0x4F, "", S},
    {"button_P", "P", "P", 0x50, "", S},
    {"button_BracketLeft", "[", "{", 0x5B, "", S},
    {"button_BracketRight", "]", "}", 0x5D, "", S},
    {"button_BackSlash", "\\", "|", 0x5C, "", S},
    {"button_CAPSLOCK", nullptr, nullptr, kNone, "", B},
    {"button_A", "A", "A", 0x41, "", S},
    {"button_S", "S", "S", 0x53, "", S},
    {"button_D", "D", "D", 0x44, "", S},
    {"button_F", "F", "F", 0x46, "", S},
    {"button_G", "G", "G", 0x47, "", S},
    {"button_H", "H", "H", 0x48, "", S},
    {"button_J", "J", "J", 0x4A, "", S},
    {"button_K", "K", "K", 0x4B, "", S},
    {"button_L", "L", "L", 0x4C, "", S},
    {"button_SemiColon", ";", ":", 0x3B, "", S},
    {"button_SingleQuote", "'", "\"", 0x27, "", S},
    {"button_Enter", "enter", "enter", 0xFF0D, "static", B},
    {"button_LSHIFT", nullptr, nullptr, kNone, "shift", B},
    {"button_Z", "Z", "Z", 0x5A, "", S},
    {"button_X", "X", "X", 0x58, "", S},
    {"button_C", "C", "C", 0x43, "", S},
    {"button_V", "V", "V", 0x56, "", S},
    {"button_B", "B", "B", 0x42, "", S},
    {"button_N", "N", "N", 0x4E, "", S},
    {"button_M", "M", "M", 0x4D, "", S},
    {"button_Comma", ",", "<", 0x2C, "", S},
    {"button_Period", ".", ">", 0x2E, "", S},
    {"button_Slash", "/", "?", 0x2F, "", S},
    {"button_LCTRL", "ctrl", "ctrl", 0xFFE3, "static, no repeat", B},
    {"button_LWIN", "win", "win", 0xFFE7, "static, no repeat", B},
    {"button_LALT", "alt", "alt", 0xFFE9, "static, no repeat", B},
    {"button_SPACE", " ", " ", 0x20, "static", B},
    {"button_MENU", "menu", "menu", 0xFF67, "no repeat", B},
    {"button_LEFT", "<", "<", 0xFF51, "", B},
    {"button_RIGHT", ">", ">", 0xFF53, "", B},
    {"button_UP", "^", "^", 0xFF52, "", B},
    {"button_DOWN", "v", "v", 0xFF54, "", B},
    {"button_KP_0", "0", "0", 0xFFB0, "", E},
    {"button_KP_1", "1", "1", 0xFFB1, "", E},
    {"button_KP_2", "2", "2", 0xFFB2, "", E},
    {"button_KP_3", "3", "3", 0xFFB3, "", E},
    {"button_KP_4", "4", "4", 0xFFB4, "", E},
    {"button_KP_5", "5", "5", 0xFFB5, "", E},
    {"button_KP_6", "6", "6", 0xFFB6, "", E},
    {"button_KP_7", "7", "7", 0xFFB7, "", E},
    {"button_KP_8", "8", "8", 0xFFB8, "", E},
    {"button_KP_9", "9", "9", 0xFFB9, "", E},
    {"button_KP_Decial", ".", ".", 0xFFAE, "", E},
    {"button_KP_Divide", "/", "/", 0xFFAF, "", E},
    {"button_KP_Multiply", "*", "*", 0xFFAA, "", E},
    {"button_KP_Subtract", "-", "-", 0xFFAD, "", E},
    {"button_KP_Add", "+", "+", 0xFFAB, "", E},
    {"button_Insert", "ins", "ins", 0xFF63, "", E},
    {"button_Delete", "del", "del", 0xFFFF, "", E},
    {"button_Home", "home", "home", 0xFF50, "", E},
    {"button_End", "end", "end", 0xFF57, "", E},
    {"button_PageUp", "pgup", "pgup", 0xFF55, "", E},
    {"button_PageDown", "pgdn", "pgdn", 0xFF56, "", E},
    {"button_Print", nullptr, nullptr, kNone, "", E},
    {"button_ScrollLock", nullptr, nullptr, kNone, "", E},
    {"button_Break", nullptr, nullptr, kNone, "", E},
    {"button_Prev_Track", nullptr, nullptr, 0x8030000, "", E},
    {"button_Stop", nullptr, nullptr, 0x8030003, "", E},
    {"button_Play", nullptr, nullptr, 0x8030002, "", E},
    {"button_Next_Track", nullptr, nullptr, 0x8030001, "", E},
    {"button_VolMute", nullptr, nullptr, 0x8030102, "", E},
    {"button_VolDown", nullptr, nullptr, 0x8030101, "", E},
    {"button_VolUp", nullptr, nullptr, 0x8030100, "", E},
    {"button_Close", nullptr, nullptr, 0x8050000, "no repeat, command", E},
    {"button_Minimize", nullptr, nullptr, 0x8050001, "no repeat, command", E},
    {"button_Maximize", nullptr, nullptr, 0x8050002, "no repeat, command", E},
    {"button_FastSwitch", nullptr, nullptr, kNone, "plain", B},
    {"button_ToggleTabBar", nullptr, nullptr, kNone, "plain", B},
};

bool has(const char* flags, const char* flag) { return QString(flags).split(", ").contains(flag); }

KeyMode modeOf(Mode m) { return m == S ? KeyMode::Standard : m == E ? KeyMode::Extended : KeyMode::Both; }

TEST(KeyTable, EveryRowMatches)
{
    const std::vector<KeyEntry>& table = keyTable();
    ASSERT_EQ(table.size(), kTable.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const KeyEntry& row = table[i];
        const Expected& want = kTable[i];
        SCOPED_TRACE(want.outlet);
        EXPECT_STREQ(row.outlet, want.outlet);
        EXPECT_EQ(QString::fromUtf8(row.label), QString::fromUtf8(want.label));
        EXPECT_EQ(row.label == nullptr, want.label == nullptr);
        EXPECT_EQ(QString::fromUtf8(row.shiftLabel), QString::fromUtf8(want.shiftLabel));
        EXPECT_EQ(row.hasCode, want.code != kNone);
        if (want.code != kNone) {
            EXPECT_EQ(row.code, uint32_t(want.code));
            EXPECT_EQ(row.shiftCode, row.code); // shifted codes equal the codes
        }
        EXPECT_EQ(row.isStatic, has(want.flags, "static"));
        EXPECT_EQ(row.mode, modeOf(want.mode));
        const KeyKind kind = has(want.flags, "command") ? KeyKind::CommandKey
            : has(want.flags, "shift")                  ? KeyKind::ShiftKey
            : has(want.flags, "plain")                  ? KeyKind::PlainButton
            : has(want.flags, "pad")                    ? KeyKind::ArrowKeyPad
                                                        : KeyKind::Key;
        EXPECT_EQ(row.kind, kind);
        if (kind == KeyKind::Key || kind == KeyKind::CommandKey) {
            EXPECT_EQ(row.repeats, !has(want.flags, "no repeat"));
        }
        EXPECT_EQ(keyEntry(want.outlet), &row);
    }
    EXPECT_EQ(keyEntry("button_Nothing"), nullptr);
}

TEST(KeyTable, CountsAndTheCodeSpace)
{
    int withCode = 0, keyButtonsWithout = 0, standard = 0, extended = 0, both = 0;
    for (const KeyEntry& row : keyTable()) {
        const bool keyButton = row.kind == KeyKind::Key || row.kind == KeyKind::CommandKey;
        withCode += row.hasCode;
        keyButtonsWithout += keyButton && !row.hasCode;
        standard += row.mode == KeyMode::Standard;
        extended += row.mode == KeyMode::Extended;
        both += row.mode == KeyMode::Both;
        if (!row.hasCode)
            continue;
        SCOPED_TRACE(row.outlet);
        const uint32_t k = row.code;
        EXPECT_TRUE((k >= 0x20 && k <= 0x7E) || (k >= 0xFF00 && k <= 0xFFFF) || (k >> 24) == 0x08);
        EXPECT_FALSE(k >= 0x61 && k <= 0x7A); // never a lower-case letter
        if (QString(row.label).contains(QRegularExpression("^[A-Z]$"))) {
            EXPECT_EQ(k, uint32_t(row.label[0]));
        }
    }
    EXPECT_EQ(keyTable().size(), 111u);
    EXPECT_EQ(withCode, 103);
    EXPECT_EQ(keyButtonsWithout, 4);
    EXPECT_EQ(standard, 49);
    EXPECT_EQ(extended, 47);
    EXPECT_EQ(both, 15);
    EXPECT_EQ(keyEntry("button_KP_5")->code, 0xFFB5u);
    EXPECT_EQ(keyEntry("button_5")->code, 0x35u);
}

TEST(KeyTable, TheLoadedKeyboardCarriesTheTableAndTheLayoutTitlesAreTheLabels)
{
    platform::ScopedManualClock clock;
    KeyboardViewController controller;
    QWidget* view = controller.view();
    int keyButtons = 0;
    for (const Expected& want : kTable) {
        SCOPED_TRACE(want.outlet);
        QWidget* control = view->findChild<QWidget*>(want.outlet);
        ASSERT_NE(control, nullptr);
        auto* key = qobject_cast<UIKeyButton*>(control);
        const bool keyButton = want.code != kNone || !*want.flags;
        EXPECT_EQ(key != nullptr, keyButton);
        if (has(want.flags, "pad")) {
            EXPECT_NE(qobject_cast<UIArrowKeyPad*>(control), nullptr);
        } else {
            EXPECT_NE(qobject_cast<platform::Button*>(control), nullptr);
        }
        if (!key)
            continue;
        ++keyButtons;
        EXPECT_EQ(key->value(), want.code == kNone ? 0u : uint32_t(want.code));
        EXPECT_EQ(key->shiftValue(), key->value());
        EXPECT_EQ(key->staticButton(), has(want.flags, "static"));
        EXPECT_EQ(key->isEnableRepeat(), !has(want.flags, "no repeat"));
        if (want.code == kNone) {
            EXPECT_FALSE(key->text().isEmpty()); // the layout names it
            EXPECT_TRUE(key->shiftText().isNull());
        } else {
            EXPECT_EQ(key->text(), QString::fromUtf8(want.label));
            EXPECT_EQ(key->shiftText(), QString::fromUtf8(want.shiftLabel));
        }
        EXPECT_EQ(key->currentTitle(), key->text().isNull() ? QString("") : key->text());
    }
    EXPECT_EQ(keyButtons, 107);
    EXPECT_EQ(controller.button_SPACE->text(), " ");
    EXPECT_EQ(controller.button_LWIN->value(), 0xFFE7u);
    EXPECT_EQ(controller.button_Delete->value(), 0xFFFFu);
    EXPECT_EQ(controller.button_BackSpace->value(), 0xFF08u);
}

} // namespace
