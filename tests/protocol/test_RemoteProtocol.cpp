// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver session against a scripted receiver on 127.0.0.1: the secure
// login and its records (no passcode and no packet in clear, and what each
// failure risks), the plain login's exact bytes and verdicts, and how the
// session survives bad replies and a receiver that goes away.
#include "RemoteProtocol.h"

#include "Mojo.h"
#include "support/ReceiverDouble.h"
#include "support/LoopbackSockets.h"
#include "support/SessionBytes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/socket.h>

namespace {

const Bytes kAcceptingReply = acceptingLoginReply();

Bytes text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

// A reply dictionary holding one entry, written out by hand.
Bytes replyWith(const std::string& key, const Bytes& valueItem)
{
    return messagePacket(Bytes{0x5B} + shortString(key) + valueItem + Bytes{0x5D});
}

// The login request the receiver must see for `passcode`: the passcode a
// short string up to 255 bytes, the long form from 256.
Bytes expectedLogin(const std::string& passcode)
{
    const size_t n = passcode.size();
    if (n <= 255)
        return loginPacket(passcode);
    return messagePacket(Bytes{0x5B} + shortString("Cmd") + shortString("Login") + shortString("Passcode")
                         + Bytes{0x53, uint8_t(n), uint8_t(n >> 8)} + text(passcode) + Bytes{0x5D});
}

ReceiverScript answering(std::vector<Bytes> pieces, bool closesAfterReply = false)
{
    return ReceiverScript::plain(std::move(pieces), closesAfterReply);
}

// The plain login, and the secure one with the double's passcode unless told otherwise.
int connectTo(const ReceiverDouble& receiver, const std::string& passcode = "secret")
{
    return remote_connectToHostPlain("127.0.0.1", receiver.port(), passcode.c_str());
}
int connectSecurelyTo(const ReceiverDouble& receiver, const std::string& passcode = kReceiverDoublePasscode)
{
    return remote_connectToHost("127.0.0.1", receiver.port(), passcode.c_str());
}

bool contains(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

// The session's descriptor, found as the loopback socket connected from the
// receiver's peer port to the receiver.
int sessionDescriptor(ReceiverDouble& receiver)
{
    for (int fd = 0; fd < 1024; ++fd) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        if (localPort(fd) == receiver.clientPort() && getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0
            && peer.sin_family == AF_INET && ntohs(peer.sin_port) == receiver.port())
            return fd;
    }
    return -1;
}

class RemoteProtocolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        remote_initialize();
        // Bounds every login of a broken test; healthy replies come at once.
        remote_setResponseTimeout(3000);
    }
    void TearDown() override
    {
        remote_setSessionWatcher(nullptr);
        remote_disconnect();
    }

    RefusingPort refusing;
};

TEST_F(RemoteProtocolTest, WithoutASessionNothingIsSent)
{
    EXPECT_EQ(remote_initialize(), 0);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), -1);
    EXPECT_EQ(remote_sendMouseEvent(REMOTE_BUTTON_LEFT, 1, 1), -1);
    EXPECT_EQ(remote_login("secret"), -1);
    mojo_node* node = mojo_create();
    EXPECT_EQ(remote_get_response(node), -1);
    mojo_delete(node);
}

