#include "KeyCommands.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <algorithm>

const std::vector<CommandKey>& commandKeys()
{
    // Select is Return, so that the remote's OK button confirms a dialog or
    // opens the highlighted entry; Menu is the keyboard's context-menu key.
    static const std::vector<CommandKey> table = {
        {0x08010000, "power", XF86XK_PowerOff, {}},
        {0x08010001, "menu", XK_Menu, {}},
        {0x08010002, "info", kKeysymInfo, {}},
        {0x08010003, "home", XF86XK_HomePage, {}},
        {0x08010010, "up", XK_Up, {}},
        {0x08010011, "down", XK_Down, {}},
        {0x08010012, "left", XK_Left, {}},
        {0x08010013, "right", XK_Right, {}},
        {0x08010018, "page up", XK_Prior, {}},
        {0x08010019, "page down", XK_Next, {}},
        {0x08010020, "select", XK_Return, {}},
        {0x08010021, "back", XF86XK_Back, {}},
        {0x08010030, "volume mute", XF86XK_AudioMute, {}},
        {0x08010031, "volume down", XF86XK_AudioLowerVolume, {}},
        {0x08010032, "volume up", XF86XK_AudioRaiseVolume, {}},
        {0x08010040, "channel up", kKeysymChannelUp, {}},
        {0x08010041, "channel down", kKeysymChannelDown, {}},
        {0x08010050, "record", XF86XK_AudioRecord, {}},
        {0x08010051, "play/pause", XF86XK_AudioPlay, {}},
        {0x08010052, "stop", XF86XK_AudioStop, {}},
        {0x08010053, "next", XF86XK_AudioNext, {}},
        {0x08010054, "previous", XF86XK_AudioPrev, {}},
        {0x08010055, "rewind", XF86XK_AudioRewind, {}},
        {0x08010056, "forward", XF86XK_AudioForward, {}},
        {0x08030000, "previous track", XF86XK_AudioPrev, {}},
        {0x08030001, "next track", XF86XK_AudioNext, {}},
        {0x08030002, "play/pause", XF86XK_AudioPlay, {}},
        {0x08030003, "stop", XF86XK_AudioStop, {}},
        {0x08030100, "volume up", XF86XK_AudioRaiseVolume, {}},
        {0x08030101, "volume down", XF86XK_AudioLowerVolume, {}},
        {0x08030102, "volume mute", XF86XK_AudioMute, {}},
        {0x08050000, "close window", 0, WindowCommand::Close},
        {0x08050001, "minimise window", 0, WindowCommand::Minimise},
        {0x08050002, "maximise window", 0, WindowCommand::Maximise},
    };
    return table;
}

const CommandKey* findCommandKey(uint32_t code)
{
    const auto& table = commandKeys();
    const auto found =
        std::find_if(table.begin(), table.end(), [code](const CommandKey& entry) { return entry.code == code; });
    return found == table.end() ? nullptr : &*found;
}

std::vector<uint32_t> windowCommandShortcut(WindowCommand command)
{
    // The shortcuts that GNOME, KDE Plasma and most other desktops share.
    switch (command) {
    case WindowCommand::Close:
        return {XK_Alt_L, XK_F4};
    case WindowCommand::Minimise:
        return {XK_Super_L, XK_h};
    case WindowCommand::Maximise:
        return {XK_Super_L, XK_Up};
    }
    return {};
}
