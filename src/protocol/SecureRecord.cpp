// SPDX-License-Identifier: GPL-3.0-or-later
#include "SecureRecord.h"

#include <cstring>
#include <limits>

namespace {

using Nonce = std::array<uint8_t, crypto_aead_chacha20poly1305_ietf_NPUBBYTES>;

Nonce nonceFor(uint64_t counter)
{
    Nonce nonce{};
    for (int i = 0; i < 8; ++i)
        nonce[4 + i] = static_cast<uint8_t>(counter >> (8 * i));
    return nonce;
}

uint32_t readUint32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

// The packet's size as its type and (for a message) its length say; 0 for a
// type the session does not know.
std::size_t packetSizeOf(const uint8_t* plain, std::size_t size)
{
    switch (plain[0]) {
    case REMOTE_PACKET_MOUSE:
        return REMOTE_MOUSE_PACKET_SIZE;
    case REMOTE_PACKET_KEYBOARD:
        return REMOTE_KEYBOARD_PACKET_SIZE;
    case REMOTE_PACKET_MESSAGE:
        // The plaintext is at least 8 bytes, so the length field is there.
        if (size < REMOTE_MESSAGE_HEADER_SIZE)
            return 0;
        return REMOTE_MESSAGE_HEADER_SIZE + std::size_t(readUint32(plain + 1));
    default:
        return 0;
    }
}

} // namespace

RecordSealer::RecordSealer(const RecordKey& key, uint64_t firstCounter)
    : key_(key)
    , counter_(firstCounter)
{
}

int RecordSealer::seal(const uint8_t* packet, std::size_t size, uint8_t* out, std::size_t capacity)
{
    if (spent_ || size == 0 || size > kRecordMaxPlaintext || capacity < recordSize(size))
        return -1;
    const std::size_t plainSize = std::max(size, kRecordMinPlaintext);
    const std::size_t bodySize = kRecordTagSize + plainSize;
    out[0] = static_cast<uint8_t>(bodySize & 0xFF);
    out[1] = static_cast<uint8_t>(bodySize >> 8);

    std::array<uint8_t, kRecordMaxPlaintext> plain;
    std::memcpy(plain.data(), packet, size);
    std::memset(plain.data() + size, 0, plainSize - size);
    const Nonce nonce = nonceFor(counter_);
    crypto_aead_chacha20poly1305_ietf_encrypt(out + kRecordHeaderSize, nullptr, plain.data(), plainSize, out,
                                              kRecordHeaderSize, nullptr, nonce.data(), key_.data());
    sodium_memzero(plain.data(), plainSize);
    if (counter_ == std::numeric_limits<uint64_t>::max())
        spent_ = true;
    else
        ++counter_;
    return static_cast<int>(kRecordHeaderSize + bodySize);
}

RecordOpener::RecordOpener(const RecordKey& key, uint64_t firstCounter)
    : key_(key)
    , counter_(firstCounter)
{
}

RecordOpener::~RecordOpener()
{
    // The plaintext held the last keystrokes.
    sodium_memzero(plain_.data(), plain_.size());
}

RecordOpener::Status RecordOpener::fail()
{
    failed_ = true;
    have_ = 0;
    packetSize_ = 0;
    sodium_memzero(plain_.data(), plain_.size());
    return Status::Failed;
}

RecordOpener::Status RecordOpener::feed(const uint8_t* bytes, std::size_t count, std::size_t& used)
{
    used = 0;
    if (failed_)
        return Status::Failed;
    packetSize_ = 0;
    if (have_ < kRecordHeaderSize) {
        const std::size_t take = std::min(count, kRecordHeaderSize - have_);
        std::memcpy(record_.data() + have_, bytes, take);
        have_ += take;
        used += take;
        if (have_ < kRecordHeaderSize)
            return Status::NeedMore;
        bodySize_ = std::size_t(record_[0]) | std::size_t(record_[1]) << 8;
        if (spent_ || bodySize_ < kRecordTagSize + kRecordMinPlaintext || bodySize_ > kRecordMaxBody)
            return fail();
    }
    const std::size_t take = std::min(count - used, kRecordHeaderSize + bodySize_ - have_);
    std::memcpy(record_.data() + have_, bytes + used, take);
    have_ += take;
    used += take;
    if (have_ < kRecordHeaderSize + bodySize_)
        return Status::NeedMore;
    have_ = 0;
    return openBody() ? Status::Packet : fail();
}

bool RecordOpener::openBody()
{
    const std::size_t plainSize = bodySize_ - kRecordTagSize;
    const Nonce nonce = nonceFor(counter_);
    if (crypto_aead_chacha20poly1305_ietf_decrypt(plain_.data(), nullptr, nullptr, record_.data() + kRecordHeaderSize,
                                                  bodySize_, record_.data(), kRecordHeaderSize, nonce.data(),
                                                  key_.data())
        != 0)
        return false;
    if (counter_ == std::numeric_limits<uint64_t>::max())
        spent_ = true;
    else
        ++counter_;

    const std::size_t size = packetSizeOf(plain_.data(), plainSize);
    if (size == 0 || size > plainSize)
        return false;
    for (std::size_t i = size; i < plainSize; ++i) {
        if (plain_[i] != 0)
            return false;
    }
    packetSize_ = size;
    return true;
}
