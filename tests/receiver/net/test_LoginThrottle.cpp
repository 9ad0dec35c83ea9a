// SPDX-License-Identifier: GPL-3.0-or-later
// The guessing throttle and the rate limits on a manual clock: the delays an
// address earns, the ceiling on the failures of all addresses together, what
// a right passcode and time forget, the addresses that logged in, the
// budgets of the secure logins' hellos, the shares of discovery's replies,
// and the bounds on what is remembered.
#include "net/DiscoveryRateLimit.h"
#include "net/LoginThrottle.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <deque>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const Clock::time_point kStart{std::chrono::hours(1000)};

uint32_t address(const char* text)
{
    in_addr parsed{};
    inet_pton(AF_INET, text, &parsed);
    return parsed.s_addr;
}

} // namespace

TEST(LoginThrottle, DelaysDoubleAfterTheFreeFailuresUpToTheCap)
{
    const LoginThrottle throttle;
    std::vector<long long> seconds;
    for (int failures = 0; failures <= 12; ++failures)
        seconds.push_back(std::chrono::duration_cast<std::chrono::seconds>(throttle.delayAfter(failures)).count());
    EXPECT_EQ(seconds, (std::vector<long long>{0, 0, 0, 1, 2, 4, 8, 16, 32, 60, 60, 60, 60}));
}

TEST(LoginThrottle, AnAddressWaitsForItsDelayAndSaysSoOnce)
{
    LoginThrottle throttle;
    const uint32_t guesser = address("192.0.2.7");
    Clock::time_point now = kStart;
    int started = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(throttle.mayCheck(guesser, now));
        started += throttle.recordFailure(guesser, now);
    }
    EXPECT_EQ(started, 1) << "held back from the third failure on, said once";
    EXPECT_FALSE(throttle.mayCheck(guesser, now));
    EXPECT_EQ(throttle.checkableAt(guesser, now), now + 1s);
    now += 1s;
    EXPECT_TRUE(throttle.mayCheck(guesser, now));
    EXPECT_FALSE(throttle.recordFailure(guesser, now));
    EXPECT_EQ(throttle.checkableAt(guesser, now), now + 2s);

    // Another address is not held up by it.
    EXPECT_TRUE(throttle.mayCheck(address("192.0.2.8"), now));

    // A right passcode clears the record.
    throttle.recordSuccess(guesser);
    EXPECT_EQ(throttle.failures(guesser), 0);
    EXPECT_TRUE(throttle.mayCheck(guesser, now));
}

TEST(LoginThrottle, OneAddressGuessingAsFastAsAllowedStaysUnderTheCeiling)
{
    // What the owner's phone on another address relies on to be answered at once.
    LoginThrottle throttle;
    const uint32_t guesser = address("192.0.2.7");
    const uint32_t owner = address("192.0.2.8");
    Clock::time_point now = kStart;
    int tried = 0;
    while (now < kStart + 24h) {
        now = throttle.checkableAt(guesser, now);
        ASSERT_TRUE(throttle.mayCheck(owner, now)) << "after " << tried << " guesses";
        throttle.recordFailure(guesser, now);
        ++tried;
    }
    // Three at once, then 1, 2, 4 ... 32 s, then one a minute.
    EXPECT_LE(tried, 3 + 6 + 24 * 60);
    EXPECT_GE(tried, 24 * 60);
}

TEST(LoginThrottle, ManyAddressesTogetherAreHeldToTheCeiling)
{
    LoginThrottle throttle;
    Clock::time_point now = kStart;
    int tried = 0;
    // A new address for every guess: none of them earns a delay of its own.
    for (uint32_t host = 1; now < kStart + 10min; ++host) {
        const uint32_t from = htonl(0x0A000000u + host);
        now = throttle.checkableAt(from, now);
        throttle.recordFailure(from, now);
        ++tried;
    }
    EXPECT_LE(tried, 10 + 10 * 10 + 1); // a burst of ten, then ten a minute
}