TEST_F(RemoteProtocolTest, ASecureSessionCarriesNeitherThePasscodeNorAPacketInClear)
{
    const std::string passcode = "Owner-Pass-90417";
    ReceiverScript script;
    script.passcode = passcode;
    ReceiverDouble receiver(script);
    ASSERT_EQ(connectSecurelyTo(receiver, passcode), 0);
    EXPECT_EQ(remote_is_secure(), 1);
    EXPECT_STREQ(remote_receiverName(), kReceiverDoubleName.c_str());
    EXPECT_EQ(remote_login(passcode.c_str()), -1); // never a plain login on it

    const std::vector<Bytes> packets = {keyboardPacket(1, 0x6C), keyboardPacket(0, 0x6C), mousePacket(1, -3, 5)};
    ASSERT_EQ(remote_sendKeyboardEvent(1, 0x6C), 0);
    ASSERT_EQ(remote_sendKeyboardEvent(0, 0x6C), 0);
    ASSERT_EQ(remote_sendMouseEvent(REMOTE_BUTTON_LEFT, -3, 5), 0);
    EXPECT_EQ(receiver.received(22), packets[0] + packets[1] + packets[2]);

    // The handshake, then one record of 26 bytes (its length 24 first) per event.
    const Bytes wire = receiver.wire();
    const Bytes handshake = receiver.loginFrame() + receiver.tagFrame();
    ASSERT_EQ(wire.size(), handshake.size() + 3 * 26);
    EXPECT_EQ(Bytes(wire.begin(), wire.begin() + long(handshake.size())), handshake);
    for (size_t record = handshake.size(); record < wire.size(); record += 26)
        EXPECT_EQ(Bytes(wire.begin() + long(record), wire.begin() + long(record) + 2), (Bytes{24, 0}));
    EXPECT_FALSE(contains(wire, text(passcode)));
    for (const Bytes& packet : packets)
        EXPECT_FALSE(contains(wire, packet));
    EXPECT_EQ(remote_disconnect(), 0);
    EXPECT_EQ(remote_is_secure(), 0);
}

// Until the phone's tag Ta has left, nothing sent lets a receiver test the
// passcode: a failure there is no connection (-1), or a plain receiver
// (-2, plain only). After it, any failure is a refused passcode. Either way
// the connection goes, and no plain login and no input follow.
TEST_F(RemoteProtocolTest, EachWayASecureLoginFailsIsReportedByWhatItRisked)
{
    remote_setResponseTimeout(300);
    auto plainAnswer = [](std::vector<Bytes> pieces, bool resets = false) {
        ReceiverScript script = ReceiverScript::plain(std::move(pieces), resets);
        script.resets = resets;
        return script;
    };
    auto secure = [](ReceiverScript::Confirm confirm, const std::string& passcode = "secret") {
        ReceiverScript script;
        script.confirm = confirm;
        script.passcode = passcode;
        return script;
    };
    const Bytes notAPoint = messagePacket(Bytes{0x5B} + shortString("Yb") + shortString(std::string(64, 'f'))
                                          + shortString("Name") + shortString("pc") + Bytes{0x5D});
    using Confirm = ReceiverScript::Confirm;
    const struct {
        const char* what;
        ReceiverScript script;
        int result;
        int failure;
    } cases[] = {
        {"a plain receiver's refusal", plainAnswer({loginReply(1)}), -2, REMOTE_LOGIN_PLAIN_ONLY},
        {"a plain receiver's Rsp 0", plainAnswer({loginReply(0)}), -2, REMOTE_LOGIN_PLAIN_ONLY},
        {"a reset after message 1", plainAnswer({}, true), -1, REMOTE_LOGIN_NOT_REFUSED},
        {"no answer to message 1", plainAnswer({}), -1, REMOTE_LOGIN_NOT_REFUSED},
        {"a share that is not a point", plainAnswer({notAPoint}), -1, REMOTE_LOGIN_NOT_REFUSED},
        {"another passcode", secure(Confirm::WithTb, "other"), -2, REMOTE_LOGIN_PASSCODE_REFUSED},
        {"a reset after Ta", secure(Confirm::ByResetting), -2, REMOTE_LOGIN_PASSCODE_REFUSED},
        {"Ta sent back as Tb", secure(Confirm::WithTheTaSentBack), -2, REMOTE_LOGIN_PASSCODE_REFUSED},
        {"a wrong Tb", secure(Confirm::WithAWrongTb), -2, REMOTE_LOGIN_PASSCODE_REFUSED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReceiverDouble receiver(c.script);
        EXPECT_EQ(connectSecurelyTo(receiver, "secret"), c.result);
        EXPECT_EQ(remote_loginFailure(), c.failure);
        EXPECT_EQ(remote_is_connected(), 0);
        const Bytes login = receiver.loginFrame();
        EXPECT_TRUE(contains(login, text("SecureLogin")));
        EXPECT_FALSE(contains(login, text("secret")));
        // Whatever the double still reads: message 1, and Ta once a share was taken.
        const bool secureDouble = c.script.login == ReceiverScript::Login::Secure;
        const bool listensOn = !secureDouble ? !c.script.resets
                                             : c.script.confirm == Confirm::WithTheTaSentBack
                                                   || c.script.confirm == Confirm::WithAWrongTb;
        EXPECT_TRUE(listensOn ? receiver.waitForPeerClose() : receiver.waitForOwnClose());
        EXPECT_EQ(receiver.wire(), secureDouble ? login + receiver.tagFrame() : login);
    }
}

TEST_F(RemoteProtocolTest, InputEventsAreSentByteForByte)
{
    ReceiverDouble receiver(answering({kAcceptingReply}));
    // Only the low 16 bits of the port count.
    ASSERT_EQ(remote_connectToHostPlain("127.0.0.1", receiver.port() + 0x10000u, "secret"), 0);
    EXPECT_EQ(remote_is_connected(), 1);
    EXPECT_EQ(remote_is_secure(), 0);

    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x08010020), 0);
    EXPECT_EQ(remote_sendKeyboardEvent(0x100, 0xFFE1), 0); // only the state's low byte travels
    EXPECT_EQ(remote_sendMouseEvent(REMOTE_BUTTON_LEFT, -3, 5), 0);
    EXPECT_EQ(remote_sendMouseEvent(0x100 | REMOTE_WHEEL_DOWN, INT16_MIN, INT16_MAX), 0);

    const Bytes expected = {0x01, 0x01, 0x00, 0x00, 0x20, 0x00, 0x01, 0x08, // key down 0x08010020
                            0x01, 0x00, 0x00, 0x00, 0xE1, 0xFF, 0x00, 0x00, // key up Shift_L
                            0x00, 0x01, 0xFD, 0xFF, 0x05, 0x00,             // left held, -3, 5
                            0x00, 0x10, 0x00, 0x80, 0xFF, 0x7F};            // wheel down, extremes
    EXPECT_EQ(receiver.received(expected.size()), expected);
}

