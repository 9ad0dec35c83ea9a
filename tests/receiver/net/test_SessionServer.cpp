// SPDX-License-Identifier: GPL-3.0-or-later
// The session server's socket work on a manual clock: it closes the clients
// its policy drops (a login that never came, a client that makes room), turns
// away a newcomer without a place, answers a held login when its turn comes,
// and lets a new login take over. Real sockets on 127.0.0.1, driven by hand
// instead of by the receiver's loop. The rules themselves are tested without
// sockets (test_AdmissionPolicy), a secure session's login without them
// (test_ReceiverSession).
#include "support/LoopbackSockets.h"
#include "net/SessionServer.h"
#include "support/receiver/SecurePhone.h"
#include "sinks/LogSink.h"
#include "support/receiver/CapturedLines.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace std::chrono_literals;

struct ManualClock {
    SessionServer::Clock::time_point now{std::chrono::hours(1000)};
};

class ServerUnderTest {
public:
    explicit ServerUnderTest(std::size_t maxConnections, std::size_t perAddress = 8, int failuresPerMinute = 10)
    {
        SessionServer::Limits limits;
        limits.throttle.failuresPerMinute = failuresPerMinute;
        limits.maxConnections = maxConnections;
        limits.maxConnectionsPerAddress = perAddress;
        limits.placesForKnownAddresses = 0; // the places kept for them: test_AdmissionPolicy
        limits.loginTimeout = 30s;
        limits.gracePeriod = 2s;
        // Plain logins, written out by hand, stand for any login here.
        server = std::make_unique<SessionServer>(passcode_, sink_, ReceiverSession::Settings{"desk", true}, limits,
                                                 [this] { return clock.now; });
        std::string error;
        EXPECT_TRUE(server->open(*makeAddress("127.0.0.1", 0), error)) << error;
    }

    // The server goes first: closing its clients tells the sink.
    ~ServerUnderTest() { server.reset(); }

    // Serves until `done` holds; fails the test if it never does.
    void serveUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + kGenerousWait;
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "gave up waiting";
            serveOnce(50ms);
        }
    }
    // One round of the loop, waiting at most `wait` for something to happen.
    void serveOnce(std::chrono::milliseconds wait)
    {
        std::vector<pollfd> fds;
        server->addPollFds(fds);
        poll(fds.data(), fds.size(), int(wait.count()));
        server->handleReady(fds);
    }
    // One round of handling with nothing ready: only deadlines can act.
    void tick() { server->handleReady({}); }

    UniqueFd connect(const char* from = "127.0.0.1") { return connectToLoopbackFrom(from, server->port()); }

    // Sends a login on a new connection from `from` and serves until it is answered.
    std::pair<UniqueFd, Bytes> login(const std::string& passcode, const char* from = "127.0.0.1")
    {
        UniqueFd client = connect(from);
        sendAll(client.get(), loginPacket(passcode));
        std::optional<Bytes> reply;
        serveUntil([&] { return (reply = receiveExactly(client.get(), loginReply(0).size(), 0ms)).has_value(); });
        return {std::move(client), reply.value_or(Bytes{})};
    }

    UniqueFd loggedIn()
    {
        auto [client, reply] = login(passcode_);
        EXPECT_EQ(reply, loginReply(0));
        return std::move(client);
    }

    // Serves until a whole message has come to `client`, and returns it.
    Bytes messageTo(int client)
    {
        serveUntil([&] { return waitUntilReadable(client, 0ms); });
        Bytes frame;
        EXPECT_EQ(readMessage(client, frame), MessageRead::Whole);
        return frame;
    }

    std::string log() const { return lines_.text(); }

    ManualClock clock;
    std::unique_ptr<SessionServer> server;

private:
    std::string passcode_ = "pw";
    CapturedLines lines_;
    LogSink sink_{lines_};
};

bool closedByPeer(int fd)
{
    return waitForPeerClose(fd, 0ms);
}

} // namespace

TEST(SessionServerLimits, ClientWithoutLoginIsDroppedWhenItsTimeIsUp)
{
    ServerUnderTest t(8);
    UniqueFd idle = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 1; });
    EXPECT_EQ(t.server->timeUntilNextDeadline(), std::optional<std::chrono::milliseconds>(30s));

    t.clock.now += 29999ms;
    t.tick();
    EXPECT_EQ(t.server->connectionCount(), 1u);
    EXPECT_EQ(t.server->timeUntilNextDeadline(), std::optional<std::chrono::milliseconds>(1ms));

    t.clock.now += 1ms;
    t.tick();
    EXPECT_EQ(t.server->connectionCount(), 0u);
    EXPECT_TRUE(waitForPeerClose(idle.get()));
    EXPECT_EQ(t.log(), R"({"type":"connect","peer":")" + formatPeerOfLocalEnd(idle.get())
                           + "\"}\n{\"type\":\"disconnect\"}\n");
    EXPECT_FALSE(t.server->timeUntilNextDeadline());
}

