// SPDX-License-Identifier: GPL-3.0-or-later
// One client's session without sockets: the login exchange (secure, from the
// protocol core's phone handshake, and plain), which events reach the sink,
// and when the client is dropped. The sink is the real log
// sink writing into memory, so the exact JSON lines are checked too.
#include "Mojo.h"
#include "net/LoginCheck.h"
#include "net/ReceiverSession.h"
#include "protocol/RefusedShares.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"
#include "sinks/LogSink.h"
#include "support/receiver/CapturedLines.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

// A LogSink whose lines land in memory.
class CapturedLog {
public:
    InputSink& sink() { return sink_; }
    std::vector<std::string> lines() const { return lines_.lines(); }

private:
    CapturedLines lines_;
    LogSink sink_{lines_};
};

const std::string kPasscode = "open sesame";

struct SessionUnderTest {
    explicit SessionUnderTest(bool allowPlain = true)
        : session(kPasscode, log.sink(), {"desk", allowPlain})
    {
    }

    CapturedLog log;
    ReceiverSession session;

    ReceiverSession::Outcome receive(const Bytes& bytes) { return session.receive(bytes.data(), bytes.size()); }
};

const std::string kKeyA = R"({"type":"keyboard","state":1,"keycode":65})";
const std::string kMouseLeft = R"({"type":"mouse","buttons":1,"dx":-3,"dy":5})";
const std::string kAccepted = R"({"type":"login","accepted":true})";
const std::string kRefused = R"({"type":"login","accepted":false})";

Bytes dictionaryOf(const Bytes& entries)
{
    return Bytes{0x5B} + entries + Bytes{0x5D};
}

} // namespace

TEST(ReceiverSessionLogin, RightPasscodeIsAcceptedAndEventsFollowInOrder)
{
    SessionUnderTest t;
    auto outcome = t.receive(loginPacket(kPasscode));
    EXPECT_EQ(outcome.reply, loginReply(0));
    EXPECT_FALSE(outcome.drop);
    EXPECT_EQ(t.session.state(), ReceiverSession::State::Accepted);

    outcome = t.receive(keyboardPacket(1, 0x41) + mousePacket(1, -3, 5) + keyboardPacket(0, 0x41));
    EXPECT_TRUE(outcome.reply.empty());
    EXPECT_TRUE(outcome.notices.empty());
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA, kMouseLeft,
                                                       R"({"type":"keyboard","state":0,"keycode":65})"}));
}

TEST(ReceiverSessionLogin, LoginAndEventsInOneChunkAreAllHandled)
{
    SessionUnderTest t;
    const auto outcome = t.receive(loginPacket(kPasscode) + keyboardPacket(1, 0x41) + mousePacket(1, -3, 5));
    EXPECT_EQ(outcome.reply, loginReply(0));
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA, kMouseLeft}));
}

TEST(ReceiverSessionLogin, WrongPasscodesAreRefusedAndTheirEventsDropped)
{
    for (const std::string& guess : {std::string("open sesamE"), std::string("open sesam"),
                                     std::string("open sesame!"), std::string(""), std::string("x")}) {
        SessionUnderTest t;
        auto outcome = t.receive(loginPacket(guess));
        EXPECT_EQ(outcome.reply, loginReply(1)) << guess;
        EXPECT_FALSE(outcome.drop) << "a refused client may keep its connection";
        EXPECT_EQ(t.session.state(), ReceiverSession::State::Refused);

        outcome = t.receive(keyboardPacket(1, 0x41) + mousePacket(1, -3, 5));
        EXPECT_FALSE(outcome.drop);
        EXPECT_EQ(outcome.notices, std::vector<std::string>{"input of a refused login ignored"});
        outcome = t.receive(keyboardPacket(0, 0x41));
        EXPECT_TRUE(outcome.notices.empty()) << "told once per connection";
        EXPECT_EQ(t.log.lines(), std::vector<std::string>{kRefused}) << guess;
    }
}

