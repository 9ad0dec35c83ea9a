// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Timer.h"

#include "platform/RunLoop.h"

#include <algorithm>

namespace platform {

namespace {
constexpr std::int64_t shortestIntervalNs = 100'000; // 0.1 ms
}

Timer::Timer(Private, RunLoop& runLoop, std::int64_t intervalNs, bool repeats, Callback callback)
    : runLoop_(&runLoop), intervalNs_(intervalNs), repeats_(repeats), callback_(std::move(callback))
{
}

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, Callback callback)
{
    RunLoop& runLoop = RunLoop::current();
    const std::int64_t intervalNs = std::max(secondsToNs(interval), shortestIntervalNs);
    auto timer = std::make_shared<Timer>(Private{}, runLoop, intervalNs, repeats, std::move(callback));
    runLoop.schedule(timer);
    return timer;
}

std::shared_ptr<Timer> Timer::scheduledTimer(double interval, bool repeats, PlainCallback callback)
{
    return scheduledTimer(interval, repeats, Callback([callback = std::move(callback)](Timer&) { callback(); }));
}

void Timer::invalidate()
{
    if (!valid_)
        return;
    valid_ = false;
    runLoop_->unschedule(this);
}

double Timer::timeInterval() const
{
    return nsToSeconds(intervalNs_);
}

double Timer::fireDate() const
{
    return nsToSeconds(fireAtNs_);
}

} // namespace platform
