// SPDX-License-Identifier: GPL-3.0-or-later
// The owner gets in while others flood the receiver, inside the test's own
// network: an address that logged in before (and before the receiver
// restarted) logs in at the first try, again and again, while 16 loopback
// addresses open a thousand connections a second that never log in, and
// while 200 addresses guess the passcode as fast as they are answered; and
// the owner's phone, on another host of a veth link, still finds the
// computer while forged discovery queries from thousands of addresses of
// that network come in at 3,000 a second.
//
// Each test prints what it measured (the owner's successes and times, what
// the flood did): the figures behind the README's "Security" section.
#include "e2e/OtherHost.h"
#include "e2e/PrivateNetworkTest.h"
#include "e2e/ReceiverLog.h"

#include "support/ConnectionFlood.h"
#include "support/LoopbackSockets.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"
#include "support/receiver/SecurePhone.h"
#include "WireFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

const std::string kPasscode = "4817390265";
const char* const kOwner = "127.0.0.200";
constexpr int kOwnerLogins = 20;
// A failure guard, far beyond the second the owner may wait.
constexpr auto kLoginGuard = 10s;

using Milliseconds = std::chrono::duration<double, std::milli>;

struct Attempt {
    bool accepted = false;
    Milliseconds took{0};
};

// One login on a new connection from `from`, as the phone makes it.
Attempt logIn(const char* from)
{
    const auto start = Clock::now();
    Attempt attempt;
    const UniqueFd session = connectToLoopbackFrom(from, REMOTE_DEFAULT_PORT);
    attempt.accepted = session.valid() && SecurePhone(kPasscode).logIn(session.get(), kLoginGuard);
    attempt.took = Clock::now() - start;
    return attempt;
}

// The owner's logins one after another; prints and returns how many got in.
int ownerLogsInAgainAndAgain(const char* during)
{
    std::vector<Milliseconds> times;
    int accepted = 0;
    for (int i = 0; i < kOwnerLogins; ++i) {
        const Attempt attempt = logIn(kOwner);
        accepted += attempt.accepted;
        if (attempt.accepted)
            times.push_back(attempt.took);
        std::this_thread::sleep_for(200ms);
    }
    std::sort(times.begin(), times.end());
    const auto at = [&times](double share) {
        return times.empty() ? -1.0 : times[std::min(times.size() - 1, std::size_t(share * times.size()))].count();
    };
    std::printf("owner during %s: %d of %d logins accepted at the first try; a login took %.1f ms (median), "
                "%.1f ms at most\n",
                during, accepted, kOwnerLogins, at(0.5), at(1.0));
    return accepted;
}

class OwnerUnderLoad : public PrivateNetworkTest {
protected:
    void SetUp() override
    {
        PrivateNetworkTest::SetUp();
        if (IsSkipped())
            return;
        // The receiver keeps the addresses that logged in here, not in the
        // home of whoever runs the tests.
        environment_.set("XDG_STATE_HOME", state_.path());
    }

    // The owner logs in once, and the receiver is started again after it.
    std::unique_ptr<ReceiverProcess> receiverTheOwnerUsedBefore(const std::vector<std::string>& further = {})
    {
        auto receiver = e2e::startReceiver(kPasscode, "Desk", "log", further);
        EXPECT_TRUE(logIn(kOwner).accepted) << receiver->errors();
        EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
        return e2e::startReceiver(kPasscode, "Desk", "log", further);
    }

    ScopedEnvironment environment_;
    TemporaryDirectory state_;
};

} // namespace

TEST_F(OwnerUnderLoad, AnOwnerWhoLoggedInBeforeGetsInAtTheFirstTryWhile16AddressesFloodConnections)
{
    auto receiver = receiverTheOwnerUsedBefore();
    ConnectionFlood::Plan plan;
    plan.port = REMOTE_DEFAULT_PORT;
    plan.sources = ConnectionFlood::loopbackAddresses("127.0.0.10", 16);
    plan.perSecond = 1000;
    ConnectionFlood flood(plan);
    // Long enough for every place to be taken and the grace periods to run out.
    std::this_thread::sleep_for(3s);
    const auto start = Clock::now();
    const int accepted = ownerLogsInAgainAndAgain("a flood of 1,000 connects a second from 16 addresses");
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count() + 3;
    flood.stop();
    std::printf("the flood opened %ld connections, %.0f a second\n", flood.opened(), flood.opened() / seconds);
    EXPECT_EQ(accepted, kOwnerLogins);
    EXPECT_GE(flood.opened(), long(500 * seconds)) << "the flood fell far short of its rate";
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}

