// SPDX-License-Identifier: GPL-3.0-or-later
// The main run loop's timers and the clock they run on.
#pragma once

#include "platform/Clock.h"
#include "platform/Timer.h"

#include <memory>
#include <optional>
#include <vector>

namespace platform {

// The main run loop's timers. Time comes from a Clock: real time on a QTimer
// in the app, a ManualClock in tests, which the test advances and which then
// fires every timer that falls due, in time order.
class RunLoop {
public:
    static RunLoop& main();
    static RunLoop& current() { return main(); }

    RunLoop();
    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Installs a clock; nullptr goes back to real time. Timers already
    // scheduled keep the time they still had to run.
    void setClock(std::shared_ptr<Clock> clock);
    Clock& clock() const { return *clock_; }

    // Seconds on the current clock.
    double now() const;

    // Fires, one by one and in time order, every timer due at the clock's
    // current time; among timers due together, the one armed first (a
    // repeating timer is armed again each time it fires). A timer scheduled
    // or invalidated by a firing one is honoured at once.
    void fireDueTimers();

    std::optional<std::int64_t> nextFireTimeNs() const;
    std::size_t scheduledTimerCount() const { return timers_.size(); }

    // Invalidates every scheduled timer (a clean slate between tests).
    void invalidateAllTimers();

private:
    friend class Timer;
    void schedule(const std::shared_ptr<Timer>& timer);
    void unschedule(const Timer* timer);
    void rearmClock();
    std::shared_ptr<Timer> nextDueTimer(std::int64_t nowNs) const;

    std::shared_ptr<Clock> clock_;
    std::vector<std::shared_ptr<Timer>> timers_;
    std::uint64_t nextSequence_ = 1;
};

} // namespace platform
