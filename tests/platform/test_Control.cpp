// SPDX-License-Identifier: GPL-3.0-or-later
// Target-action of controls: which events a finger produces, in which order,
// and how handlers are called, removed and dropped.
#include "platform/Control.h"
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/TouchTracker.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

constexpr ControlEvents kArrowKeyEvent = 0x01000000;

const char* nameOf(ControlEvents event)
{
    switch (event) {
    case ControlEventTouchDown: return "down";
    case ControlEventTouchDownRepeat: return "down-repeat";
    case ControlEventTouchDragInside: return "drag-inside";
    case ControlEventTouchDragOutside: return "drag-outside";
    case ControlEventTouchDragEnter: return "drag-enter";
    case ControlEventTouchDragExit: return "drag-exit";
    case ControlEventTouchUpInside: return "up-inside";
    case ControlEventTouchUpOutside: return "up-outside";
    case ControlEventTouchCancel: return "cancel";
    case kArrowKeyEvent: return "app";
    default: return "?";
    }
}

// A screen-like target: one member handler per event, taking (sender, event).
class Recorder : public QObject {
public:
    std::vector<std::string> log;
    std::vector<int> tapCounts;
    Control* lastSender = nullptr;

    void listenTo(Control* control)
    {
        for (ControlEvents event : std::initializer_list<ControlEvents>{ControlEventTouchDown, ControlEventTouchDownRepeat, ControlEventTouchDragInside,
                                    ControlEventTouchDragOutside, ControlEventTouchDragEnter, ControlEventTouchDragExit,
                                    ControlEventTouchUpInside, ControlEventTouchUpOutside, ControlEventTouchCancel,
                                    kArrowKeyEvent})
            control->addTarget(this, Control::Action([this, event](Control* sender, Event* e) {
                log.push_back(nameOf(event));
                lastSender = sender;
                Touch* touch = e->touchesForView(sender).anyObject();
                tapCounts.push_back(touch ? touch->tapCount() : -1);
            }), event);
    }
};

class ControlTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TouchTracker::instance().forgetTaps();
        window.resize(320, 480);
        control = new Control(&window);
        control->setGeometry(100, 100, 60, 40);
        window.show();
        recorder.listenTo(control);
    }

    ScopedManualClock clock;
    QWidget window;
    Control* control = nullptr;
    Recorder recorder;
    FingerSimulator fingers;
};

using Log = std::vector<std::string>;

TEST_F(ControlTest, ATapIsDownThenUpInside)
{
    fingers.tap(control, {30, 20});
    EXPECT_EQ(recorder.log, (Log{"down", "up-inside"}));
    EXPECT_EQ(recorder.lastSender, control);
    EXPECT_EQ(recorder.tapCounts, (std::vector<int>{1, 1}));
}

TEST_F(ControlTest, DraggingOutAndBackReportsExitEnterAndTheSideOfTheFinger)
{
    const qreal margin = control->touchMargin();
    fingers.press(0, control, {30, 20});
    fingers.move(0, control, {35, 20});
    EXPECT_TRUE(control->isHighlighted());
    fingers.move(0, control, {60 + margin + 10, 20});
    EXPECT_FALSE(control->isHighlighted());
    fingers.move(0, control, {60 + margin + 30, 20});
    fingers.move(0, control, {50, 20});
    fingers.release(0, control, {50, 20});
    EXPECT_EQ(recorder.log, (Log{"down", "drag-inside", "drag-exit", "drag-outside", "drag-outside", "drag-enter",
                                 "drag-inside", "up-inside"}));
    EXPECT_FALSE(control->isHighlighted());
}

TEST_F(ControlTest, LiftingOutsideIsUpOutside)
{
    fingers.press(0, control, {30, 20});
    const QPointF outside(30, 40 + control->touchMargin() + 5);
    fingers.move(0, control, outside);
    fingers.release(0, control, outside);
    EXPECT_EQ(recorder.log, (Log{"down", "drag-exit", "drag-outside", "up-outside"}));
}

TEST_F(ControlTest, ACancelledTouchReportsCancelAndClearsTheHighlight)
{
    fingers.press(0, control, {30, 20});
    fingers.cancelAll();
    EXPECT_EQ(recorder.log, (Log{"down", "cancel"}));
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_FALSE(control->isTracking());
}

TEST_F(ControlTest, AQuickSecondTapIsAlsoADownRepeat)
{
    fingers.tap(control, {30, 20});
    clock.advance(0.1);
    fingers.tap(control, {30, 20});
    EXPECT_EQ(recorder.log, (Log{"down", "up-inside", "down", "down-repeat", "up-inside"}));
    EXPECT_EQ(recorder.tapCounts, (std::vector<int>{1, 1, 2, 2, 2}));
}

