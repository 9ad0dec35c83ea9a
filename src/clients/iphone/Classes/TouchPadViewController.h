// SPDX-License-Identifier: GPL-3.0-or-later
// TouchPadViewController: the touch pad screen (tab 0). A finger on the pad
// moves the pointer; a tap clicks 0.4 s after the lift unless a second tap
// makes it a double click; a tap followed by a drag holds the left button
// (drag lock). Left and right buttons, a wheel strip (one step per 10
// points, a tap is a middle click), the tab-bar control and the keyboard
// button. While its motion button is held, tilting the phone moves the
// pointer (motion mode). Two fingers on the pad scroll, and a tap of two
// fingers is a right click. The pointer speed, acceleration, scroll speed
// and direction come from the stored settings, read at each touch-down.
#pragma once

#include "PointerDelta.h"
#include "PointerMotion.h"
#include "PointerSettings.h"
#include "TwoFingerGesture.h"

#include "platform/Accelerometer.h"
#include "platform/Event.h"
#include "platform/ViewController.h"

#include <cstdint>
#include <memory>

namespace Ui {
class TouchPadScreen;
}
namespace platform {
class Button;
class Control;
class Timer;
} // namespace platform
class TouchPadView;

class TouchPadViewController : public platform::ViewController, public platform::AccelerometerDelegate {
    Q_OBJECT

public:
    explicit TouchPadViewController(QObject* parent = nullptr);
    ~TouchPadViewController() override;

    void loadView() override;
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    void sendMouseEvent(int16_t dx, int16_t dy);

    // The pad.
    void touchDown(platform::Control* sender, platform::Event* event);
    void touchDrag(platform::Control* sender, platform::Event* event);
    void touchUp(platform::Control* sender, platform::Event* event);
    // A pad touch taken away by the system: a held drag lock is let go.
    void touchCancel(platform::Control* sender, platform::Event* event);
    // Any finger on the pad, for gestures of two fingers: one came down or
    // lifted, fingers moved, the system took them away.
    void fingersChanged(platform::Control* sender, platform::Event* event);
    void fingersMoved(platform::Control* sender, platform::Event* event);
    void fingersCancelled(platform::Control* sender, platform::Event* event);
    void lbuttonClickHandleTimer(platform::Timer& timer);

    // The buttons.
    void lbuttonTouchDown(platform::Control* sender);
    void lbuttonTouchUp(platform::Control* sender);
    void rbuttonTouchDown(platform::Control* sender);
    void rbuttonTouchUp(platform::Control* sender);

    // The wheel strip.
    void wheelTouchDown(platform::Control* sender, platform::Event* event);
    void wheelDrag(platform::Control* sender, platform::Event* event);
    void wheelTouchUp(platform::Control* sender, platform::Event* event);

    void toggleTabBarChanged(platform::Control* sender, platform::Event* event);
    void showKeyboard(platform::Control* sender);

    // Motion mode.
    void startMotion(platform::Control* sender);
    void endMotion(platform::Control* sender);
    void didAccelerate(platform::Accelerometer* accelerometer, const platform::Acceleration& acceleration) override;

    // State, for the screen's tests and the main view.
    uint8_t buttonMask() const { return buttonMask_; }
    bool holdingLbutton() const { return holdingLbutton_; }
    bool isClickPending() const;
    bool isTwoFingerGestureActive() const { return twoFingers_.isActive(); }
    bool needSetBasis() const { return needSetBasis_; }
    // While set, the pad is the left button: a touch presses it, the lift
    // releases it and movement sends nothing. Cleared when the screen loads;
    // the app leaves it clear, so the pad keeps its ordinary behaviour
    // during motion mode.
    bool motionMode() const { return motionMode_; }
    void setMotionMode(bool on) { motionMode_ = on; }

    // The outlets of "TouchPadView".
    TouchPadView* touchPadView() const;
    platform::Button* leftButton() const;
    platform::Button* rightButton() const;
    platform::Button* wheelButton() const;
    platform::Button* motionButton() const;
    platform::Button* toggleTabBarButton() const;
    platform::Button* keyboardButton() const;

private:
    // The one touch a handler reads: any of the event's touches on `view`.
    static platform::Touch* touchIn(platform::Event* event, const QWidget* view);
    // The pad's touch. Only fingers on the pad itself count: a finger that
    // holds a button meanwhile is inside the screen too, but is not the pad's.
    platform::Touch* padTouch(platform::Event* event) const;
    // The fingers on the pad that have not lifted.
    QList<platform::Touch*> fingersOnPad(platform::Event* event) const;
    void cancelPendingClick();
    void forgetHeldBackMovement();
    void clickLeftButton();
    // `steps` wheel steps, positive towards the top of the pad or the strip,
    // turned by the scroll direction: one packet each.
    void sendWheelSteps(int steps, const PointerSettings& settings);

    std::unique_ptr<Ui::TouchPadScreen> ui_;

    FloatPoint oldPoint_;
    FloatPoint touchDownPoint_;
    FloatPoint wheelTouchDownPoint_;
    uint8_t buttonMask_ = 0;
    std::shared_ptr<platform::Timer> lbuttonClickTimer_;
    bool holdingLbutton_ = false;
    // The movement of a second tap still within the tap slop, not yet sent.
    int heldBackX_ = 0;
    int heldBackY_ = 0;
    FloatPoint oldWheelTouchPoint_;
    bool needSetBasis_ = false;
    double basisX_ = 0.0;
    double basisY_ = 0.0;
    bool motionMode_ = false;
    PointerMotion padMotion_;
    PointerSettings wheelSettings_;
    PointerSettings gestureSettings_;
    TwoFingerGesture twoFingers_;
};