TEST_F(RemoteProtocolTest, SessionSocketSendsSmallPacketsAtOnce)
{
    ReceiverDouble receiver;
    ASSERT_EQ(connectSecurelyTo(receiver), 0);
    const int fd = sessionDescriptor(receiver);
    ASSERT_GE(fd, 0);
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
    EXPECT_NE(noDelay, 0);
}

TEST_F(RemoteProtocolTest, LoginRequestIsTheFramedDictionary)
{
    // Short strings up to 255 bytes, the long form from 256, the longest
    // passcode that fills the 1024-byte frame, and UTF-8 bytes as typed.
    for (const std::string& passcode : {std::string(), std::string(6, 'k'), std::string(255, 'k'),
                                       std::string(256, 'k'), std::string(992, 'k'), std::string("p\xC3\xA4ss")}) {
        const size_t n = passcode.size();
        SCOPED_TRACE(n);
        ReceiverDouble receiver(answering({kAcceptingReply}));
        EXPECT_EQ(connectTo(receiver, passcode), 0);
        const Bytes login = receiver.loginFrame();
        EXPECT_EQ(login.size(), n <= 255 ? 31 + n : 27 + n + 5);
        EXPECT_EQ(login, expectedLogin(passcode));
    }
}

TEST_F(RemoteProtocolTest, PasscodeTooLongForTheFrameIsRefusedBeforeSending)
{
    const std::string tooLong(993, 'k');
    {
        ReceiverDouble receiver(answering({kAcceptingReply}));
        ASSERT_EQ(connectTo(receiver), 0);
        EXPECT_EQ(remote_login(tooLong.c_str()), -1);
        // The next bytes on the wire are the event's: the login left none.
        ASSERT_EQ(remote_sendKeyboardEvent(1, 0x41), 0);
        EXPECT_EQ(receiver.received(8), (Bytes{0x01, 0x01, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00}));
    }
    ReceiverScript readsNothing = answering({});
    readsNothing.readsLogin = false;
    ReceiverDouble silent(readsNothing);
    EXPECT_EQ(connectTo(silent, tooLong), -2);
    EXPECT_EQ(remote_is_connected(), 1);
    ASSERT_EQ(remote_sendKeyboardEvent(0, 0x41), 0);
    EXPECT_EQ(silent.received(8), (Bytes{0x01, 0x00, 0x00, 0x00, 0x41, 0x00, 0x00, 0x00}));
}

