// SPDX-License-Identifier: GPL-3.0-or-later
// The session server's limits on a manual clock: logins that never come,
// making room when every place is taken (never by dropping a newcomer), the
// connections of one address, the guessing throttle, and a new login taking
// over. Real sockets on 127.0.0.1 (and 127.0.0.2 for a second host), driven
// by hand instead of by the receiver's loop.
#include "LoopbackSockets.h"
#include "net/SessionServer.h"
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
        limits.loginTimeout = 30s;
        limits.gracePeriod = 2s;
        limits.now = [this] { return clock.now; };
        server = std::make_unique<SessionServer>(passcode_, sink_, limits);
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

TEST(SessionServerLimits, AnsweredLoginsHaveNoDeadline)
{
    ServerUnderTest t(8);
    UniqueFd accepted = t.loggedIn();
    UniqueFd refused = t.connect();
    sendAll(refused.get(), loginPacket("wrong"));
    std::optional<Bytes> reply;
    t.serveUntil([&] { return (reply = receiveExactly(refused.get(), loginReply(1).size(), 0ms)).has_value(); });
    EXPECT_EQ(reply, std::optional<Bytes>(loginReply(1)));

    EXPECT_FALSE(t.server->timeUntilNextDeadline());
    t.clock.now += std::chrono::hours(24);
    t.tick();
    EXPECT_EQ(t.server->connectionCount(), 2u) << "the phone keeps even a refused connection open";
    EXPECT_FALSE(closedByPeer(accepted.get()));
    EXPECT_FALSE(closedByPeer(refused.get()));
}

TEST(SessionServerLimits, FullServerMakesRoomByDroppingTheOldestClientNotLoggedIn)
{
    ServerUnderTest t(3);
    UniqueFd first = t.loggedIn();
    UniqueFd idle = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 2; });
    t.clock.now += 1s;
    UniqueFd younger = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 3; });
    t.clock.now += 1s; // the idle client has been there for the grace period, the younger one not

    // A newcomer takes the idle client's place, not the logged-in one's.
    UniqueFd newcomer = t.connect();
    t.serveUntil([&] { return closedByPeer(idle.get()); });
    EXPECT_EQ(t.server->connectionCount(), 3u);
    EXPECT_FALSE(closedByPeer(first.get()));
    EXPECT_FALSE(closedByPeer(younger.get()));
    EXPECT_FALSE(closedByPeer(newcomer.get()));
}

TEST(SessionServerLimits, ClientsInsideTheGracePeriodAreNeverDroppedForNewcomers)
{
    // A flood of connections cannot push out a phone that has just connected
    // and is about to log in: the flood is turned away instead.
    ServerUnderTest t(2);
    UniqueFd phone = t.connect("127.0.0.2");
    UniqueFd other = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 2; });
    t.clock.now += 1999ms;
    std::vector<UniqueFd> flood;
    for (int i = 0; i < 5; ++i) {
        flood.push_back(t.connect());
        t.serveUntil([&] { return closedByPeer(flood.back().get()); });
    }
    EXPECT_FALSE(closedByPeer(phone.get()));
    sendAll(phone.get(), loginPacket("pw"));
    std::optional<Bytes> reply;
    t.serveUntil([&] { return (reply = receiveExactly(phone.get(), loginReply(0).size(), 0ms)).has_value(); });
    EXPECT_EQ(reply, std::optional<Bytes>(loginReply(0)));
}

TEST(SessionServerLimits, EachAddressHoldsOnlyAFewConnections)
{
    ServerUnderTest t(8, 2);
    UniqueFd first = t.connect();
    UniqueFd second = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 2; });
    UniqueFd third = t.connect();
    t.serveUntil([&] { return closedByPeer(third.get()); });
    EXPECT_EQ(t.server->connectionCount(), 2u);

    UniqueFd fromElsewhere = t.connect("127.0.0.2");
    t.serveUntil([&] { return t.server->connectionCount() == 3; });
    EXPECT_FALSE(closedByPeer(fromElsewhere.get()));
    EXPECT_FALSE(closedByPeer(first.get()));
}