TEST(LoginThrottle, AnAddressThatLoggedInBeforeIsHeldOnlyByItsOwnDelays)
{
    LoginThrottle throttle;
    const uint32_t owner = address("192.0.2.8");
    throttle.recordSuccess(owner);
    Clock::time_point now = kStart;
    for (uint32_t host = 1; host <= 10; ++host)
        throttle.recordFailure(htonl(0x0A000000u + host), now);
    EXPECT_FALSE(throttle.mayCheck(address("192.0.2.9"), now)) << "the limit on all is spent";
    EXPECT_TRUE(throttle.mayCheck(owner, now));
    // Claimed by a guesser, the address still earns its own delays.
    for (int i = 0; i < 3; ++i)
        throttle.recordFailure(owner, now);
    EXPECT_FALSE(throttle.mayCheck(owner, now));
    EXPECT_EQ(throttle.checkableAt(owner, now), now + 1s);
}

TEST(LoginThrottle, TheAddressesThatLoggedInAreKeptInOrderOfTheirLastLoginAndBounded)
{
    LoginThrottle::Policy policy;
    policy.maxLoggedIn = 3;
    LoginThrottle throttle(policy);
    const uint32_t a = address("192.0.2.1"), b = address("192.0.2.2"), c = address("192.0.2.3"),
                   d = address("192.0.2.4");
    // Remembered from an earlier run, oldest first.
    throttle.rememberLoggedIn({a, b});
    EXPECT_TRUE(throttle.hasLoggedIn(a) && throttle.hasLoggedIn(b) && !throttle.hasLoggedIn(c));
    EXPECT_TRUE(throttle.recordSuccess(c));
    EXPECT_FALSE(throttle.recordSuccess(c)) << "the newest logged in again: nothing changed";
    EXPECT_TRUE(throttle.recordSuccess(a));
    EXPECT_EQ(throttle.loggedIn(), (std::deque<uint32_t>{b, c, a}));
    EXPECT_TRUE(throttle.recordSuccess(d));
    EXPECT_EQ(throttle.loggedIn(), (std::deque<uint32_t>{c, a, d})) << "the oldest login is forgotten";
    EXPECT_FALSE(throttle.hasLoggedIn(b));
    // More than fit, as a hostile file might hold: the newest are kept.
    LoginThrottle fresh(policy);
    fresh.rememberLoggedIn({a, b, c, d, a});
    EXPECT_EQ(fresh.loggedIn(), (std::deque<uint32_t>{c, d, a}));
}

TEST(LoginThrottle, QuietAddressesAreForgottenAndTheTableIsBounded)
{
    LoginThrottle::Policy policy;
    policy.maxAddresses = 4;
    policy.failuresPerMinute = 1000;
    LoginThrottle throttle(policy);
    const uint32_t guesser = address("192.0.2.7");
    throttle.recordFailure(guesser, kStart);
    throttle.recordFailure(guesser, kStart);
    EXPECT_EQ(throttle.failures(guesser), 2);
    throttle.recordFailure(address("192.0.2.9"), kStart + 1h);
    EXPECT_EQ(throttle.failures(guesser), 0) << "an hour without failures";

    for (uint32_t host = 1; host <= 10; ++host)
        throttle.recordFailure(htonl(0x0A000000u + host), kStart + 2h + std::chrono::seconds(host));
    int remembered = 0;
    for (uint32_t host = 1; host <= 10; ++host)
        remembered += throttle.failures(htonl(0x0A000000u + host));
    EXPECT_EQ(remembered, 4);
    EXPECT_EQ(throttle.failures(htonl(0x0A00000Au)), 1) << "the newest is kept";
}

