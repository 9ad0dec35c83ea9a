// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to what the receiver reads of a secure session before
// and after the handshake. The first byte picks the target, the next two say
// where the input splits in two:
//   0: the handshake: the first part as the phone's first message, the second
//      as its Ta. A Ta that verifies would be a forgery.
//   1: the record opener, on the whole rest as a stream read in pieces of the
//      split's size. A record that opens would be a forgery.
//   2: the first part as a plaintext sealed with the opener's key, so that the
//      packet rules behind the authentication are reached: the record must
//      open exactly when the plaintext is one known packet and zero padding,
//      and then give that packet.
// Any failure must be final.
#include "SecureHandshake.h"
#include "SecureRecord.h"

#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void handshake(const uint8_t* hello, std::size_t helloSize, const uint8_t* tag, std::size_t tagSize)
{
    ReceiverHandshake receiver("fuzz");
    Bytes reply;
    const HandshakeResult result = receiver.hello("passcode", hello, helloSize, reply);
    check(reply.empty() == (result == HandshakeResult::NotSecureLogin));
    if (result != HandshakeResult::Ok) {
        check(receiver.takeTag(tag, tagSize) == HandshakeResult::Failed);
        return;
    }
    receiver.takeTag(tag, tagSize);
    check(receiver.verifyTag(reply) == HandshakeResult::BadTag && receiver.keys() == nullptr);
}

// Opens `stream` in pieces of `piece` bytes; the packets it gave, or -1 once it failed.
int openAll(RecordOpener& opener, const uint8_t* stream, std::size_t size, std::size_t piece, Bytes* packet)
{
    int packets = 0;
    for (std::size_t at = 0; at < size;) {
        const std::size_t given = std::min(piece, size - at);
        std::size_t used = 0;
        const RecordOpener::Status status = opener.feed(stream + at, given, used);
        check(used <= given && (status != RecordOpener::Status::NeedMore || used == given));
        at += used;
        if (status == RecordOpener::Status::Failed) {
            check(opener.failed() && opener.feed(stream, size, used) == RecordOpener::Status::Failed && used == 0);
            return -1;
        }
        if (status == RecordOpener::Status::Packet) {
            check(opener.packetSize() > 0 && opener.packetSize() <= kRecordMaxPlaintext);
            if (packet != nullptr)
                packet->assign(opener.packet(), opener.packet() + opener.packetSize());
            ++packets;
        }
    }
    return packets;
}

// The packet rules, said again independently: the packet's size, or 0 when
// the plaintext must be refused.
std::size_t expectedPacket(const uint8_t* plain, std::size_t size)
{
    if (size < kRecordMinPlaintext || size > kRecordMaxPlaintext)
        return 0;
    std::size_t packet = 0;
    if (plain[0] == REMOTE_PACKET_MOUSE)
        packet = REMOTE_MOUSE_PACKET_SIZE;
    else if (plain[0] == REMOTE_PACKET_KEYBOARD)
        packet = REMOTE_KEYBOARD_PACKET_SIZE;
    else if (plain[0] == REMOTE_PACKET_MESSAGE)
        packet = REMOTE_MESSAGE_HEADER_SIZE + (plain[1] | plain[2] << 8 | plain[3] << 16 | std::size_t(plain[4]) << 24);
    if (packet == 0 || packet > size)
        return 0;
    for (std::size_t i = packet; i < size; ++i) {
        if (plain[i] != 0)
            return 0;
    }
    return packet;
}

void sealedPlaintext(const RecordKey& key, const uint8_t* plain, std::size_t size, std::size_t piece)
{
    if (size > kRecordMaxPlaintext)
        return;
    Bytes record(kRecordHeaderSize + kRecordTagSize + size);
    record[0] = uint8_t((kRecordTagSize + size) & 0xFF);
    record[1] = uint8_t((kRecordTagSize + size) >> 8);
    const uint8_t nonce[crypto_aead_chacha20poly1305_ietf_NPUBBYTES] = {};
    crypto_aead_chacha20poly1305_ietf_encrypt(record.data() + 2, nullptr, plain, size, record.data(), 2, nullptr,
                                              nonce, key.data());
    RecordOpener opener(key);
    Bytes packet;
    const std::size_t expected = expectedPacket(plain, size);
    check(openAll(opener, record.data(), record.size(), piece, &packet) == (expected != 0 ? 1 : -1));
    check(packet.size() == expected && (expected == 0 || std::memcmp(packet.data(), plain, expected) == 0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 3 || size > 3 + 2 * kRecordMaxBody || !sodiumReady())
        return 0;
    const std::size_t rest = size - 3;
    const std::size_t split = std::min<std::size_t>(rest, std::size_t(data[1]) | std::size_t(data[2]) << 8);
    const uint8_t* first = data + 3;
    const uint8_t* second = first + split;
    RecordKey key; // all zero: the fuzzer may know it, it only has to seal with it
    switch (data[0] % 3) {
    case 0:
        handshake(first, split, second, rest - split);
        break;
    case 1: {
        RecordOpener opener(key);
        check(openAll(opener, first, rest, std::max<std::size_t>(split, 1), nullptr) <= 0);
        break;
    }
    default:
        sealedPlaintext(key, first, split, std::max<std::size_t>(rest - split, 1));
        break;
    }
    return 0;
}
