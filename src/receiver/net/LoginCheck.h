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
    // A plain login while only secure ones are taken: refused without its
    // passcode being looked at, so it is no guess and tells nothing.
    PlainRefused,
};

// Reads the payload of a value-tree message and checks it against `passcode`.
LoginVerdict checkLoginRequest(const uint8_t* payload, std::size_t length, const std::string& passcode);

// Whether the payload is a plain login request (whatever its passcode).
bool isPlainLoginRequest(const uint8_t* payload, std::size_t length);
// Whether the payload opens a secure login ("Cmd" = "SecureLogin", whatever
// else it holds).
bool isSecureLoginRequest(const uint8_t* payload, std::size_t length);

// Compares two passcodes in time that depends only on the expected one's
// length, so that the answer's timing does not tell how much of a guess was right.
bool passcodesMatch(const std::string& expected, const std::string& given);

// The whole reply message: 0x80, the length, and a dictionary holding "Rsp"
// (0 accepts, 1 refuses).
std::vector<uint8_t> encodeLoginReply(bool accepted);

// A value-tree message around an encoded payload: 0x80, its length, the payload.
std::vector<uint8_t> framedMessage(const std::vector<uint8_t>& payload);
