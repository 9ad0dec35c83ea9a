// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RunLoop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace platform {

namespace {

// Real time: one single-shot QTimer armed for the earliest timer.
class RealClock : public Clock {
public:
    RealClock() { elapsed_.start(); }

    std::int64_t nowNs() const override { return elapsed_.nsecsElapsed(); }

    void wakeAt(std::optional<std::int64_t> dueNs) override
    {
        if (!dueNs) {
            if (qtTimer_)
                qtTimer_->stop();
            return;
        }
        if (!qtTimer_) {
            qtTimer_ = std::make_unique<QTimer>();
            qtTimer_->setSingleShot(true);
            qtTimer_->setTimerType(Qt::PreciseTimer);
            QObject::connect(qtTimer_.get(), &QTimer::timeout, [this] {
                if (runLoop_)
                    runLoop_->fireDueTimers();
            });
        }
        const std::int64_t waitNs = std::max<std::int64_t>(*dueNs - nowNs(), 0);
        // Rounded up: waking a little early would only re-arm the timer.
        qtTimer_->start(static_cast<int>(std::min<std::int64_t>((waitNs + 999'999) / 1'000'000, 1 << 30)));
    }

private:
    QElapsedTimer elapsed_;
    std::unique_ptr<QTimer> qtTimer_;
};

} // namespace

RunLoop& RunLoop::main()
{
    static RunLoop mainLoop;
    return mainLoop;
}

RunLoop::RunLoop()
{
    setClock(nullptr);
}

RunLoop::~RunLoop()
{
    for (const auto& timer : timers_)
        timer->valid_ = false;
    timers_.clear();
    if (clock_)
        clock_->attach(nullptr);
}

void RunLoop::setClock(std::shared_ptr<Clock> clock)
{
    if (!clock)
        clock = std::make_shared<RealClock>();
    if (clock_) {
        // Each timer keeps the time it still had to run.
        const std::int64_t oldNow = clock_->nowNs();
        const std::int64_t newNow = clock->nowNs();
        for (const auto& timer : timers_)
            timer->fireAtNs_ = newNow + std::max<std::int64_t>(timer->fireAtNs_ - oldNow, 0);
        clock_->wakeAt(std::nullopt);
        clock_->attach(nullptr);
    }
    clock_ = std::move(clock);
    clock_->attach(this);
    rearmClock();
}

double RunLoop::now() const
{
    return nsToSeconds(clock_->nowNs());
}

void RunLoop::schedule(const std::shared_ptr<Timer>& timer)
{
    timer->fireAtNs_ = clock_->nowNs() + timer->intervalNs_;
    timer->sequence_ = nextSequence_++;
    timers_.push_back(timer);
    rearmClock();
}

void RunLoop::unschedule(const Timer* timer)
{
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                      [timer](const std::shared_ptr<Timer>& t) { return t.get() == timer; }),
        timers_.end());
    rearmClock();
}

std::shared_ptr<Timer> RunLoop::nextDueTimer(std::int64_t nowNs) const
{
    std::shared_ptr<Timer> next;
    for (const auto& timer : timers_) {
        if (timer->fireAtNs_ > nowNs)
            continue;
        if (!next || timer->fireAtNs_ < next->fireAtNs_
            || (timer->fireAtNs_ == next->fireAtNs_ && timer->sequence_ < next->sequence_))
            next = timer;
    }
    return next;
}

std::optional<std::int64_t> RunLoop::nextFireTimeNs() const
{
    std::optional<std::int64_t> earliest;
    for (const auto& timer : timers_)
        if (!earliest || timer->fireAtNs_ < *earliest)
            earliest = timer->fireAtNs_;
    return earliest;
}

void RunLoop::fireDueTimers()
{
    const std::int64_t nowNs = clock_->nowNs();
    while (std::shared_ptr<Timer> timer = nextDueTimer(nowNs)) {
        // `timer` keeps it alive while its callback runs, even if the
        // callback invalidates it and drops the last other reference.
        if (timer->repeats_) {
            // A late repeating timer fires once and keeps its rhythm,
            // skipping the firings it missed.
            const std::int64_t missed = (nowNs - timer->fireAtNs_) / timer->intervalNs_;
            timer->fireAtNs_ += (missed + 1) * timer->intervalNs_;
            timer->sequence_ = nextSequence_++;
        } else {
            timer->valid_ = false;
            unschedule(timer.get());
        }
        timer->callback_(*timer);
    }
    rearmClock();
}

void RunLoop::invalidateAllTimers()
{
    const auto timers = timers_;
    for (const auto& timer : timers)
        timer->invalidate();
}

void RunLoop::rearmClock()
{
    if (clock_)
        clock_->wakeAt(nextFireTimeNs());
}

} // namespace platform
