// SPDX-License-Identifier: GPL-3.0-or-later
// The login exchange as the receiver sees it: reading a client's login
// request, checking its passcode and building the reply message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class LoginVerdict {
    Accepted,
    WrongPasscode,
    // Not a login request: no dictionary, no "Cmd" = "Login" or no string
    // "Passcode". Refused like a wrong passcode.
    Malformed,
};

// Reads the payload of a value-tree message and checks it against `passcode`.
LoginVerdict checkLoginRequest(const uint8_t* payload, std::size_t length, const std::string& passcode);

// Compares two passcodes in time that depends only on the expected one's
// length, so that the answer's timing does not tell how much of a guess was right.
bool passcodesMatch(const std::string& expected, const std::string& given);

// The whole reply message: 0x80, the length, and a dictionary holding "Rsp"
// (0 accepts, 1 refuses).
std::vector<uint8_t> encodeLoginReply(bool accepted);
