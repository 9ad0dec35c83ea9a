// SPDX-License-Identifier: GPL-3.0-or-later
// Keysyms to keys in the computer's layout, through libxkbcommon and the
// layout data of the system: for us, de and fr the keysyms z, y, a, q, @, /,
// é and ß come out as the key and level a person of that layout uses;
// characters and spacing accents that a layout has only through dead keys
// are the dead key and the base key or space bar; what no key types is
// nothing. Then the layout the system is set
// up with, read from its files.
#include "keys/KeyboardLayout.h"
#include "keys/SystemKeyboardLayout.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

std::unique_ptr<KeyboardLayout> compiled(const std::string& layout, const std::string& variant = "")
{
    std::string error;
    auto keyboard = KeyboardLayout::compile(LayoutNames{layout, variant, "", ""}, error);
    EXPECT_TRUE(keyboard) << error;
    return keyboard;
}

KeyTyping plain(uint16_t key)
{
    return KeyTyping{{}, KeyStroke{key, {}}};
}

KeyTyping shifted(uint16_t key)
{
    return KeyTyping{{}, KeyStroke{key, {KEY_LEFTSHIFT}}};
}

KeyTyping altGr(uint16_t key)
{
    return KeyTyping{{}, KeyStroke{key, {KEY_RIGHTALT}}};
}

std::string describe(const std::optional<KeyTyping>& typing)
{
    if (!typing)
        return "nothing";
    std::string text;
    for (const KeyStroke& stroke : typing->lead) {
        for (uint16_t modifier : stroke.modifiers)
            text += std::to_string(modifier) + "+";
        text += std::to_string(stroke.key) + ", then ";
    }
    for (uint16_t modifier : typing->key.modifiers)
        text += std::to_string(modifier) + "+";
    return text + std::to_string(typing->key.key);
}

struct Expectation {
    uint32_t keysym;
    std::optional<KeyTyping> typing;
};

void expectTypings(const std::string& layout, const std::vector<Expectation>& expectations)
{
    const auto keyboard = compiled(layout);
    ASSERT_TRUE(keyboard);
    for (const Expectation& expected : expectations) {
        const auto typing = keyboard->typingFor(expected.keysym);
        EXPECT_EQ(typing, expected.typing) << layout << ": keysym 0x" << std::hex << expected.keysym << " is "
                                           << describe(typing) << ", not " << describe(expected.typing);
    }
}

constexpr uint32_t kSnowman = 0x1002603; // no layout of these has it

} // namespace

TEST(KeyboardLayout, UsKeysAreWhereTheyAre)
{
    expectTypings("us", {{XKB_KEY_z, plain(KEY_Z)},
                         {XKB_KEY_y, plain(KEY_Y)},
                         {XKB_KEY_a, plain(KEY_A)},
                         {XKB_KEY_q, plain(KEY_Q)},
                         {XKB_KEY_at, shifted(KEY_2)},
                         {XKB_KEY_slash, plain(KEY_SLASH)},
                         {XKB_KEY_grave, plain(KEY_GRAVE)},
                         {XKB_KEY_eacute, std::nullopt},
                         {kSnowman, std::nullopt}});
}

TEST(KeyboardLayout, GermanSwapsZAndYAndPutsAtOnAltGrQ)
{
    expectTypings("de", {{XKB_KEY_z, plain(KEY_Y)},
                         {XKB_KEY_y, plain(KEY_Z)},
                         {XKB_KEY_a, plain(KEY_A)},
                         {XKB_KEY_q, plain(KEY_Q)},
                         {XKB_KEY_at, altGr(KEY_Q)},
                         {XKB_KEY_slash, shifted(KEY_7)},
                         {XKB_KEY_bracketleft, altGr(KEY_8)},
                         {XKB_KEY_minus, plain(KEY_SLASH)},
                         {XKB_KEY_ssharp, plain(KEY_MINUS)},
                         {XKB_KEY_EuroSign, altGr(KEY_E)},
                         {kSnowman, std::nullopt}});
}

TEST(KeyboardLayout, FrenchIsAzertyWithEAcuteOnTheTwo)
{
    expectTypings("fr", {{XKB_KEY_z, plain(KEY_W)},
                         {XKB_KEY_y, plain(KEY_Y)},
                         {XKB_KEY_a, plain(KEY_Q)},
                         {XKB_KEY_q, plain(KEY_A)},
                         {XKB_KEY_at, altGr(KEY_0)},
                         {XKB_KEY_slash, shifted(KEY_DOT)},
                         {XKB_KEY_eacute, plain(KEY_2)},
                         {XKB_KEY_ssharp, altGr(KEY_S)},
                         {0x10000E9, plain(KEY_2)}, // é as a Unicode keysym
                         {kSnowman, std::nullopt}});
}

