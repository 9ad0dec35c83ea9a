// SPDX-License-Identifier: GPL-3.0-or-later
// One client's session without sockets: the login exchange, which events
// reach the sink, and when the client is dropped. The sink is the real log
// sink writing into memory, so the exact JSON lines are checked too.
#include "Mojo.h"
#include "net/LoginCheck.h"
#include "net/ReceiverSession.h"
#include "support/SessionBytes.h"
#include "sinks/LogSink.h"
#include "support/receiver/CapturedLines.h"

#include <gtest/gtest.h>


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
    CapturedLog log;
    ReceiverSession session{kPasscode, log.sink()};

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
    ReceiverSession session(longPasscode, log.sink());
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