// Each row is one secure login's hello, at its time, and whether it is
// answered: an address has a burst and then its rate; all addresses together
// have another, which an address that logged in before does not touch; a
// hello refused by one budget spends nothing of the other.
TEST(LoginThrottle, HellosAreAnsweredWithinTheBudgetOfTheirAddressAndOfAll)
{
    LoginThrottle::Policy policy;
    policy.hellosPerAddressBurst = 2;
    policy.hellosPerAddressPerSecond = 1;
    policy.hellosOfAllBurst = 3;
    policy.hellosOfAllPerSecond = 1;
    LoginThrottle throttle(policy);
    throttle.recordSuccess(address("192.0.2.8"));
    const struct {
        int ms;
        const char* from;
        bool answered;
    } hellos[] = {
        {0, "192.0.2.1", true},     {0, "192.0.2.1", true},    {0, "192.0.2.1", false}, // its burst
        {0, "192.0.2.2", true},     {0, "192.0.2.3", false},                            // all: 3, spent
        {0, "192.0.2.8", true},     {0, "192.0.2.8", true},    {0, "192.0.2.8", false}, // logged in: its own only
        {1000, "192.0.2.3", true},  {1000, "192.0.2.1", false},                         // one more of all
        {1000, "192.0.2.8", true},  {2000, "192.0.2.1", true},  {2000, "192.0.2.2", false},
    };
    for (const auto& hello : hellos) {
        SCOPED_TRACE(std::to_string(hello.ms) + " ms, " + hello.from);
        EXPECT_EQ(throttle.takeHello(address(hello.from), kStart + std::chrono::milliseconds(hello.ms)),
                  hello.answered);
    }

    // A table full of addresses still spending their budgets: a new
    // stranger waits for room, one that logged in does not.
    policy.maxAddresses = 1;
    policy.hellosOfAllBurst = 100;
    LoginThrottle full(policy);
    full.recordSuccess(address("192.0.2.8"));
    EXPECT_TRUE(full.takeHello(address("192.0.2.1"), kStart));
    EXPECT_FALSE(full.takeHello(address("192.0.2.2"), kStart));
    EXPECT_TRUE(full.takeHello(address("192.0.2.8"), kStart));
    EXPECT_TRUE(full.takeHello(address("192.0.2.2"), kStart + 1s)) << "the first one's budget filled up again";
}

TEST(DiscoveryRateLimit, ASourceGetsABurstThenOneReplyASecond)
{
    DiscoveryRateLimit limit;
    const uint32_t victim = address("192.168.1.50");
    int answered = 0;
    for (int i = 0; i < 100; ++i)
        answered += limit.allow(victim, false, kStart);
    EXPECT_EQ(answered, 3);
    EXPECT_FALSE(limit.allow(victim, false, kStart + 999ms));
    EXPECT_TRUE(limit.allow(victim, false, kStart + 1s));
    EXPECT_TRUE(limit.allow(address("192.168.1.51"), false, kStart + 1s)) << "another source has its own share";
}

TEST(DiscoveryRateLimit, AllSourcesTogetherAreBoundedAndStrangersHaveTheirShareOfTheBound)
{
    DiscoveryRateLimit limit;
    int answered = 0;
    for (uint32_t host = 1; host <= 1000; ++host)
        answered += limit.allow(htonl(0xC0A80000u + host), false, kStart);
    EXPECT_EQ(answered, 24) << "the bound on all (40) less the shares kept for phones that logged in or were "
                               "answered before (8 each)";
    answered = 0;
    for (int i = 0; i < 1000; ++i)
        answered += limit.allow(address("127.0.0.1"), true, kStart + 1s);
    EXPECT_EQ(answered, 28) << "this computer's queries count towards the bound on all: both kept shares, "
                               "and a second's worth of the strangers'";
}

