// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys/LinuxKeyCodes.h"

#include "keys/KeyCommands.h"

#include <xkbcommon/xkbcommon-keysyms.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <unordered_map>

namespace {

const std::unordered_map<uint32_t, uint16_t>& keysymTable()
{
    static const std::unordered_map<uint32_t, uint16_t> table = [] {
        std::unordered_map<uint32_t, uint16_t> keys = {
            {XKB_KEY_Escape, KEY_ESC}, {XKB_KEY_F1, KEY_F1}, {XKB_KEY_F2, KEY_F2}, {XKB_KEY_F3, KEY_F3},
            {XKB_KEY_F4, KEY_F4}, {XKB_KEY_F5, KEY_F5}, {XKB_KEY_F6, KEY_F6}, {XKB_KEY_F7, KEY_F7},
            {XKB_KEY_F8, KEY_F8}, {XKB_KEY_F9, KEY_F9}, {XKB_KEY_F10, KEY_F10}, {XKB_KEY_F11, KEY_F11},
            {XKB_KEY_F12, KEY_F12},

            {XKB_KEY_grave, KEY_GRAVE}, {XKB_KEY_1, KEY_1}, {XKB_KEY_2, KEY_2}, {XKB_KEY_3, KEY_3}, {XKB_KEY_4, KEY_4},
            {XKB_KEY_5, KEY_5}, {XKB_KEY_6, KEY_6}, {XKB_KEY_7, KEY_7}, {XKB_KEY_8, KEY_8}, {XKB_KEY_9, KEY_9},
            {XKB_KEY_0, KEY_0}, {XKB_KEY_minus, KEY_MINUS}, {XKB_KEY_equal, KEY_EQUAL},
            {XKB_KEY_BackSpace, KEY_BACKSPACE}, {XKB_KEY_Tab, KEY_TAB}, {XKB_KEY_bracketleft, KEY_LEFTBRACE},
            {XKB_KEY_bracketright, KEY_RIGHTBRACE}, {XKB_KEY_backslash, KEY_BACKSLASH},
            {XKB_KEY_Caps_Lock, KEY_CAPSLOCK}, {XKB_KEY_semicolon, KEY_SEMICOLON}, {XKB_KEY_apostrophe, KEY_APOSTROPHE},
            {XKB_KEY_Return, KEY_ENTER}, {XKB_KEY_comma, KEY_COMMA}, {XKB_KEY_period, KEY_DOT},
            {XKB_KEY_slash, KEY_SLASH}, {XKB_KEY_space, KEY_SPACE},

            {XKB_KEY_Shift_L, KEY_LEFTSHIFT}, {XKB_KEY_Shift_R, KEY_RIGHTSHIFT}, {XKB_KEY_Control_L, KEY_LEFTCTRL},
            {XKB_KEY_Control_R, KEY_RIGHTCTRL}, {XKB_KEY_Alt_L, KEY_LEFTALT}, {XKB_KEY_Alt_R, KEY_RIGHTALT},
            // The phone's "win" key sends Meta_L; it is the key between Ctrl and Alt.
            {XKB_KEY_Meta_L, KEY_LEFTMETA}, {XKB_KEY_Meta_R, KEY_RIGHTMETA}, {XKB_KEY_Super_L, KEY_LEFTMETA},
            {XKB_KEY_Super_R, KEY_RIGHTMETA}, {XKB_KEY_Menu, KEY_COMPOSE},

            {XKB_KEY_Left, KEY_LEFT}, {XKB_KEY_Up, KEY_UP}, {XKB_KEY_Right, KEY_RIGHT}, {XKB_KEY_Down, KEY_DOWN},
            {XKB_KEY_Insert, KEY_INSERT}, {XKB_KEY_Delete, KEY_DELETE}, {XKB_KEY_Home, KEY_HOME},
            {XKB_KEY_End, KEY_END}, {XKB_KEY_Prior, KEY_PAGEUP}, {XKB_KEY_Next, KEY_PAGEDOWN},
            {XKB_KEY_Print, KEY_SYSRQ}, {XKB_KEY_Scroll_Lock, KEY_SCROLLLOCK}, {XKB_KEY_Pause, KEY_PAUSE},

            {XKB_KEY_KP_0, KEY_KP0}, {XKB_KEY_KP_1, KEY_KP1}, {XKB_KEY_KP_2, KEY_KP2}, {XKB_KEY_KP_3, KEY_KP3},
            {XKB_KEY_KP_4, KEY_KP4}, {XKB_KEY_KP_5, KEY_KP5}, {XKB_KEY_KP_6, KEY_KP6}, {XKB_KEY_KP_7, KEY_KP7},
            {XKB_KEY_KP_8, KEY_KP8}, {XKB_KEY_KP_9, KEY_KP9}, {XKB_KEY_KP_Decimal, KEY_KPDOT},
            {XKB_KEY_KP_Divide, KEY_KPSLASH}, {XKB_KEY_KP_Multiply, KEY_KPASTERISK}, {XKB_KEY_KP_Subtract, KEY_KPMINUS},
            {XKB_KEY_KP_Add, KEY_KPPLUS}, {XKB_KEY_KP_Enter, KEY_KPENTER}, {XKB_KEY_Num_Lock, KEY_NUMLOCK},

            {XKB_KEY_XF86PowerOff, KEY_POWER}, {XKB_KEY_XF86Info, KEY_INFO}, {XKB_KEY_XF86HomePage, KEY_HOMEPAGE},
            {XKB_KEY_XF86Back, KEY_BACK}, {XKB_KEY_XF86AudioMute, KEY_MUTE},
            {XKB_KEY_XF86AudioLowerVolume, KEY_VOLUMEDOWN}, {XKB_KEY_XF86AudioRaiseVolume, KEY_VOLUMEUP},
            {XKB_KEY_XF86ChannelUp, KEY_CHANNELUP}, {XKB_KEY_XF86ChannelDown, KEY_CHANNELDOWN},
            {XKB_KEY_XF86AudioRecord, KEY_RECORD}, {XKB_KEY_XF86AudioPlay, KEY_PLAYPAUSE},
            {XKB_KEY_XF86AudioStop, KEY_STOPCD}, {XKB_KEY_XF86AudioNext, KEY_NEXTSONG},
            {XKB_KEY_XF86AudioPrev, KEY_PREVIOUSSONG}, {XKB_KEY_XF86AudioRewind, KEY_REWIND},
            {XKB_KEY_XF86AudioForward, KEY_FASTFORWARD},
        };
        // Letters: KEY_A..KEY_Z are not in alphabetical order, so they are
        // listed in the order of the alphabet.
        static const uint16_t letters[26] = {
            KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
            KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
        };
        for (uint32_t i = 0; i < 26; ++i) {
            keys[XKB_KEY_A + i] = letters[i];
            keys[XKB_KEY_a + i] = letters[i];
        }
        return keys;
    }();
    return table;
}

} // namespace

std::optional<uint16_t> linuxKeyForKeysym(uint32_t keysym)
{
    const auto& table = keysymTable();
    const auto found = table.find(keysym);
    if (found == table.end())
        return std::nullopt;
    return found->second;
}

std::vector<uint16_t> linuxKeysInUse()
{
    std::vector<uint16_t> keys;
    for (const auto& [keysym, key] : keysymTable())
        keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}
