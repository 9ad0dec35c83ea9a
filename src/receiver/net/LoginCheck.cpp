// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/LoginCheck.h"

#include "MojoTree.h"
#include "WireFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// The "Cmd" of a request (valid while `request` lives), or null when the
// payload is no dictionary or has none.
const char* commandOf(const uint8_t* payload, std::size_t length, MojoTree& request)
{
    if (length == 0 || length > std::size_t(REMOTE_RECEIVE_CAPACITY))
        return nullptr;
    request.reset(mojo_create());
    // Bytes after the dictionary, inside the announced length, are ignored.
    if (mojo_decode(request.get(), payload, static_cast<int>(length)) < 0 || request->type != MOJO_DICTIONARY)
        return nullptr;
    return mojo_get_string(mojo_dic_get_value(request.get(), "Cmd"));
}

// The passcode a login request carries (valid while `request` lives), or
// null when the payload is not a login request.
const char* passcodeOfLoginRequest(const uint8_t* payload, std::size_t length, MojoTree& request)
{
    const char* command = commandOf(payload, length, request);
    if (!command || std::strcmp(command, "Login") != 0)
        return nullptr;
    return mojo_get_string(mojo_dic_get_value(request.get(), "Passcode"));
}

} // namespace

bool isPlainLoginRequest(const uint8_t* payload, std::size_t length)
{
    MojoTree request;
    return passcodeOfLoginRequest(payload, length, request) != nullptr;
}

bool isSecureLoginRequest(const uint8_t* payload, std::size_t length)
{
    MojoTree request;
    const char* command = commandOf(payload, length, request);
    return command && std::strcmp(command, "SecureLogin") == 0;
}

LoginVerdict checkLoginRequest(const uint8_t* payload, std::size_t length, const std::string& passcode)
{
    MojoTree request;
    const char* givenText = passcodeOfLoginRequest(payload, length, request);
    if (!givenText)
        return LoginVerdict::Malformed;

    // The decoder refuses a text with a NUL inside, so the text is the whole
    // passcode as sent and is compared over its whole length.
    return passcodesMatch(passcode, givenText) ? LoginVerdict::Accepted : LoginVerdict::WrongPasscode;
}

bool passcodesMatch(const std::string& expected, const std::string& given)
{
    // Walk the expected passcode in full whatever the guess, and fold the
    // length difference into the result instead of returning early.
    volatile unsigned char difference = expected.size() == given.size() ? 0 : 1;
    const std::size_t givenSize = given.size();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const unsigned char g = givenSize ? static_cast<unsigned char>(given[i % givenSize]) : 0;
        difference = difference | (g ^ static_cast<unsigned char>(expected[i]));
    }
    return difference == 0;
}

std::vector<uint8_t> encodeLoginReply(bool accepted)
{
    MojoTree reply(mojo_create_with_type(MOJO_DICTIONARY));
    mojo_dic_insert(reply.get(), mojo_create_pair(mojo_create_pair_value("Rsp", mojo_create_int(accepted ? 0 : 1))));

    std::vector<uint8_t> payload(64);
    payload.resize(static_cast<std::size_t>(mojo_encode(reply.get(), payload.data(), static_cast<int>(payload.size()))));
    return framedMessage(payload);
}

std::vector<uint8_t> framedMessage(const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> message(REMOTE_MESSAGE_HEADER_SIZE + payload.size());
    message[0] = REMOTE_PACKET_MESSAGE;
    for (int i = 0; i < 4; ++i)
        message[1 + std::size_t(i)] = static_cast<uint8_t>(uint32_t(payload.size()) >> (8 * i));
    std::copy(payload.begin(), payload.end(), message.begin() + REMOTE_MESSAGE_HEADER_SIZE);
    return message;
}
