// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon-receiver as a child process on 127.0.0.1: discovery
// queries and replies, secure and plain logins, events logged as exact JSON
// lines, hostile clients and datagrams, and a clean stop.
#include "support/LoopbackSockets.h"
#include "Mojo.h"
#include "net/SocketAddress.h"
#include "support/ReceiverProcess.h"
#include "support/receiver/SecurePhone.h"
#include "support/SessionBytes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sys/socket.h>
#include <sys/utsname.h>

namespace {

const std::string kPasscode = "correct horse";

std::string connectLine(int clientFd)
{
    return R"({"type":"connect","peer":")" + formatPeerOfLocalEnd(clientFd) + R"("})";
}

const std::string kAccepted = R"({"type":"login","accepted":true})";
const std::string kRefused = R"({"type":"login","accepted":false})";
const std::string kDisconnect = R"({"type":"disconnect"})";
const std::string kReleasedNothing = R"({"type":"release","keycodes":[],"buttons":0})";

// Reads the next `count` lines of the receiver's output; a missing line shows
// up as "<none>" so the comparison names what is missing.
std::vector<std::string> nextLines(ReceiverProcess& receiver, std::size_t count)
{
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < count; ++i)
        lines.push_back(receiver.nextOutputLine().value_or("<none>"));
    return lines;
}

// A receiver that also takes plain logins: most tests here log in plainly,
// with bytes written out by hand, since what follows a login is the same for
// both kinds; the secure login has its own tests below.
std::unique_ptr<ReceiverProcess> plainReceiver()
{
    return ReceiverProcess::startOnLoopback(kPasscode, {"--allow-plain"});
}

// Connects and logs in plainly; returns the connection with the reply checked.
UniqueFd loggedInClient(ReceiverProcess& receiver, const std::string& passcode, int32_t expectedRsp,
                        const char* from = "127.0.0.1")
{
    UniqueFd client = connectToLoopbackFrom(from, receiver.sessionPort());
    EXPECT_TRUE(client.valid());
    EXPECT_TRUE(sendAll(client.get(), loginPacket(passcode)));
    EXPECT_EQ(receiveExactly(client.get(), loginReply(0).size()), std::optional<Bytes>(loginReply(expectedRsp)));
    return client;
}

struct DecodedReply {
    std::map<std::string, std::string> strings;
    std::map<std::string, int32_t> integers;
};

std::optional<DecodedReply> decodeReply(const Bytes& datagram)
{
    mojo_node* root = mojo_create();
    DecodedReply reply;
    const bool ok = mojo_decode(root, datagram.data(), int(datagram.size())) == int(datagram.size())
                    && root->type == MOJO_DICTIONARY;
    if (ok) {
        for (const char* key : {"Name", "Ip", "Os", "ReceiverName", "ReceiverVer", "Device"}) {
            if (const char* text = mojo_get_string(mojo_dic_get_value(root, key)))
                reply.strings[key] = text;
        }
        for (const char* key : {"Port", "Secure"}) {
            int32_t value = 0;
            if (mojo_get_int(mojo_dic_get_value(root, key), &value) == 0)
                reply.integers[key] = value;
        }
    }
    mojo_delete(root);
    return ok ? std::optional<DecodedReply>(reply) : std::nullopt;
}

void expectReplyFor(const Bytes& datagram, const ReceiverProcess& receiver)
{
    const auto reply = decodeReply(datagram);
    ASSERT_TRUE(reply) << "the reply is one encoded dictionary";
    utsname system{};
    uname(&system);
    EXPECT_EQ(reply->strings.at("Name"), "loopback-test");
    EXPECT_EQ(reply->integers.at("Port"), receiver.sessionPort());
    EXPECT_EQ(reply->strings.at("Ip"), "?");
    EXPECT_EQ(reply->strings.at("Os"), system.sysname);
    EXPECT_EQ(reply->strings.at("ReceiverName"), "quillon-receiver");
    EXPECT_EQ(reply->strings.at("ReceiverVer"), QUILLON_TEST_VERSION);
    EXPECT_EQ(reply->integers.at("Secure"), 1);
    EXPECT_EQ(reply->strings.count("Device"), 0u);
}

} // namespace

