// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/TokenBucket.h"

#include <algorithm>
#include <iterator>

namespace {

// Refills are sums of products of doubles: a token that is due by the clock
// may come out a hair short of 1.
constexpr double kWhole = 1 - 1e-9;

} // namespace

TokenBucket::TokenBucket(double burst, double perSecond)
    : burst_(burst)
    , perSecond_(perSecond)
    , tokens_(burst)
{
}

double TokenBucket::tokensAt(Clock::time_point now) const
{
    if (!started_ || now <= last_)
        return tokens_;
    return std::min(burst_, tokens_ + std::chrono::duration<double>(now - last_).count() * perSecond_);
}

bool TokenBucket::take(Clock::time_point now)
{
    const double tokens = tokensAt(now);
    if (tokens < kWhole)
        return false;
    tokens_ = std::max(0.0, tokens - 1);
    if (!started_ || now > last_)
        last_ = now;
    started_ = true;
    return true;
}

void TokenBucket::giveBack()
{
    tokens_ = std::min(burst_, tokens_ + 1);
}

bool TokenBucket::available(Clock::time_point now) const
{
    return tokensAt(now) >= kWhole;
}

TokenBucket::Clock::time_point TokenBucket::nextTokenAt(Clock::time_point now) const
{
    const double tokens = tokensAt(now);
    if (tokens >= kWhole || perSecond_ <= 0)
        return now;
    return now + std::chrono::ceil<Clock::duration>(std::chrono::duration<double>((1 - tokens) / perSecond_));
}

bool TokenBucket::full(Clock::time_point now) const
{
    return tokensAt(now) >= burst_ - (1 - kWhole);
}

TokenBucket* bucketOfSource(std::unordered_map<uint32_t, TokenBucket>& table, uint32_t source,
                            std::size_t maxSources, const TokenBucket& fresh, TokenBucket::Clock::time_point now)
{
    if (auto found = table.find(source); found != table.end())
        return &found->second;
    if (table.size() >= maxSources) {
        for (auto it = table.begin(); it != table.end();)
            it = it->second.full(now) ? table.erase(it) : std::next(it);
        if (table.size() >= maxSources)
            return nullptr;
    }
    return &table.emplace(source, fresh).first->second;
}
