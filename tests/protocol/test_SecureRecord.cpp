// SPDX-License-Identifier: GPL-3.0-or-later
// The records of the secure session: streams in any split, tampering of every
// kind refused for good, sizes refused from the header alone, and no heap
// allocation on either side (this program counts every operator new).
#include "SecureRecord.h"

#include "support/HeapAllocations.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using Status = RecordOpener::Status;

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

Bytes join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Any plaintext sealed by hand, as a peer with the key could, with the nonce
// as the design lays it out: 4 zero bytes, then the counter little-endian.
Bytes sealRaw(const RecordKey& key, uint64_t counter, const Bytes& plain)
{
    Bytes record = {uint8_t(kRecordTagSize + plain.size()), uint8_t((kRecordTagSize + plain.size()) >> 8)};
    record.resize(kRecordHeaderSize + kRecordTagSize + plain.size());
    std::array<uint8_t, 12> nonce{};
    for (int i = 0; i < 8; ++i)
        nonce[4 + i] = uint8_t(counter >> (8 * i));
    crypto_aead_chacha20poly1305_ietf_encrypt(record.data() + 2, nullptr, plain.data(), plain.size(), record.data(), 2,
                                              nullptr, nonce.data(), key.data());
    return record;
}

struct Opened {
    std::vector<Bytes> packets;
    std::size_t taken = 0; // bytes the opener took, up to its refusal
    bool failed = false;
    long allocations = 0; // by the opener itself
};

// Feeds `stream` in pieces of at most `piece` bytes, as reads would deliver
// it; once refused, the opener must take nothing more.
Opened openStream(RecordOpener& opener, const Bytes& stream, std::size_t piece)
{
    Opened opened;
    while (opened.taken < stream.size()) {
        std::size_t used = 0;
        const long mark = heapAllocations();
        const Status status = opener.feed(stream.data() + opened.taken, std::min(piece, stream.size() - opened.taken), used);
        opened.allocations += heapAllocations() - mark;
        opened.taken += used;
        if (status == Status::Packet)
            opened.packets.emplace_back(opener.packet(), opener.packet() + opener.packetSize());
        if (status == Status::Failed) {
            opened.failed = true;
            EXPECT_EQ(opener.feed(stream.data(), stream.size(), used), Status::Failed);
            EXPECT_EQ(used, 0u);
            break;
        }
    }
    return opened;
}

TEST(SecureRecord, PacketsComeOutWholeInEverySplitWithoutHeapAllocation)
{
    ASSERT_TRUE(sodiumReady());
    const long control = heapAllocations();
    const Bytes counted(1);
    ASSERT_GT(heapAllocations(), control) << "the count must see this program's allocations";

    const RecordKey key = randomKey();
    const std::vector<Bytes> packets = {kMouse, kKeyboard, message(0), message(30), message(REMOTE_RECEIVE_CAPACITY)};
    RecordSealer sealer(key);
    Bytes stream;
    long allocations = 0;
    std::array<uint8_t, recordSize(kRecordMaxPlaintext)> record;
    for (const Bytes& packet : packets) {
        const long mark = heapAllocations();
        const int size = sealer.seal(packet.data(), packet.size(), record.data(), record.size());
        allocations += heapAllocations() - mark;
        ASSERT_EQ(size, int(recordSize(packet.size())));
        stream.insert(stream.end(), record.begin(), record.begin() + size);
    }
    // Mouse and keyboard records are the same size on the wire.
    EXPECT_EQ(recordSize(kMouse.size()), 26u);
    EXPECT_EQ(recordSize(kKeyboard.size()), 26u);
    for (std::size_t piece : {1, 2, 3, 25, 27, 100000}) {
        RecordOpener opener(key);
        const Opened opened = openStream(opener, stream, piece);
        EXPECT_EQ(opened.packets, packets) << "pieces of " << piece;
        allocations += opened.allocations;
    }
    EXPECT_EQ(allocations, 0);
}

