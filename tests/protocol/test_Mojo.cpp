// SPDX-License-Identifier: GPL-3.0-or-later
#include "MojoTree.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes left, const Bytes& right)
{
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

void insert(mojo_node* dictionary, const char* name, mojo_node* value)
{
    ASSERT_EQ(mojo_dic_insert(dictionary, mojo_create_pair(mojo_create_pair_value(name, value))), 0);
}

Bytes encode(const mojo_node* node, int capacity = 4096)
{
    Bytes buffer(static_cast<size_t>(capacity));
    const int written = mojo_encode(node, buffer.data(), capacity);
    EXPECT_GE(written, 0);
    buffer.resize(written < 0 ? 0 : static_cast<size_t>(written));
    return buffer;
}

// Decodes into a fresh node; `consumed` receives the result.
MojoTree decode(const Bytes& bytes, int& consumed)
{
    MojoTree node(mojo_create());
    consumed = mojo_decode(node.get(), bytes.data(), static_cast<int>(bytes.size()));
    return node;
}

MojoTree login_request(const std::string& passcode)
{
    MojoTree request(mojo_create_with_type(MOJO_DICTIONARY));
    insert(request.get(), "Cmd", mojo_create_string("Login"));
    insert(request.get(), "Passcode", mojo_create_string(passcode.c_str()));
    return request;
}

const Bytes kReply = {0x5B, 0x73, 0x03, 0x52, 0x73, 0x70, 0x69, 0x00, 0x00, 0x00, 0x00, 0x5D};

TEST(MojoWorkedExamples, LoginRequestEncodesByteForByte)
{
    const Bytes expected = {0x5B, 0x73, 0x03, 'C', 'm', 'd', 0x73, 0x05, 'L', 'o', 'g', 'i', 'n',
                            0x73, 0x08, 'P', 'a', 's', 's', 'c', 'o', 'd', 'e', 0x73, 0x04,
                            's', 'e', 'c', 'r', 0x5D};
    EXPECT_EQ(encode(login_request("secr").get()), expected);
}

TEST(MojoWorkedExamples, LoginRequestSizeFollowsPasscodeLength)
{
    EXPECT_EQ(encode(login_request("").get()).size(), 26u);
    EXPECT_EQ(encode(login_request(std::string(255, 'x')).get()).size(), 26u + 255);

    const Bytes longForm = encode(login_request(std::string(256, 'x')).get());
    ASSERT_EQ(longForm.size(), 27u + 256);
    EXPECT_EQ(longForm[23], 0x53);
    EXPECT_EQ(longForm[24], 0x00);
    EXPECT_EQ(longForm[25], 0x01);
}

TEST(MojoWorkedExamples, ReplyDecodesToRspZero)
{
    int consumed = 0;
    MojoTree reply = decode(kReply, consumed);
    EXPECT_EQ(consumed, 12);
    int32_t rsp = 7;
    EXPECT_EQ(mojo_get_int(mojo_dic_get_value(reply.get(), "Rsp"), &rsp), 0);
    EXPECT_EQ(rsp, 0);
}

TEST(MojoScalars, EmptyContainersAndEmptyString)
{
    MojoTree dictionary(mojo_create_with_type(MOJO_DICTIONARY));
    MojoTree list(mojo_create_with_type(MOJO_LIST));
    MojoTree empty(mojo_create_string(""));
    EXPECT_EQ(encode(dictionary.get()), (Bytes{0x5B, 0x5D}));
    EXPECT_EQ(encode(list.get()), (Bytes{0x7B, 0x7D}));
    EXPECT_EQ(encode(empty.get()), (Bytes{0x73, 0x00}));

    for (const Bytes& wire : {Bytes{0x5B, 0x5D}, Bytes{0x7B, 0x7D}}) {
        int consumed = 0;
        MojoTree node = decode(wire, consumed);
        EXPECT_EQ(consumed, 2);
        EXPECT_EQ(node->value, 0) << "an empty container has no first child";
    }
    int consumed = 0;
    MojoTree text = decode(Bytes{0x73, 0x00}, consumed);
    EXPECT_EQ(consumed, 2);
    EXPECT_STREQ(mojo_get_string(text.get()), "");
}

TEST(MojoScalars, StringLengthChoosesShortOrLongForm)
{
    MojoTree s255(mojo_create_string(std::string(255, 'a').c_str()));
    const Bytes wire255 = encode(s255.get());
    ASSERT_EQ(wire255.size(), 257u);
    EXPECT_EQ(wire255[0], 0x73);
    EXPECT_EQ(wire255[1], 0xFF);

    MojoTree s256(mojo_create_string(std::string(256, 'a').c_str()));
    const Bytes wire256 = encode(s256.get());
    ASSERT_EQ(wire256.size(), 259u);
    EXPECT_EQ(wire256[0], 0x53);
    EXPECT_EQ(wire256[1], 0x00);
    EXPECT_EQ(wire256[2], 0x01);

    std::vector<uint8_t> big(70000);
    MojoTree tooLong(mojo_create_string(std::string(65536, 'a').c_str()));
    EXPECT_EQ(mojo_encode(tooLong.get(), big.data(), static_cast<int>(big.size())), -1);
}

TEST(MojoScalars, LongStringMarkerDecodesAsString)
{
    int consumed = 0;
    MojoTree node = decode(Bytes{0x53, 0x03, 0x00, 'A', 'B', 'C'}, consumed);
    EXPECT_EQ(consumed, 6);
    EXPECT_EQ(node->type, MOJO_STRING);
    EXPECT_STREQ(mojo_get_string(node.get()), "ABC");
}

TEST(MojoScalars, IntegersAreLittleEndianAndSigned)
{
    int consumed = 0;
    int32_t number = 0;
    MojoTree minusOne = decode(Bytes{0x69, 0xFF, 0xFF, 0xFF, 0xFF}, consumed);
    EXPECT_EQ(consumed, 5);
    EXPECT_EQ(mojo_get_int(minusOne.get(), &number), 0);
    EXPECT_EQ(number, -1);

    MojoTree one = decode(Bytes{0x69, 0x01, 0x00, 0x00, 0x00}, consumed);
    EXPECT_EQ(mojo_get_int(one.get(), &number), 0);
    EXPECT_EQ(number, 1);

    MojoTree port(mojo_create_int(25736));
    EXPECT_EQ(encode(port.get()), (Bytes{0x69, 0x88, 0x64, 0x00, 0x00}));
    MojoTree lowest(mojo_create_int(INT32_MIN));
    EXPECT_EQ(encode(lowest.get()), (Bytes{0x69, 0x00, 0x00, 0x00, 0x80}));
}

TEST(MojoScalars, CharacterAndNull)
{
    MojoTree character(mojo_create_char(0xE9));
    MojoTree null(mojo_create_with_type(MOJO_NULL));
    EXPECT_EQ(encode(character.get()), (Bytes{0x63, 0xE9}));
    EXPECT_EQ(encode(null.get()), (Bytes{0x6E}));

    int consumed = 0;
    MojoTree decoded = decode(Bytes{0x63, 0xE9}, consumed);
    EXPECT_EQ(consumed, 2);
    EXPECT_EQ(decoded->type, MOJO_CHARACTER);
    EXPECT_EQ(decoded->value, 0xE9) << "the byte sits in the low 8 bits, the rest stay 0";
}

TEST(MojoScalars, BlankNodeWritesNothingInsideItsParent)
{
    MojoTree blank(mojo_create());
    uint8_t byte = 0xAA;
    EXPECT_EQ(mojo_encode(blank.get(), &byte, 1), 0);
    EXPECT_EQ(byte, 0xAA);

    MojoTree list(mojo_create_with_type(MOJO_LIST));
    list->value = reinterpret_cast<intptr_t>(mojo_create());
    EXPECT_EQ(encode(list.get()), (Bytes{0x7B, 0x7D}));
}

TEST(MojoDictionary, DuplicateNamesKeepOrderAndLookupFindsFirst)
{
    MojoTree dictionary(mojo_create_with_type(MOJO_DICTIONARY));
    insert(dictionary.get(), "k", mojo_create_string("first"));
    insert(dictionary.get(), "k", mojo_create_string("second"));
    EXPECT_STREQ(mojo_get_string(mojo_dic_get_value(dictionary.get(), "k")), "first");

    const Bytes wire = encode(dictionary.get());
    int consumed = 0;
    MojoTree decoded = decode(wire, consumed);
    EXPECT_EQ(consumed, static_cast<int>(wire.size()));
    EXPECT_EQ(encode(decoded.get()), wire) << "decoding keeps the order of the entries";
}

TEST(MojoDictionary, LookupIsCaseSensitiveAndStopsAtANonPair)
{
    MojoTree dictionary(mojo_create_with_type(MOJO_DICTIONARY));
    insert(dictionary.get(), "Name", mojo_create_string("desk"));
    EXPECT_EQ(mojo_dic_get_value(dictionary.get(), "name"), nullptr);

    // A chain that holds a non-pair node: names after it are not found.
    mojo_node* pair = reinterpret_cast<mojo_node*>(dictionary->value);
    pair->next = mojo_create_string("stray");
    pair->next->next = mojo_create_pair(mojo_create_pair_value("Os", mojo_create_string("Linux")));
    EXPECT_NE(mojo_dic_get_value(dictionary.get(), "Name"), nullptr);
    EXPECT_EQ(mojo_dic_get_value(dictionary.get(), "Os"), nullptr);
}

// Entries appended by insert, by hand behind them, and by insert again,
// into dictionaries of every origin, end up in that order.
TEST(MojoDictionary, InsertAppendsBehindEveryEntryWhereverTheDictionaryCameFrom)
{
    const Bytes nested = {0x5B, 0x73, 0x01, 'o', 0x5B, 0x73, 0x01, 'i', 0x6E, 0x5D, 0x5D};
    int consumed = 0;
    MojoTree decoded = decode(nested, consumed);
    ASSERT_EQ(consumed, int(nested.size()));
    MojoTree built(mojo_create_with_type(MOJO_DICTIONARY));
    insert(built.get(), "a", mojo_create_int(1));
    const std::pair<mojo_node*, Bytes> cases[] = {
        {built.get(), Bytes{0x5B, 0x73, 0x01, 'a', 0x69, 1, 0, 0, 0}},
        {decoded.get(), {}},
        {mojo_dic_get_value(decoded.get(), "o"), Bytes{0x5B, 0x73, 0x01, 'i', 0x6E}},
    };
    for (const auto& [dictionary, before] : cases) {
        insert(dictionary, "x", mojo_create_char('1'));
        mojo_node* last = reinterpret_cast<mojo_node*>(dictionary->value);
        while (last->next)
            last = last->next;
        last->next = mojo_create_pair(mojo_create_pair_value("y", mojo_create_char('2')));
        insert(dictionary, "z", mojo_create_char('3'));
    }
    const Bytes entries = {0x73, 0x01, 'x', 0x63, '1', 0x73, 0x01, 'y', 0x63, '2', 0x73, 0x01, 'z', 0x63, '3'};
    const Bytes inner = cases[2].second + entries + Bytes{0x5D};
    EXPECT_EQ(encode(built.get()), cases[0].second + entries + Bytes{0x5D});
    EXPECT_EQ(encode(mojo_dic_get_value(decoded.get(), "o")), inner);
    EXPECT_EQ(encode(decoded.get()), (Bytes{0x5B, 0x73, 0x01, 'o'} + inner + entries + Bytes{0x5D}));
}

// A decoded tree's nodes share one block, but each is owned as a node of its
// own: values move between decoded trees and trees built by hand, and every
// tree frees what it holds, in any order (the sanitizer build catches a
// block freed too early or never).
TEST(MojoOwnership, DecodedAndBuiltNodesMixInEveryDirection)
{
    MojoTree source(mojo_create_with_type(MOJO_DICTIONARY));
    insert(source.get(), "Name", mojo_create_string("desk"));
    insert(source.get(), "List", mojo_create_with_type(MOJO_LIST));
    const Bytes wire = encode(source.get());
    for (int order = 0; order < 2; ++order) {
        int consumed = 0;
        MojoTree decoded = decode(wire, consumed);
        ASSERT_EQ(consumed, int(wire.size()));
        // A decoded value moves into a tree built by hand; a built one takes its place.
        auto* record = reinterpret_cast<mojo_pair_value*>(reinterpret_cast<mojo_node*>(decoded->value)->value);
        MojoTree built(mojo_create_with_type(MOJO_DICTIONARY));
        insert(built.get(), "Moved", record->value);
        record->value = mojo_create_string("lent");
        // A built entry goes into the decoded tree, and into its decoded list.
        insert(decoded.get(), "Added", mojo_create_int(7));
        mojo_node* list = mojo_dic_get_value(decoded.get(), "List");
        list->value = reinterpret_cast<intptr_t>(mojo_create_with_type(MOJO_NULL));
        // A decoded string node is refused as the target of another decode.
        EXPECT_EQ(mojo_decode(mojo_dic_get_value(built.get(), "Moved"), wire.data(), int(wire.size())), -1);
        if (order == 0)
            decoded.reset();
        EXPECT_STREQ(mojo_get_string(mojo_dic_get_value(built.get(), "Moved")), "desk");
        if (order == 1) {
            built.reset();
            int32_t added = 0;
            EXPECT_EQ(mojo_get_int(mojo_dic_get_value(decoded.get(), "Added"), &added), 0);
            const Bytes expected = Bytes{0x5B, 0x73, 4, 'N', 'a', 'm', 'e', 0x73, 4, 'l', 'e', 'n', 't'}
                                   + Bytes{0x73, 4, 'L', 'i', 's', 't', 0x7B, 0x6E, 0x7D}
                                   + Bytes{0x73, 5, 'A', 'd', 'd', 'e', 'd', 0x69, 7, 0, 0, 0, 0x5D};
            EXPECT_EQ(encode(decoded.get()), expected);
        }
    }
}

TEST(MojoDictionary, WrongKindsAreRefused)
{
    MojoTree list(mojo_create_with_type(MOJO_LIST));
    mojo_node* pair = mojo_create_pair(mojo_create_pair_value("a", mojo_create_int(1)));
    EXPECT_EQ(mojo_dic_insert(list.get(), pair), -1);
    EXPECT_EQ(list->value, 0);
    mojo_delete(pair);

    EXPECT_EQ(mojo_dic_get_value(list.get(), "a"), nullptr);
    int32_t number = 42;
    EXPECT_EQ(mojo_get_int(nullptr, &number), -1);
    EXPECT_EQ(number, 42);
    MojoTree text(mojo_create_string("5"));
    EXPECT_EQ(mojo_get_int(text.get(), &number), -1);
    MojoTree integer(mojo_create_int(5));
    EXPECT_EQ(mojo_get_string(integer.get()), nullptr);
    EXPECT_EQ(mojo_get_string(nullptr), nullptr);
}

TEST(MojoDecodeRefuses, ClosingMarkersAndUnknownBytesAsFirstByte)
{
    for (uint8_t first : {uint8_t(']'), uint8_t('}'), uint8_t('p'), uint8_t(0), uint8_t('x')}) {
        int consumed = 0;
        MojoTree node = decode(Bytes{first, 0x00, 0x00}, consumed);
        EXPECT_EQ(consumed, -1) << "first byte " << int(first);
    }
    int consumed = 0;
    MojoTree empty = decode(Bytes{}, consumed);
    EXPECT_EQ(consumed, -1);
}

TEST(MojoDecodeRefuses, NonStringKeys)
{
    for (const Bytes& wire : {Bytes{0x5B, 0x69, 1, 0, 0, 0, 0x6E, 0x5D}, Bytes{0x5B, 0x7B, 0x7D, 0x6E, 0x5D},
                              Bytes{0x5B, 0x6E, 0x6E, 0x5D}}) {
        int consumed = 0;
        MojoTree node = decode(wire, consumed);
        EXPECT_EQ(consumed, -1);
    }
}

TEST(MojoDecodeRefuses, EveryTruncationOfAValidMessage)
{
    MojoTree message(mojo_create_with_type(MOJO_DICTIONARY));
    insert(message.get(), "Name", mojo_create_string("living-room"));
    insert(message.get(), "Port", mojo_create_int(25736));
    insert(message.get(), "Long", mojo_create_string(std::string(300, 'z').c_str()));
    MojoTree list(mojo_create_with_type(MOJO_LIST));
    mojo_node* items = mojo_create_char('x');
    items->next = mojo_create_with_type(MOJO_NULL);
    list->value = reinterpret_cast<intptr_t>(items);
    insert(message.get(), "List", list.release());
    const Bytes wire = encode(message.get());

    for (size_t cut = 0; cut < wire.size(); ++cut) {
        // Exactly `cut` bytes on the heap, so that a read past them is caught by the sanitizers.
        std::unique_ptr<uint8_t[]> prefix(new uint8_t[cut ? cut : 1]);
        std::copy(wire.begin(), wire.begin() + static_cast<long>(cut), prefix.get());
        MojoTree node(mojo_create());
        EXPECT_EQ(mojo_decode(node.get(), prefix.get(), static_cast<int>(cut)), -1) << "cut at " << cut;
    }
    int consumed = 0;
    MojoTree whole = decode(wire, consumed);
    EXPECT_EQ(consumed, static_cast<int>(wire.size()));
}

TEST(MojoDecodeRefuses, TextLengthBeyondTheEnd)
{
    for (const Bytes& wire : {Bytes{0x73, 0x05, 'a', 'b'}, Bytes{0x53, 0xFF, 0xFF, 'a'}, Bytes{0x53, 0x01}}) {
        int consumed = 0;
        MojoTree node = decode(wire, consumed);
        EXPECT_EQ(consumed, -1);
    }
}

TEST(MojoDecodeRefuses, TextWithANulInside)
{
    // Held NUL-terminated, such a text would read as its part before the NUL:
    // a passcode "123456" followed by a NUL and more would pass for "123456".
    const Bytes passcode = {'1', '2', '3', '4', '5', '6', 0x00, 'x', 'y'};
    Bytes shortForm = {0x73, uint8_t(passcode.size())};
    shortForm.insert(shortForm.end(), passcode.begin(), passcode.end());
    Bytes longForm = {0x53, uint8_t(passcode.size()), 0x00};
    longForm.insert(longForm.end(), passcode.begin(), passcode.end());
    Bytes inKey = {0x5B, 0x73, 0x02, 'a', 0x00, 0x6E, 0x5D};
    Bytes trailing = {0x73, 0x01, 0x00};
    for (const Bytes& wire : {shortForm, longForm, inKey, trailing}) {
        int consumed = 0;
        MojoTree node = decode(wire, consumed);
        EXPECT_EQ(consumed, -1);
    }
}

// The largest message holds 4,094 items; every one is kept, in wire order.
TEST(MojoDecodeLarge, EveryItemOfAFullMessageInOrder)
{
    Bytes nulls{0x7B};
    nulls.insert(nulls.end(), 4094, 0x6E);
    nulls.push_back(0x7D);
    int consumed = 0;
    MojoTree list = decode(nulls, consumed);
    ASSERT_EQ(consumed, 4096);
    int count = 0;
    for (const mojo_node* item = reinterpret_cast<const mojo_node*>(list->value); item; item = item->next, ++count)
        ASSERT_EQ(item->type, MOJO_NULL);
    EXPECT_EQ(count, 4094);

    MojoTree built(mojo_create_with_type(MOJO_DICTIONARY));
    for (int i = 0; i < 1000; ++i)
        insert(built.get(), ("k" + std::to_string(i)).c_str(), mojo_create_int(i));
    const Bytes wire = encode(built.get(), 16384);
    MojoTree dictionary = decode(wire, consumed);
    ASSERT_EQ(consumed, int(wire.size()));
    EXPECT_EQ(encode(dictionary.get(), 16384), wire);
    int32_t last = 0;
    EXPECT_EQ(mojo_get_int(mojo_dic_get_value(dictionary.get(), "k999"), &last), 0);
    EXPECT_EQ(last, 999);
}

Bytes nested_lists(int depth)
{
    Bytes wire(static_cast<size_t>(depth), '{');
    wire.insert(wire.end(), static_cast<size_t>(depth), '}');
    return wire;
}

TEST(MojoDepth, NestingIsBoundedBothWays)
{
    int consumed = 0;
    MojoTree deepest = decode(nested_lists(MOJO_MAX_DEPTH), consumed);
    EXPECT_EQ(consumed, 2 * MOJO_MAX_DEPTH);
    EXPECT_EQ(encode(deepest.get()), nested_lists(MOJO_MAX_DEPTH));

    MojoTree tooDeep = decode(nested_lists(MOJO_MAX_DEPTH + 1), consumed);
    EXPECT_EQ(consumed, -1);
    MojoTree hostile = decode(nested_lists(100000), consumed);
    EXPECT_EQ(consumed, -1);

    // A tree built in memory beyond the bound is refused by the encoder too.
    MojoTree root(mojo_create_with_type(MOJO_LIST));
    mojo_node* inner = root.get();
    for (int i = 0; i < MOJO_MAX_DEPTH; ++i) {
        mojo_node* child = mojo_create_with_type(MOJO_LIST);
        inner->value = reinterpret_cast<intptr_t>(child);
        inner = child;
    }
    Bytes buffer(1024);
    EXPECT_EQ(mojo_encode(root.get(), buffer.data(), static_cast<int>(buffer.size())), -1);
}

TEST(MojoCapacity, NeverWritesPastTheCapacity)
{
    MojoTree request = login_request("hunter2");
    const Bytes full = encode(request.get());

    for (int capacity = 0; capacity < static_cast<int>(full.size()); ++capacity) {
        Bytes buffer(full.size() + 8, 0xEE);
        EXPECT_EQ(mojo_encode(request.get(), buffer.data(), capacity), -1) << capacity;
        for (size_t i = static_cast<size_t>(capacity); i < buffer.size(); ++i)
            ASSERT_EQ(buffer[i], 0xEE) << "byte " << i << " written with capacity " << capacity;
    }
    Bytes exact(full.size());
    EXPECT_EQ(mojo_encode(request.get(), exact.data(), static_cast<int>(exact.size())),
              static_cast<int>(full.size()));
}

TEST(MojoCapacity, LoginFrameHoldsPasscodesUpTo992Bytes)
{
    constexpr int kFramePayload = 1019;
    Bytes buffer(kFramePayload);
    MojoTree fits = login_request(std::string(992, 'p'));
    EXPECT_EQ(mojo_encode(fits.get(), buffer.data(), kFramePayload), kFramePayload);
    MojoTree tooLong = login_request(std::string(993, 'p'));
    EXPECT_EQ(mojo_encode(tooLong.get(), buffer.data(), kFramePayload), -1);
}

// Builds a random tree of every kind; texts avoid NUL, which a text node cannot hold.
mojo_node* random_tree(std::mt19937& random, int depth)
{
    std::uniform_int_distribution<int> kind(0, depth >= 5 ? 4 : 6);
    switch (kind(random)) {
    case 0: {
        std::uniform_int_distribution<int> length(0, random() % 8 == 0 ? 400 : 12);
        std::string text(static_cast<size_t>(length(random)), 'a');
        for (char& c : text)
            c = static_cast<char>(1 + random() % 255);
        return mojo_create_string(text.c_str());
    }
    case 1:
        return mojo_create_int(static_cast<int32_t>(random()));
    case 2:
        return mojo_create_char(static_cast<uint8_t>(random()));
    case 3:
        return mojo_create_with_type(MOJO_NULL);
    case 4:
    case 5: {
        mojo_node* list = mojo_create_with_type(MOJO_LIST);
        mojo_node** tail = reinterpret_cast<mojo_node**>(&list->value);
        for (int i = static_cast<int>(random() % 4); i > 0; --i) {
            *tail = random_tree(random, depth + 1);
            tail = &(*tail)->next;
        }
        return list;
    }
    default: {
        mojo_node* dictionary = mojo_create_with_type(MOJO_DICTIONARY);
        for (int i = static_cast<int>(random() % 4); i > 0; --i) {
            const std::string name = "key" + std::to_string(random() % 3);
            mojo_dic_insert(dictionary,
                            mojo_create_pair(mojo_create_pair_value(name.c_str(), random_tree(random, depth + 1))));
        }
        return dictionary;
    }
    }
}

TEST(MojoRoundTrip, GeneratedTreesSurviveEncodeDecodeEncode)
{
    std::mt19937 random(20261208);
    for (int round = 0; round < 500; ++round) {
        MojoTree tree(random_tree(random, 0));
        const Bytes wire = encode(tree.get(), 1 << 16);
        ASSERT_FALSE(wire.empty());

        int consumed = 0;
        MojoTree decoded = decode(wire, consumed);
        ASSERT_EQ(consumed, static_cast<int>(wire.size())) << "round " << round;
        EXPECT_EQ(encode(decoded.get(), 1 << 16), wire) << "round " << round;
    }
}

TEST(MojoRoundTrip, DecodeConsumesOnlyTheFirstItem)
{
    Bytes wire = kReply;
    wire.insert(wire.end(), {0x6E, 0x6E, 0x6E});
    int consumed = 0;
    MojoTree reply = decode(wire, consumed);
    EXPECT_EQ(consumed, 12);
}

} // namespace