TEST_F(RemoteProtocolTest, OnlyAnIntegerRspOfZeroLogsIn)
{
    const Bytes paddedTo4096 = messagePacket(Bytes{0x5B} + shortString("Rsp") + Bytes{0x69, 0, 0, 0, 0}
                                             + shortString("Pad") + Bytes{0x53, 0xEC, 0x0F} + Bytes(4076, 'x')
                                             + Bytes{0x5D});
    ASSERT_EQ(paddedTo4096.size(), 5u + 4096u);
    const struct {
        const char* what;
        Bytes reply;
        int result;
    } cases[] = {
        {"Rsp 0", replyWith("Rsp", {0x69, 0, 0, 0, 0}), 0},
        {"payload of exactly 4096 bytes", paddedTo4096, 0},
        {"Rsp 1", replyWith("Rsp", {0x69, 1, 0, 0, 0}), -2},
        {"Rsp -1", replyWith("Rsp", {0x69, 0xFF, 0xFF, 0xFF, 0xFF}), -2},
        {"Rsp a string", replyWith("Rsp", {0x73, 0x01, '0'}), -2},
        {"Rsp a character", replyWith("Rsp", {0x63, 0x00}), -2},
        {"Rsp missing", replyWith("Rs", {0x69, 0, 0, 0, 0}), -2},
        {"payload does not decode", messagePacket({0x5D}), -2},
        {"first byte not a message", Bytes{0x01} + Bytes(kAcceptingReply.begin() + 1, kAcceptingReply.end()), -2},
        {"empty payload", {0x80, 0, 0, 0, 0}, -2},
        {"payload over 4096 bytes", Bytes{0x80, 0x01, 0x10, 0x00, 0x00} + Bytes(4097, 0x5D), -2},
        {"length near 4 GiB", {0x80, 0xFF, 0xFF, 0xFF, 0xFF}, -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ReceiverDouble receiver(answering({c.reply}));
        EXPECT_EQ(connectTo(receiver), c.result);
        EXPECT_EQ(remote_loginFailure(), c.result == 0 ? REMOTE_LOGIN_NOT_REFUSED : REMOTE_LOGIN_PASSCODE_REFUSED);
        // A refused plain login keeps the connection until the next connect.
        EXPECT_EQ(remote_is_connected(), 1);
        EXPECT_EQ(remote_sendKeyboardEvent(1, 0x20), 0);
    }
}

// On its own, not a row of the table above: a reply read short would be made
// whole by the bytes an earlier row's reply left in the receive buffer.
TEST_F(RemoteProtocolTest, ReplyArrivingInPiecesIsReadWhole)
{
    ReceiverDouble receiver(answering({{0x80, 0x0C}, {0x00, 0x00, 0x00}, {0x5B, 0x73, 0x03, 0x52, 0x73},
                                       {0x70, 0x69, 0x00, 0x00, 0x00, 0x00, 0x5D}}));
    EXPECT_EQ(connectTo(receiver), 0);
}

TEST_F(RemoteProtocolTest, AReceiveTakesOneMessageAndNoMore)
{
    // Both messages in one write: the login must not swallow the second.
    const Bytes second = replyWith("Name", {0x73, 0x02, 'p', 'c'});
    ReceiverDouble receiver(answering({kAcceptingReply + second}));
    ASSERT_EQ(connectTo(receiver), 0);
    mojo_node* node = mojo_create();
    EXPECT_EQ(remote_get_response(node), int(second.size()) - 5);
    EXPECT_STREQ(mojo_get_string(mojo_dic_get_value(node, "Name")), "pc");
    mojo_delete(node);
}

TEST_F(RemoteProtocolTest, UnansweredLoginGivesUpAfterTheResponseTimeout)
{
    remote_setResponseTimeout(50);
    ReceiverDouble silent(answering({}));
    EXPECT_EQ(connectTo(silent), -2);
    EXPECT_EQ(silent.loginFrame(), expectedLogin("secret"));
    EXPECT_EQ(remote_is_connected(), 1);

    // A reply that stops after its header runs into the same bound.
    ReceiverDouble stalling(answering({{0x80, 0x0C, 0x00, 0x00, 0x00, 0x5B}}));
    EXPECT_EQ(connectTo(stalling), -2);
    EXPECT_EQ(remote_is_connected(), 1);
}

TEST_F(RemoteProtocolTest, FailedConnectLeavesNoSession)
{
    for (auto connect : {remote_connectToHost, remote_connectToHostPlain}) {
        EXPECT_EQ(connect("127.0.0.1", refusing.port(), "secret"), -1);
        EXPECT_EQ(remote_is_connected(), 0);
        EXPECT_EQ(connect("not an address", 25736, "secret"), -1);
        EXPECT_EQ(connect(nullptr, 25736, "secret"), -1);
        EXPECT_EQ(remote_is_connected(), 0);
    }
}

TEST_F(RemoteProtocolTest, ConnectingAgainClosesTheOldSession)
{
    ReceiverDouble first;
    ASSERT_EQ(connectSecurelyTo(first), 0);
    EXPECT_EQ(remote_connectToHost("127.0.0.1", refusing.port(), "secret"), -1);
    EXPECT_TRUE(first.waitForPeerClose());
    EXPECT_EQ(remote_is_connected(), 0);

    // A session whose login was refused is closed by the next connect too.
    ReceiverDouble refusingLogin(answering({replyWith("Rsp", {0x69, 1, 0, 0, 0})}));
    ASSERT_EQ(connectTo(refusingLogin), -2);
    ReceiverDouble next;
    EXPECT_EQ(connectSecurelyTo(next), 0);
    EXPECT_TRUE(refusingLogin.waitForPeerClose());
    EXPECT_EQ(remote_sendMouseEvent(0, 1, 2), 0);
    EXPECT_EQ(next.received(6), (Bytes{0x00, 0x00, 0x01, 0x00, 0x02, 0x00}));
}

TEST_F(RemoteProtocolTest, ReceiverClosingEndsTheSession)
{
    ReceiverScript closes;
    closes.closesAfterReply = true;
    ReceiverDouble receiver(closes);
    ASSERT_EQ(connectSecurelyTo(receiver), 0);
    ASSERT_TRUE(receiver.waitForOwnClose());
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), -1);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(remote_sendMouseEvent(0, 1, 1), -1);

    // Closing instead of answering the login: connected, then lost.
    ReceiverDouble hangsUp(answering({}, true));
    EXPECT_EQ(connectTo(hangsUp), -2);
    EXPECT_EQ(remote_is_connected(), 0);
}