TEST(SecureRecord, BadStreamsAreRefusedForGoodWithoutAllocatingForThem)
{
    const RecordKey key = randomKey();
    RecordSealer sealer(key);
    auto seal = [&sealer](const Bytes& packet) {
        Bytes record(recordSize(packet.size()));
        EXPECT_EQ(sealer.seal(packet.data(), packet.size(), record.data(), record.size()), int(record.size()));
        return record;
    };
    const Bytes first = seal(message(30)); // 53 bytes
    const Bytes second = seal(kMouse);
    const Bytes third = seal(kKeyboard);
    auto changed = [](Bytes record, std::size_t at, int by, int sizeChange) {
        record[at] = uint8_t(record[at] + by);
        record.resize(std::size_t(int(record.size()) + sizeChange));
        return record;
    };
    auto header = [](std::size_t length) { return Bytes{uint8_t(length & 0xFF), uint8_t(length >> 8)}; };
    const std::size_t smallest = kRecordTagSize + kRecordMinPlaintext;

    const struct {
        const char* what;
        Bytes stream;
        std::size_t opened; // records that open before the refusal
        std::size_t taken;  // bytes taken when it comes
    } cases[] = {
        {"a bit flipped in the ciphertext", changed(first, 5, 1, 0), 0, 53},
        {"a bit flipped in the tag", changed(first, 52, 1, 0), 0, 53},
        {"a length header one more, with a byte added", changed(first, 0, 1, 1), 0, 54},
        {"a length header one less, the record cut short", changed(first, 0, -1, -1), 0, 52},
        {"a replayed record", join({first, first}), 1, 106},
        {"reordered records", join({second, first}), 0, 26},
        {"a record dropped", join({first, third}), 1, 79},
        {"an unknown packet type", sealRaw(key, 0, Bytes{0x02, 0, 0, 0, 0, 0, 0, 0}), 0, 26},
        {"padding that is not zero", sealRaw(key, 0, Bytes{REMOTE_PACKET_MOUSE, 0, 0, 0, 0, 0, 0, 1}), 0, 26},
        {"a message longer than its record", sealRaw(key, 0, Bytes{REMOTE_PACKET_MESSAGE, 4, 0, 0, 0, 0, 0, 0}), 0, 26},
        {"a length of 65535", join({header(0xFFFF), Bytes(100)}), 0, 2},
        {"a length over the largest record", join({header(kRecordMaxBody + 1), Bytes(100)}), 0, 2},
        {"a length under the smallest record", join({header(smallest - 1), Bytes(smallest - 1)}), 0, 2},
    };
    for (const auto& c : cases) {
        for (std::size_t piece : {std::size_t(1), c.stream.size()}) {
            RecordOpener opener(key);
            const Opened opened = openStream(opener, join({c.stream, third}), piece);
            EXPECT_TRUE(opened.failed) << c.what;
            EXPECT_EQ(opened.packets.size(), c.opened) << c.what;
            EXPECT_EQ(opened.taken, c.taken) << c.what;
            EXPECT_EQ(opened.allocations, 0) << c.what;
        }
    }
    // The largest and the smallest record are waited for.
    for (std::size_t length : {kRecordMaxBody, smallest}) {
        RecordOpener opener(key);
        std::size_t used = 0;
        EXPECT_EQ(opener.feed(header(length).data(), 2, used), Status::NeedMore) << length;
    }
}

TEST(SecureRecord, TheSealerRefusesWhatItCannotSealAndACounterAtItsEndEndsTheDirection)
{
    const RecordKey key = randomKey();
    const uint64_t last = std::numeric_limits<uint64_t>::max();
    RecordSealer sealer(key, last);
    const Bytes tooLong = message(REMOTE_RECEIVE_CAPACITY + 1);
    Bytes out(recordSize(tooLong.size()));
    EXPECT_EQ(sealer.seal(tooLong.data(), tooLong.size(), out.data(), out.size()), -1);
    EXPECT_EQ(sealer.seal(kMouse.data(), 0, out.data(), out.size()), -1);
    EXPECT_EQ(sealer.seal(kMouse.data(), kMouse.size(), out.data(), 25), -1);
    ASSERT_EQ(sealer.seal(kMouse.data(), kMouse.size(), out.data(), 26), 26);
    EXPECT_EQ(sealer.seal(kMouse.data(), kMouse.size(), out.data(), 26), -1);

    RecordOpener opener(key, last);
    EXPECT_EQ(openStream(opener, Bytes(out.begin(), out.begin() + 26), 26).packets, std::vector<Bytes>{kMouse});
    // Whatever came next could only reuse a nonce.
    EXPECT_TRUE(openStream(opener, sealRaw(key, 0, kKeyboard), 26).failed);
}

} // namespace
