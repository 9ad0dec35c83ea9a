// SPDX-License-Identifier: GPL-3.0-or-later
// One client's session without sockets: the login exchange (secure, from the
// protocol core's phone handshake, and plain), which events reach the sink,
// and when the client is dropped. The sink is the real log
// sink writing into memory, so the exact JSON lines are checked too.
#include "Mojo.h"
#include "net/LoginCheck.h"
#include "net/ReceiverSession.h"
#include "protocol/RefusedShares.h"
#include "common/OutputChannel.h"
#include "sinks/LogSink.h"
#include "support/receiver/CapturedLines.h"
#include "support/receiver/SecurePhone.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sys/socket.h>
#include <tuple>

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

// The reader is a datagram-like socket: each write the channel makes arrives
// as one record, so counting the records counts the writes.
TEST(LogSinkLines, TheLinesOfABatchLeaveInOneWriteAtItsEnd)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    const UniqueFd writing(ends[0]);
    const UniqueFd reading(ends[1]);
    const auto writes = [&reading] {
        std::vector<std::string> records;
        char record[65536];
        for (ssize_t got; (got = recv(reading.get(), record, sizeof record, MSG_DONTWAIT)) > 0;)
            records.emplace_back(record, std::size_t(got));
        return records;
    };
    OutputChannel channel(writing.get());
    LogSink sink(channel);

    sink.connected("127.0.0.1:40000");
    sink.loginAnswered(true);
    for (int i = 0; i < 40; ++i)
        sink.mouse(1, -3, 5);
    EXPECT_TRUE(writes().empty()) << "nothing is written before the batch ends";
    sink.endOfBatch();
    std::string batch = R"({"type":"connect","peer":"127.0.0.1:40000"})" "\n" + kAccepted + "\n";
    for (int i = 0; i < 40; ++i)
        batch += kMouseLeft + "\n";
    EXPECT_EQ(writes(), std::vector<std::string>{batch});

    sink.keyboard(1, 0x41);
    sink.endOfBatch();
    sink.endOfBatch();
    EXPECT_EQ(writes(), std::vector<std::string>{kKeyA + "\n"}) << "an empty batch writes nothing";
    EXPECT_EQ(channel.takeDropped(), 0u);
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

const std::string kShiftDown = R"({"type":"keyboard","state":1,"keycode":65505})";

// A session whose secure login the phone has confirmed.
struct ConfirmedSession {
    SessionUnderTest t{false};
    SecurePhone phone{kPasscode};
    ConfirmedSession() { phone.confirm(t.receive(phone.tag(t.receive(phone.hello()).reply)).reply); }
};

Bytes secureHello(const Bytes& version, const std::string& sid, const std::string& ya)
{
    return messagePacket(dictionaryOf(shortString("Cmd") + shortString("SecureLogin") + shortString("Ver") + version
                                      + shortString("Sid") + shortString(sid) + shortString("Ya") + shortString(ya)));
}

} // namespace

TEST(ReceiverSessionSecureLogin, TheShareGoesOutAtOnceTheTagWaitsItsTurnThenRecordsReachTheSink)
{
    SessionUnderTest t(false);
    bool open = false;
    t.session.setLoginGate([&open] { return open; });
    SecurePhone phone(kPasscode);
    auto outcome = t.receive(phone.hello());
    EXPECT_TRUE(outcome.challenged);
    EXPECT_FALSE(outcome.verdict);
    const Bytes ta = phone.tag(outcome.reply);
    EXPECT_EQ(phone.receiverName(), "desk");
    EXPECT_TRUE(t.receive(ta).reply.empty()) << "nothing from the key before the tag's turn";
    EXPECT_EQ(t.session.state(), ReceiverSession::State::LoginPending);

    open = true;
    outcome = t.session.answerPendingLogin();
    EXPECT_EQ(outcome.verdict, LoginVerdict::Accepted);
    EXPECT_EQ(phone.confirm(outcome.reply), HandshakeResult::Ok);
    Bytes records; // in any split, one of them a message, ignored as after any login
    for (const Bytes& packet : {keyboardPacket(1, 0x41), mousePacket(1, -3, 5), loginPacket("again")})
        records = records + phone.record(packet);
    EXPECT_FALSE(t.receive(Bytes(records.begin(), records.begin() + 30)).drop);
    EXPECT_EQ(t.receive(Bytes(records.begin() + 30, records.end())).notices,
              std::vector<std::string>{"message after the login ignored"});
    EXPECT_EQ(t.log.lines(), (std::vector<std::string>{kAccepted, kKeyA, kMouseLeft}));

    // Plain packets behind the tag, in the same read, are records (01 01: 257 bytes) that do not open.
    SessionUnderTest behind(false);
    SecurePhone second(kPasscode);
    outcome = behind.receive(second.tag(behind.receive(second.hello()).reply) + keyboardPacket(1, 0x41) + Bytes(300, 0));
    EXPECT_TRUE(outcome.verdict == LoginVerdict::Accepted && outcome.drop);
    EXPECT_EQ(behind.log.lines(), std::vector<std::string>{kAccepted});
}

