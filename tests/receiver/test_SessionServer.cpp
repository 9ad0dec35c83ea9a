// SPDX-License-Identifier: GPL-3.0-or-later
// The session server's limits on a manual clock: logins that never come,
// making room when every place is taken, and a new login taking over. Real sockets on 127.0.0.1, driven
// by hand instead of by the receiver's loop.
#include "LogSink.h"
#include "LoopbackSockets.h"
#include "SessionServer.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace std::chrono_literals;

// The log sink, plus a line for each time the server tells it to let go of
// what the driving client holds.
class LogSinkNotingReleases : public LogSink {
public:
    explicit LogSinkNotingReleases(std::FILE* out)
        : LogSink(out)
        , out_(out)
    {
    }
    void releaseHeld() override { std::fputs("release\n", out_); }

private:
    std::FILE* out_;
};

struct ManualClock {
    SessionServer::Clock::time_point now{std::chrono::hours(1000)};
};

class ServerUnderTest {
public:
    explicit ServerUnderTest(std::size_t maxConnections)
        : sink_(stdout_)
    {
        SessionServer::Limits limits;
        limits.maxConnections = maxConnections;
        limits.loginTimeout = 30s;
        limits.now = [this] { return clock.now; };
        server = std::make_unique<SessionServer>(passcode_, sink_, limits);
        std::string error;
        EXPECT_TRUE(server->open(*makeAddress("127.0.0.1", 0), error)) << error;
    }
    ~ServerUnderTest()
    {
        server.reset();
        std::fclose(stdout_);
        std::free(buffer_);
    }

    // Serves until `done` holds; fails the test if it never does.
    void serveUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + kGenerousWait;
        while (!done()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "gave up waiting";
            std::vector<pollfd> fds;
            server->addPollFds(fds);
            poll(fds.data(), fds.size(), 50);
            server->handleReady(fds);
        }
    }
    // One round of handling with nothing ready: only deadlines can act.
    void tick() { server->handleReady({}); }

    UniqueFd connect() { return connectToLoopback(server->port()); }

    UniqueFd loggedIn()
    {
        UniqueFd client = connect();
        sendAll(client.get(), loginPacket(passcode_));
        std::optional<Bytes> reply;
        serveUntil([&] { return (reply = receiveExactly(client.get(), loginReply(0).size(), 0ms)).has_value(); });
        EXPECT_EQ(reply, std::optional<Bytes>(loginReply(0)));
        return client;
    }

    std::string log()
    {
        std::fflush(stdout_);
        return std::string(buffer_, size_);
    }

    ManualClock clock;
    std::unique_ptr<SessionServer> server;

private:
    std::string passcode_ = "pw";
    char* buffer_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stdout_ = open_memstream(&buffer_, &size_);
    LogSinkNotingReleases sink_;
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
    ServerUnderTest t(2);
    UniqueFd first = t.loggedIn();
    UniqueFd idle = t.connect();
    t.serveUntil([&] { return t.server->connectionCount() == 2; });

    // A newcomer takes the idle client's place, not the logged-in one's.
    UniqueFd newcomer = t.connect();
    t.serveUntil([&] { return closedByPeer(idle.get()); });
    EXPECT_EQ(t.server->connectionCount(), 2u);
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
    EXPECT_EQ(t.log(), connect(first) + accepted + connect(refused) + "{\"type\":\"login\",\"accepted\":false}\n"
                           + connect(second) + "release\n{\"type\":\"disconnect\"}\n" + accepted
                           + "{\"type\":\"keyboard\",\"state\":1,\"keycode\":65505}\n");

    // Only the driving client's end lets go of held input.
    const std::string before = t.log();
    refused.reset();
    t.serveUntil([&] { return t.server->connectionCount() == 1; });
    EXPECT_EQ(t.log(), before + "{\"type\":\"disconnect\"}\n");
    second.reset();
    t.serveUntil([&] { return t.server->connectionCount() == 0; });
    EXPECT_EQ(t.log(), before + "{\"type\":\"disconnect\"}\nrelease\n{\"type\":\"disconnect\"}\n");
}