TEST(SessionServerLimits, TheClientThatMakesRoomIsClosedAndANewcomerWithoutAPlaceIsTurnedAwayUnannounced)
{
    ServerUnderTest t(2);
    UniqueFd first = t.loggedIn();
    UniqueFd idle = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 2; });
    t.clock.now += 2s; // the idle client has been there for the grace period

    // A newcomer takes the idle client's place, not the logged-in one's.
    UniqueFd newcomer = t.connect();
    t.serveUntil([&] { return closedByPeer(idle.get()); });
    EXPECT_EQ(t.server->connectionCount(), 2u);
    EXPECT_FALSE(closedByPeer(first.get()));
    EXPECT_FALSE(closedByPeer(newcomer.get()));

    // Now nobody may make room: the next one is closed at once, and the sink
    // never hears of it.
    const std::string logBefore = t.log();
    UniqueFd turnedAway = t.connect();
    t.serveUntil([&] { return closedByPeer(turnedAway.get()); });
    EXPECT_EQ(t.server->connectionCount(), 2u);
    EXPECT_EQ(t.log(), logBefore) << "a client turned away is never announced";
    EXPECT_FALSE(closedByPeer(first.get()));
    EXPECT_FALSE(closedByPeer(newcomer.get()));
}

TEST(SessionServerTakeover, NewLoginClosesTheOldOneAfterReleasingWhatItHeld)
{
    ServerUnderTest t(8);
    UniqueFd first = t.loggedIn();
    UniqueFd refused = t.connect();
    sendAll(refused.get(), loginPacket("wrong"));
    std::optional<Bytes> reply;
    t.serveUntil([&] { return (reply = receiveExactly(refused.get(), loginReply(1).size(), 0ms)).has_value(); });

    // The login and a key in one write: the key must come after the takeover.
    UniqueFd second = t.connect();
    sendAll(second.get(), loginPacket("pw") + keyboardPacket(1, 0xFFE1));
    t.serveUntil([&] { return closedByPeer(first.get()); });
    t.serveUntil([&] { return (reply = receiveExactly(second.get(), loginReply(0).size(), 0ms)).has_value(); });
    EXPECT_EQ(reply, std::optional<Bytes>(loginReply(0)));
    EXPECT_FALSE(closedByPeer(refused.get())) << "a refused client drives nothing and is not taken over";
    EXPECT_EQ(t.server->connectionCount(), 2u);

    const auto connect = [](const UniqueFd& fd) {
        return R"({"type":"connect","peer":")" + formatPeerOfLocalEnd(fd.get()) + "\"}\n";
    };
    const std::string accepted = "{\"type\":\"login\",\"accepted\":true}\n";
    const std::string releasedNothing = "{\"type\":\"release\",\"keycodes\":[],\"buttons\":0}\n";
    EXPECT_EQ(t.log(), connect(first) + accepted + connect(refused) + "{\"type\":\"login\",\"accepted\":false}\n"
                           + connect(second) + releasedNothing + "{\"type\":\"disconnect\"}\n" + accepted
                           + "{\"type\":\"keyboard\",\"state\":1,\"keycode\":65505}\n");

    // Only the driving client's end lets go of held input.
    const std::string before = t.log();
    refused.reset();
    t.serveUntil([&] { return t.server->connectionCount() == 1; });
    EXPECT_EQ(t.log(), before + "{\"type\":\"disconnect\"}\n");
    second.reset();
    t.serveUntil([&] { return t.server->connectionCount() == 0; });
    EXPECT_EQ(t.log(), before + "{\"type\":\"disconnect\"}\n{\"type\":\"release\",\"keycodes\":[65505],\"buttons\":0}\n"
                                + "{\"type\":\"disconnect\"}\n");
}

TEST(SessionServerThrottle, ARightPasscodeFromTheGuessingAddressWaitsItsTurnToo)
{
    // Otherwise a guesser would learn the answer at once when it hit it.
    ServerUnderTest t(16);
    for (int i = 0; i < 3; ++i)
        t.login("guess");
    t.clock.now += 1s;
    t.login("guess");
    UniqueFd owner = t.connect();
    sendAll(owner.get(), loginPacket("pw"));
    for (int round = 0; round < 5; ++round)
        t.serveOnce(20ms);
    EXPECT_FALSE(receiveExactly(owner.get(), 1, 0ms));
    t.clock.now += 2s;
    t.tick();
    EXPECT_EQ(receiveExactly(owner.get(), loginReply(0).size()), std::optional<Bytes>(loginReply(0)));

    // A right login clears the address: the next wrong one is answered at once.
    EXPECT_EQ(t.login("guess").second, loginReply(1));
}

TEST(SessionServerThrottle, HangingUpAfterTheShareCountsAsAWrongPasscodeAndTheTagWaitsItsTurn)
{
    ServerUnderTest t(16);
    for (int i = 0; i < 3; ++i) {
        UniqueFd guesser = t.connect();
        sendAll(guesser.get(), SecurePhone("guess").hello());
        EXPECT_NE(t.messageTo(guesser.get()), loginReply(1)) << "the share";
        guesser.reset();
        t.serveUntil([&] { return t.server->connectionCount() == 0; });
    }
    // Three failures of the address: the owner's tag from there waits 1 s.
    UniqueFd owner = t.connect();
    SecurePhone phone("pw");
    sendAll(owner.get(), phone.hello());
    sendAll(owner.get(), phone.tag(t.messageTo(owner.get())));
    for (int round = 0; round < 5; ++round)
        t.serveOnce(20ms);
    EXPECT_FALSE(receiveExactly(owner.get(), 1, 0ms));
    t.clock.now += 1s;
    t.tick();
    EXPECT_EQ(phone.confirm(t.messageTo(owner.get())), HandshakeResult::Ok);
}