TEST(ReceiverSessionSecureLogin, AWrongReplayedOrReflectedTagIsAWrongPasscodeAndDropped)
{
    // An eavesdropper's capture of the owner's login, replayed on new connections.
    SecurePhone owner(kPasscode);
    SessionUnderTest captured(false);
    const Bytes ta = owner.tag(captured.receive(owner.hello()).reply);
    Bytes tb = captured.receive(ta).reply;
    tb[std::size_t(std::search(tb.begin(), tb.end(), std::begin("Tb"), std::end("Tb") - 1) - tb.begin()) + 1] = 'a';
    SecurePhone guesser("open sesamE");
    const std::vector<std::tuple<const char*, Bytes, std::function<Bytes(const Bytes&)>>> cases = {
        {"wrong passcode", guesser.hello(), [&](const Bytes& share) { return guesser.tag(share); }},
        {"replayed tag", owner.hello(), [&](const Bytes&) { return ta; }},
        {"the receiver's tag sent back", owner.hello(), [&](const Bytes&) { return tb; }},
    };
    for (const auto& [what, hello, tag] : cases) {
        SessionUnderTest t(false);
        const auto outcome = t.receive(tag(t.receive(hello).reply) + keyboardPacket(1, 0x41));
        EXPECT_EQ(outcome.reply, loginReply(1)) << what;
        EXPECT_EQ(outcome.verdict, LoginVerdict::WrongPasscode) << what;
        EXPECT_TRUE(outcome.drop) << what;
        EXPECT_EQ(t.log.lines(), std::vector<std::string>{kRefused}) << what;
    }
}

TEST(ReceiverSessionSecureLogin, HellosThatGiveNoShareAreRefusedWithoutCountingAsAGuess)
{
    const Bytes v1 = {0x69, 1, 0, 0, 0};
    const std::string sid(32, 'a');
    const std::string share = "d6bac480f2c386c394efc7c47adb9925dcd2630b64f240c50f8d0eec482b9157"; // a valid point
    std::vector<Bytes> hellos = {secureHello(Bytes{0x69, 2, 0, 0, 0}, sid, share), secureHello(shortString("1"), sid, share),
                                 secureHello(v1, sid.substr(2), share), secureHello(v1, sid, "D6" + share.substr(2)),
                                 messagePacket(dictionaryOf(shortString("Cmd") + shortString("SecureLogin")))};
    for (const char* refused : kRefusedShares)
        hellos.push_back(secureHello(v1, sid, refused));
    for (const Bytes& hello : hellos) {
        SessionUnderTest t(false);
        const auto outcome = t.receive(hello);
        EXPECT_EQ(outcome.reply, loginReply(1));
        EXPECT_EQ(outcome.verdict, LoginVerdict::Malformed);
        EXPECT_FALSE(outcome.challenged);
        ASSERT_EQ(outcome.notices.size(), 1u);
        EXPECT_EQ(outcome.notices[0].rfind("secure login refused: ", 0), 0u) << outcome.notices[0];
    }
}