TEST(ReceiverSessionLogin, MalformedRequestsAreRefusedWithoutDroppingTheClient)
{
    const Bytes cmd = shortString("Cmd") + shortString("Login");
    const Bytes pass = shortString("Passcode") + shortString(kPasscode);
    const std::vector<std::pair<std::string, Bytes>> malformed = {
        {"empty payload", {}},
        {"not an item", {0xFF, 0x00}},
        {"truncated dictionary", Bytes{0x5B} + cmd},
        {"a list", Bytes{0x7B} + shortString("Login") + shortString(kPasscode) + Bytes{0x7D}},
        {"no Cmd", dictionaryOf(pass)},
        {"other command", dictionaryOf(shortString("Cmd") + shortString("Logout") + pass)},
        {"no Passcode", dictionaryOf(cmd)},
        {"Passcode not a string", dictionaryOf(cmd + shortString("Passcode") + Bytes{0x69, 1, 0, 0, 0})},
        {"Cmd not a string", dictionaryOf(shortString("Cmd") + Bytes{0x6E} + pass)},
    };
    for (const auto& [what, payload] : malformed) {
        SessionUnderTest t;
        const auto outcome = t.receive(messagePacket(payload));
        EXPECT_EQ(outcome.reply, loginReply(1)) << what;
        EXPECT_FALSE(outcome.drop) << what;
        EXPECT_EQ(outcome.notices, std::vector<std::string>{"login refused: not a login request"}) << what;
        EXPECT_EQ(t.log.lines(), std::vector<std::string>{kRefused}) << what;
    }
}

TEST(ReceiverSessionLogin, APasscodeFollowedByANulAndMoreIsRefused)
{
    const std::string withNul = kPasscode + std::string(1, '\0') + "and more";
    for (const std::string& sent : {withNul, kPasscode + std::string(1, '\0')}) {
        SessionUnderTest t;
        const auto outcome = t.receive(loginPacket(sent));
        EXPECT_EQ(outcome.reply, loginReply(1));
        EXPECT_EQ(t.session.state(), ReceiverSession::State::Refused);
        EXPECT_EQ(outcome.notices, std::vector<std::string>{"login refused: not a login request"});
    }
}

TEST(ReceiverSessionLogin, AHeldLoginIsAnsweredLaterAndWhatFollowedItAfterTheAnswer)
{
    SessionUnderTest t;
    bool open = false;
    t.session.setLoginGate([&open] { return open; });
    auto outcome = t.receive(loginPacket(kPasscode) + keyboardPacket(1, 0x41));
    EXPECT_TRUE(outcome.reply.empty());
    EXPECT_FALSE(outcome.verdict);
    EXPECT_EQ(t.session.state(), ReceiverSession::State::LoginPending);
    outcome = t.receive(mousePacket(1, -3, 5));
    EXPECT_TRUE(outcome.notices.empty()) << "left unread, not refused";
    EXPECT_TRUE(t.log.lines().empty());

    open = true;
    outcome = t.session.answerPendingLogin();
    EXPECT_EQ(outcome.reply, loginReply(0));
    EXPECT_EQ(outcome.verdict, LoginVerdict::Accepted);
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA, kMouseLeft}));
    EXPECT_TRUE(t.session.answerPendingLogin().reply.empty()) << "answered once";

    SessionUnderTest wrong;
    wrong.session.setLoginGate([] { return false; });
    wrong.receive(loginPacket("guess"));
    outcome = wrong.session.answerPendingLogin();
    EXPECT_EQ(outcome.reply, loginReply(1));
    EXPECT_EQ(outcome.verdict, LoginVerdict::WrongPasscode);
}

