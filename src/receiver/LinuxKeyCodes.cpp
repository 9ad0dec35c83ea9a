#include "LinuxKeyCodes.h"

#include "KeyCommands.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>
#include <linux/input-event-codes.h>

#include <algorithm>
#include <unordered_map>

namespace {

const std::unordered_map<uint32_t, uint16_t>& keysymTable()
{
    static const std::unordered_map<uint32_t, uint16_t> table = [] {
        std::unordered_map<uint32_t, uint16_t> keys = {
            {XK_Escape, KEY_ESC}, {XK_F1, KEY_F1}, {XK_F2, KEY_F2}, {XK_F3, KEY_F3}, {XK_F4, KEY_F4},
            {XK_F5, KEY_F5}, {XK_F6, KEY_F6}, {XK_F7, KEY_F7}, {XK_F8, KEY_F8}, {XK_F9, KEY_F9},
            {XK_F10, KEY_F10}, {XK_F11, KEY_F11}, {XK_F12, KEY_F12},

            {XK_grave, KEY_GRAVE}, {XK_1, KEY_1}, {XK_2, KEY_2}, {XK_3, KEY_3}, {XK_4, KEY_4},
            {XK_5, KEY_5}, {XK_6, KEY_6}, {XK_7, KEY_7}, {XK_8, KEY_8}, {XK_9, KEY_9}, {XK_0, KEY_0},
            {XK_minus, KEY_MINUS}, {XK_equal, KEY_EQUAL}, {XK_BackSpace, KEY_BACKSPACE},
            {XK_Tab, KEY_TAB}, {XK_bracketleft, KEY_LEFTBRACE}, {XK_bracketright, KEY_RIGHTBRACE},
            {XK_backslash, KEY_BACKSLASH}, {XK_Caps_Lock, KEY_CAPSLOCK}, {XK_semicolon, KEY_SEMICOLON},
            {XK_apostrophe, KEY_APOSTROPHE}, {XK_Return, KEY_ENTER}, {XK_comma, KEY_COMMA},
            {XK_period, KEY_DOT}, {XK_slash, KEY_SLASH}, {XK_space, KEY_SPACE},

            {XK_Shift_L, KEY_LEFTSHIFT}, {XK_Shift_R, KEY_RIGHTSHIFT}, {XK_Control_L, KEY_LEFTCTRL},
            {XK_Control_R, KEY_RIGHTCTRL}, {XK_Alt_L, KEY_LEFTALT}, {XK_Alt_R, KEY_RIGHTALT},
            // The phone's "win" key sends Meta_L; it is the key between Ctrl and Alt.
            {XK_Meta_L, KEY_LEFTMETA}, {XK_Meta_R, KEY_RIGHTMETA}, {XK_Super_L, KEY_LEFTMETA},
            {XK_Super_R, KEY_RIGHTMETA}, {XK_Menu, KEY_COMPOSE},

            {XK_Left, KEY_LEFT}, {XK_Up, KEY_UP}, {XK_Right, KEY_RIGHT}, {XK_Down, KEY_DOWN},
            {XK_Insert, KEY_INSERT}, {XK_Delete, KEY_DELETE}, {XK_Home, KEY_HOME}, {XK_End, KEY_END},
            {XK_Prior, KEY_PAGEUP}, {XK_Next, KEY_PAGEDOWN}, {XK_Print, KEY_SYSRQ},
            {XK_Scroll_Lock, KEY_SCROLLLOCK}, {XK_Pause, KEY_PAUSE},

            {XK_KP_0, KEY_KP0}, {XK_KP_1, KEY_KP1}, {XK_KP_2, KEY_KP2}, {XK_KP_3, KEY_KP3},
            {XK_KP_4, KEY_KP4}, {XK_KP_5, KEY_KP5}, {XK_KP_6, KEY_KP6}, {XK_KP_7, KEY_KP7},
            {XK_KP_8, KEY_KP8}, {XK_KP_9, KEY_KP9}, {XK_KP_Decimal, KEY_KPDOT},
            {XK_KP_Divide, KEY_KPSLASH}, {XK_KP_Multiply, KEY_KPASTERISK},
            {XK_KP_Subtract, KEY_KPMINUS}, {XK_KP_Add, KEY_KPPLUS}, {XK_KP_Enter, KEY_KPENTER},
            {XK_Num_Lock, KEY_NUMLOCK},

            {XF86XK_PowerOff, KEY_POWER}, {kKeysymInfo, KEY_INFO}, {XF86XK_HomePage, KEY_HOMEPAGE},
            {XF86XK_Back, KEY_BACK}, {XF86XK_AudioMute, KEY_MUTE},
            {XF86XK_AudioLowerVolume, KEY_VOLUMEDOWN}, {XF86XK_AudioRaiseVolume, KEY_VOLUMEUP},
            {kKeysymChannelUp, KEY_CHANNELUP}, {kKeysymChannelDown, KEY_CHANNELDOWN},
            {XF86XK_AudioRecord, KEY_RECORD}, {XF86XK_AudioPlay, KEY_PLAYPAUSE},
            {XF86XK_AudioStop, KEY_STOPCD}, {XF86XK_AudioNext, KEY_NEXTSONG},
            {XF86XK_AudioPrev, KEY_PREVIOUSSONG}, {XF86XK_AudioRewind, KEY_REWIND},
            {XF86XK_AudioForward, KEY_FASTFORWARD},
        };
        // Letters: KEY_A..KEY_Z are not in alphabetical order, so they are
        // listed in the order of the alphabet.
        static const uint16_t letters[26] = {
            KEY_A, KEY_B, KEY_C, KEY_D, KEY_E, KEY_F, KEY_G, KEY_H, KEY_I, KEY_J, KEY_K, KEY_L, KEY_M,
            KEY_N, KEY_O, KEY_P, KEY_Q, KEY_R, KEY_S, KEY_T, KEY_U, KEY_V, KEY_W, KEY_X, KEY_Y, KEY_Z,
        };
        for (uint32_t i = 0; i < 26; ++i) {
            keys[XK_A + i] = letters[i];
            keys[XK_a + i] = letters[i];
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
