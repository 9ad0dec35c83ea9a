// SPDX-License-Identifier: GPL-3.0-or-later
// The records of a confirmed secure session, one direction each: the sealer
// turns one packet of the session into one record, the opener reads records
// from a byte stream that may arrive in any split and hands out their packets.
//
// A record is a 2-byte little-endian length N, then N bytes of ChaCha20-
// Poly1305-IETF ciphertext and tag; the length bytes are the associated data.
// The nonce is 4 zero bytes and the direction's record counter (64 bits,
// little-endian), never sent: a replayed, reordered or dropped record does
// not open. The plaintext is the packet padded with zeros to at least 8
// bytes, so that a mouse and a keyboard record have the same size.
//
// Neither side allocates: the sealer writes into the caller's buffer, the
// opener holds one record of the largest size at most. Any failure of the
// opener is final, since the stream cannot be trusted after it; a counter
// that would wrap ends the direction too (there is no rekeying).
#pragma once

#include "SecretBytes.h"
#include "WireFormat.h"

#include <algorithm>

constexpr std::size_t kRecordHeaderSize = 2;
constexpr std::size_t kRecordTagSize = crypto_aead_chacha20poly1305_ietf_ABYTES;
constexpr std::size_t kRecordMinPlaintext = 8;
// The largest packet of the session: a value-tree message of the most the
// session reads.
constexpr std::size_t kRecordMaxPlaintext = REMOTE_MESSAGE_HEADER_SIZE + REMOTE_RECEIVE_CAPACITY;
constexpr std::size_t kRecordMaxBody = kRecordTagSize + kRecordMaxPlaintext;

// The bytes on the wire for a packet of `packetSize` bytes.
constexpr std::size_t recordSize(std::size_t packetSize)
{
    return kRecordHeaderSize + kRecordTagSize + std::max(packetSize, kRecordMinPlaintext);
}

using RecordKey = Secret<crypto_aead_chacha20poly1305_ietf_KEYBYTES>;

class RecordSealer {
public:
    // `firstCounter` is for tests of the counter's end; a session starts at 0.
    explicit RecordSealer(const RecordKey& key, uint64_t firstCounter = 0);

    // Seals one packet of 1 to kRecordMaxPlaintext bytes into `out` and
    // returns the record's size; -1, nothing usable written, when the packet
    // is empty or too long, `capacity` is less than recordSize(size), or the
    // counter is spent (the session must end).
    int seal(const uint8_t* packet, std::size_t size, uint8_t* out, std::size_t capacity);

private:
    RecordKey key_;
    uint64_t counter_;
    bool spent_ = false;
};

class RecordOpener {
public:
    enum class Status {
        NeedMore, // every byte given was taken; the record is not complete yet
        Packet,   // a record opened: packet() holds its packet
        Failed,   // the stream is refused, now and for good
    };

    explicit RecordOpener(const RecordKey& key, uint64_t firstCounter = 0);
    ~RecordOpener();
    RecordOpener(const RecordOpener&) = delete;
    RecordOpener& operator=(const RecordOpener&) = delete;

    // Takes bytes from the front of `bytes`, at most to the end of one record,
    // and sets `used` to how many it took; the caller hands in the rest after
    // handling the packet. A length outside 8 + 16 to kRecordMaxBody is refused
    // as soon as its 2 bytes are in, before any of the body is taken. A record
    // that does not authenticate, or whose plaintext is not one known packet
    // followed by zero padding, is refused.
    Status feed(const uint8_t* bytes, std::size_t count, std::size_t& used);

    // The packet of the record just opened, valid until the next feed.
    const uint8_t* packet() const { return plain_.data(); }
    std::size_t packetSize() const { return packetSize_; }
    bool failed() const { return failed_; }

private:
    Status fail();
    bool openBody();

    RecordKey key_;
    uint64_t counter_;
    bool spent_ = false;
    bool failed_ = false;
    std::size_t have_ = 0;     // bytes of the current record, header included
    std::size_t bodySize_ = 0; // N, once the header is in
    std::size_t packetSize_ = 0;
    std::array<uint8_t, kRecordHeaderSize + kRecordMaxBody> record_;
    std::array<uint8_t, kRecordMaxPlaintext> plain_;
};
