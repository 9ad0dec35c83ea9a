// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/DiscoveryRateLimit.h"

#include <algorithm>

DiscoveryRateLimit::DiscoveryRateLimit()
    : DiscoveryRateLimit(Policy{})
{
}

DiscoveryRateLimit::DiscoveryRateLimit(Policy policy)
    : policy_(policy)
    , shares_{TokenBucket(policy.loggedInBurst, policy.loggedInPerSecond),
              TokenBucket(policy.familiarBurst, policy.familiarPerSecond),
              TokenBucket(everyoneBurst(),
                          std::max(0.0, policy.allPerSecond - policy.loggedInPerSecond - policy.familiarPerSecond))}
{
}

double DiscoveryRateLimit::everyoneBurst() const
{
    return std::max(1.0, policy_.allBurst - policy_.loggedInBurst - policy_.familiarBurst);
}

TokenBucket* DiscoveryRateLimit::strangerBucket(uint32_t source, Clock::time_point now)
{
    return bucketOfSource(strangers_, source, policy_.maxSources, newSourceBucket(), now);
}

bool DiscoveryRateLimit::allow(uint32_t source, bool local, Clock::time_point now)
{
    Share first = Everyone;
    TokenBucket* bucket = nullptr;
    if (local) {
        first = LoggedIn;
    } else if (auto known = loggedIn_.find(source); known != loggedIn_.end()) {
        first = LoggedIn;
        bucket = &known->second;
    } else if (auto familiar = familiar_.find(source); familiar != familiar_.end()) {
        first = Familiar;
        bucket = &familiar->second.bucket;
    }
    int share = first;
    while (share < Shares && !shares_[share].available(now))
        ++share;
    if (share == Shares)
        return false;
    // A source answered while the everyone's share was at least half full
    // was not one of a flood.
    const bool calm = shares_[Everyone].tokensAt(now) >= everyoneBurst() / 2;
    if (!local && !bucket && !(bucket = strangerBucket(source, now)))
        return false;
    if (bucket && !bucket->take(now))
        return false;
    shares_[share].take(now);
    if (first == Familiar)
        familiar_.at(source).lastAnswered = now;
    else if (first == Everyone && calm)
        rememberAnswered(source, now);
    return true;
}

void DiscoveryRateLimit::rememberAnswered(uint32_t source, Clock::time_point now)
{
    if (policy_.maxFamiliar == 0)
        return;
    if (familiar_.size() >= policy_.maxFamiliar) {
        const auto longestAgo = std::min_element(familiar_.begin(), familiar_.end(), [](const auto& a, const auto& b) {
            return a.second.lastAnswered < b.second.lastAnswered;
        });
        if (now - longestAgo->second.lastAnswered < policy_.familiarForgottenAfter)
            return;
        familiar_.erase(longestAgo);
    }
    const auto stranger = strangers_.find(source);
    familiar_.emplace(source, FamiliarSource{stranger->second, now});
    strangers_.erase(stranger);
}

void DiscoveryRateLimit::setLoggedIn(const std::vector<uint32_t>& addresses)
{
    std::unordered_map<uint32_t, TokenBucket> loggedIn;
    for (uint32_t address : addresses) {
        // Each keeps the share of replies it had, wherever it was counted.
        if (auto was = loggedIn_.find(address); was != loggedIn_.end())
            loggedIn.emplace(address, was->second);
        else if (auto familiar = familiar_.find(address); familiar != familiar_.end())
            loggedIn.emplace(address, familiar->second.bucket);
        else if (auto stranger = strangers_.find(address); stranger != strangers_.end())
            loggedIn.emplace(address, stranger->second);
        else
            loggedIn.emplace(address, newSourceBucket());
        familiar_.erase(address);
        strangers_.erase(address);
    }
    loggedIn_.swap(loggedIn);
}
