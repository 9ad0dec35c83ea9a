// SPDX-License-Identifier: GPL-3.0-or-later
// Session packets written out byte by byte, independently of the app's and
// the receiver's own code, so that the tests check the wire format rather
// than restate it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

Bytes keyboardPacket(uint8_t state, uint32_t keycode);
Bytes mousePacket(uint8_t buttons, int16_t dx, int16_t dy);
// 0x80, L little-endian, then `payload`.
Bytes messagePacket(const Bytes& payload);
// The phone's login request: {"Cmd": "Login", "Passcode": passcode} (short string).
Bytes loginPayload(const std::string& passcode);
Bytes loginPacket(const std::string& passcode);
// The receiver's reply to a login: 80 0C 00 00 00 [ "Rsp" i <rsp> ].
Bytes loginReply(int32_t rsp);
// The reply that lets the phone in: {"Rsp": 0}.
Bytes acceptingLoginReply();
// A string item of the value-tree encoding (short form).
Bytes shortString(const std::string& text);
// The app's discovery query, as it broadcasts it.
Bytes discoveryQuery();

Bytes operator+(Bytes a, const Bytes& b);
