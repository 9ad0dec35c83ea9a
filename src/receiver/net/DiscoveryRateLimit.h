// SPDX-License-Identifier: GPL-3.0-or-later
// How often discovery answers, so that it cannot be used to flood a host
// with replies it never asked for: a few replies to one source address, then
// one a second; and a bound on the replies to all sources together. Queries
// from this computer itself are held only by the bound on all: they cannot
// aim replies at anyone else. A phone asks every three seconds.
#pragma once

#include "common/TokenBucket.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

class DiscoveryRateLimit {
public:
    using Clock = std::chrono::steady_clock;

    struct Policy {
        double perSourceBurst = 3;
        double perSourcePerSecond = 1;
        double allBurst = 40;
        double allPerSecond = 20;
        // Sources remembered at once; beyond, new sources wait for room.
        std::size_t maxSources = 1024;
    };

    DiscoveryRateLimit();
    explicit DiscoveryRateLimit(Policy policy);

    // Whether a query from `source` (IPv4, network byte order) may be answered
    // at `now`; counts the reply when it may. `local`: it came from this computer.
    bool allow(uint32_t source, bool local, Clock::time_point now);

private:
    TokenBucket* bucketFor(uint32_t source, Clock::time_point now);

    Policy policy_;
    TokenBucket all_;
    std::unordered_map<uint32_t, TokenBucket> sources_;
};