TEST(SessionServerLimits, NewcomerIsTurnedAwayWhenTheOnlyPlaceIsLoggedIn)
{
    ServerUnderTest t(1);
    UniqueFd first = t.loggedIn();
    const std::string logBefore = t.log();
    UniqueFd turnedAway = t.connect();
    t.serveUntil([&] { return closedByPeer(turnedAway.get()); });
    EXPECT_EQ(t.server->connectionCount(), 1u);
    EXPECT_EQ(t.log(), logBefore) << "a client turned away is never announced";
    EXPECT_FALSE(closedByPeer(first.get()));
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

TEST(SessionServerThrottle, AGuesserWaitsLongerAfterEachFailureWhileAnotherAddressLogsInAtOnce)
{
    ServerUnderTest t(16);
    // Three wrong passcodes are answered at once.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(t.login("guess").second, loginReply(1));

    // From then on each attempt waits: 1 s, then 2 s, then 4 s...
    std::chrono::milliseconds delay = 1s;
    for (int attempt = 0; attempt < 3; ++attempt, delay *= 2) {
        UniqueFd guesser = t.connect();
        sendAll(guesser.get(), loginPacket("guess"));
        for (int round = 0; round < 5; ++round)
            t.serveOnce(20ms);
        EXPECT_FALSE(receiveExactly(guesser.get(), 1, 0ms)) << "checked before its time";
        EXPECT_EQ(t.server->timeUntilNextDeadline(), std::optional<std::chrono::milliseconds>(delay));

        // Meanwhile the owner's phone, on another address, is answered at once.
        if (attempt == 1) {
            EXPECT_EQ(t.login("pw", "127.0.0.2").second, loginReply(0));
        }

        t.clock.now += delay - 1ms;
        t.tick();
        EXPECT_FALSE(receiveExactly(guesser.get(), 1, 0ms));
        t.clock.now += 1ms;
        t.tick();
        EXPECT_EQ(receiveExactly(guesser.get(), loginReply(1).size()), std::optional<Bytes>(loginReply(1)));
    }
}

TEST(SessionServerThrottle, ParallelConnectionsOfAGuesserAreCheckedOneDelayApart)
{
    ServerUnderTest t(16);
    for (int i = 0; i < 3; ++i)
        t.login("guess");
    std::vector<UniqueFd> guessers;
    for (int i = 0; i < 3; ++i) {
        guessers.push_back(t.connect());
        sendAll(guessers.back().get(), loginPacket("guess"));
    }
    const auto answered = [&] {
        int count = 0;
        for (const UniqueFd& guesser : guessers)
            count += receiveExactly(guesser.get(), loginReply(1).size(), 0ms) == std::optional<Bytes>(loginReply(1));
        return count;
    };
    int total = 0;
    for (int round = 0; round < 5; ++round)
        t.serveOnce(20ms);
    total += answered();
    EXPECT_EQ(total, 0);
    t.clock.now += 1s;
    t.tick();
    total += answered();
    EXPECT_EQ(total, 1) << "the first waits 1 s";
    t.clock.now += 1s;
    t.tick();
    total += answered();
    EXPECT_EQ(total, 1) << "the second waits 2 s after the first";
    t.clock.now += 1s;
    t.tick();
    total += answered();
    EXPECT_EQ(total, 2);
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

TEST(SessionServerThrottle, ManyAddressesTogetherAreLetThroughOneShareOfTheLimitAtATime)
{
    // Two wrong passcodes a minute for all addresses together, after a burst of two.
    ServerUnderTest t(16, 8, 2);
    // The owner's phone logged in earlier from its address.
    EXPECT_EQ(t.login("pw", "127.0.0.2").second, loginReply(0));

    const std::vector<const char*> guessers = {"127.0.0.3", "127.0.0.4", "127.0.0.5", "127.0.0.6"};
    std::vector<UniqueFd> connections;
    for (const char* from : guessers) {
        connections.push_back(t.connect(from));
        sendAll(connections.back().get(), loginPacket("guess"));
    }
    const auto answered = [&] {
        int count = 0;
        for (const UniqueFd& connection : connections)
            count += receiveExactly(connection.get(), loginReply(1).size(), 0ms).has_value();
        return count;
    };
    int total = 0;
    for (int round = 0; round < 5; ++round)
        t.serveOnce(20ms);
    total += answered();
    EXPECT_EQ(total, 2) << "held together, they must not all go through when the limit allows one";

    // The limit on all is spent, yet the owner's phone is answered at once.
    EXPECT_EQ(t.login("pw", "127.0.0.2").second, loginReply(0));

    t.clock.now += 29s;
    t.tick();
    total += answered();
    EXPECT_EQ(total, 2);
    t.clock.now += 1s; // one more share, for one of the two still held
    t.tick();
    total += answered();
    EXPECT_EQ(total, 3);
}
