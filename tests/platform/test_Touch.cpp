// SPDX-License-Identifier: GPL-3.0-or-later
// Touches through the platform layer: tap counts, several fingers at once,
// locations in any view, the mouse as one finger and real QTouchEvents.
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/TouchTracker.h"
#include "platform/View.h"

#include "support/platform/WindowSystemMouse.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTest>
#include <gtest/gtest.h>

using namespace platform;

namespace {

struct Seen {
    std::string phase;
    int tapCount;
    QPointF location;
    int touchesInEvent;
};

class RecordingView : public View {
public:
    using View::View;
    std::vector<Seen> seen;

    void touchesBegan(const TouchSet& touches, Event* event) override { record("began", touches, event); }
    void touchesMoved(const TouchSet& touches, Event* event) override { record("moved", touches, event); }
    void touchesEnded(const TouchSet& touches, Event* event) override { record("ended", touches, event); }
    void touchesCancelled(const TouchSet& touches, Event* event) override { record("cancelled", touches, event); }

    std::vector<std::string> phases() const
    {
        std::vector<std::string> result;
        for (const Seen& s : seen)
            result.push_back(s.phase);
        return result;
    }
    std::vector<int> tapCounts() const
    {
        std::vector<int> result;
        for (const Seen& s : seen)
            result.push_back(s.tapCount);
        return result;
    }

private:
    void record(const char* phase, const TouchSet& touches, Event* event)
    {
        for (Touch* touch : touches)
            seen.push_back({phase, touch->tapCount(), touch->locationInView(this), event->allTouches().count()});
    }
};

class TouchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TouchTracker::instance().forgetTaps();
        window.resize(320, 480);
        left = new RecordingView(&window);
        left->setGeometry(0, 0, 100, 100);
        right = new RecordingView(&window);
        right->setGeometry(150, 0, 100, 100);
        window.show();
    }

    double interval() const { return QGuiApplication::styleHints()->mouseDoubleClickInterval() / 1000.0; }

    ScopedManualClock clock;
    QWidget window;
    RecordingView* left = nullptr;
    RecordingView* right = nullptr;
    FingerSimulator fingers;
};

TEST_F(TouchTest, TapCountsFollowQuickRepeatsOnTheSameSpot)
{
    fingers.tap(left, {50, 50});
    clock.advance(interval() / 2);
    fingers.tap(left, {52, 51});
    clock.advance(interval() / 2);
    fingers.tap(left, {50, 50});
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "ended", "began", "ended", "began", "ended"}));
}

TEST_F(TouchTest, ATapTooLateOrTooFarAwayStartsAgainAtOne)
{
    fingers.tap(left, {50, 50});
    clock.advance(interval() + 0.05);
    fingers.tap(left, {50, 50});
    clock.advance(0.05);
    const qreal far = QGuiApplication::styleHints()->touchDoubleTapDistance() + 20;
    fingers.tap(left, {50 - far / 2, 50 + far / 2 + 5});
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1, 1, 1, 1, 1}));
}

TEST_F(TouchTest, ATapOnAnotherViewDoesNotContinueTheCount)
{
    fingers.tap(left, {95, 50});
    fingers.tap(right, {5, 50});
    EXPECT_EQ(right->tapCounts(), (std::vector<int>{1, 1}));
}

TEST_F(TouchTest, AMovedTouchKeepsItsCountWhileMovingAndLiftsWithZero)
{
    fingers.tap(left, {20, 20});
    clock.advance(0.1);
    fingers.press(0, left, {20, 20});
    fingers.move(0, left, {25, 21});
    fingers.move(0, left, {60, 40});
    fingers.release(0, left, {60, 40});
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "ended", "began", "moved", "moved", "ended"}));
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1, 2, 2, 2, 0}));

    // A moved touch ends the chain: the next quick tap is a lone tap again.
    left->seen.clear();
    fingers.tap(left, {60, 40});
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1}));
}

TEST_F(TouchTest, JitterWithinTheSlopIsStillATapButStrayingAndComingBackIsNot)
{
    const qreal slop = TouchTracker::instance().tapSlop();
    fingers.press(0, left, {50, 50});
    fingers.move(0, left, {50 + slop / 2, 50});
    fingers.release(0, left, {50, 50});
    ASSERT_EQ(left->seen.back().phase, "ended");
    EXPECT_EQ(left->seen.back().tapCount, 1);

    clock.advance(interval() + 0.1);
    fingers.press(0, left, {50, 50});
    fingers.move(0, left, {50, 50 + slop + 5});
    fingers.release(0, left, {50, 50});
    EXPECT_EQ(left->seen.back().tapCount, 0);
}

TEST_F(TouchTest, TwoFingersHoldTwoViewsAtOnceEachWithItsOwnTouch)
{
    fingers.press(0, left, {10, 10});
    fingers.press(1, right, {20, 30});
    ASSERT_EQ(left->seen.size(), 1u);
    ASSERT_EQ(right->seen.size(), 1u);
    EXPECT_EQ(left->seen[0].tapCount, 1);
    EXPECT_EQ(right->seen[0].tapCount, 1);
    EXPECT_EQ(right->seen[0].touchesInEvent, 2); // the event sees both fingers

    // Each view reads only its own finger from the shared event.
    Event event = TouchTracker::instance().eventNow();
    ASSERT_EQ(event.touchesForView(left).count(), 1);
    EXPECT_EQ(event.touchesForView(left).anyObject()->locationInView(left), QPointF(10, 10));
    EXPECT_EQ(event.touchesForView(right).anyObject()->locationInView(right), QPointF(20, 30));
    EXPECT_EQ(event.touchesForView(&window).count(), 2); // a view's touches include its subviews'

    fingers.move(1, right, {25, 30});
    fingers.release(0, left, {10, 10});
    fingers.release(1, right, {25, 30});
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "ended"}));
    EXPECT_EQ(right->phases(), (std::vector<std::string>{"began", "moved", "ended"}));
    EXPECT_TRUE(TouchTracker::instance().activeTouches().isEmpty());
}