TEST(ReceiverDiscovery, ClientSharingThePortOnThisComputerIsAnsweredWhicheverBoundFirst)
{
    // The receiver's socket is bound to 127.0.0.1, so a unicast to that
    // address goes to it and never to the shared wildcard socket: the client
    // only hears the loopback broadcast.
    {
        auto receiver = ReceiverProcess::startOnLoopback(kPasscode);
        UniqueFd phone = boundUdpSocket("0.0.0.0", receiver->discoveryPort(), true);
        ASSERT_TRUE(phone.valid()) << "the receiver must let others share its port";
        ASSERT_TRUE(sendDatagramToLoopback(phone.get(), receiver->discoveryPort(), discoveryQuery()));
        const auto reply = receiveDatagram(phone.get());
        ASSERT_TRUE(reply) << "receiver bound first";
        expectReplyFor(*reply, *receiver);
    }
    {
        UniqueFd phone = boundUdpSocket("0.0.0.0", 0, true);
        ASSERT_TRUE(phone.valid());
        const uint16_t port = boundPort(phone.get());
        auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--discovery-port", std::to_string(port)});
        ASSERT_EQ(receiver->discoveryPort(), port) << receiver->errors();
        ASSERT_TRUE(sendDatagramToLoopback(phone.get(), port, discoveryQuery()));
        // At its start the receiver asked whether another receiver holds the
        // port; the phone hears that query too, and ignores it as any query.
        const auto isQuery = [](const Bytes& datagram) {
            const auto decoded = decodeReply(datagram);
            return decoded && decoded->strings.count("Device") != 0;
        };
        std::optional<Bytes> reply;
        while ((reply = receiveDatagram(phone.get())) && isQuery(*reply)) {
        }
        ASSERT_TRUE(reply) << "client bound first";
        expectReplyFor(*reply, *receiver);
    }
}

TEST(ReceiverDiscovery, AQueryGetsTheReplyAndGarbageDatagramsAreIgnoredAndDoNotStopIt)
{
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode);
    UniqueFd noisy = boundUdpSocket("127.0.0.1", 0);
    UniqueFd phone = boundUdpSocket("127.0.0.1", 0);
    ASSERT_TRUE(phone.valid());
    ASSERT_TRUE(sendDatagramToLoopback(phone.get(), receiver->discoveryPort(), discoveryQuery()));
    std::optional<Bytes> reply = receiveDatagram(phone.get());
    ASSERT_TRUE(reply) << receiver->errors();
    expectReplyFor(*reply, *receiver);

    const std::vector<Bytes> garbage = {
        {},
        {0xFF, 0xFE, 0xFD},
        {0x5B},
        Bytes{0x5B} + shortString("Name") + shortString("other receiver") + Bytes{0x5D},
        Bytes{0x7B} + shortString("Device") + Bytes{0x7D},
        Bytes(5000, 0x5B),
        Bytes(64, 0x5B) + Bytes(64, 0x5D),
        Bytes(Bytes{0x5B} + shortString("Device") + shortString("iPhone")), // no closing bracket
    };
    for (const Bytes& datagram : garbage)
        ASSERT_TRUE(sendDatagramToLoopback(noisy.get(), receiver->discoveryPort(), datagram));

    // Datagrams on one socket are handled in order: once the query behind the
    // garbage is answered, any answer to the garbage would already be waiting.
    ASSERT_TRUE(sendDatagramToLoopback(phone.get(), receiver->discoveryPort(), discoveryQuery()));
    reply = receiveDatagram(phone.get());
    ASSERT_TRUE(reply) << "discovery still answers";
    expectReplyFor(*reply, *receiver);
    EXPECT_FALSE(receiveDatagram(noisy.get(), std::chrono::milliseconds(0))) << "garbage got an answer";

    // And again, to show the loop goes on.
    ASSERT_TRUE(sendDatagramToLoopback(phone.get(), receiver->discoveryPort(), discoveryQuery()));
    EXPECT_TRUE(receiveDatagram(phone.get()));
}

