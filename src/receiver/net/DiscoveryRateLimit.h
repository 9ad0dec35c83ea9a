// SPDX-License-Identifier: GPL-3.0-or-later
// How often discovery answers, so that it cannot be used to flood a host
// with replies it never asked for: a few replies to one source address, then
// one a second; and a bound on the replies to all sources together. Queries
// from this computer itself are held only by the bound on all: they cannot
// aim replies at anyone else. A phone asks every three seconds.
//
// Forged queries from many addresses of the network could use up the bound
// on all, and the owner's phone would no longer find the computer. So the
// bound is three shares: one that only sources that logged in (through a
// session, which no forger can fake) may use, one for those sources and for
// the sources answered while discovery was calm (a phone that was looking
// before a flood began), and the rest for anyone. A source takes from the
// first share open to it that has a reply left.
#pragma once

#include "common/TokenBucket.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class DiscoveryRateLimit {
public:
    using Clock = std::chrono::steady_clock;

    struct Policy {
        double perSourceBurst = 3;
        double perSourcePerSecond = 1;
        // The bound on all replies together...
        double allBurst = 40;
        double allPerSecond = 20;
        // ...of which these shares are kept for sources that logged in, and
        // for sources answered before, while the everyone's share is at
        // least half full.
        double loggedInBurst = 8;
        double loggedInPerSecond = 4;
        double familiarBurst = 8;
        double familiarPerSecond = 4;
        // Sources remembered at once; beyond, new sources wait for room.
        std::size_t maxSources = 1024;
        // Sources answered before that are remembered as such; a new one
        // takes the place of the one answered longest ago, if that one has
        // not been answered for a while (a phone asks every 3 s), so that
        // sources made up by the dozen cannot push out a phone that looks.
        std::size_t maxFamiliar = 64;
        std::chrono::seconds familiarForgottenAfter{30};
    };

    DiscoveryRateLimit();
    explicit DiscoveryRateLimit(Policy policy);

    // Whether a query from `source` (IPv4, network byte order) may be answered
    // at `now`; counts the reply when it may. `local`: it came from this computer.
    bool allow(uint32_t source, bool local, Clock::time_point now);

    // The addresses that have logged in through a session (this run or an
    // earlier one); replaces those given before.
    void setLoggedIn(const std::vector<uint32_t>& addresses);

private:
    enum Share { LoggedIn, Familiar, Everyone, Shares };
    struct FamiliarSource {
        TokenBucket bucket;
        Clock::time_point lastAnswered;
    };

    double everyoneBurst() const;
    TokenBucket* strangerBucket(uint32_t source, Clock::time_point now);
    void rememberAnswered(uint32_t source, Clock::time_point now);
    TokenBucket newSourceBucket() const { return TokenBucket(policy_.perSourceBurst, policy_.perSourcePerSecond); }

    Policy policy_;
    std::array<TokenBucket, Shares> shares_;
    std::unordered_map<uint32_t, TokenBucket> loggedIn_;
    std::unordered_map<uint32_t, FamiliarSource> familiar_;
    std::unordered_map<uint32_t, TokenBucket> strangers_;
};
