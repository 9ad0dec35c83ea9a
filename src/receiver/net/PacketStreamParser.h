// SPDX-License-Identifier: GPL-3.0-or-later
// Splits the byte stream of one session into its packets: 8-byte keyboard
// events, 6-byte mouse events and value-tree messages (0x80, a 4-byte
// little-endian length, the payload). Bytes may arrive in any split across
// reads; the parser keeps what it has not used yet.
//
// A packet type it does not know, or a message longer than the receiver
// reads, is a protocol error: the stream cannot be resynchronised after it,
// so the parser stops and reports why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

struct KeyboardPacket {
    uint8_t state;
    uint32_t keycode;
};

struct MousePacket {
    uint8_t buttons;
    int16_t dx;
    int16_t dy;
};

struct MessagePacket {
    std::vector<uint8_t> payload;
};

using SessionPacket = std::variant<KeyboardPacket, MousePacket, MessagePacket>;

class PacketStreamParser {
public:
    // Appends received bytes. Ignored once the stream has failed.
    void feed(const uint8_t* bytes, std::size_t count);

    // The next complete packet, or nothing when more bytes are needed or the
    // stream has failed.
    std::optional<SessionPacket> next();

    // Hands out the bytes not parsed yet and forgets them: what follows the
    // last packet taken is not packets (a secure session's records).
    std::vector<uint8_t> takeRemaining();

    bool failed() const { return !error_.empty(); }
    // Why the stream failed, for the receiver's notices.
    const std::string& error() const { return error_; }

private:
    std::size_t available() const { return buffer_.size() - start_; }
    const uint8_t* head() const { return buffer_.data() + start_; }
    void consume(std::size_t count);
    void fail(std::string reason);

    std::vector<uint8_t> buffer_;
    std::size_t start_ = 0;
    std::string error_;
};