// What a watcher was told, and whether each descriptor it was told of was
// still open when it was told to let go.
struct WatcherLog {
    std::vector<int> told;
    int watched = -1;
    bool openWhenLetGo = false;
};
WatcherLog watcherLog;

void recordWatch(int descriptor)
{
    if (descriptor < 0)
        watcherLog.openWhenLetGo = fcntl(watcherLog.watched, F_GETFD) != -1;
    else
        watcherLog.watched = descriptor;
    watcherLog.told.push_back(descriptor);
}

TEST_F(RemoteProtocolTest, AWatchedSessionLeavesTheLookForTheReceiversCloseToTheLoop)
{
    watcherLog = {};
    remote_setSessionWatcher(&recordWatch);
    // Stray bytes after the reply are dropped, and the session goes on.
    ReceiverDouble chatty(answering({kAcceptingReply + Bytes{0x00, 0x7F}}));
    ASSERT_EQ(connectTo(chatty), 0);
    const int fd = sessionDescriptor(chatty);
    EXPECT_EQ(watcherLog.told, (std::vector<int>{fd}));
    ASSERT_TRUE(waitUntilReadable(fd));
    EXPECT_EQ(remote_sessionReadable(), 0);
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), 0);
    EXPECT_EQ(chatty.received(8), keyboardPacket(1, 0x41));

    // A receiver that closed: a send the loop was not told of does not look
    // (the socket takes it); once the loop has seen the close, the next send
    // ends the session, after the watcher let go of the descriptor.
    ReceiverScript closes;
    closes.closesAfterReply = true;
    ReceiverDouble receiver(closes);
    ASSERT_EQ(connectSecurelyTo(receiver), 0);
    EXPECT_TRUE(watcherLog.openWhenLetGo); // the previous session's, at this connect
    const int secureFd = sessionDescriptor(receiver);
    EXPECT_EQ(watcherLog.told, (std::vector<int>{fd, -1, secureFd}));
    ASSERT_TRUE(receiver.waitForOwnClose());
    ASSERT_TRUE(waitUntilReadable(secureFd));
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), 0);
    watcherLog.openWhenLetGo = false;
    EXPECT_EQ(remote_sessionReadable(), 1);
    EXPECT_EQ(remote_is_connected(), 1); // until a send meets the close, as without a watcher
    EXPECT_EQ(remote_sendMouseEvent(0, 1, 1), -1);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(watcherLog.told.back(), -1);
    EXPECT_TRUE(watcherLog.openWhenLetGo);

    // A watcher set during a session is told of it at once, and let go when removed.
    ReceiverDouble later;
    ASSERT_EQ(connectSecurelyTo(later), 0);
    remote_setSessionWatcher(nullptr);
    watcherLog = {};
    remote_setSessionWatcher(&recordWatch);
    EXPECT_EQ(watcherLog.told, (std::vector<int>{sessionDescriptor(later)}));
    remote_setSessionWatcher(nullptr);
    EXPECT_EQ(watcherLog.told.back(), -1);
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), 0); // the session itself goes on
}