TEST_F(OwnerUnderLoad, AnOwnerWhoLoggedInBeforeGetsInAtTheFirstTryWhile200AddressesGuess)
{
    // The guessers use the plain login, which reaches the same guessing
    // throttle as the secure login's tag and costs them one message instead
    // of two round trips: the hardest flood of guesses there is.
    auto receiver = receiverTheOwnerUsedBefore({"--allow-plain"});
    ConnectionFlood::Plan plan;
    plan.port = REMOTE_DEFAULT_PORT;
    plan.sources = ConnectionFlood::loopbackAddresses("127.0.1.1", 200);
    plan.greeting = loginPacket("000000");
    ConnectionFlood flood(plan);
    std::this_thread::sleep_for(3s);
    const int accepted = ownerLogsInAgainAndAgain("guessing from 200 addresses");
    flood.stop();
    std::printf("the guessers opened %ld connections; %ld guesses were answered\n", flood.opened(),
                flood.answered());
    EXPECT_EQ(accepted, kOwnerLogins);
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}

namespace {

// The receiver's CPU share (of one core) between two readings.
struct CpuReading {
    std::chrono::nanoseconds cpu;
    Clock::time_point at;
};
CpuReading readCpu(const ReceiverProcess& receiver)
{
    return {receiver.cpuTime(), Clock::now()};
}
double cpuShare(const CpuReading& from, const CpuReading& to)
{
    return std::chrono::duration<double>(to.cpu - from.cpu).count()
           / std::chrono::duration<double>(to.at - from.at).count();
}

} // namespace

// Each secure login's hello costs the receiver a key exchange's scalar
// multiplications. Clients that send one and hang up as soon as it is
// answered, 2,000 a second, get only their budget of answers (20 at once,
// then 5 a second per address; 40, then 20 a second from all addresses but
// those that logged in before), and the owner still gets in at the first try.
TEST_F(OwnerUnderLoad, AnOwnerWhoLoggedInBeforeGetsInAtTheFirstTryWhileHellosFloodFromOneAddressOr200)
{
    auto receiver = receiverTheOwnerUsedBefore();
    for (const int addresses : {1, 200}) {
        SCOPED_TRACE(addresses);
        ConnectionFlood::Plan plan;
        plan.port = REMOTE_DEFAULT_PORT;
        plan.sources = ConnectionFlood::loopbackAddresses(addresses == 1 ? "127.0.2.1" : "127.0.3.1", addresses);
        plan.greeting = SecurePhone("a guess").hello();
        plan.perSecond = 2000;
        ConnectionFlood flood(plan);
        const auto start = Clock::now();
        std::this_thread::sleep_for(2s);
        const CpuReading flooded = readCpu(*receiver);
        const std::string during = "hellos from " + std::to_string(addresses) + " address(es)";
        const int accepted = ownerLogsInAgainAndAgain(during.c_str());
        flood.stop();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        const CpuReading end = readCpu(*receiver);
        std::printf("%s: the flood opened %ld connections (%.0f a second), %ld hellos answered (%.1f a second); "
                    "the receiver used %.0f%% of a core while flooded, %.0f us per connection\n",
                    during.c_str(), flood.opened(), flood.opened() / seconds, flood.answered(),
                    flood.answered() / seconds, 100 * cpuShare(flooded, end),
                    1e6 * cpuShare(flooded, end) * seconds / double(std::max(1L, flood.opened())));
        EXPECT_EQ(accepted, kOwnerLogins);
        // However fast the flood, no more answers than the budget holds.
        EXPECT_LE(flood.answered(), addresses == 1 ? 20 + 5 * seconds + 1 : 40 + 20 * seconds + 1);
        std::this_thread::sleep_for(2s); // the budget of all fills up again
    }
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}

namespace {

// Forged discovery queries at `perSecond`, each from a random address of
// 10.79.128.0/17 (which the other host holds whole, as a local route), sent
// through `fd` until `stop`.
void forgeQueries(int fd, int perSecond, const std::atomic<bool>& stop, long& sent)
{
    std::mt19937 random(25736);
    const sockaddr_in receiver = ipv4Address("10.79.0.1", REMOTE_DEFAULT_PORT);
    const Bytes query = discoveryQuery();
    const auto start = Clock::now();
    while (!stop) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        for (long due = long(elapsed * perSecond) - sent; due > 0; --due, ++sent) {
            in_pktinfo from{};
            from.ipi_spec_dst.s_addr = htonl(0x0A4F8000u | (random() & 0x7FFFu)); // 10.79.128.0/17
            sendDatagramWithPacketInfo(fd, receiver, query, from, MSG_DONTWAIT);
        }
        std::this_thread::sleep_for(2ms);
    }
}

