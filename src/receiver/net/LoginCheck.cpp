// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/LoginCheck.h"

#include "MojoTree.h"
#include "WireFormat.h"

#include <cstring>
#include <memory>

LoginVerdict checkLoginRequest(const uint8_t* payload, std::size_t length, const std::string& passcode)
{
    if (length == 0 || length > std::size_t(REMOTE_RECEIVE_CAPACITY))
        return LoginVerdict::Malformed;
    MojoTree request(mojo_create());
    // Bytes after the dictionary, inside the announced length, are ignored.
    if (mojo_decode(request.get(), payload, static_cast<int>(length)) < 0 || request->type != MOJO_DICTIONARY)
        return LoginVerdict::Malformed;

    const char* command = mojo_get_string(mojo_dic_get_value(request.get(), "Cmd"));
    const mojo_node* given = mojo_dic_get_value(request.get(), "Passcode");
    const char* givenText = mojo_get_string(given);
    if (!command || std::strcmp(command, "Login") != 0 || !givenText)
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

    uint8_t buffer[64];
    const int length = mojo_encode(reply.get(), buffer + REMOTE_MESSAGE_HEADER_SIZE,
                                   static_cast<int>(sizeof buffer) - REMOTE_MESSAGE_HEADER_SIZE);
    buffer[0] = REMOTE_PACKET_MESSAGE;
    for (int i = 0; i < 4; ++i)
        buffer[1 + i] = static_cast<uint8_t>(uint32_t(length) >> (8 * i));
    return std::vector<uint8_t>(buffer, buffer + REMOTE_MESSAGE_HEADER_SIZE + length);
}
