// What the phone's command codes do on this computer. Ordinary key codes are
// X11 keysyms and need no table; the command codes (high byte 0x08) are the
// phone's own: the remote panel (0x0801xxxx), the media keys (0x0803xxxx)
// and the window commands (0x0805xxxx). This is the one place that gives
// them a meaning; the README shows the same table.
#pragma once

#include "WireFormat.h"

#include <cstdint>
#include <vector>

// XF86 keysyms of the range that mirrors Linux key codes (0x10081000 plus
// the KEY_ value); Xlib's header spells them through a macro that it
// undefines again, so they cannot be named from it.
constexpr uint32_t kKeysymInfo = 0x10081166;        // XF86Info, KEY_INFO
constexpr uint32_t kKeysymChannelUp = 0x10081192;   // XF86ChannelUp, KEY_CHANNELUP
constexpr uint32_t kKeysymChannelDown = 0x10081193; // XF86ChannelDown, KEY_CHANNELDOWN

enum class WindowCommand { Close, Minimise, Maximise };

struct CommandKey {
    uint32_t code;       // the key code the phone sends
    const char* name;    // for notices and the README
    uint32_t keysym;     // the key it becomes; 0 for a window command
    WindowCommand window; // meaningful only when keysym is 0
};

// Every command code this receiver understands, in the order of the README.
const std::vector<CommandKey>& commandKeys();

// The entry for `code`, or null when the code is not a known command.
const CommandKey* findCommandKey(uint32_t code);

// The keys pressed together (in order, released in reverse) where a window
// command cannot be sent to the window manager directly.
std::vector<uint32_t> windowCommandShortcut(WindowCommand command);
