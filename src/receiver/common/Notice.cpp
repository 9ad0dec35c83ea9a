// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/Notice.h"

#include "common/TokenBucket.h"

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct NoticeLimits {
    TokenBucket all{100, 20};
    TokenBucket connections{25, 5};
    unsigned long suppressed = 0;
};

NoticeLimits& limits()
{
    static NoticeLimits state;
    return state;
}

// A notice is written at once: it may be the last thing the receiver says.
void write(const std::string& text)
{
    noticeOutput().writeLine("quillon-receiver: " + text);
    noticeOutput().flush();
}

bool flushSuppressed(Clock::time_point now)
{
    NoticeLimits& state = limits();
    if (state.suppressed == 0)
        return true;
    if (!state.all.take(now))
        return false;
    write(std::to_string(state.suppressed) + " notices left out: too many at once");
    state.suppressed = 0;
    return true;
}

void limited(const std::string& text, TokenBucket* share)
{
    NoticeLimits& state = limits();
    const Clock::time_point now = Clock::now();
    if (!flushSuppressed(now) || (share && !share->available(now)) || !state.all.take(now)) {
        ++state.suppressed;
        return;
    }
    if (share)
        share->take(now);
    write(text);
}

} // namespace

OutputChannel& noticeOutput()
{
    static OutputChannel channel(STDERR_FILENO);
    return channel;
}

void notice(const std::string& text)
{
    limited(text, nullptr);
}

void connectionNotice(const std::string& text)
{
    limited(text, &limits().connections);
}

std::optional<std::chrono::milliseconds> reportSuppressedNotices()
{
    const Clock::time_point now = Clock::now();
    if (flushSuppressed(now))
        return std::nullopt;
    return std::chrono::ceil<std::chrono::milliseconds>(limits().all.nextTokenAt(now) - now);
}
