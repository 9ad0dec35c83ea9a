// SPDX-License-Identifier: GPL-3.0-or-later
// The session stream parser, fed the same mixed stream in every way it can be
// cut, and refusing the bytes that end a session.
#include "net/PacketStreamParser.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string describe(const SessionPacket& packet)
{
    if (auto* key = std::get_if<KeyboardPacket>(&packet))
        return "key " + std::to_string(key->state) + " " + std::to_string(key->keycode);
    if (auto* mouse = std::get_if<MousePacket>(&packet))
        return "mouse " + std::to_string(mouse->buttons) + " " + std::to_string(mouse->dx) + " "
               + std::to_string(mouse->dy);
    const auto& message = std::get<MessagePacket>(packet);
    return "message " + std::string(message.payload.begin(), message.payload.end());
}

std::vector<std::string> drain(PacketStreamParser& parser)
{
    std::vector<std::string> seen;
    while (auto packet = parser.next())
        seen.push_back(describe(*packet));
    return seen;
}

// Feeds `stream` cut at the given positions (ascending) and collects every
// packet as soon as it is complete.
std::vector<std::string> parseWithCuts(const Bytes& stream, const std::vector<std::size_t>& cuts)
{
    PacketStreamParser parser;
    std::vector<std::string> seen;
    std::size_t from = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(stream.size());
    for (std::size_t end : ends) {
        parser.feed(stream.data() + from, end - from);
        for (auto& packet : drain(parser))
            seen.push_back(packet);
        from = end;
    }
    EXPECT_FALSE(parser.failed()) << parser.error();
    return seen;
}

const Bytes kMixedStream = messagePacket({'h', 'i'}) + keyboardPacket(1, 0x41) + mousePacket(1, -3, 5)
                           + keyboardPacket(0, 0x08010020) + messagePacket({}) + mousePacket(0x10, 32767, -32768)
                           + keyboardPacket(1, 0xFFE1);

const std::vector<std::string> kMixedPackets = {
    "message hi",        "key 1 65",          "mouse 1 -3 5",      "key 0 134283296",
    "message ",          "mouse 16 32767 -32768", "key 1 65505",
};

} // namespace

TEST(PacketStreamParser, MixedStreamInOneChunkAndByteByByte)
{
    EXPECT_EQ(parseWithCuts(kMixedStream, {}), kMixedPackets);

    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < kMixedStream.size(); ++i)
        everyByte.push_back(i);
    EXPECT_EQ(parseWithCuts(kMixedStream, everyByte), kMixedPackets);
}

TEST(PacketStreamParser, MixedStreamCutAtEveryOneAndTwoPlaces)
{
    const std::size_t size = kMixedStream.size();
    for (std::size_t first = 1; first < size; ++first) {
        ASSERT_EQ(parseWithCuts(kMixedStream, {first}), kMixedPackets) << "cut at " << first;
        for (std::size_t second = first + 1; second < size; ++second)
            ASSERT_EQ(parseWithCuts(kMixedStream, {first, second}), kMixedPackets)
                << "cuts at " << first << " and " << second;
    }
}

TEST(PacketStreamParser, PaddingBytesOfKeyboardEventAreIgnored)
{
    PacketStreamParser parser;
    const Bytes key = {0x01, 0x01, 0xAB, 0xCD, 0x20, 0x00, 0x01, 0x08};
    parser.feed(key.data(), key.size());
    auto packet = parser.next();
    ASSERT_TRUE(packet);
    EXPECT_EQ(describe(*packet), "key 1 134283296"); // 0x08010020
}

TEST(PacketStreamParser, UnknownTypeByteFailsAfterTheGoodPacketsBeforeIt)
{
    for (uint8_t badType : {uint8_t(0x02), uint8_t(0x7F), uint8_t(0x81), uint8_t(0xFF)}) {
        PacketStreamParser parser;
        const Bytes stream = keyboardPacket(1, 0x41) + Bytes{badType} + mousePacket(1, 1, 1);
        parser.feed(stream.data(), stream.size());
        EXPECT_EQ(drain(parser), std::vector<std::string>{"key 1 65"});
        EXPECT_TRUE(parser.failed());
        EXPECT_NE(parser.error().find("unknown packet type"), std::string::npos) << parser.error();

        // Nothing after the failure is parsed, however much more arrives.
        const Bytes more = keyboardPacket(1, 0x42);
        parser.feed(more.data(), more.size());
        EXPECT_FALSE(parser.next());
    }
}

TEST(PacketStreamParser, MessageLengthOverTheLimitFailsOnceTheHeaderIsComplete)
{
    for (uint32_t length : {4097u, 65536u, 0xFFFFFFFFu}) {
        PacketStreamParser parser;
        const Bytes header = {0x80, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                              uint8_t(length >> 24)};
        parser.feed(header.data(), 4);
        EXPECT_FALSE(parser.next());
        EXPECT_FALSE(parser.failed()) << "the length is not known yet";
        parser.feed(header.data() + 4, 1);
        EXPECT_FALSE(parser.next());
        EXPECT_TRUE(parser.failed()) << length;
        EXPECT_NE(parser.error().find(std::to_string(length)), std::string::npos) << parser.error();
    }
}

TEST(PacketStreamParser, MessageOfExactlyTheLimitIsRead)
{
    PacketStreamParser parser;
    const Bytes stream = messagePacket(Bytes(4096, 'x')) + keyboardPacket(0, 7);
    parser.feed(stream.data(), stream.size());
    auto message = parser.next();
    ASSERT_TRUE(message);
    EXPECT_EQ(std::get<MessagePacket>(*message).payload.size(), 4096u);
    auto key = parser.next();
    ASSERT_TRUE(key);
    EXPECT_EQ(describe(*key), "key 0 7");
    EXPECT_FALSE(parser.failed());
}

TEST(PacketStreamParser, LongRunOfSmallPacketsKeepsParsing)
{
    // Many packets in one chunk exercise the buffer's compaction.
    Bytes stream;
    for (int i = 0; i < 2000; ++i)
        stream = stream + mousePacket(0, int16_t(i), int16_t(-i));
    PacketStreamParser parser;
    std::size_t count = 0;
    for (std::size_t at = 0; at < stream.size(); at += 1000) {
        parser.feed(stream.data() + at, std::min<std::size_t>(1000, stream.size() - at));
        while (auto packet = parser.next()) {
            const auto& mouse = std::get<MousePacket>(*packet);
            ASSERT_EQ(mouse.dx, int16_t(count));
            ASSERT_EQ(mouse.dy, int16_t(-int(count)));
            ++count;
        }
    }
    EXPECT_EQ(count, 2000u);
}