TEST(ReceiverSessions, AcceptedLoginThenEventsAreLoggedAsExactLinesInOrder)
{
    auto receiver = plainReceiver();
    EXPECT_TRUE(receiver->waitForNotice("plain logins are accepted (--allow-plain): the passcodes and keys of "
                                        "phones that log in plainly cross the network readable"));
    UniqueFd client = loggedInClient(*receiver, kPasscode, 0);
    // Split across sends in awkward places: the receiver must reassemble them.
    const Bytes events = keyboardPacket(1, 0x41) + mousePacket(1, -3, 5) + keyboardPacket(0, 0x41)
                         + mousePacket(0x10, 0, 0) + keyboardPacket(1, 0x08010020);
    ASSERT_TRUE(sendAll(client.get(), Bytes(events.begin(), events.begin() + 3)));
    ASSERT_TRUE(sendAll(client.get(), Bytes(events.begin() + 3, events.begin() + 17)));
    ASSERT_TRUE(sendAll(client.get(), Bytes(events.begin() + 17, events.end())));
    const std::string connect = connectLine(client.get());
    client.reset();

    EXPECT_EQ(nextLines(*receiver, 9), (std::vector<std::string>{
                                           connect,
                                           kAccepted,
                                           R"({"type":"keyboard","state":1,"keycode":65})",
                                           R"({"type":"mouse","buttons":1,"dx":-3,"dy":5})",
                                           R"({"type":"keyboard","state":0,"keycode":65})",
                                           R"({"type":"mouse","buttons":16,"dx":0,"dy":0})",
                                           R"({"type":"keyboard","state":1,"keycode":134283296})",
                                           R"({"type":"release","keycodes":[134283296],"buttons":0})",
                                           kDisconnect,
                                       }));
}

TEST(ReceiverSessions, RefusedLoginIsAnsweredAndItsEventsAreNotLogged)
{
    auto receiver = plainReceiver();
    UniqueFd refused = loggedInClient(*receiver, "wrong horse", 1);
    ASSERT_TRUE(sendAll(refused.get(), keyboardPacket(1, 0x41) + mousePacket(1, 10, 10)));
    const std::string connect = connectLine(refused.get());
    refused.reset();
    // The connection's end is read after its events, so had they been
    // logged they would come before the disconnect.
    EXPECT_EQ(nextLines(*receiver, 3), (std::vector<std::string>{connect, kRefused, kDisconnect}));
    EXPECT_TRUE(receiver->waitForNotice("input of a refused login ignored"));

    // A later client with the right passcode is served as usual.
    UniqueFd good = loggedInClient(*receiver, kPasscode, 0);
    ASSERT_TRUE(sendAll(good.get(), keyboardPacket(1, 0x20)));
    EXPECT_EQ(nextLines(*receiver, 3), (std::vector<std::string>{connectLine(good.get()), kAccepted,
                                                                 R"({"type":"keyboard","state":1,"keycode":32})"}));
}

TEST(ReceiverSessions, GarbageClientIsDisconnectedWhileAGoodClientKeepsBeingServed)
{
    auto receiver = plainReceiver();
    UniqueFd good = loggedInClient(*receiver, kPasscode, 0);
    EXPECT_EQ(nextLines(*receiver, 2), (std::vector<std::string>{connectLine(good.get()), kAccepted}));

    const std::vector<std::pair<std::string, Bytes>> garbage = {
        {"unknown packet type 0x7f", Bytes{0x7F, 1, 2, 3, 4, 5, 6, 7}},
        {"message length 4097 exceeds 4096 bytes", Bytes{0x80, 0x01, 0x10, 0x00, 0x00}},
        {"message length 4294967295", Bytes{0x80, 0xFF, 0xFF, 0xFF, 0xFF}},
        // A refused login: an accepted one would take over from the good client.
        {"unknown packet type 0x02", loginPacket("not it") + Bytes{0x02}},
    };
    int keycode = 0x61;
    for (const auto& [reason, bytes] : garbage) {
        UniqueFd bad = connectToLoopback(receiver->sessionPort());
        ASSERT_TRUE(sendAll(bad.get(), bytes));
        EXPECT_TRUE(waitForPeerClose(bad.get())) << reason;
        const auto dropped = receiver->waitForNotice("dropped: " + reason);
        ASSERT_TRUE(dropped) << receiver->errors();
        EXPECT_NE(dropped->find(formatPeerOfLocalEnd(bad.get())), std::string::npos) << *dropped;

        std::vector<std::string> expected = {connectLine(bad.get())};
        if (bytes[0] == 0x80 && bytes.size() > 5)
            expected.push_back(kRefused);
        expected.push_back(kDisconnect);
        EXPECT_EQ(nextLines(*receiver, expected.size()), expected) << reason;

        ASSERT_TRUE(sendAll(good.get(), keyboardPacket(1, uint32_t(keycode))));
        EXPECT_EQ(receiver->nextOutputLine(),
                  R"({"type":"keyboard","state":1,"keycode":)" + std::to_string(keycode) + "}")
            << "the good client after " << reason;
        ++keycode;
    }
}

