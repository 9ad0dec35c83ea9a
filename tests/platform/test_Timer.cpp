// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/platform/ManualClock.h"
#include "platform/RunLoop.h"
#include "platform/Timer.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::RunLoop;
using platform::ScopedManualClock;
using platform::Timer;

namespace {

// Records "<name>@<virtual ms>" for each firing.
struct FiringLog {
    std::vector<std::string> entries;
    void add(const std::string& name)
    {
        entries.push_back(name + "@" + std::to_string(static_cast<long long>(RunLoop::main().now() * 1000.0 + 0.5)));
    }
};

} // namespace

TEST(Timer, OneShotFiresOnceAfterItsIntervalAndIsThenInvalid)
{
    ScopedManualClock clock;
    FiringLog log;
    auto timer = Timer::scheduledTimer(0.4, false, [&] { log.add("click"); });
    EXPECT_TRUE(timer->isValid());

    clock.advance(0.399);
    EXPECT_TRUE(log.entries.empty());
    clock.advance(0.001);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"click@400"}));
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);

    clock.advance(5.0);
    EXPECT_EQ(log.entries.size(), 1u);
}

TEST(Timer, RepeatingFiresEveryIntervalWithoutDrift)
{
    ScopedManualClock clock;
    int firings = 0;
    auto timer = Timer::scheduledTimer(0.1, true, [&] { ++firings; });
    clock.advance(0.3);
    EXPECT_EQ(firings, 3); // 0.1 three times is exactly 0.3 on the virtual clock
    clock.advance(0.7);
    EXPECT_EQ(firings, 10);
    EXPECT_TRUE(timer->isValid());
    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    clock.advance(1.0);
    EXPECT_EQ(firings, 10);
}

// Among timers due at the same moment the one armed first fires first; a
// repeating timer is armed again each time it fires.
TEST(Timer, SeveralDueInOneAdvanceFireInTimeOrderThenArmingOrder)
{
    ScopedManualClock clock;
    FiringLog log;
    auto poll = Timer::scheduledTimer(1.0, true, [&] { log.add("poll"); });
    auto query = Timer::scheduledTimer(3.0, true, [&] { log.add("query"); });
    auto preview = Timer::scheduledTimer(2.0, false, [&] { log.add("preview"); });
    auto sameTime = Timer::scheduledTimer(1.0, false, [&] { log.add("same"); });

    clock.advance(3.0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"poll@1000", "same@1000", "preview@2000", "poll@2000", "query@3000", "poll@3000"}));
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 2u);
}

TEST(Timer, InvalidatedFromInsideAFiringItselfOrAnotherDueAtTheSameTime)
{
    ScopedManualClock clock;
    FiringLog log;
    std::shared_ptr<Timer> victim;
    int repeats = 0;
    auto killer = Timer::scheduledTimer(0.5, false, [&] {
        log.add("killer");
        victim->invalidate();
    });
    victim = Timer::scheduledTimer(0.5, false, [&] { log.add("victim"); });
    // A repeating timer that stops itself on its third firing, holding no
    // reference of its own: the run loop keeps it alive while it runs.
    Timer::scheduledTimer(0.1, true, [&](Timer& self) {
        if (++repeats == 3)
            self.invalidate();
    });

    clock.advance(2.0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"killer@500"}));
    EXPECT_FALSE(victim->isValid());
    EXPECT_EQ(repeats, 3);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);
}

TEST(Timer, ScheduledFromInsideAFiringCountsFromThatFiringAndFiresInTheSameAdvance)
{
    ScopedManualClock clock;
    FiringLog log;
    std::shared_ptr<Timer> repeat;
    // The key-repeat pattern: a 1.0 s delay, then a 0.1 s repeat.
    auto delay = Timer::scheduledTimer(1.0, false, [&] {
        log.add("delay");
        repeat = Timer::scheduledTimer(0.1, true, [&] { log.add("repeat"); });
    });
    clock.advance(1.25);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"delay@1000", "repeat@1100", "repeat@1200"}));
    EXPECT_NEAR(repeat->fireDate(), 1.3, 1e-9);
}

TEST(Timer, AdvanceToNextTimerStepsToTheEarliestOnly)
{
    ScopedManualClock clock;
    FiringLog log;
    Timer::scheduledTimer(2.0, false, [&] { log.add("late"); });
    Timer::scheduledTimer(0.5, false, [&] { log.add("early"); });
    EXPECT_TRUE(clock->advanceToNextTimer());
    EXPECT_EQ(log.entries, (std::vector<std::string>{"early@500"}));
    EXPECT_TRUE(clock->advanceToNextTimer());
    EXPECT_FALSE(clock->advanceToNextTimer());
    EXPECT_EQ(log.entries.size(), 2u);
}

TEST(Timer, AZeroIntervalRepeatingTimerCannotSpin)
{
    ScopedManualClock clock;
    int firings = 0;
    Timer::scheduledTimer(0.0, true, [&] { ++firings; });
    clock.advance(0.001);
    EXPECT_EQ(firings, 10); // taken as 0.1 ms
}

TEST(Timer, ClockSwapKeepsTheTimeATimerStillHad)
{
    ScopedManualClock first;
    int firings = 0;
    auto timer = Timer::scheduledTimer(1.0, false, [&] { ++firings; });
    first.advance(0.75);

    auto second = std::make_shared<platform::ManualClock>();
    second->advance(100.0);
    RunLoop::main().setClock(second);
    second->advance(0.2);
    EXPECT_EQ(firings, 0);
    second->advance(0.05);
    EXPECT_EQ(firings, 1);
}

TEST(Timer, RealClockFiresFromTheQtEventLoop)
{
    RunLoop::main().setClock(nullptr);
    bool fired = false;
    auto timer = Timer::scheduledTimer(0.01, false, [&] { fired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 10000));
    EXPECT_FALSE(timer->isValid());
}
