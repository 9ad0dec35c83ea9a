// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/PacketStreamParser.h"

#include "WireFormat.h"

#include <cstdio>
#include <utility>

namespace {

uint32_t readU32le(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int16_t readI16le(const uint8_t* p)
{
    return static_cast<int16_t>(uint16_t(p[0]) | uint16_t(p[1]) << 8);
}

} // namespace

void PacketStreamParser::feed(const uint8_t* bytes, std::size_t count)
{
    if (failed() || count == 0)
        return;
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

std::optional<SessionPacket> PacketStreamParser::next()
{
    if (failed() || available() == 0)
        return std::nullopt;

    const uint8_t type = head()[0];
    switch (type) {
    case REMOTE_PACKET_KEYBOARD: {
        if (available() < REMOTE_KEYBOARD_PACKET_SIZE)
            return std::nullopt;
        // Bytes 2 and 3 are padding and carry nothing.
        KeyboardPacket packet{head()[1], readU32le(head() + 4)};
        consume(REMOTE_KEYBOARD_PACKET_SIZE);
        return packet;
    }
    case REMOTE_PACKET_MOUSE: {
        if (available() < REMOTE_MOUSE_PACKET_SIZE)
            return std::nullopt;
        MousePacket packet{head()[1], readI16le(head() + 2), readI16le(head() + 4)};
        consume(REMOTE_MOUSE_PACKET_SIZE);
        return packet;
    }
    case REMOTE_PACKET_MESSAGE: {
        if (available() < REMOTE_MESSAGE_HEADER_SIZE)
            return std::nullopt;
        const uint32_t length = readU32le(head() + 1);
        // Refused as soon as the header is known, so that a hostile length
        // never makes the receiver wait for (or buffer) gigabytes.
        if (length > uint32_t(REMOTE_RECEIVE_CAPACITY)) {
            fail("message length " + std::to_string(length) + " exceeds "
                 + std::to_string(REMOTE_RECEIVE_CAPACITY) + " bytes");
            return std::nullopt;
        }
        if (available() < REMOTE_MESSAGE_HEADER_SIZE + length)
            return std::nullopt;
        const uint8_t* payload = head() + REMOTE_MESSAGE_HEADER_SIZE;
        MessagePacket packet{std::vector<uint8_t>(payload, payload + length)};
        consume(REMOTE_MESSAGE_HEADER_SIZE + length);
        return packet;
    }
    default: {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", type);
        fail(std::string("unknown packet type ") + hex);
        return std::nullopt;
    }
    }
}

std::vector<uint8_t> PacketStreamParser::takeRemaining()
{
    std::vector<uint8_t> rest(head(), head() + available());
    buffer_.clear();
    start_ = 0;
    return rest;
}

void PacketStreamParser::consume(std::size_t count)
{
    start_ += count;
    if (start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > REMOTE_RECEIVE_CAPACITY) {
        // Keep the buffer from growing with a long run of small packets.
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
}

void PacketStreamParser::fail(std::string reason)
{
    error_ = std::move(reason);
    buffer_.clear();
    start_ = 0;
}