TEST(DiscoveryRateLimit, ForgedQueriesFromManySourcesLeaveTheOwnersPhonesTheirShares)
{
    DiscoveryRateLimit limit;
    const uint32_t owner = address("192.168.1.20");    // logged in through a session
    const uint32_t browsing = address("192.168.1.30"); // answered before the flood
    limit.setLoggedIn({owner});
    EXPECT_TRUE(limit.allow(browsing, false, kStart));
    // A minute of forged queries, 300 a second from ever new sources, while
    // both phones ask every 3 seconds.
    int forgedAnswers = 0, ownerAnswers = 0, browsingAnswers = 0;
    uint32_t forger = 0x0A000000u;
    for (auto t = 0ms; t < 60s; t += 10ms) {
        for (int i = 0; i < 3; ++i)
            forgedAnswers += limit.allow(htonl(++forger), false, kStart + 1s + t);
        if (t % 3s == 0ms) {
            ownerAnswers += limit.allow(owner, false, kStart + 1s + t);
            browsingAnswers += limit.allow(browsing, false, kStart + 1s + t);
        }
    }
    EXPECT_EQ(ownerAnswers, 20);
    EXPECT_EQ(browsingAnswers, 20);
    // The forgers had the strangers' share alone: 24 at once, 12 a second.
    EXPECT_LE(forgedAnswers, 24 + 12 * 61);
    EXPECT_GE(forgedAnswers, 12 * 59);

    // Only a source answered while the strangers' share was at least half
    // full counts as answered before: not one answered in a flood.
    int answered = 0;
    for (uint32_t host = 1; host <= 100; ++host)
        answered += limit.allow(htonl(0x0B000000u + host), false, kStart + 70s);
    EXPECT_EQ(answered, 24);
    EXPECT_TRUE(limit.allow(htonl(0x0B000005u), false, kStart + 70s)) << "answered while it was calm";
    EXPECT_FALSE(limit.allow(htonl(0x0B000014u), false, kStart + 70s)) << "answered in the flood";
    EXPECT_TRUE(limit.allow(browsing, false, kStart + 70s));
}

TEST(DiscoveryRateLimit, MadeUpSourcesDoNotPushOutAPhoneThatKeepsLooking)
{
    DiscoveryRateLimit::Policy policy;
    policy.maxFamiliar = 1;
    DiscoveryRateLimit limit(policy);
    const uint32_t browsing = address("192.168.1.30");
    // Strangers from `network` on spend their share of the replies.
    const auto spendStrangersShare = [&limit](uint32_t network, Clock::time_point at) {
        for (uint32_t host = 0; host < 30; ++host)
            limit.allow(htonl(network + host), false, at);
    };
    EXPECT_TRUE(limit.allow(browsing, false, kStart));
    // Calm, one at a time: each is answered, none takes the phone's place.
    for (uint32_t host = 1; host <= 10; ++host)
        EXPECT_TRUE(limit.allow(htonl(0x0B000000u + host), false, kStart + host * 1s));
    spendStrangersShare(0x0C000000u, kStart + 10s);
    EXPECT_TRUE(limit.allow(browsing, false, kStart + 10s)) << "still answered before";
    // Once the phone has not been answered for 30 s, a newer one may.
    EXPECT_TRUE(limit.allow(htonl(0x0B0000FFu), false, kStart + 50s));
    spendStrangersShare(0x0D000000u, kStart + 50s);
    EXPECT_FALSE(limit.allow(browsing, false, kStart + 50s));
}

TEST(DiscoveryRateLimit, NewSourcesWaitWhenTheTableIsFullOfBusyOnes)
{
    DiscoveryRateLimit::Policy policy;
    policy.maxSources = 2;
    policy.maxFamiliar = 0; // none is remembered as answered before
    DiscoveryRateLimit limit(policy);
    EXPECT_TRUE(limit.allow(address("192.168.1.1"), false, kStart));
    EXPECT_TRUE(limit.allow(address("192.168.1.2"), false, kStart));
    EXPECT_FALSE(limit.allow(address("192.168.1.3"), false, kStart));
    // Once the others' shares have filled up again they are forgotten.
    EXPECT_TRUE(limit.allow(address("192.168.1.3"), false, kStart + 2s));
}
