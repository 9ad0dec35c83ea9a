// SPDX-License-Identifier: GPL-3.0-or-later
// Timers on the main run loop, one-shot or repeating, which a manual clock
// drives in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class RunLoop;

// A timer on a run loop. While it is scheduled the run loop holds it, so the
// caller may keep or drop its reference; it fires first one interval after
// it was scheduled, then (if repeating) every interval after that. A one-shot
// timer is invalid once it has fired; any timer is invalid after invalidate().
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Callback = std::function<void(Timer&)>;
    using PlainCallback = std::function<void()>;

    // Intervals are in seconds. As on the phone, an interval below 0.1 ms is
    // taken as 0.1 ms, so a repeating timer can never spin in place.
    static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, Callback callback);
    static std::shared_ptr<Timer> scheduledTimer(double interval, bool repeats, PlainCallback callback);

    void invalidate();
    bool isValid() const { return valid_; }
    double timeInterval() const;
    bool repeats() const { return repeats_; }

    // When the timer fires next, in the run loop's clock time (seconds).
    double fireDate() const;

    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

private:
    friend class RunLoop;
    struct Private {};

public:
    Timer(Private, RunLoop& runLoop, std::int64_t intervalNs, bool repeats, Callback callback);

private:
    RunLoop* runLoop_;
    std::int64_t intervalNs_;
    bool repeats_;
    Callback callback_;
    std::int64_t fireAtNs_ = 0;
    std::uint64_t sequence_ = 0; // breaks ties: due together, scheduled first fires first
    bool valid_ = true;
};

} // namespace platform