TEST(ReceiverSessionLogin, EntriesInAnotherOrderAndLongStringsAreUnderstood)
{
    // The phone writes "Cmd" first and short strings, but any client may differ.
    const std::string longPasscode(300, 'p');
    const Bytes longString = Bytes{0x53, uint8_t(300 & 0xFF), uint8_t(300 >> 8)}
                             + Bytes(longPasscode.begin(), longPasscode.end());
    CapturedLog log;
    ReceiverSession session(longPasscode, log.sink(), {"desk", true});
    const Bytes request = messagePacket(
        dictionaryOf(shortString("Passcode") + longString + shortString("Cmd") + shortString("Login")));
    const auto outcome = session.receive(request.data(), request.size());
    EXPECT_EQ(outcome.reply, loginReply(0));
}

TEST(ReceiverSessionLogin, OnlyTheFirstLoginOfAConnectionCounts)
{
    SessionUnderTest refused;
    refused.receive(loginPacket("guess"));
    auto outcome = refused.receive(loginPacket(kPasscode) + keyboardPacket(1, 0x41));
    EXPECT_TRUE(outcome.reply.empty()) << "no second answer, so passcodes cannot be tried in a row";
    EXPECT_EQ(refused.session.state(), ReceiverSession::State::Refused);
    EXPECT_EQ(refused.log.lines(), std::vector<std::string>{kRefused});

    SessionUnderTest accepted;
    accepted.receive(loginPacket(kPasscode));
    outcome = accepted.receive(loginPacket("guess") + keyboardPacket(1, 0x41));
    EXPECT_TRUE(outcome.reply.empty());
    EXPECT_EQ(accepted.session.state(), ReceiverSession::State::Accepted);
    EXPECT_EQ(accepted.log.lines(), (std::vector<std::string>{kAccepted, kKeyA}));
}

TEST(ReceiverSessionLogin, EventsBeforeTheLoginAreDropped)
{
    SessionUnderTest t;
    auto outcome = t.receive(keyboardPacket(1, 0x42) + mousePacket(4, 0, 0));
    EXPECT_EQ(outcome.notices, std::vector<std::string>{"input before the login ignored"});
    EXPECT_TRUE(t.log.lines().empty());
    outcome = t.receive(loginPacket(kPasscode) + keyboardPacket(1, 0x41));
    EXPECT_EQ(outcome.reply, loginReply(0));
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA}));
}

TEST(ReceiverSessionLogin, ProtocolErrorDropsTheClientAfterWhatCameBefore)
{
    SessionUnderTest t;
    auto outcome = t.receive(loginPacket(kPasscode) + keyboardPacket(1, 0x41) + Bytes{0x42, 0, 0, 0});
    EXPECT_EQ(outcome.reply, loginReply(0)) << "the reply owed is still handed back";
    EXPECT_TRUE(outcome.drop);
    EXPECT_EQ(outcome.dropReason, "unknown packet type 0x42");
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA}));

    SessionUnderTest oversized;
    outcome = oversized.receive(Bytes{0x80, 0x01, 0x10, 0x00, 0x00});
    EXPECT_TRUE(outcome.drop);
    EXPECT_TRUE(outcome.reply.empty());
    EXPECT_TRUE(oversized.log.lines().empty());
}

TEST(PasscodeComparison, MatchesOnlyTheSameBytes)
{
    EXPECT_TRUE(passcodesMatch("secret", "secret"));
    EXPECT_TRUE(passcodesMatch(std::string("a\xff", 2), std::string("a\xff", 2)));
    EXPECT_FALSE(passcodesMatch("secret", "Secret"));
    EXPECT_FALSE(passcodesMatch("secret", "secre"));
    EXPECT_FALSE(passcodesMatch("secret", "secrets"));
    EXPECT_FALSE(passcodesMatch("secret", ""));
    EXPECT_FALSE(passcodesMatch("ab", "abab")) << "a repeated guess must not wrap around into a match";
    EXPECT_FALSE(passcodesMatch("abab", "ab"));
    EXPECT_TRUE(passcodesMatch("", ""));
}

