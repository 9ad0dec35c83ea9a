// SPDX-License-Identifier: GPL-3.0-or-later
// A rate limit: up to `burst` events at once, then `perSecond` on average.
// Time is passed in, so that the limits can be tested on a manual clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <unordered_map>

class TokenBucket {
public:
    using Clock = std::chrono::steady_clock;

    TokenBucket(double burst, double perSecond);

    // Takes one token when there is one at `now`; false (nothing taken) otherwise.
    bool take(Clock::time_point now);
    // Gives back a token taken for an event that turned out not to count.
    void giveBack();
    // Whether a token is there at `now`, without taking it.
    bool available(Clock::time_point now) const;
    // When the next token will be there: `now` when one already is.
    Clock::time_point nextTokenAt(Clock::time_point now) const;
    // Whether the bucket has filled up again (nothing to remember about it).
    bool full(Clock::time_point now) const;
    // The tokens there at `now` (part of one counts as much).
    double tokensAt(Clock::time_point now) const;

private:
    double burst_;
    double perSecond_;
    double tokens_;
    Clock::time_point last_{};
    bool started_ = false;
};

// The bucket of `source` in `table`, a copy of `fresh` when the source is
// new; null when the table already holds `maxSources` buckets that are still
// spending their tokens. A bucket that has filled up again has nothing to
// remember, so those make room for a new source.
TokenBucket* bucketOfSource(std::unordered_map<uint32_t, TokenBucket>& table, uint32_t source,
                            std::size_t maxSources, const TokenBucket& fresh, TokenBucket::Clock::time_point now);