TEST_F(RemoteProtocolTest, SendingToAVanishedReceiverRaisesNoSigpipe)
{
    // With SIGPIPE at its default, a send that raised it would end this
    // process. A stray byte after the reply keeps the session from seeing the
    // end of stream first, so the sends really meet the dead connection.
    std::signal(SIGPIPE, SIG_DFL);
    ReceiverDouble receiver(answering({kAcceptingReply + Bytes{0x00}}, true));
    ASSERT_EQ(connectTo(receiver), 0);
    ASSERT_TRUE(receiver.waitForOwnClose());
    int result = 0;
    for (int attempt = 0; attempt < 5 && result == 0; ++attempt)
        result = remote_sendKeyboardEvent(1, 0x41);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(remote_is_connected(), 0);
}

TEST_F(RemoteProtocolTest, AConnectThatIsNeverAnsweredGivesUpWithinItsBound)
{
    EXPECT_LE(REMOTE_DEFAULT_CONNECT_TIMEOUT_MS, 5000) << "a few seconds, not the system's two minutes";
    remote_setConnectTimeout(300);
    // A listener whose queue of one is full: the kernel drops every further
    // SYN, as a firewall that drops connections does, and a connect sees nothing.
    const UniqueFd dropping = listeningOnLoopback(0);
    const UniqueFd filler = connectToLoopback(localPort(dropping.get()));
    ASSERT_TRUE(filler.valid());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(remote_connectToHost("127.0.0.1", localPort(dropping.get()), "secret"), -1);
    // A failure guard, not a speed check: unbounded, this would take 127 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(remote_is_connected(), 0);
    remote_setConnectTimeout(REMOTE_DEFAULT_CONNECT_TIMEOUT_MS);

    // The session socket blocks again once connected: a normal login works.
    ReceiverDouble receiver;
    EXPECT_EQ(connectSecurelyTo(receiver), 0);
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), 0);
    EXPECT_EQ(receiver.received(8).size(), 8u);
}

TEST_F(RemoteProtocolTest, AReceiverThatStopsReadingEndsTheSessionWithinTheSendBound)
{
    EXPECT_LE(REMOTE_DEFAULT_SEND_TIMEOUT_MS, 2000);
    remote_setSendTimeout(200);
    ReceiverScript script;
    script.stopsReadingAfterReply = true;
    ReceiverDouble stalled(script);
    ASSERT_EQ(connectSecurelyTo(stalled), 0);
    const int small = 4096;
    setsockopt(sessionDescriptor(stalled), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    // The socket's buffers take events until they are full; then one send
    // waits its bound and the session is over, as if the receiver had gone.
    const auto start = std::chrono::steady_clock::now();
    long sent = 0;
    while (remote_sendMouseEvent(0, 1, 1) == 0 && std::chrono::steady_clock::now() - start < std::chrono::seconds(30))
        ++sent;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << sent << " events sent";
    EXPECT_GT(sent, 0);
    EXPECT_EQ(remote_is_connected(), 0);
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), -1);
    remote_setSendTimeout(REMOTE_DEFAULT_SEND_TIMEOUT_MS);
}

} // namespace