TEST(LoginReply, IsTheValueTreeMessageWithRsp)
{
    EXPECT_EQ(encodeLoginReply(true), loginReply(0));
    EXPECT_EQ(encodeLoginReply(false), loginReply(1));
}

TEST(LogSinkLines, ConnectionNotificationsAreExactJson)
{
    CapturedLog log;
    log.sink().connected("127.0.0.1:40000");
    log.sink().mouse(0x18, 32767, -32768);
    log.sink().keyboard(0, 0xFFFFFFFF);
    log.sink().disconnected();
    EXPECT_EQ(log.lines(), (std::vector<std::string>{
                               R"({"type":"connect","peer":"127.0.0.1:40000"})",
                               R"({"type":"mouse","buttons":24,"dx":32767,"dy":-32768})",
                               R"({"type":"keyboard","state":0,"keycode":4294967295})",
                               R"({"type":"disconnect"})",
                           }));
    EXPECT_EQ(LogSink::jsonEscaped("a\"b\\c\n\x01"), "a\\\"b\\\\c\\u000a\\u0001");
}

TEST(LogSinkLines, WhatTheDrivingClientHeldIsPrintedWhenItIsReleased)
{
    CapturedLog log;
    log.sink().keyboard(1, 0xFFE1);
    log.sink().keyboard(1, 0x41);
    log.sink().keyboard(1, 0x42);
    log.sink().keyboard(0, 0x42);
    log.sink().mouse(1 | 4 | 8, 0, 0); // left and right held, one wheel step
    log.sink().releaseHeld();
    log.sink().releaseHeld();
    const std::vector<std::string> lines = log.lines();
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[5], R"({"type":"release","keycodes":[65,65505],"buttons":5})");
    EXPECT_EQ(lines[6], R"({"type":"release","keycodes":[],"buttons":0})") << "nothing is released twice";
}

namespace {

// A phone that logs in securely with the protocol core's handshake, and seals
// whatever packet a test gives it, hostile ones included.
class SecurePhone {
public:
    explicit SecurePhone(const std::string& passcode)
    {
        Bytes payload;
        EXPECT_EQ(handshake_.start(passcode, payload), HandshakeResult::Ok);
        hello_ = messagePacket(payload);
    }

    const Bytes& hello() const { return hello_; }
    // Reads the receiver's share and gives the message with the phone's tag.
    Bytes tag(const Bytes& reply)
    {
        Bytes payload;
        const Bytes received = payloadOf(reply);
        EXPECT_EQ(handshake_.answer(received.data(), received.size(), payload), HandshakeResult::Ok);
        return messagePacket(payload);
    }
    HandshakeResult confirm(const Bytes& reply)
    {
        const Bytes received = payloadOf(reply);
        const HandshakeResult result = handshake_.confirm(received.data(), received.size());
        if (const SessionKeys* keys = handshake_.keys())
            sealer_.emplace(keys->sending);
        return result;
    }
    Bytes record(const Bytes& packet)
    {
        std::array<uint8_t, kRecordHeaderSize + kRecordMaxBody> out{};
        const int size = sealer_ ? sealer_->seal(packet.data(), packet.size(), out.data(), out.size()) : -1;
        EXPECT_GT(size, 0);
        return Bytes(out.begin(), out.begin() + std::max(size, 0));
    }
    const std::string& receiverName() const { return handshake_.receiverName(); }

    // The payload of one whole message.
    static Bytes payloadOf(const Bytes& message)
    {
        EXPECT_GE(message.size(), 5u);
        EXPECT_EQ(message.size() > 0 ? message[0] : 0, 0x80);
        return message.size() < 5 ? Bytes{} : Bytes(message.begin() + 5, message.end());
    }

private:
    PhoneHandshake handshake_;
    std::optional<RecordSealer> sealer_;
    Bytes hello_;
};

const std::string kShiftDown = R"({"type":"keyboard","state":1,"keycode":65505})";

// A session whose secure login the phone has confirmed.
struct ConfirmedSession {
    SessionUnderTest t{false};
    SecurePhone phone{kPasscode};