TEST(ReceiverSessions, ANewLoginTakesOverAndTheOlderClientIsClosed)
{
    auto receiver = plainReceiver();
    UniqueFd first = loggedInClient(*receiver, kPasscode, 0);
    UniqueFd waiting = connectToLoopback(receiver->sessionPort());
    EXPECT_EQ(nextLines(*receiver, 3), (std::vector<std::string>{connectLine(first.get()), kAccepted,
                                                                 connectLine(waiting.get())}));
    UniqueFd second = loggedInClient(*receiver, kPasscode, 0);
    EXPECT_EQ(nextLines(*receiver, 4), (std::vector<std::string>{connectLine(second.get()), kReleasedNothing,
                                                                 kDisconnect, kAccepted}));
    EXPECT_TRUE(waitForPeerClose(first.get()));
    const auto tookOver = receiver->waitForNotice("took over");
    ASSERT_TRUE(tookOver) << receiver->errors();
    EXPECT_NE(tookOver->find("client " + formatPeerOfLocalEnd(first.get()) + " closed"), std::string::npos);
    EXPECT_NE(tookOver->find(formatPeerOfLocalEnd(second.get())), std::string::npos);

    // The client that has not logged in yet is left alone, and the new one drives.
    EXPECT_FALSE(waitForPeerClose(waiting.get(), std::chrono::milliseconds(0)));
    ASSERT_TRUE(sendAll(second.get(), mousePacket(1, 2, -3)));
    EXPECT_EQ(receiver->nextOutputLine(), R"({"type":"mouse","buttons":1,"dx":2,"dy":-3})");
}

TEST(ReceiverSessions, ClientsThatVanishMidReplyDoNotEndTheReceiver)
{
    auto receiver = plainReceiver();
    for (int i = 0; i < 20; ++i) {
        UniqueFd rude = connectToLoopback(receiver->sessionPort());
        ASSERT_TRUE(sendAll(rude.get(), loginPacket(kPasscode)));
        // Closing with a reset makes the receiver's reply meet a dead socket.
        const linger abort{1, 0};
        setsockopt(rude.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    // From another host: the rude one's address may hold only a few connections at once.
    UniqueFd good = loggedInClient(*receiver, kPasscode, 0, "127.0.0.2");
    ASSERT_TRUE(sendAll(good.get(), keyboardPacket(1, 0x41)));
    const std::string expected = R"({"type":"keyboard","state":1,"keycode":65})";
    std::optional<std::string> line;
    while ((line = receiver->nextOutputLine()) && *line != expected) {
    }
    EXPECT_EQ(line, expected) << receiver->errors();
}

TEST(ReceiverLifecycle, StopsCleanlyOnSigtermSigintAndSighupReleasingWhatThePhoneHeld)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        auto receiver = plainReceiver();
        UniqueFd client = loggedInClient(*receiver, kPasscode, 0);
        ASSERT_TRUE(sendAll(client.get(), keyboardPacket(1, 0xFFE1) + mousePacket(1, 0, 0)));
        EXPECT_EQ(nextLines(*receiver, 4).back(), R"({"type":"mouse","buttons":1,"dx":0,"dy":0})");
        EXPECT_EQ(receiver->stop(signal), 0) << receiver->errors();
        EXPECT_EQ(nextLines(*receiver, 2),
                  (std::vector<std::string>{R"({"type":"release","keycodes":[65505],"buttons":1})", kDisconnect}))
            << "signal " << signal;
        EXPECT_TRUE(waitForPeerClose(client.get()));
        EXPECT_NE(receiver->errors().find("quillon-receiver: stopped"), std::string::npos);
    }
}

