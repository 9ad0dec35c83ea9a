// SPDX-License-Identifier: GPL-3.0-or-later
// The seam between the run loop and time: real time in the app, a manual
// clock in tests.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

class RunLoop;

// The run loop's source of time, in nanoseconds from an arbitrary start.
class Clock {
public:
    virtual ~Clock() = default;

    virtual std::int64_t nowNs() const = 0;

    // The run loop's earliest timer changed: a real clock arranges to call
    // RunLoop::fireDueTimers() then; a manual clock waits to be advanced.
    virtual void wakeAt(std::optional<std::int64_t> dueNs) = 0;

protected:
    friend class RunLoop;
    virtual void attach(RunLoop* runLoop) { runLoop_ = runLoop; }
    RunLoop* runLoop_ = nullptr;
};

std::int64_t secondsToNs(double seconds);
double nsToSeconds(std::int64_t ns);

} // namespace platform
