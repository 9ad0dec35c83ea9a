// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/DiscoveryRateLimit.h"

DiscoveryRateLimit::DiscoveryRateLimit()
    : DiscoveryRateLimit(Policy{})
{
}

DiscoveryRateLimit::DiscoveryRateLimit(Policy policy)
    : policy_(policy)
    , all_(policy.allBurst, policy.allPerSecond)
{
}

TokenBucket* DiscoveryRateLimit::bucketFor(uint32_t source, Clock::time_point now)
{
    if (auto found = sources_.find(source); found != sources_.end())
        return &found->second;
    if (sources_.size() >= policy_.maxSources) {
        // A source whose bucket has filled up again has nothing to remember.
        for (auto it = sources_.begin(); it != sources_.end();)
            it = it->second.full(now) ? sources_.erase(it) : std::next(it);
        if (sources_.size() >= policy_.maxSources)
            return nullptr;
    }
    return &sources_.emplace(source, TokenBucket(policy_.perSourceBurst, policy_.perSourcePerSecond)).first->second;
}

bool DiscoveryRateLimit::allow(uint32_t source, bool local, Clock::time_point now)
{
    if (!all_.available(now))
        return false;
    if (!local) {
        TokenBucket* bucket = bucketFor(source, now);
        if (!bucket || !bucket->take(now))
            return false;
    }
    return all_.take(now);
}
