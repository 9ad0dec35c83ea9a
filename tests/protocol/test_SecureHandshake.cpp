// SPDX-License-Identifier: GPL-3.0-or-later
// The handshake between the phone's and the receiver's state machines: keys
// that agree only with the same passcode, and every bad share, tag and
// message form injected on the way refused.
#include "SecureHandshake.h"

#include "HexBytes.h"
#include "MojoTree.h"
#include "RefusedShares.h"

#include <gtest/gtest.h>

#include <variant>

namespace {

using Entry = std::pair<const char*, std::variant<std::string, int>>;

Bytes payload(std::initializer_list<Entry> entries)
{
    MojoTree tree(mojo_create_with_type(MOJO_DICTIONARY));
    for (const Entry& e : entries) {
        mojo_node* value = std::holds_alternative<int>(e.second) ? mojo_create_int(std::get<int>(e.second))
                                                                 : mojo_create_string(std::get<std::string>(e.second).c_str());
        mojo_dic_insert(tree.get(), mojo_create_pair(mojo_create_pair_value(e.first, value)));
    }
    Bytes bytes(REMOTE_RECEIVE_CAPACITY);
    bytes.resize(std::size_t(mojo_encode(tree.get(), bytes.data(), int(bytes.size()))));
    return bytes;
}

// The text of entry `name` of a message, or "<none>".
std::string entryText(const Bytes& bytes, const char* name)
{
    MojoTree tree(mojo_create());
    EXPECT_EQ(mojo_decode(tree.get(), bytes.data(), int(bytes.size())), int(bytes.size()));
    const char* text = mojo_get_string(mojo_dic_get_value(tree.get(), name));
    return text != nullptr ? text : "<none>";
}

const Bytes kRefusal = payload({{"Rsp", 1}});
const std::string kSid(32, 'a');
const char kValidShare[] = "3ea7e0b19560d7c0b0f5734f63b955286dfa8232b5ebe63324e2d9e7433f7258";

Bytes secureLogin(Entry version, const std::string& sid, const std::string& ya)
{
    return payload({{"Cmd", "SecureLogin"}, version, {"Sid", sid}, {"Ya", ya}});
}

// A fresh receiver's answer to a first message.
HandshakeResult hello(const Bytes& request, Bytes& reply)
{
    return ReceiverHandshake("pc").hello("pass", request.data(), request.size(), reply);
}

// A fresh phone's verdict on the answer `reply` makes to its first message;
// what it would send next goes to `next`.
template <typename Reply>
HandshakeResult answer(Reply reply, Bytes* next = nullptr)
{
    PhoneHandshake phone;
    Bytes m1;
    Bytes m3;
    EXPECT_EQ(phone.start("pass", m1), HandshakeResult::Ok);
    const Bytes message = reply(m1);
    const HandshakeResult result = phone.answer(message.data(), message.size(), next != nullptr ? *next : m3);
    EXPECT_EQ(phone.keys(), nullptr);
    return result;
}

// One connection's handshake, up to the receiver taking Ta.
struct Handshake {
    PhoneHandshake phone;
    ReceiverHandshake receiver{"living-room-pc"};
    Bytes m1, m2, m3, m4;

