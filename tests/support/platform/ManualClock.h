// SPDX-License-Identifier: GPL-3.0-or-later
// Test double: time that moves only when a test advances it, for the
// platform's run loop and its timers.
#pragma once

#include "platform/Clock.h"

#include <memory>

namespace platform {

// Virtual time for tests: nothing happens until advance(), which moves time
// forward to each due timer in turn, fires it, and ends at the target time.
class ManualClock : public Clock {
public:
    std::int64_t nowNs() const override { return nowNs_; }
    double now() const;
    void wakeAt(std::optional<std::int64_t>) override {}

    void advance(double seconds);
    // Advances to the next due timer only (if any); returns whether one fired.
    bool advanceToNextTimer();

private:
    std::int64_t nowNs_ = 0;
};

// Installs a ManualClock on the main run loop for its lifetime, starting and
// ending with no scheduled timers, then goes back to real time.
class ScopedManualClock {
public:
    ScopedManualClock();
    ~ScopedManualClock();
    ScopedManualClock(const ScopedManualClock&) = delete;
    ScopedManualClock& operator=(const ScopedManualClock&) = delete;

    ManualClock* operator->() const { return clock_.get(); }
    ManualClock& clock() const { return *clock_; }
    void advance(double seconds) { clock_->advance(seconds); }

private:
    std::shared_ptr<ManualClock> clock_;
};

} // namespace platform
