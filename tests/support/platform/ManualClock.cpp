// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/platform/ManualClock.h"

#include "platform/RunLoop.h"

#include <algorithm>

namespace platform {

double ManualClock::now() const
{
    return nsToSeconds(nowNs_);
}

void ManualClock::advance(double seconds)
{
    const std::int64_t target = nowNs_ + std::max<std::int64_t>(secondsToNs(seconds), 0);
    if (runLoop_) {
        // Step to each due time in turn, so that a firing timer sees the
        // time it was due at and timers it schedules fall in their place.
        while (auto next = runLoop_->nextFireTimeNs()) {
            if (*next > target)
                break;
            nowNs_ = std::max(nowNs_, *next);
            runLoop_->fireDueTimers();
        }
    }
    nowNs_ = target;
}

bool ManualClock::advanceToNextTimer()
{
    if (!runLoop_)
        return false;
    auto next = runLoop_->nextFireTimeNs();
    if (!next)
        return false;
    nowNs_ = std::max(nowNs_, *next);
    runLoop_->fireDueTimers();
    return true;
}

ScopedManualClock::ScopedManualClock() : clock_(std::make_shared<ManualClock>())
{
    RunLoop::main().invalidateAllTimers();
    RunLoop::main().setClock(clock_);
}

ScopedManualClock::~ScopedManualClock()
{
    RunLoop::main().invalidateAllTimers();
    RunLoop::main().setClock(nullptr);
}

} // namespace platform