TEST(KeyboardLayout, LettersAToZAreTheUnshiftedKeyAndOtherCapitalsTheirOwnCharacter)
{
    // The phone sends the upper-case keysym for the unshifted key and holds
    // Shift itself when it means it.
    const auto german = compiled("de");
    ASSERT_TRUE(german);
    EXPECT_EQ(german->typingFor(XKB_KEY_Z), plain(KEY_Y));
    EXPECT_EQ(german->typingFor(XKB_KEY_A), plain(KEY_A));
    EXPECT_EQ(german->typingFor(XKB_KEY_Udiaeresis), shifted(KEY_LEFTBRACE)) << "Ü is Ü, not ü";
    // French has É only through its dead acute key (AltGr and the key
    // right of "n") and Shift with "e"; never as é.
    const auto french = compiled("fr");
    ASSERT_TRUE(french);
    EXPECT_EQ(french->typingFor(XKB_KEY_Eacute),
              (KeyTyping{{KeyStroke{KEY_M, {KEY_RIGHTALT}}}, KeyStroke{KEY_E, {KEY_LEFTSHIFT}}}));
    // So has German its é: the acute key, then "e".
    EXPECT_EQ(german->typingFor(XKB_KEY_eacute), (KeyTyping{{KeyStroke{KEY_EQUAL, {}}}, KeyStroke{KEY_E, {}}}));
}

TEST(KeyboardLayout, AnAccentOnlyADeadKeyHasIsTheDeadKeyAndSpace)
{
    // German has ` only as a dead key (Shift and the key left of Backspace).
    const auto german = compiled("de");
    ASSERT_TRUE(german);
    EXPECT_EQ(german->typingFor(XKB_KEY_grave),
              (KeyTyping{{KeyStroke{KEY_EQUAL, {KEY_LEFTSHIFT}}}, KeyStroke{KEY_SPACE, {}}}));
    // Without dead keys it is a key of its own.
    const auto plainGerman = compiled("de", "nodeadkeys");
    ASSERT_TRUE(plainGerman);
    EXPECT_EQ(plainGerman->typingFor(XKB_KEY_grave), shifted(KEY_EQUAL));
    EXPECT_EQ(plainGerman->description(), "'de(nodeadkeys)'");
}

TEST(KeyboardLayout, UnknownLayoutsAndNamesThatAreNotPlainAreRefused)
{
    std::string error;
    EXPECT_FALSE(KeyboardLayout::compile(LayoutNames{"xx-no-such", "", "", ""}, error));
    EXPECT_NE(error.find("keyboard layout 'xx-no-such' is not known here"), std::string::npos) << error;
    for (const LayoutNames& names : {LayoutNames{"../de", "", "", ""}, LayoutNames{"de", "a b", "", ""},
                                     LayoutNames{"de", "", "pc105\"", ""}, LayoutNames{"de", "", "", "x;y"}}) {
        error.clear();
        EXPECT_FALSE(KeyboardLayout::compile(names, error)) << names.layout << names.variant;
        EXPECT_NE(error.find("only letters, digits"), std::string::npos) << error;
    }
}

namespace {

void writeFile(const std::string& root, const std::string& path, const std::string& text)
{
    std::filesystem::create_directories(std::filesystem::path(root + path).parent_path());
    std::ofstream(root + path) << text;
}

} // namespace

TEST(SystemKeyboardLayout, ReadsTheFirstFileThatNamesALayoutAndItsFirstLayout)
{
    TemporaryDirectory root;
    EXPECT_FALSE(configuredKeyboardLayout(root.path())) << "nothing configured";

    writeFile(root.path(), "/etc/X11/xorg.conf.d/00-keyboard.conf",
              "# Written by systemd-localed\n"
              "Section \"InputClass\"\n"
              "        Identifier \"system-keyboard\"\n"
              "        MatchIsKeyboard \"on\"\n"
              "        Option \"XkbLayout\" \"fr\"\n"
              "        Option \"XkbVariant\" \"oss\"\n"
              "EndSection\n");
    auto found = configuredKeyboardLayout(root.path());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->names.layout, "fr");
    EXPECT_EQ(found->names.variant, "oss");
    EXPECT_EQ(found->source, "/etc/X11/xorg.conf.d/00-keyboard.conf");

    writeFile(root.path(), "/etc/vconsole.conf", "KEYMAP=de-latin1\nXKBLAYOUT=ch\n");
    found = configuredKeyboardLayout(root.path());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->names.layout, "ch");
    EXPECT_EQ(found->source, "/etc/vconsole.conf");

    // An entry left empty names nothing: the next file counts.
    writeFile(root.path(), "/etc/default/keyboard", "XKBLAYOUT=\"\"\n");
    EXPECT_EQ(configuredKeyboardLayout(root.path())->names.layout, "ch");

    writeFile(root.path(), "/etc/default/keyboard",
              "# KEYBOARD CONFIGURATION FILE\n"
              "XKBMODEL=\"pc105\"\n"
              "XKBLAYOUT=\"de,us\"\n"
              "XKBVARIANT=\"nodeadkeys,\"\n"
              "XKBOPTIONS=\"grp:alt_shift_toggle\"\n"
              "BACKSPACE=\"guess\"\n");
    found = configuredKeyboardLayout(root.path());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->names.layout, "de");
    EXPECT_EQ(found->names.variant, "nodeadkeys");
    EXPECT_EQ(found->names.model, "pc105");
    EXPECT_EQ(found->names.options, "grp:alt_shift_toggle");
    EXPECT_EQ(found->source, "/etc/default/keyboard");
    std::string error;
    EXPECT_TRUE(KeyboardLayout::compile(found->names, error)) << error;
}
