// SPDX-License-Identifier: GPL-3.0-or-later
// The key code tables: every code the phone's keyboard and remote panel send
// means something on this computer, both through XTest (the keysym itself or
// the command table) and through uinput (a Linux key of the US layout).
#include "keys/KeyCommands.h"
#include "keys/LinuxKeyCodes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <linux/input-event-codes.h>
#include <set>

namespace {

// Written out from the keyboard's key table, not taken from the receiver:
// every key code a key of the phone's keyboard can send, Shift_L and the arrow
// pad included. The keys CapsLock, Print, ScrollLock and Break send nothing.
std::vector<uint32_t> keyboardKeysyms()
{
    std::vector<uint32_t> codes = {0xFF1B, 0x0060, 0x002D, 0x003D, 0xFF08, 0xFF09, 0x005B, 0x005D, 0x005C,
                                   0x003B, 0x0027, 0xFF0D, 0xFFE1, 0x002C, 0x002E, 0x002F, 0xFFE3, 0xFFE7,
                                   0xFFE9, 0x0020, 0xFF67, 0xFF51, 0xFF52, 0xFF53, 0xFF54, 0xFFAE, 0xFFAF,
                                   0xFFAA, 0xFFAD, 0xFFAB, 0xFF63, 0xFFFF, 0xFF50, 0xFF57, 0xFF55, 0xFF56};
    for (uint32_t f = 0xFFBE; f <= 0xFFC9; ++f)
        codes.push_back(f);
    for (uint32_t digit = 0x30; digit <= 0x39; ++digit)
        codes.push_back(digit);
    for (uint32_t letter = 0x41; letter <= 0x5A; ++letter)
        codes.push_back(letter);
    for (uint32_t keypad = 0xFFB0; keypad <= 0xFFB9; ++keypad)
        codes.push_back(keypad);
    return codes;
}

const std::vector<uint32_t> kKeyboardCommandCodes = {0x08030000, 0x08030003, 0x08030002, 0x08030001, 0x08030102,
                                                     0x08030101, 0x08030100, 0x08050000, 0x08050001, 0x08050002};

std::vector<uint32_t> remotePanelCodes()
{
    return {0x08010000, 0x08010001, 0x08010002, 0x08010003, 0x08010010, 0x08010011, 0x08010012, 0x08010013,
            0x08010018, 0x08010019, 0x08010020, 0x08010021, 0x08010030, 0x08010031, 0x08010032, 0x08010040,
            0x08010041, 0x08010050, 0x08010051, 0x08010052, 0x08010053, 0x08010054, 0x08010055, 0x08010056};
}

} // namespace

TEST(KeyTables, EveryKeyOfThePhoneKeyboardIsAKeyOfAUsLayout)
{
    const auto keysyms = keyboardKeysyms();
    ASSERT_EQ(keysyms.size() + kKeyboardCommandCodes.size(), 104u) << "103 keys and Shift_L";
    const std::vector<uint16_t> announced = linuxKeysInUse();
    std::set<uint16_t> keys;
    for (uint32_t keysym : keysyms) {
        EXPECT_FALSE(isCommandCode(keysym));
        const auto key = linuxKeyForKeysym(keysym);
        ASSERT_TRUE(key) << std::hex << keysym;
        EXPECT_TRUE(std::binary_search(announced.begin(), announced.end(), *key))
            << "the virtual device would not announce " << *key;
        keys.insert(*key);
    }
    EXPECT_EQ(keys.size(), keysyms.size()) << "two keys of the phone land on the same key";

    // The phone sends upper-case letters for the unshifted key; the lower
    // case is the same key. The "win" key is the Super key.
    EXPECT_EQ(linuxKeyForKeysym(0x41), linuxKeyForKeysym(0x61));
    EXPECT_EQ(linuxKeyForKeysym(0x5A), std::optional<uint16_t>(KEY_Z));
    EXPECT_EQ(linuxKeyForKeysym(0xFFE7), std::optional<uint16_t>(KEY_LEFTMETA));
    EXPECT_NE(linuxKeyForKeysym(0x35), linuxKeyForKeysym(0xFFB5));
    // Shifted characters arrive as their unshifted key with Shift_L; on
    // their own they have no key and are ignored.
    EXPECT_FALSE(linuxKeyForKeysym(0x21));
    EXPECT_FALSE(linuxKeyForKeysym(0));
}

TEST(KeyTables, EveryCommandCodeOfTheKeyboardAndRemotePanelHasAMeaning)
{
    std::vector<uint32_t> codes = remotePanelCodes();
    codes.insert(codes.end(), kKeyboardCommandCodes.begin(), kKeyboardCommandCodes.end());
    for (uint32_t code : codes) {
        EXPECT_TRUE(isCommandCode(code));
        const CommandKey* command = findCommandKey(code);
        ASSERT_NE(command, nullptr) << std::hex << code;
        if (command->keysym != 0) {
            EXPECT_FALSE(isCommandCode(command->keysym));
            EXPECT_TRUE(linuxKeyForKeysym(command->keysym)) << command->name;
        } else {
            EXPECT_FALSE(windowCommandShortcut(command->window).empty()) << command->name;
            for (uint32_t keysym : windowCommandShortcut(command->window))
                EXPECT_TRUE(linuxKeyForKeysym(keysym)) << command->name;
        }
    }
    EXPECT_EQ(commandKeys().size(), codes.size()) << "the table holds codes that no phone key sends";

    // The 24 buttons of the panel are 24 different keys.
    std::set<uint32_t> panelKeysyms;
    for (uint32_t code : remotePanelCodes())
        panelKeysyms.insert(findCommandKey(code)->keysym);
    EXPECT_EQ(panelKeysyms.size(), 24u);
    // The keyboard's media keys and the panel's agree.
    EXPECT_EQ(findCommandKey(0x08030100)->keysym, findCommandKey(0x08010032)->keysym);
    EXPECT_EQ(findCommandKey(0x08030002)->keysym, findCommandKey(0x08010051)->keysym);
    // Select confirms, like Return.
    EXPECT_EQ(linuxKeyForKeysym(findCommandKey(0x08010020)->keysym), std::optional<uint16_t>(KEY_ENTER));

    for (uint32_t unknown : {0x08010004u, 0x08020000u, 0x08030200u, 0x08050003u, 0x08FFFFFFu})
        EXPECT_EQ(findCommandKey(unknown), nullptr) << std::hex << unknown;
    EXPECT_FALSE(isCommandCode(0xFFFF));
    EXPECT_FALSE(isCommandCode(0x1008FF13)) << "XF86 keysyms are keysyms";
}