    ConfirmedSession()
    {
        const Bytes ta = phone.tag(t.receive(phone.hello()).reply);
        EXPECT_EQ(phone.confirm(t.receive(ta).reply), HandshakeResult::Ok);
    }
};

Bytes secureHello(const Bytes& version, const std::string& sid, const std::string& ya)
{
    return messagePacket(dictionaryOf(shortString("Cmd") + shortString("SecureLogin") + shortString("Ver") + version
                                      + shortString("Sid") + shortString(sid) + shortString("Ya") + shortString(ya)));
}

const Bytes kVersion1 = {0x69, 1, 0, 0, 0};
const std::string kSid(32, 'a');
// The draft's share with its top bit cleared: a valid point.
const std::string kValidShare = "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b9157";

} // namespace

TEST(ReceiverSessionSecureLogin, TheShareGoesOutAtOnceTheTagWaitsItsTurnThenRecordsReachTheSink)
{
    SessionUnderTest t(false);
    bool open = false;
    t.session.setLoginGate([&open] { return open; });
    SecurePhone phone(kPasscode);
    auto outcome = t.receive(phone.hello());
    EXPECT_TRUE(outcome.challenged);
    EXPECT_FALSE(outcome.verdict) << "the share is no verdict";
    EXPECT_EQ(t.session.state(), ReceiverSession::State::AwaitingTag);
    const Bytes ta = phone.tag(outcome.reply);
    EXPECT_EQ(phone.receiverName(), "desk") << "the name discovery gives";

    outcome = t.receive(ta);
    EXPECT_TRUE(outcome.reply.empty()) << "nothing from the key before the tag's turn";
    EXPECT_EQ(t.session.state(), ReceiverSession::State::LoginPending);
    EXPECT_TRUE(t.log.lines().empty());

    open = true;
    outcome = t.session.answerPendingLogin();
    EXPECT_EQ(outcome.verdict, LoginVerdict::Accepted);
    EXPECT_EQ(phone.confirm(outcome.reply), HandshakeResult::Ok);
    EXPECT_TRUE(t.session.secure());

    // Records in any split, and a message inside one, ignored as after any login.
    Bytes records;
    for (const Bytes& packet : {keyboardPacket(1, 0x41), mousePacket(1, -3, 5), loginPacket("again"),
                                keyboardPacket(0, 0x41)})
        records = records + phone.record(packet);
    outcome = t.receive(Bytes(records.begin(), records.begin() + 30));
    EXPECT_EQ(t.receive(Bytes(records.begin() + 30, records.end())).notices,
              std::vector<std::string>{"message after the login ignored"});
    EXPECT_FALSE(outcome.drop);
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA, kMouseLeft,
                                                       R"({"type":"keyboard","state":0,"keycode":65})"}));

    // Plain packets behind the tag, in the same read, are taken as records: refused.
    SessionUnderTest plainBehind(false);
    SecurePhone second(kPasscode);
    const Bytes secondTa = second.tag(plainBehind.receive(second.hello()).reply);
    // 01 01 reads as a record of 257 bytes.
    outcome = plainBehind.receive(secondTa + keyboardPacket(1, 0x41) + keyboardPacket(0, 0x41) + Bytes(300, 0));
    EXPECT_EQ(outcome.verdict, LoginVerdict::Accepted);
    EXPECT_TRUE(outcome.drop);
    EXPECT_EQ(plainBehind.log.lines(), std::vector<std::string>{kAccepted});
}

TEST(ReceiverSessionSecureLogin, AWrongPasscodeIsRefusedCountedAndDropped)
{
    SessionUnderTest t(false);
    SecurePhone phone("open sesamE");
    const Bytes ta = phone.tag(t.receive(phone.hello()).reply);
    const auto outcome = t.receive(ta + keyboardPacket(1, 0x41));
    EXPECT_EQ(outcome.reply, loginReply(1));
    EXPECT_EQ(outcome.verdict, LoginVerdict::WrongPasscode);
    EXPECT_TRUE(outcome.drop);
    EXPECT_EQ(outcome.notices, std::vector<std::string>{"login refused: wrong passcode"});
    EXPECT_EQ(t.log.lines(), std::vector<std::string>{kRefused});
}

