// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/LoginThrottle.h"

#include <algorithm>
#include <iterator>

LoginThrottle::LoginThrottle()
    : LoginThrottle(Policy{})
{
}

LoginThrottle::LoginThrottle(Policy policy)
    : policy_(policy)
    , failuresOfAll_(policy.failuresPerMinute, policy.failuresPerMinute / 60.0)
    , hellosOfAll_(policy.hellosOfAllBurst, policy.hellosOfAllPerSecond)
{
}

std::chrono::milliseconds LoginThrottle::delayAfter(int failures) const
{
    if (failures < policy_.freeFailures)
        return std::chrono::milliseconds(0);
    std::chrono::milliseconds delay = policy_.firstDelay;
    for (int n = policy_.freeFailures; n < failures && delay < policy_.maxDelay; ++n)
        delay *= 2;
    return std::min(delay, policy_.maxDelay);
}

int LoginThrottle::failures(uint32_t address) const
{
    const auto found = records_.find(address);
    return found == records_.end() ? 0 : found->second.failures;
}

LoginThrottle::Clock::time_point LoginThrottle::checkableAt(uint32_t address, Clock::time_point now) const
{
    Clock::time_point at = hasLoggedIn(address) ? now : failuresOfAll_.nextTokenAt(now);
    if (const auto found = records_.find(address); found != records_.end())
        at = std::max(at, found->second.lastFailure + delayAfter(found->second.failures));
    return std::max(at, now);
}

bool LoginThrottle::mayCheck(uint32_t address, Clock::time_point now) const
{
    return checkableAt(address, now) <= now;
}

bool LoginThrottle::recordFailure(uint32_t address, Clock::time_point now)
{
    failuresOfAll_.take(now);
    return recordUnanswered(address, now);
}

bool LoginThrottle::recordUnanswered(uint32_t address, Clock::time_point now)
{
    forgetOld(now);
    auto found = records_.find(address);
    if (found == records_.end()) {
        if (records_.size() >= policy_.maxAddresses) {
            // Full of addresses that failed within the hour: the one heard
            // from longest ago makes room. Its attempts still need a share of
            // the limit on all failures, so forgetting it gains it little.
            auto oldest = std::min_element(records_.begin(), records_.end(), [](const auto& a, const auto& b) {
                return a.second.lastFailure < b.second.lastFailure;
            });
            records_.erase(oldest);
        }
        found = records_.emplace(address, Record{}).first;
    }
    Record& record = found->second;
    ++record.failures;
    record.lastFailure = now;
    return record.failures == policy_.freeFailures;
}

bool LoginThrottle::recordSuccess(uint32_t address)
{
    records_.erase(address);
    if (!loggedIn_.empty() && loggedIn_.back() == address)
        return false;
    if (const auto known = std::find(loggedIn_.begin(), loggedIn_.end(), address); known != loggedIn_.end())
        loggedIn_.erase(known);
    else if (loggedIn_.size() >= policy_.maxLoggedIn && !loggedIn_.empty())
        loggedIn_.pop_front();
    if (policy_.maxLoggedIn > 0)
        loggedIn_.push_back(address);
    return true;
}

bool LoginThrottle::takeHello(uint32_t address, Clock::time_point now)
{
    const bool known = hasLoggedIn(address);
    if (!known && !hellosOfAll_.available(now))
        return false;
    TokenBucket* own = helloBucket(address, now);
    // With the table full, an address that logged in still has its place
    // (there are only so many of them); a stranger waits for room.
    if (own ? !own->take(now) : !known)
        return false;
    if (!known)
        hellosOfAll_.take(now);
    return true;
}

TokenBucket* LoginThrottle::helloBucket(uint32_t address, Clock::time_point now)
{
    return bucketOfSource(hellos_, address, policy_.maxAddresses,
                          TokenBucket(policy_.hellosPerAddressBurst, policy_.hellosPerAddressPerSecond), now);
}

bool LoginThrottle::hasLoggedIn(uint32_t address) const
{
    return std::find(loggedIn_.begin(), loggedIn_.end(), address) != loggedIn_.end();
}

void LoginThrottle::rememberLoggedIn(const std::vector<uint32_t>& addresses)
{
    for (uint32_t address : addresses) {
        if (const auto known = std::find(loggedIn_.begin(), loggedIn_.end(), address); known != loggedIn_.end())
            loggedIn_.erase(known);
        loggedIn_.push_back(address);
    }
    while (loggedIn_.size() > policy_.maxLoggedIn)
        loggedIn_.pop_front();
}

void LoginThrottle::forgetOld(Clock::time_point now)
{
    for (auto it = records_.begin(); it != records_.end();) {
        if (now - it->second.lastFailure >= policy_.forgetAfter)
            it = records_.erase(it);
        else
            ++it;
    }
}