TEST_F(ControlTest, TwoControlsAreHeldByTwoFingersAtOnce)
{
    auto* other = new Control(&window);
    other->setGeometry(200, 300, 60, 40);
    other->show();
    Recorder otherRecorder;
    otherRecorder.listenTo(other);

    fingers.press(0, control, {10, 10});
    fingers.press(1, other, {10, 10});
    EXPECT_TRUE(control->isHighlighted());
    EXPECT_TRUE(other->isHighlighted());
    fingers.release(0, control, {10, 10});
    EXPECT_FALSE(control->isHighlighted());
    EXPECT_TRUE(other->isHighlighted());
    fingers.release(1, other, {10, 10});
    EXPECT_EQ(recorder.log, (Log{"down", "up-inside"}));
    EXPECT_EQ(otherRecorder.log, (Log{"down", "up-inside"}));
}

TEST_F(ControlTest, ApplicationDefinedEventsReachTheirHandlersBeforeTheSendReturns)
{
    control->sendActionsForControlEvents(kArrowKeyEvent);
    EXPECT_EQ(recorder.log, (Log{"app"}));
    EXPECT_EQ(recorder.tapCounts, (std::vector<int>{-1})); // no touch in that event
    EXPECT_TRUE(control->allControlEvents() & kArrowKeyEvent);
}

// Member-function handlers in the three shapes screens use.
class Screen : public QObject {
public:
    std::vector<std::string> calls;
    void press(Control* sender, Event* event)
    {
        calls.push_back(event && sender ? "press" : "press?");
    }
    void release(Control*) { calls.push_back("release"); }
    void toggle() { calls.push_back("toggle"); }
};

class OtherControl : public Control {
public:
    using Control::Control;
};
class Screen2 : public QObject {
public:
    int calls = 0;
    void onlyOther(OtherControl*) { ++calls; }
};

TEST_F(ControlTest, MemberHandlersAreCalledInTheOrderTheyWereAdded)
{
    Screen screen;
    control->addTarget(&screen, &Screen::press, ControlEventTouchDown);
    control->addTarget(&screen, &Screen::release, ControlEventTouchUpInside | ControlEventTouchUpOutside);
    control->addTarget(&screen, &Screen::toggle, ControlEventTouchUpInside);
    fingers.tap(control, {5, 5});
    EXPECT_EQ(screen.calls, (Log{"press", "release", "toggle"}));

    // A handler whose sender type does not fit the control is not called.
    Screen2 typed;
    control->addTarget(&typed, &Screen2::onlyOther, ControlEventTouchDown);
    fingers.tap(control, {5, 5});
    EXPECT_EQ(typed.calls, 0);
}

TEST_F(ControlTest, RemovedAndDestroyedTargetsAreNotCalled)
{
    Screen kept;
    control->addTarget(&kept, &Screen::toggle, ControlEventTouchDown | ControlEventTouchUpInside);
    {
        Screen gone;
        control->addTarget(&gone, &Screen::toggle, ControlEventTouchDown);
    }
    control->removeTarget(&kept, ControlEventTouchDown);
    control->removeTarget(&recorder);
    fingers.tap(control, {5, 5});
    EXPECT_EQ(kept.calls, (Log{"toggle"})); // only its up-inside handler is left
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(ControlTest, HandlersChangedDuringAnEventTakeEffectFromTheNextEvent)
{
    Screen first, second, added;
    control->removeTarget(&recorder);
    control->addTarget(&first, Control::Action([&](Control* sender, Event*) {
        first.calls.push_back("first");
        sender->removeTarget(&second);
        sender->addTarget(&added, &Screen::toggle, ControlEventTouchDown);
    }), ControlEventTouchDown);
    control->addTarget(&second, &Screen::toggle, ControlEventTouchDown);
    // The event goes to the handlers there were when it began.
    control->sendActionsForControlEvents(ControlEventTouchDown);
    EXPECT_EQ(first.calls, (Log{"first"}));
    EXPECT_EQ(second.calls, (Log{"toggle"}));
    EXPECT_TRUE(added.calls.empty());
    control->sendActionsForControlEvents(ControlEventTouchDown);
    EXPECT_EQ(second.calls, (Log{"toggle"}));
    EXPECT_EQ(added.calls, (Log{"toggle"}));
}

TEST_F(ControlTest, AHandlerMayDeleteTheControlThatCalledIt)
{
    Screen screen;
    control->addTarget(&screen, Control::Action([this](Control* sender, Event*) { delete sender; control = nullptr; }),
                       ControlEventTouchDown);
    control->addTarget(&screen, &Screen::toggle, ControlEventTouchDown);
    fingers.tap(&window, {110, 110});
    EXPECT_EQ(control, nullptr);
    EXPECT_TRUE(screen.calls.empty());
}

TEST_F(ControlTest, ADisabledControlIgnoresFingersAndShowsItsState)
{
    control->setEnabled(false);
    fingers.tap(control, {5, 5});
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ(control->state(), ControlStateDisabled);
    control->setEnabled(true);
    control->setSelected(true);
    fingers.press(0, control, {5, 5});
    EXPECT_EQ(control->state(), ControlStateSelected | ControlStateHighlighted);
    fingers.release(0, control, {5, 5});
}

} // namespace