    Handshake(const std::string& phonePasscode, const std::string& receiverPasscode)
    {
        EXPECT_EQ(phone.start(phonePasscode, m1), HandshakeResult::Ok);
        EXPECT_EQ(receiver.hello(receiverPasscode, m1.data(), m1.size(), m2), HandshakeResult::Ok);
        EXPECT_EQ(phone.answer(m2.data(), m2.size(), m3), HandshakeResult::Ok);
        EXPECT_EQ(receiver.takeTag(m3.data(), m3.size()), HandshakeResult::Ok);
    }
    HandshakeResult verify() { return receiver.verifyTag(m4); }
    HandshakeResult confirm(const Bytes& reply) { return phone.confirm(reply.data(), reply.size()); }
};

TEST(SecureHandshake, TheSamePasscodeGivesBothSidesTheKeysOfEachDirection)
{
    Handshake run("Owner-Pass-90417", "Owner-Pass-90417");
    EXPECT_EQ(run.phone.keys(), nullptr);
    // Until Ta is verified the receiver sends its share and name, nothing derived from the key.
    EXPECT_EQ(run.m2, payload({{"Yb", entryText(run.m2, "Yb")}, {"Name", "living-room-pc"}}));
    ASSERT_EQ(run.verify(), HandshakeResult::Ok);
    ASSERT_EQ(run.confirm(run.m4), HandshakeResult::Ok);
    EXPECT_EQ(run.phone.receiverName(), "living-room-pc");

    const SessionKeys& phone = *run.phone.keys();
    const SessionKeys& receiver = *run.receiver.keys();
    EXPECT_EQ(hexOf(phone.sending), hexOf(receiver.receiving));
    EXPECT_EQ(hexOf(phone.receiving), hexOf(receiver.sending));
    EXPECT_NE(hexOf(phone.sending), hexOf(phone.receiving));

    // The first record of each direction, same packet, same counter, differs,
    // and each opens only on its own direction.
    const uint8_t key[8] = {REMOTE_PACKET_KEYBOARD, 1, 0, 0, 0x61, 0, 0, 0};
    uint8_t up[26];
    uint8_t down[26];
    ASSERT_EQ(RecordSealer(phone.sending).seal(key, 8, up, 26), 26);
    ASSERT_EQ(RecordSealer(receiver.sending).seal(key, 8, down, 26), 26);
    EXPECT_NE(hexOf(ByteView(up, 26)), hexOf(ByteView(down, 26)));
    std::size_t used = 0;
    EXPECT_EQ(RecordOpener(receiver.receiving).feed(up, 26, used), RecordOpener::Status::Packet);
    EXPECT_EQ(RecordOpener(phone.receiving).feed(down, 26, used), RecordOpener::Status::Packet);
    EXPECT_EQ(RecordOpener(receiver.receiving).feed(down, 26, used), RecordOpener::Status::Failed);

    // Another connection with the same passcode shares nothing with this one.
    Handshake again("Owner-Pass-90417", "Owner-Pass-90417");
    ASSERT_EQ(again.verify(), HandshakeResult::Ok);
    EXPECT_NE(entryText(again.m1, "Sid"), entryText(run.m1, "Sid"));
    EXPECT_NE(hexOf(again.receiver.keys()->sending), hexOf(receiver.sending));
}

TEST(SecureHandshake, AWrongPasscodeFailsAtTaAndTheReceiverSendsNoTb)
{
    Handshake run("Owner-Pass-90417", "Owner-Pass-90418");
    for (const Bytes* message : {&run.m1, &run.m2, &run.m3})
        EXPECT_EQ(hexOf(*message).find(hexOf(std::string_view("Owner-Pass"))), std::string::npos);
    EXPECT_EQ(run.verify(), HandshakeResult::BadTag);
    EXPECT_EQ(run.m4, kRefusal);
    EXPECT_EQ(run.receiver.keys(), nullptr);
    EXPECT_EQ(run.confirm(run.m4), HandshakeResult::BadTag);
    EXPECT_EQ(run.phone.keys(), nullptr);
}

TEST(SecureHandshake, BadSharesAreRefusedInBothDirections)
{
    for (const char* bad : kRefusedShares) {
        Bytes reply;
        EXPECT_EQ(hello(secureLogin({"Ver", 1}, kSid, bad), reply), HandshakeResult::BadShare) << bad;
        EXPECT_EQ(reply, kRefusal) << bad;
        EXPECT_EQ(answer([&](const Bytes&) { return payload({{"Yb", bad}, {"Name", "pc"}}); }, &reply),
                  HandshakeResult::BadShare) << bad;
        EXPECT_TRUE(reply.empty()) << bad;
    }
    // The phone's own share sent back to it.
    EXPECT_EQ(answer([](const Bytes& m1) { return payload({{"Yb", entryText(m1, "Ya")}, {"Name", "pc"}}); }),
              HandshakeResult::BadShare);
}

TEST(SecureHandshake, AReflectedOrAlteredOrMissingTbIsARefusedPasscode)
{
    for (int alteration = 0; alteration < 3; ++alteration) {
        Handshake run("pass", "pass");
        ASSERT_EQ(run.verify(), HandshakeResult::Ok);
        std::string tb = entryText(run.m4, "Tb");
        tb[0] = tb[0] == '0' ? '1' : '0';
        const Bytes replies[] = {payload({{"Tb", entryText(run.m3, "Ta")}}), payload({{"Tb", tb}}), kRefusal};
        EXPECT_EQ(run.confirm(replies[alteration]), HandshakeResult::BadTag) << alteration;
        EXPECT_EQ(run.phone.keys(), nullptr);
        EXPECT_EQ(run.confirm(run.m4), HandshakeResult::Failed) << "a refusal is final";
    }
}

struct MessageCase {
    const char* what;
    Bytes message;
    HandshakeResult result;
};

TEST(SecureHandshake, MessagesOfAnyOtherFormAreRefused)
{
    const std::string ya = kValidShare;
    const MessageCase hellos[] = {
        {"a plain login", payload({{"Cmd", "Login"}, {"Passcode", "pass"}}), HandshakeResult::NotSecureLogin},
        {"not a value tree", Bytes{'h', 'i'}, HandshakeResult::NotSecureLogin},
        {"another version", secureLogin({"Ver", 2}, kSid, ya), HandshakeResult::UnknownVersion},
        {"a version as text", secureLogin({"Ver", "1"}, kSid, ya), HandshakeResult::Malformed},
        {"upper-case hex", secureLogin({"Ver", 1}, std::string(32, 'A'), ya), HandshakeResult::Malformed},
        {"a short sid", secureLogin({"Ver", 1}, std::string(30, 'a'), ya), HandshakeResult::Malformed},
        {"a share that is not hex", secureLogin({"Ver", 1}, kSid, std::string(64, 'g')), HandshakeResult::Malformed},
        {"no share", payload({{"Cmd", "SecureLogin"}, {"Ver", 1}, {"Sid", kSid}}), HandshakeResult::Malformed},
    };
    for (const auto& h : hellos) {
        Bytes reply;
        EXPECT_EQ(hello(h.message, reply), h.result) << h.what;
        EXPECT_EQ(reply, h.result == HandshakeResult::NotSecureLogin ? Bytes() : kRefusal) << h.what;
    }

    const MessageCase answers[] = {
        {"a plain refusal", kRefusal, HandshakeResult::PlainOnly},
        {"a plain acceptance", payload({{"Rsp", 0}}), HandshakeResult::PlainOnly},
        {"a share without a name", payload({{"Yb", ya}}), HandshakeResult::Malformed},
        {"upper-case hex", payload({{"Yb", std::string(64, 'A')}, {"Name", "pc"}}), HandshakeResult::Malformed},
        {"not a value tree", Bytes{0x5B}, HandshakeResult::Malformed},
    };
    for (const auto& a : answers)
        EXPECT_EQ(answer([&](const Bytes&) { return a.message; }), a.result) << a.what;

    // A Ta of the wrong size is taken, then refused as a wrong passcode; out
    // of order, nothing is taken.
    const Bytes shortTag = payload({{"Ta", std::string(126, 'a')}});
    Handshake run("pass", "pass");
    ReceiverHandshake receiver("pc");
    EXPECT_EQ(receiver.takeTag(shortTag.data(), shortTag.size()), HandshakeResult::Failed);
    EXPECT_EQ(run.receiver.takeTag(shortTag.data(), shortTag.size()), HandshakeResult::Failed);
    ReceiverHandshake second("pc");
    Bytes m2;
    ASSERT_EQ(second.hello("pass", run.m1.data(), run.m1.size(), m2), HandshakeResult::Ok);
    EXPECT_EQ(second.takeTag(shortTag.data(), shortTag.size()), HandshakeResult::Malformed);
    EXPECT_EQ(second.verifyTag(m2), HandshakeResult::BadTag);
    EXPECT_EQ(m2, kRefusal);
    EXPECT_EQ(run.phone.start("pass", m2), HandshakeResult::Failed) << "one start per connection";
}

} // namespace
