// The command codes the remote panel sends: group 0x01 of the system's own
// key codes (top byte 0x08), one per panel button. The receiver gives them
// their meaning; no modifier is ever sent with them.
#pragma once

#include <cstdint>

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