TEST(ReceiverLifecycle, AStalledReaderOfItsOutputStopsNeitherLoginsNorDiscoveryNorSigterm)
{
    auto receiver = plainReceiver();
    receiver->pauseOutput(true);
    UniqueFd first = loggedInClient(*receiver, kPasscode, 0);
    // Each event is a line of output: far more than the pipe and the
    // receiver's own buffer hold.
    Bytes events;
    for (int i = 0; i < 20000; ++i)
        events = events + keyboardPacket(uint8_t(i % 2), 0x41);
    // The message behind them says (on standard error) when all were taken.
    ASSERT_TRUE(sendAll(first.get(), events + loginPacket(kPasscode)));
    ASSERT_TRUE(receiver->waitForNotice("message after the login ignored")) << receiver->errors();

    UniqueFd second = loggedInClient(*receiver, kPasscode, 0);
    EXPECT_TRUE(waitForPeerClose(first.get())) << "the takeover still happens";
    UniqueFd phone = boundUdpSocket("127.0.0.1", 0);
    ASSERT_TRUE(sendDatagramToLoopback(phone.get(), receiver->discoveryPort(), discoveryQuery()));
    EXPECT_TRUE(receiveDatagram(phone.get())) << "discovery still answers";

    // Once the reader reads again, it hears how much it missed.
    receiver->pauseOutput(false);
    EXPECT_TRUE(receiver->waitForNotice("lines of standard output dropped: nobody read them in time"))
        << receiver->errors();

    // Stalled again, full again: SIGTERM still stops it.
    receiver->pauseOutput(true);
    ASSERT_TRUE(sendAll(second.get(), events));
    EXPECT_EQ(loggedInClient(*receiver, "a guess", 1).valid(), true);
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}

TEST(ReceiverLifecycle, PasscodeAndGuessesNeverAppearInItsOutput)
{
    auto receiver = plainReceiver();
    UniqueFd good = loggedInClient(*receiver, kPasscode, 0);
    UniqueFd bad = loggedInClient(*receiver, "a wrong guess", 1);
    bad.reset();
    good.reset();
    EXPECT_EQ(receiver->stop(SIGTERM), 0);
    for (const std::string& secret : {kPasscode, std::string("a wrong guess")}) {
        EXPECT_EQ(receiver->output().find(secret), std::string::npos) << receiver->output();
        EXPECT_EQ(receiver->errors().find(secret), std::string::npos) << receiver->errors();
    }
}

TEST(ReceiverLifecycle, APortTakenIsReportedWithExitStatusOneNamingWhoHoldsIt)
{
    const auto onLoopback = [](uint16_t port, uint16_t discoveryPort, std::vector<std::string> more = {}) {
        std::vector<std::string> arguments = {"--bind", "127.0.0.1", "--port", std::to_string(port),
                                              "--discovery-port", std::to_string(discoveryPort), "--passcode",
                                              kPasscode};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    // Another program: nothing answers discovery on its port.
    UniqueFd program = listeningOnLoopback();
    const std::string programPort = std::to_string(localPort(program.get()));
    // Another receiver, with its discovery on the port of the same number (as
    // both are by default), answers the question with its name and version.
    uint16_t port = 0;
    for (int attempt = 0; attempt < 20 && port == 0; ++attempt) {
        const UniqueFd tcp = boundOnLoopback();
        if (boundUdpSocket("127.0.0.1", localPort(tcp.get())).valid())
            port = localPort(tcp.get());
    }
    ASSERT_NE(port, 0) << "no port free for both TCP and UDP";
    ReceiverProcess den(onLoopback(port, port, {"--name", "Den PC"}));
    ASSERT_TRUE(den.waitForNotice("discovery listening on")) << den.errors();
    // And one whose discovery is on a port of its own.
    auto other = ReceiverProcess::startOnLoopback(kPasscode);

    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {onLoopback(localPort(program.get()), 0),
         {"cannot listen on 127.0.0.1:" + programPort + ": Address already in use: another program holds it",
          "give this one another --port"}},
        {onLoopback(port, 0),
         {"cannot listen on 127.0.0.1:" + std::to_string(port)
              + ": Address already in use: another receiver holds it (\"Den PC\", quillon-receiver "
                QUILLON_TEST_VERSION "); stop it",
          "give this one another --port"}},
        {onLoopback(0, other->discoveryPort(), {"--name", "second"}),
         {"another receiver (\"loopback-test\", session port " + std::to_string(other->sessionPort())
          + ") already answers discovery on port " + std::to_string(other->discoveryPort())}},
    };
    for (const auto& [arguments, said] : cases) {
        ReceiverProcess refused(arguments);
        expectExitSaying(refused, 1, said);
        EXPECT_EQ(refused.errors().find("listening"), std::string::npos) << refused.errors();
    }
    EXPECT_EQ(den.stop(SIGTERM), 0);
}