TEST_F(TouchTest, LocationsAreExactInAnyViewAndTimestampsFollowTheClock)
{
    clock.advance(2.5);
    fingers.press(0, left, {10.5, 20.25});
    Touch* touch = TouchTracker::instance().eventNow().touchesForView(left).anyObject();
    ASSERT_NE(touch, nullptr);
    EXPECT_EQ(touch->locationInView(left), QPointF(10.5, 20.25));
    EXPECT_EQ(touch->locationInView(right), QPointF(-139.5, 20.25));
    EXPECT_EQ(touch->locationInView(nullptr), QPointF(10.5, 20.25)); // the window
    EXPECT_DOUBLE_EQ(touch->timestamp(), 2.5);
    fingers.move(0, left, {8.8, 21});
    EXPECT_EQ(touch->previousLocationInView(left), QPointF(10.5, 20.25));
    fingers.release(0, left, {8.8, 21});
}

TEST_F(TouchTest, ASecondFingerOnAViewIsIgnoredUnlessItTakesSeveral)
{
    fingers.press(0, left, {10, 10});
    fingers.press(1, left, {80, 80});
    fingers.release(1, left, {80, 80});
    fingers.release(0, left, {10, 10});
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "ended"}));

    left->seen.clear();
    left->setMultipleTouchEnabled(true);
    clock.advance(1);
    fingers.press(0, left, {10, 10});
    fingers.press(1, left, {80, 80});
    fingers.release(1, left, {80, 80});
    fingers.release(0, left, {10, 10});
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "began", "ended", "ended"}));
}

TEST_F(TouchTest, HidingAViewUnderAFingerCancelsItsTouch)
{
    fingers.press(0, left, {10, 10});
    left->hide();
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "cancelled"}));
    EXPECT_TRUE(TouchTracker::instance().activeTouches().isEmpty());
}

TEST_F(TouchTest, TheSystemCancellingTouchesReachesTheView)
{
    fingers.press(0, left, {10, 10});
    fingers.cancelAll();
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "cancelled"}));
}

TEST_F(TouchTest, TheMouseActsAsOneFinger)
{
    QTest::mousePress(left, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QTest::mouseMove(left, QPoint(31, 30));
    QTest::mouseRelease(left, Qt::LeftButton, Qt::NoModifier, QPoint(31, 30));
    QTest::mouseClick(left, Qt::LeftButton, Qt::NoModifier, QPoint(31, 30));
    // A right button is not a finger.
    QTest::mouseClick(left, Qt::RightButton, Qt::NoModifier, QPoint(31, 30));
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "moved", "ended", "began", "ended"}));
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1, 1, 2, 2}));
}

// The window system delivers the second of two quick clicks as a double-click
// event in place of its press; the view must see it as the next touch.
TEST_F(TouchTest, ADoubleClickEventIsTheSecondTouchOfADoubleTap)
{
    const QPoint at(30, 30);
    auto send = [&](QEvent::Type type) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, left->mapToGlobal(at), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(left, &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    // The window system timed the pair by its own clock: even if handling the
    // events took longer than the interval, the second press repeats the tap.
    clock.advance(interval() + 0.2);
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "ended", "began", "ended"}));
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1, 2, 2}));
    EXPECT_TRUE(TouchTracker::instance().activeTouches().isEmpty());

    // A double-click event on another view is not a repeat of a tap it never had.
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    QMouseEvent onRight(QEvent::MouseButtonDblClick, QPointF(5, 5), right->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(right, &onRight);
    ASSERT_EQ(right->seen.size(), 1u);
    EXPECT_EQ(right->seen[0].tapCount, 1);
}

// The same through Qt's own handling of the window system's events: two
// presses 120 ms apart on one spot, the second made a double click by Qt.
TEST_F(TouchTest, TwoQuickClicksFromTheWindowSystemAreTwoTouches)
{
    ASSERT_NE(window.windowHandle(), nullptr);
    WindowSystemMouse mouse(window.windowHandle());
    const QPoint at(40, 40);
    mouse.press(at);
    mouse.release(at, 60);
    mouse.press(at, 60);
    mouse.release(at, 60);
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "ended", "began", "ended"}));
    EXPECT_EQ(left->tapCounts(), (std::vector<int>{1, 1, 2, 2}));
}

TEST_F(TouchTest, RealTouchScreenEventsReachTheViewUnderEachFinger)
{
    QPointingDevice* device = QTest::createTouchDevice();
    QTest::touchEvent(&window, device).press(0, QPoint(40, 40), &window).press(1, QPoint(160, 10), &window);
    QTest::touchEvent(&window, device).move(0, QPoint(45, 40), &window).stationary(1);
    QTest::touchEvent(&window, device).release(0, QPoint(45, 40), &window).release(1, QPoint(160, 10), &window);
    EXPECT_EQ(left->phases(), (std::vector<std::string>{"began", "moved", "ended"}));
    EXPECT_EQ(right->phases(), (std::vector<std::string>{"began", "ended"}));
    ASSERT_FALSE(right->seen.empty());
    EXPECT_EQ(right->seen[0].location, QPointF(10, 10));
}

} // namespace