TEST(ReceiverSessionSecureLogin, HellosThatGiveNoShareAreRefusedWithoutCountingAsAGuess)
{
    std::vector<std::pair<std::string, Bytes>> hellos = {
        {"unknown version", secureHello(Bytes{0x69, 2, 0, 0, 0}, kSid, kValidShare)},
        {"version as text", secureHello(shortString("1"), kSid, kValidShare)},
        {"short sid", secureHello(kVersion1, std::string(30, 'a'), kValidShare)},
        {"upper-case share", secureHello(kVersion1, kSid, "D6" + kValidShare.substr(2))},
        {"no share", messagePacket(dictionaryOf(shortString("Cmd") + shortString("SecureLogin")))},
    };
    for (const char* share : kRefusedShares)
        hellos.emplace_back(std::string("share ") + share, secureHello(kVersion1, kSid, share));
    for (const auto& [what, hello] : hellos) {
        SessionUnderTest t(false);
        const auto outcome = t.receive(hello);
        EXPECT_EQ(outcome.reply, loginReply(1)) << what;
        EXPECT_EQ(outcome.verdict, LoginVerdict::Malformed) << what;
        EXPECT_FALSE(outcome.challenged) << what;
        ASSERT_EQ(outcome.notices.size(), 1u) << what;
        EXPECT_EQ(outcome.notices[0].rfind("secure login refused", 0), 0u) << what << ": " << outcome.notices[0];
        EXPECT_EQ(t.session.state(), ReceiverSession::State::Refused) << what;
    }
}

TEST(ReceiverSessionSecureLogin, ACapturedHandshakeReplayedOrItsTagReflectedLogsNothingIn)
{
    ConfirmedSession honest;
    SessionUnderTest record(false);
    SecurePhone phone(kPasscode);
    const Bytes ta = phone.tag(record.receive(phone.hello()).reply);
    Bytes tb = record.receive(ta).reply;
    ASSERT_EQ(phone.confirm(tb), HandshakeResult::Ok);
    // The receiver's tag sent back as the phone's: "Tb" becomes "Ta".
    const auto name = std::search(tb.begin(), tb.end(), std::begin("Tb"), std::end("Tb") - 1);
    ASSERT_NE(name, tb.end());
    name[1] = 'a';

    for (const Bytes& forged : {ta, tb}) {
        SessionUnderTest t(false);
        EXPECT_TRUE(t.receive(phone.hello()).challenged) << "a replayed hello gets a fresh share";
        const auto outcome = t.receive(forged);
        EXPECT_EQ(outcome.reply, loginReply(1));
        EXPECT_EQ(outcome.verdict, LoginVerdict::WrongPasscode);
        EXPECT_TRUE(outcome.drop);
    }
}

