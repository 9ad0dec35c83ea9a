// SPDX-License-Identifier: GPL-3.0-or-later
// The facts of the wire that the phone and the receiver share: the session's
// packet types and sizes, the mouse event's button bits, the default port
// and the command codes. Each is defined here once and used by name at both
// ends.
#pragma once

#include <cstdint>

// The TCP port of the session and the UDP port of discovery, unless a
// receiver says otherwise.
constexpr uint16_t REMOTE_DEFAULT_PORT = 25736;

// Packet types, the first byte of every packet on the session.
constexpr uint8_t REMOTE_PACKET_MOUSE = 0x00;
constexpr uint8_t REMOTE_PACKET_KEYBOARD = 0x01;
constexpr uint8_t REMOTE_PACKET_MESSAGE = 0x80;

constexpr int REMOTE_KEYBOARD_PACKET_SIZE = 8;
constexpr int REMOTE_MOUSE_PACKET_SIZE = 6;
constexpr int REMOTE_MESSAGE_HEADER_SIZE = 5;
// The largest value-tree message payload the session reads.
constexpr int REMOTE_RECEIVE_CAPACITY = 4096;
// The phone encodes its discovery query into this many bytes: a datagram
// larger than that is no query.
constexpr int REMOTE_DISCOVERY_QUERY_CAPACITY = 1024;

// Mouse button bits of the mouse event's buttons byte.
enum : uint8_t {
    REMOTE_BUTTON_LEFT = 1,
    REMOTE_BUTTON_MIDDLE = 2,
    REMOTE_BUTTON_RIGHT = 4,
    REMOTE_WHEEL_UP = 8,
    REMOTE_WHEEL_DOWN = 16,
};

// Key codes are X11 keysyms, except for the system's own command codes,
// whose top byte is 0x08. The receiver gives them their meaning; no
// modifier is ever sent with them.
constexpr bool isCommandCode(uint32_t code)
{
    return (code >> 24) == 0x08;
}

// Group 0x01: the remote panel, one code per button.
namespace RemoteKeyCode {

constexpr uint32_t Power = 0x08010000;
constexpr uint32_t Menu = 0x08010001;
constexpr uint32_t Info = 0x08010002;
constexpr uint32_t Main = 0x08010003;
constexpr uint32_t Up = 0x08010010;
constexpr uint32_t Down = 0x08010011;
constexpr uint32_t Left = 0x08010012;
constexpr uint32_t Right = 0x08010013;
constexpr uint32_t PageUp = 0x08010018;
constexpr uint32_t PageDown = 0x08010019;
constexpr uint32_t Select = 0x08010020;
constexpr uint32_t Back = 0x08010021;
constexpr uint32_t VolumeMute = 0x08010030;
constexpr uint32_t VolumeDown = 0x08010031;
constexpr uint32_t VolumeUp = 0x08010032;
constexpr uint32_t ChannelUp = 0x08010040;
constexpr uint32_t ChannelDown = 0x08010041;
constexpr uint32_t Record = 0x08010050;
constexpr uint32_t PlayPause = 0x08010051;
constexpr uint32_t Stop = 0x08010052;
constexpr uint32_t Next = 0x08010053;
constexpr uint32_t Previous = 0x08010054;
constexpr uint32_t Rewind = 0x08010055;
constexpr uint32_t Forward = 0x08010056;

} // namespace RemoteKeyCode

// Group 0x03: the keyboard's media keys.
namespace MediaKeyCode {

constexpr uint32_t PreviousTrack = 0x08030000;
constexpr uint32_t NextTrack = 0x08030001;
constexpr uint32_t Play = 0x08030002;
constexpr uint32_t Stop = 0x08030003;
constexpr uint32_t VolumeUp = 0x08030100;
constexpr uint32_t VolumeDown = 0x08030101;
constexpr uint32_t VolumeMute = 0x08030102;

} // namespace MediaKeyCode

// Group 0x05: the keyboard's window keys, for the active window.
namespace WindowKeyCode {

constexpr uint32_t Close = 0x08050000;
constexpr uint32_t Minimize = 0x08050001;
constexpr uint32_t Maximize = 0x08050002;

} // namespace WindowKeyCode