// The budget of hellos is asked before the share is computed, and only for
// a secure login: beyond it the client is dropped with no answer, no verdict
// and no guess counted.
TEST(ReceiverSessionSecureLogin, AHelloBeyondItsBudgetIsDroppedUnansweredAndAPlainLoginDoesNotAsk)
{
    int asked = 0;
    const auto spent = [&asked] {
        ++asked;
        return false;
    };
    SessionUnderTest secure;
    secure.session.setHelloGate(spent);
    const auto outcome = secure.receive(SecurePhone(kPasscode).hello());
    EXPECT_TRUE(outcome.drop);
    EXPECT_TRUE(outcome.reply.empty());
    EXPECT_FALSE(outcome.verdict || outcome.challenged);
    EXPECT_EQ(secure.log.lines(), std::vector<std::string>{});

    SessionUnderTest plain;
    plain.session.setHelloGate(spent);
    EXPECT_EQ(plain.receive(loginPacket(kPasscode)).reply, acceptingLoginReply());
    EXPECT_EQ(asked, 1);
}

TEST(ReceiverSessionSecureLogin, ARecordThatDoesNotOpenEndsTheSessionAndNothingOfItOrAfterItIsDelivered)
{
    const Bytes key = keyboardPacket(1, 0x41);
    const auto flipped = [](Bytes record, std::size_t at) {
        record[at] ^= 0x01;
        return record;
    };
    const std::vector<std::pair<const char*, std::function<Bytes(SecurePhone&, const Bytes&)>>> cases = {
        {"ciphertext changed", [&](SecurePhone& p, const Bytes&) { return flipped(p.record(key), 4); }},
        {"tag changed", [&](SecurePhone& p, const Bytes&) { return flipped(p.record(key), 25); }},
        {"length changed", [&](SecurePhone& p, const Bytes&) { return flipped(p.record(key), 0); }},
        {"oversized", [](SecurePhone&, const Bytes&) { return Bytes{0xFF, 0xFF}; }},
        {"too short", [](SecurePhone&, const Bytes&) { return Bytes{16, 0} + Bytes(16, 0); }},
        {"replayed", [](SecurePhone&, const Bytes& before) { return before; }},
        {"one left out", [&](SecurePhone& p, const Bytes&) { p.record(key); return Bytes{}; }},
        {"cut short", [&](SecurePhone& p, const Bytes&) { Bytes r = p.record(key); r.pop_back(); return r; }},
        {"padding not zero", [](SecurePhone& p, const Bytes&) { return p.record(mousePacket(1, 0, 0) + Bytes{0, 7}); }},
        {"packet cut short", [](SecurePhone& p, const Bytes&) { return p.record(Bytes{0x80, 99, 0, 0, 0, 0x5B, 0x5D}); }},
        {"unknown packet type", [](SecurePhone& p, const Bytes&) { return p.record(Bytes{0x42, 1}); }},
    };
    for (const auto& [what, make] : cases) {
        ConfirmedSession s;
        const Bytes shift = s.phone.record(keyboardPacket(1, 0xFFE1));
        s.t.receive(shift);
        const Bytes bad = make(s.phone, shift);
        EXPECT_TRUE(s.t.receive(bad + s.phone.record(keyboardPacket(1, 0x42))).drop) << what;
        EXPECT_EQ(s.t.log.lines(), (std::vector<std::string>{kAccepted, kShiftDown})) << what;
        // The server's close lets go of what the driving client held.
        EXPECT_EQ(s.t.session.state(), ReceiverSession::State::Accepted) << what;
    }
}

TEST(ReceiverSessionPlainLogin, IsRefusedByDefaultAtOnceAlikeForAnyPasscodeWithANotice)
{
    std::vector<std::string> notices;
    for (const std::string& passcode : {kPasscode, std::string("a guess")}) {
        SessionUnderTest t(false);
        t.session.setLoginGate([] { return false; });
        const auto outcome = t.receive(loginPacket(passcode) + keyboardPacket(1, 0x41));
        EXPECT_EQ(outcome.reply, loginReply(1));
        EXPECT_EQ(outcome.verdict, LoginVerdict::PlainRefused) << "no guess: the passcode is not looked at";
        EXPECT_EQ(t.log.lines(), std::vector<std::string>{kRefused});
        notices.insert(notices.end(), outcome.notices.begin(), outcome.notices.end());
    }
    ASSERT_EQ(notices.size(), 4u);
    EXPECT_EQ(notices[0], notices[2]);
    for (const char* part : {"plain login refused", "readable by anyone on the network", "change the passcode",
                             "edit the passcode file", "'quillon-receiver --new-passcode --force'", "'--allow-plain'"})
        EXPECT_NE(notices[0].find(part), std::string::npos) << part;
}
