// SPDX-License-Identifier: GPL-3.0-or-later
// The records of the secure session: streams in any split, tampering of every
// kind refused for good, sizes refused from the header alone, and no heap
// allocation on either side (this program counts every operator new).
#include "SecureRecord.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace {
std::atomic<long> heapAllocations{0};
}

void* operator new(std::size_t size)
{
    ++heapAllocations;
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept
{
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}

namespace {

const Bytes kMouse = {REMOTE_PACKET_MOUSE, 1, 0xFE, 0xFF, 3, 0};
const Bytes kKeyboard = {REMOTE_PACKET_KEYBOARD, 1, 0, 0, 0x61, 0, 0, 0};

Bytes message(std::size_t length)
{
    Bytes packet = {REMOTE_PACKET_MESSAGE, uint8_t(length), uint8_t(length >> 8), 0, 0};
    packet.resize(REMOTE_MESSAGE_HEADER_SIZE + length, 'x');
    return packet;
}

RecordKey randomKey()
{
    RecordKey key;
    randombytes_buf(key.data(), key.size());
    return key;
}

Bytes seal(RecordSealer& sealer, const Bytes& packet)
{
    Bytes record(recordSize(packet.size()));
    EXPECT_EQ(sealer.seal(packet.data(), packet.size(), record.data(), record.size()), int(record.size()));
    return record;
}

// A record with any plaintext, sealed by hand as a peer with the key could.
Bytes sealRaw(const RecordKey& key, uint64_t counter, const Bytes& plain)
{
    Bytes record(kRecordHeaderSize + kRecordTagSize + plain.size());
    record[0] = uint8_t((record.size() - 2) & 0xFF);
    record[1] = uint8_t((record.size() - 2) >> 8);
    std::array<uint8_t, 12> nonce{};
    for (int i = 0; i < 8; ++i)
        nonce[4 + i] = uint8_t(counter >> (8 * i));
    crypto_aead_chacha20poly1305_ietf_encrypt(record.data() + 2, nullptr, plain.data(), plain.size(), record.data(), 2,
                                              nullptr, nonce.data(), key.data());
    return record;
}

struct Opened {
    std::vector<Bytes> packets;
    bool failed = false;
    long allocations = 0; // by the opener itself
};

// Feeds `stream` in pieces of `piece` bytes, as reads would deliver it.
Opened openStream(RecordOpener& opener, const Bytes& stream, std::size_t piece)
{
    Opened opened;
    for (std::size_t at = 0; at < stream.size() && !opened.failed;) {
        std::size_t count = std::min(piece, stream.size() - at);
        while (count > 0) {
            std::size_t used = 0;
            const long mark = heapAllocations;
            const RecordOpener::Status status = opener.feed(stream.data() + at, count, used);
            opened.allocations += heapAllocations - mark;
            at += used;
            count -= used;
            if (status == RecordOpener::Status::Failed) {
                opened.failed = true;
                break;
            }
            if (status == RecordOpener::Status::Packet)
                opened.packets.emplace_back(opener.packet(), opener.packet() + opener.packetSize());
        }
    }
    return opened;
}

TEST(SecureRecord, PacketsComeOutWholeInEverySplitWithoutHeapAllocation)
{
    ASSERT_TRUE(sodiumReady());
    const long control = heapAllocations;
    const Bytes counted(1);
    ASSERT_GT(heapAllocations, control) << "the count must see this program's allocations";
    const RecordKey key = randomKey();
    const std::vector<Bytes> packets = {kMouse, kKeyboard, message(0), message(30), message(REMOTE_RECEIVE_CAPACITY)};
    RecordSealer sealer(key);
    Bytes stream;
    long allocations = 0;
    std::array<uint8_t, recordSize(kRecordMaxPlaintext)> record;
    for (const Bytes& packet : packets) {
        const long mark = heapAllocations;
        const int size = sealer.seal(packet.data(), packet.size(), record.data(), record.size());
        allocations += heapAllocations - mark;
        ASSERT_EQ(size, int(recordSize(packet.size())));
        stream.insert(stream.end(), record.begin(), record.begin() + size);
    }
    // Mouse and keyboard records are the same size on the wire.
    EXPECT_EQ(recordSize(kMouse.size()), 26u);
    EXPECT_EQ(recordSize(kKeyboard.size()), 26u);

    for (std::size_t piece : {std::size_t(1), std::size_t(2), std::size_t(3), std::size_t(25), std::size_t(27),
                              stream.size()}) {
        RecordOpener opener(key);
        const Opened opened = openStream(opener, stream, piece);
        EXPECT_FALSE(opened.failed) << "pieces of " << piece;
        EXPECT_EQ(opened.packets, packets) << "pieces of " << piece;
        allocations += opened.allocations;
    }
    EXPECT_EQ(allocations, 0);
}

TEST(SecureRecord, TamperedStreamsAreRefusedAndStayRefused)
{
    const RecordKey key = randomKey();
    RecordSealer sealer(key);
    const Bytes first = seal(sealer, kKeyboard);
    const Bytes second = seal(sealer, kMouse);
    const Bytes valid = seal(sealer, kKeyboard); // the third record, for after a failure

    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    auto flipped = [](Bytes record, std::size_t at) {
        record[at] ^= 0x01;
        return record;
    };
    Bytes longer = first;
    longer[0] += 1;
    longer.push_back(0);
    Bytes shorter = first;
    shorter[0] -= 1;
    shorter.pop_back();
    Bytes padded = kMouse;
    padded.resize(8);
    padded[7] = 1;

    const struct {
        const char* what;
        Bytes stream;
        std::size_t opened; // records that open before the refusal
    } cases[] = {
        {"a bit flipped in the ciphertext", flipped(first, 5), 0},
        {"a bit flipped in the tag", flipped(first, first.size() - 1), 0},
        {"a length header one more, with a byte added", longer, 0},
        {"a length header one less, the record cut short", shorter, 0},
        {"a replayed record", join({first, first}), 1},
        {"reordered records", join({second, first}), 0},
        {"a record dropped", join({first, valid}), 1},
        {"an unknown packet type", sealRaw(key, 0, Bytes{0x02, 0, 0, 0, 0, 0, 0, 0}), 0},
        {"padding that is not zero", sealRaw(key, 0, padded), 0},
        {"a message longer than its record", sealRaw(key, 0, Bytes{REMOTE_PACKET_MESSAGE, 4, 0, 0, 0, 0, 0, 0}), 0},
        {"a plaintext under 8 bytes", sealRaw(key, 0, Bytes{REMOTE_PACKET_KEYBOARD, 1, 0, 0, 0x61, 0, 0}), 0},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {std::size_t(1), c.stream.size()}) {
            RecordOpener opener(key);
            const Opened opened = openStream(opener, join({c.stream, valid}), piece);
            EXPECT_TRUE(opened.failed) << c.what;
            EXPECT_EQ(opened.packets.size(), c.opened) << c.what;
            std::size_t used = 99;
            EXPECT_EQ(opener.feed(valid.data(), valid.size(), used), RecordOpener::Status::Failed) << c.what;
            EXPECT_EQ(used, 0u) << c.what;
        }
    }
}

TEST(SecureRecord, SizesOutOfRangeAreRefusedFromTheHeaderAlone)
{
    const RecordKey key = randomKey();
    const long before = heapAllocations;
    const struct {
        uint16_t length;
        RecordOpener::Status status;
    } headers[] = {
        {0xFFFF, RecordOpener::Status::Failed},
        {uint16_t(kRecordMaxBody + 1), RecordOpener::Status::Failed},
        {uint16_t(kRecordMaxBody), RecordOpener::Status::NeedMore},
        {uint16_t(kRecordTagSize + kRecordMinPlaintext), RecordOpener::Status::NeedMore},
        {uint16_t(kRecordTagSize + kRecordMinPlaintext - 1), RecordOpener::Status::Failed},
        {0, RecordOpener::Status::Failed},
    };
    for (const auto& h : headers) {
        RecordOpener opener(key);
        const uint8_t header[2] = {uint8_t(h.length & 0xFF), uint8_t(h.length >> 8)};
        std::size_t used = 0;
        EXPECT_EQ(opener.feed(header, 2, used), h.status) << h.length;
        EXPECT_EQ(used, 2u);
        EXPECT_EQ(opener.buffered(), h.status == RecordOpener::Status::Failed ? 0u : 2u) << h.length;
    }
    EXPECT_EQ(heapAllocations, before);

    RecordSealer sealer(key);
    const Bytes tooLong = message(REMOTE_RECEIVE_CAPACITY + 1);
    Bytes out(recordSize(tooLong.size()));
    EXPECT_EQ(sealer.seal(tooLong.data(), tooLong.size(), out.data(), out.size()), -1);
    EXPECT_EQ(sealer.seal(kMouse.data(), 0, out.data(), out.size()), -1);
    EXPECT_EQ(sealer.seal(kMouse.data(), kMouse.size(), out.data(), recordSize(kMouse.size()) - 1), -1);
}

TEST(SecureRecord, ACounterAtItsEndEndsTheDirection)
{
    const RecordKey key = randomKey();
    const uint64_t last = std::numeric_limits<uint64_t>::max();
    RecordSealer sealer(key, last);
    const Bytes record = seal(sealer, kMouse);
    Bytes out(recordSize(kMouse.size()));
    EXPECT_EQ(sealer.seal(kMouse.data(), kMouse.size(), out.data(), out.size()), -1);

    RecordOpener opener(key, last);
    const Opened opened = openStream(opener, record, record.size());
    EXPECT_FALSE(opened.failed);
    EXPECT_EQ(opened.packets, std::vector<Bytes>{kMouse});
    // Whatever comes next could only reuse a nonce.
    EXPECT_TRUE(openStream(opener, sealRaw(key, 0, kKeyboard), 26).failed);
}

} // namespace