TEST(ReceiverDiscovery, ABurstOfQueriesGetsNoMoreRepliesThanTheLimit)
{
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode);
    UniqueFd phone = boundUdpSocket("127.0.0.1", 0);
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(sendDatagramToLoopback(phone.get(), receiver->discoveryPort(), discoveryQuery()));
    int replies = 0;
    while (receiveDatagram(phone.get(), std::chrono::milliseconds(300)))
        ++replies;
    // The burst of 40 on all replies, and the few that came back meanwhile at 20 a second.
    EXPECT_GE(replies, 40);
    EXPECT_LE(replies, 60);
}

TEST(ReceiverSessions, NoticesAboutOneConnectionAreLimited)
{
    auto receiver = plainReceiver();
    UniqueFd refused = loggedInClient(*receiver, "a guess", 1);
    // Empty messages after a refused login: each was a notice of its own.
    Bytes messages;
    for (int i = 0; i < 10000; ++i)
        messages = messages + messagePacket({});
    ASSERT_TRUE(sendAll(refused.get(), messages));
    UniqueFd good = loggedInClient(*receiver, kPasscode, 0);
    ASSERT_TRUE(receiver->waitForNotice("further notices about this connection are left out"));
    EXPECT_EQ(receiver->stop(SIGTERM), 0);
    std::size_t ignored = 0;
    for (std::size_t at = 0; (at = receiver->errors().find("message after the login ignored", at)) != std::string::npos;
         ++at)
        ++ignored;
    EXPECT_LE(ignored, 4u) << receiver->errors().size() << " bytes of notices";
}

TEST(ReceiverSecureSessions, ASecureLoginTypesAndOneFlippedBitEndsTheSessionReleasingWhatWasHeld)
{
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode);
    UniqueFd session = connectToLoopback(receiver->sessionPort(), true);
    SecurePhone phone(kPasscode);
    Bytes message;
    for (const Bytes& sent : {phone.hello(), Bytes{}}) {
        ASSERT_TRUE(sendAll(session.get(), sent.empty() ? phone.tag(message) : sent));
        ASSERT_TRUE(waitUntilReadable(session.get()) && readMessage(session.get(), message) == MessageRead::Whole);
    }
    ASSERT_EQ(phone.confirm(message), HandshakeResult::Ok) << receiver->errors();
    EXPECT_EQ(phone.receiverName(), "loopback-test");
    const Bytes shift = phone.record(keyboardPacket(1, 0xFFE1));
    ASSERT_TRUE(sendAll(session.get(), shift + phone.record(keyboardPacket(1, 0x41))));
    EXPECT_EQ(nextLines(*receiver, 4), (std::vector<std::string>{connectLine(session.get()), kAccepted,
                                                                 R"({"type":"keyboard","state":1,"keycode":65505})",
                                                                 R"({"type":"keyboard","state":1,"keycode":65})"}));

    Bytes flipped = phone.record(keyboardPacket(0, 0x41));
    flipped[5] ^= 0x01;
    ASSERT_TRUE(sendAll(session.get(), flipped + phone.record(keyboardPacket(1, 0x42))));
    EXPECT_TRUE(waitForPeerClose(session.get()));
    EXPECT_EQ(nextLines(*receiver, 2),
              (std::vector<std::string>{R"({"type":"release","keycodes":[65,65505],"buttons":0})", kDisconnect}));
    EXPECT_TRUE(receiver->waitForNotice("dropped: a record did not open")) << receiver->errors();
}
