// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys/KeyCommands.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>

const std::vector<CommandKey>& commandKeys()
{
    // Select is Return, so that the remote's OK button confirms a dialog or
    // opens the highlighted entry; Menu is the keyboard's context-menu key.
    static const std::vector<CommandKey> table = {
        {RemoteKeyCode::Power, "power", XKB_KEY_XF86PowerOff, {}},
        {RemoteKeyCode::Menu, "menu", XKB_KEY_Menu, {}},
        {RemoteKeyCode::Info, "info", XKB_KEY_XF86Info, {}},
        {RemoteKeyCode::Main, "home", XKB_KEY_XF86HomePage, {}},
        {RemoteKeyCode::Up, "up", XKB_KEY_Up, {}},
        {RemoteKeyCode::Down, "down", XKB_KEY_Down, {}},
        {RemoteKeyCode::Left, "left", XKB_KEY_Left, {}},
        {RemoteKeyCode::Right, "right", XKB_KEY_Right, {}},
        {RemoteKeyCode::PageUp, "page up", XKB_KEY_Prior, {}},
        {RemoteKeyCode::PageDown, "page down", XKB_KEY_Next, {}},
        {RemoteKeyCode::Select, "select", XKB_KEY_Return, {}},
        {RemoteKeyCode::Back, "back", XKB_KEY_XF86Back, {}},
        {RemoteKeyCode::VolumeMute, "volume mute", XKB_KEY_XF86AudioMute, {}},
        {RemoteKeyCode::VolumeDown, "volume down", XKB_KEY_XF86AudioLowerVolume, {}},
        {RemoteKeyCode::VolumeUp, "volume up", XKB_KEY_XF86AudioRaiseVolume, {}},
        {RemoteKeyCode::ChannelUp, "channel up", XKB_KEY_XF86ChannelUp, {}},
        {RemoteKeyCode::ChannelDown, "channel down", XKB_KEY_XF86ChannelDown, {}},
        {RemoteKeyCode::Record, "record", XKB_KEY_XF86AudioRecord, {}},
        {RemoteKeyCode::PlayPause, "play/pause", XKB_KEY_XF86AudioPlay, {}},
        {RemoteKeyCode::Stop, "stop", XKB_KEY_XF86AudioStop, {}},
        {RemoteKeyCode::Next, "next", XKB_KEY_XF86AudioNext, {}},
        {RemoteKeyCode::Previous, "previous", XKB_KEY_XF86AudioPrev, {}},
        {RemoteKeyCode::Rewind, "rewind", XKB_KEY_XF86AudioRewind, {}},
        {RemoteKeyCode::Forward, "forward", XKB_KEY_XF86AudioForward, {}},
        {MediaKeyCode::PreviousTrack, "previous track", XKB_KEY_XF86AudioPrev, {}},
        {MediaKeyCode::NextTrack, "next track", XKB_KEY_XF86AudioNext, {}},
        {MediaKeyCode::Play, "play/pause", XKB_KEY_XF86AudioPlay, {}},
        {MediaKeyCode::Stop, "stop", XKB_KEY_XF86AudioStop, {}},
        {MediaKeyCode::VolumeUp, "volume up", XKB_KEY_XF86AudioRaiseVolume, {}},
        {MediaKeyCode::VolumeDown, "volume down", XKB_KEY_XF86AudioLowerVolume, {}},
        {MediaKeyCode::VolumeMute, "volume mute", XKB_KEY_XF86AudioMute, {}},
        {WindowKeyCode::Close, "close window", 0, WindowCommand::Close},
        {WindowKeyCode::Minimize, "minimise window", 0, WindowCommand::Minimise},
        {WindowKeyCode::Maximize, "maximise window", 0, WindowCommand::Maximise},
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

bool isPowerKeysym(uint32_t keysym)
{
    switch (keysym) {
    case XKB_KEY_XF86PowerOff:
    case XKB_KEY_XF86PowerDown:
    case XKB_KEY_XF86Sleep:
    case XKB_KEY_XF86Suspend:
    case XKB_KEY_XF86Hibernate:
    case XKB_KEY_XF86Standby:
    case XKB_KEY_XF86LogOff:
        return true;
    default:
        return false;
    }
}

std::vector<uint32_t> windowCommandShortcut(WindowCommand command)
{
    // The shortcuts that GNOME, KDE Plasma and most other desktops share.
    switch (command) {
    case WindowCommand::Close:
        return {XKB_KEY_Alt_L, XKB_KEY_F4};
    case WindowCommand::Minimise:
        return {XKB_KEY_Super_L, XKB_KEY_h};
    case WindowCommand::Maximise:
        return {XKB_KEY_Super_L, XKB_KEY_Up};
    }
    return {};
}
