#include "KeyCommands.h"

#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include <algorithm>

const std::vector<CommandKey>& commandKeys()
{
    // Select is Return, so that the remote's OK button confirms a dialog or
    // opens the highlighted entry; Menu is the keyboard's context-menu key.
    static const std::vector<CommandKey> table = {
        {RemoteKeyCode::Power, "power", XF86XK_PowerOff, {}},
        {RemoteKeyCode::Menu, "menu", XK_Menu, {}},
        {RemoteKeyCode::Info, "info", kKeysymInfo, {}},
        {RemoteKeyCode::Main, "home", XF86XK_HomePage, {}},
        {RemoteKeyCode::Up, "up", XK_Up, {}},
        {RemoteKeyCode::Down, "down", XK_Down, {}},
        {RemoteKeyCode::Left, "left", XK_Left, {}},
        {RemoteKeyCode::Right, "right", XK_Right, {}},
        {RemoteKeyCode::PageUp, "page up", XK_Prior, {}},
        {RemoteKeyCode::PageDown, "page down", XK_Next, {}},
        {RemoteKeyCode::Select, "select", XK_Return, {}},
        {RemoteKeyCode::Back, "back", XF86XK_Back, {}},
        {RemoteKeyCode::VolumeMute, "volume mute", XF86XK_AudioMute, {}},
        {RemoteKeyCode::VolumeDown, "volume down", XF86XK_AudioLowerVolume, {}},
        {RemoteKeyCode::VolumeUp, "volume up", XF86XK_AudioRaiseVolume, {}},
        {RemoteKeyCode::ChannelUp, "channel up", kKeysymChannelUp, {}},
        {RemoteKeyCode::ChannelDown, "channel down", kKeysymChannelDown, {}},
        {RemoteKeyCode::Record, "record", XF86XK_AudioRecord, {}},
        {RemoteKeyCode::PlayPause, "play/pause", XF86XK_AudioPlay, {}},
        {RemoteKeyCode::Stop, "stop", XF86XK_AudioStop, {}},
        {RemoteKeyCode::Next, "next", XF86XK_AudioNext, {}},
        {RemoteKeyCode::Previous, "previous", XF86XK_AudioPrev, {}},
        {RemoteKeyCode::Rewind, "rewind", XF86XK_AudioRewind, {}},
        {RemoteKeyCode::Forward, "forward", XF86XK_AudioForward, {}},
        {MediaKeyCode::PreviousTrack, "previous track", XF86XK_AudioPrev, {}},
        {MediaKeyCode::NextTrack, "next track", XF86XK_AudioNext, {}},
        {MediaKeyCode::Play, "play/pause", XF86XK_AudioPlay, {}},
        {MediaKeyCode::Stop, "stop", XF86XK_AudioStop, {}},
        {MediaKeyCode::VolumeUp, "volume up", XF86XK_AudioRaiseVolume, {}},
        {MediaKeyCode::VolumeDown, "volume down", XF86XK_AudioLowerVolume, {}},
        {MediaKeyCode::VolumeMute, "volume mute", XF86XK_AudioMute, {}},
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