class SpoofedQueries : public OwnerUnderLoad {
protected:
    void TearDown() override
    {
        if (!IsSkipped())
            std::system("ip link del qo 2>/dev/null");
    }
};

} // namespace

TEST_F(SpoofedQueries, TheOwnersPhoneStillFindsTheComputerWhileForgedQueriesFloodDiscovery)
{
    OtherHost host;
    if (!host.ok())
        GTEST_SKIP() << "no second network namespace could be made here";
    // This computer is 10.79.0.1/16 on qo. The other host is the owner's
    // phone (10.79.0.2), a phone that was only ever answered (10.79.0.3), and
    // the forger, who may send from any address of 10.79.128.0/17.
    ASSERT_EQ(std::system(("ip link add qo type veth peer name qo2 netns " + std::to_string(host.pid())
                           + " && ip addr add 10.79.0.1/16 dev qo && ip link set qo up"
                             " && for d in all qo; do echo 0 > /proc/sys/net/ipv4/conf/$d/rp_filter; done")
                              .c_str()),
              0);
    ASSERT_TRUE(host.run("ip link set lo up && ip addr add 10.79.0.2/16 dev qo2 && ip addr add 10.79.0.3/16 dev qo2"
                         " && ip link set qo2 up && ip route add local 10.79.128.0/17 dev lo"));

    auto receiver = e2e::startReceiver(kPasscode, "Desk");
    // The owner's phone logged in once, before the receiver last started.
    {
        const UniqueFd session = host.madeInside([] {
            UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            const sockaddr_in local = ipv4Address("10.79.0.2", 0);
            const sockaddr_in target = ipv4Address("10.79.0.1", REMOTE_DEFAULT_PORT);
            if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
                || ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
                socket.reset();
            return socket;
        });
        ASSERT_TRUE(session.valid());
        ASSERT_TRUE(SecurePhone(kPasscode).logIn(session.get()));
    }
    ASSERT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
    receiver = e2e::startReceiver(kPasscode, "Desk");

    const UniqueFd owner = host.udpSocketAt("10.79.0.2");
    const UniqueFd answeredBefore = host.udpSocketAt("10.79.0.3");
    const UniqueFd forger = host.madeInside([] { return UniqueFd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)); });
    ASSERT_TRUE(owner.valid() && answeredBefore.valid() && forger.valid());
    const sockaddr_in target = ipv4Address("10.79.0.1", REMOTE_DEFAULT_PORT);
    const auto ask = [&target](int fd) {
        const Bytes query = discoveryQuery();
        ::sendto(fd, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&target), sizeof target);
    };
    ask(answeredBefore.get());
    ASSERT_TRUE(receiveDatagram(answeredBefore.get())) << "answered before the flood";

    std::atomic<bool> stop{false};
    long forged = 0;
    std::thread forging([&] { forgeQueries(forger.get(), 3000, stop, forged); });
    std::this_thread::sleep_for(2s);
    // The phone asks every few seconds; once a second here, which each
    // source's own share of replies still allows.
    int ownerAnswered = 0;
    int otherAnswered = 0;
    constexpr int kQueries = 20;
    for (int i = 0; i < kQueries; ++i) {
        const auto start = Clock::now();
        ask(owner.get());
        ask(answeredBefore.get());
        ownerAnswered += bool(receiveDatagram(owner.get(), 900ms));
        otherAnswered += bool(receiveDatagram(answeredBefore.get(), 50ms));
        while (receiveDatagram(owner.get(), 0ms) || receiveDatagram(answeredBefore.get(), 0ms)) {
        }
        std::this_thread::sleep_until(start + 1s);
    }
    stop = true;
    forging.join();
    std::printf("discovery during %ld forged queries (%.0f a second) from 10.79.128.0/17: the owner's phone was "
                "answered %d times of %d, a phone answered before the flood %d of %d\n",
                forged, forged / (kQueries + 2.0), ownerAnswered, kQueries, otherAnswered, kQueries);
    EXPECT_EQ(ownerAnswered, kQueries);
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}