TEST(ReceiverSessionSecureLogin, ARecordThatDoesNotOpenEndsTheSessionAndNothingOfItOrAfterItIsDelivered)
{
    using Make = std::function<Bytes(SecurePhone&)>;
    const auto flip = [](Bytes bytes, std::size_t at, uint8_t bit) {
        bytes[at] ^= bit;
        return bytes;
    };
    const std::vector<std::pair<std::string, Make>> cases = {
        {"a bit flipped in the ciphertext", [&](SecurePhone& p) { return flip(p.record(keyboardPacket(1, 0x41)), 4, 1); }},
        {"a bit flipped in the tag", [&](SecurePhone& p) { return flip(p.record(keyboardPacket(1, 0x41)), 25, 0x80); }},
        {"a changed length", [&](SecurePhone& p) { return flip(p.record(mousePacket(1, 0, 0)), 0, 1); }},
        {"an oversized length", [](SecurePhone&) { return Bytes{0xFF, 0xFF}; }},
        {"a length too short", [](SecurePhone&) { return Bytes{16, 0} + Bytes(16, 0); }},
        {"a record dropped on the way", [](SecurePhone& p) { p.record(keyboardPacket(1, 0x41)); return Bytes{}; }},
        {"records out of order", [](SecurePhone& p) {
             const Bytes first = p.record(keyboardPacket(1, 0x41));
             return p.record(keyboardPacket(0, 0x41)) + first;
         }},
        {"padding that is not zero", [](SecurePhone& p) { return p.record(mousePacket(1, 0, 0) + Bytes{0, 7}); }},
        {"a packet cut short", [](SecurePhone& p) { return p.record(Bytes{0x80, 100, 0, 0, 0, 0x5B, 0x5D}); }},
        {"an unknown packet type", [](SecurePhone& p) { return p.record(Bytes{0x42, 1, 0, 0, 0, 0, 0, 0}); }},
    };
    for (const auto& [what, make] : cases) {
        ConfirmedSession s;
        const Bytes shift = s.phone.record(keyboardPacket(1, 0xFFE1));
        EXPECT_FALSE(s.t.receive(shift).drop) << what;
        const Bytes bad = make(s.phone);
        const auto outcome = s.t.receive(bad + s.phone.record(keyboardPacket(1, 0x42)));
        EXPECT_TRUE(outcome.drop) << what;
        EXPECT_EQ(s.t.log.lines(), (std::vector<std::string>{kAccepted, kShiftDown})) << what;
        // The server's close lets go of what the driving client held.
        EXPECT_EQ(s.t.session.state(), ReceiverSession::State::Accepted) << what;
    }

    // A replayed record, and one cut short, deliver nothing either.
    ConfirmedSession replay;
    const Bytes shift = replay.phone.record(keyboardPacket(1, 0xFFE1));
    replay.t.receive(shift);
    EXPECT_TRUE(replay.t.receive(shift).drop);
    EXPECT_EQ(replay.t.log.lines(), (std::vector<std::string>{kAccepted, kShiftDown}));
    ConfirmedSession cut;
    const Bytes key = cut.phone.record(keyboardPacket(1, 0x41));
    EXPECT_FALSE(cut.t.receive(Bytes(key.begin(), key.end() - 1)).drop);
    EXPECT_EQ(cut.t.log.lines(), std::vector<std::string>{kAccepted});
}

TEST(ReceiverSessionPlainLogin, IsRefusedByDefaultAlikeForAnyPasscodeWithANotice)
{
    for (const std::string& passcode : {kPasscode, std::string("a guess")}) {
        SessionUnderTest t(false);
        t.session.setLoginGate([] { return false; });
        auto outcome = t.receive(loginPacket(passcode));
        EXPECT_EQ(outcome.reply, loginReply(1)) << "answered at once, the same for any passcode";
        EXPECT_EQ(outcome.verdict, LoginVerdict::PlainRefused) << "no guess: the passcode is not looked at";
        ASSERT_EQ(outcome.notices.size(), 1u);
        for (const char* part : {"plain login refused", "readable by anyone on the network", "change the passcode",
                                 "edit the passcode file", "quillon-receiver --new-passcode --force",
                                 "'--allow-plain' accepts"})
            EXPECT_NE(outcome.notices[0].find(part), std::string::npos) << part;
        EXPECT_EQ(t.receive(keyboardPacket(1, 0x41)).notices,
                  std::vector<std::string>{"input of a refused login ignored"});
        EXPECT_EQ(t.log.lines(), std::vector<std::string>{kRefused});
    }
    SessionUnderTest notALogin(false);
    EXPECT_EQ(notALogin.receive(messagePacket(dictionaryOf(shortString("Cmd") + shortString("Hello")))).verdict,
              LoginVerdict::Malformed);
}
