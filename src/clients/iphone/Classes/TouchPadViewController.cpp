// SPDX-License-Identifier: GPL-3.0-or-later
#include "TouchPadViewController.h"

#include "NotificationNames.h"
#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "SoundServer.h"
#include "TouchPadLook.h"
#include "TouchPadView.h"
#include "ui_TouchPadView.h"

#include "platform/Button.h"
#include "platform/GrowingForm.h"
#include "platform/NotificationCenter.h"
#include "platform/Timer.h"
#include "platform/TouchTracker.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

using platform::Control;
using platform::ControlEventTouchCancel;
using platform::ControlEventTouchDown;
using platform::ControlEventTouchDragInside;
using platform::ControlEventTouchDragOutside;
using platform::ControlEventTouchUpInside;
using platform::ControlEventTouchUpOutside;
using platform::Event;
using platform::NotificationCenter;
using platform::Timer;
using platform::Touch;

namespace {

constexpr double kSingleTapClickDelay = 0.4; // seconds from the lift to the click
constexpr double kMotionUpdateInterval = 0.1;
constexpr double kMotionBasisX = 0.0;
constexpr double kMotionBasisY = -0.3; // top edge raised: 0.3 g along y
constexpr int kKeyboardTab = 1;

constexpr platform::ControlEvents kDrag = ControlEventTouchDragInside | ControlEventTouchDragOutside;
constexpr platform::ControlEvents kLift = ControlEventTouchUpInside | ControlEventTouchUpOutside;

// Held-back movement sent as one packet: held at the field's ends.
int16_t clampedToInt16(int value)
{
    constexpr int kLow = std::numeric_limits<int16_t>::min();
    constexpr int kHigh = std::numeric_limits<int16_t>::max();
    return int16_t(std::clamp(value, kLow, kHigh));
}

// Points per sample for a tilt of `reading - basis` g: 0.02 n (n + 1) for n
// whole hundredths of g, so small tilts creep and large ones race.
double motionSpeed(double reading, double basis)
{
    const double d = (reading - basis) * 100.0;
    const double n = std::trunc(std::fabs(d));
    const double t = n * 0.02;
    const double speed = t + n * t;
    return d < 0 ? -speed : speed;
}

} // namespace

TouchPadViewController::TouchPadViewController(QObject* parent)
    : platform::ViewController(QStringLiteral("TouchPadView"), parent)
{
}

TouchPadViewController::~TouchPadViewController()
{
    auto& accelerometer = platform::Accelerometer::sharedAccelerometer();
    if (accelerometer.delegate() == this)
        accelerometer.setDelegate(nullptr);
    if (lbuttonClickTimer_)
        lbuttonClickTimer_->invalidate();
}

void TouchPadViewController::loadView()
{
    ui_ = std::make_unique<Ui::TouchPadScreen>();
    loadViewFromForm(*ui_);
    applyTouchPadLook(*ui_);
    // On a taller phone the pad and the wheel strip take the extra height;
    // the buttons keep their size at the bottom, the top row at the top.
    new platform::GrowingForm(view());
}

void TouchPadViewController::viewDidLoad()
{
    holdingLbutton_ = false;
    motionMode_ = false;

    ui_->touchPad->addTarget(this, &TouchPadViewController::touchDown, ControlEventTouchDown);
    ui_->touchPad->addTarget(this, &TouchPadViewController::touchDrag, kDrag);
    ui_->touchPad->addTarget(this, &TouchPadViewController::touchUp, kLift);
    ui_->touchPad->addTarget(this, &TouchPadViewController::touchCancel, ControlEventTouchCancel);
    ui_->touchPad->addTarget(this, &TouchPadViewController::fingersChanged,
                            TouchPadView::ControlEventFingerDown | TouchPadView::ControlEventFingerUp);
    ui_->touchPad->addTarget(this, &TouchPadViewController::fingersMoved, TouchPadView::ControlEventFingerMoved);
    ui_->touchPad->addTarget(this, &TouchPadViewController::fingersCancelled,
                            TouchPadView::ControlEventFingersCancelled);

    // A button taken away mid-press is released, or the receiver would keep it held.
    ui_->leftButton->addTarget(this, &TouchPadViewController::lbuttonTouchDown, ControlEventTouchDown);
    ui_->leftButton->addTarget(this, &TouchPadViewController::lbuttonTouchUp, kLift | ControlEventTouchCancel);
    ui_->rightButton->addTarget(this, &TouchPadViewController::rbuttonTouchDown, ControlEventTouchDown);
    ui_->rightButton->addTarget(this, &TouchPadViewController::rbuttonTouchUp, kLift | ControlEventTouchCancel);

    ui_->wheelButton->addTarget(this, &TouchPadViewController::wheelTouchDown, ControlEventTouchDown);
    ui_->wheelButton->addTarget(this, &TouchPadViewController::wheelDrag, kDrag);
    ui_->wheelButton->addTarget(this, &TouchPadViewController::wheelTouchUp, kLift);

    ui_->motionButton->addTarget(this, &TouchPadViewController::startMotion, ControlEventTouchDown);
    ui_->motionButton->addTarget(this, &TouchPadViewController::endMotion, kLift | ControlEventTouchCancel);

    ui_->toggleTabBarButton->addTarget(this, &TouchPadViewController::toggleTabBarChanged, ControlEventTouchUpInside);
    ui_->keyboardButton->addTarget(this, &TouchPadViewController::showKeyboard, ControlEventTouchUpInside);
}

void TouchPadViewController::viewDidAppear(bool animated)
{
    platform::ViewController::viewDidAppear(animated);
    buttonMask_ = 0;
}

void TouchPadViewController::sendMouseEvent(int16_t dx, int16_t dy)
{
    remote_sendMouseEvent(buttonMask_, dx, dy);
}

Touch* TouchPadViewController::touchIn(Event* event, const QWidget* view)
{
    return event ? event->anyTouchForView(view) : nullptr;
}

Touch* TouchPadViewController::padTouch(Event* event) const
{
    return touchIn(event, ui_->touchPad);
}

QList<Touch*> TouchPadViewController::fingersOnPad(Event* event) const
{
    QList<Touch*> fingers;
    if (!event)
        return fingers;
    for (Touch* touch : event->touchesForView(ui_->touchPad))
        if (touch->phase() != platform::TouchPhase::Ended && touch->phase() != platform::TouchPhase::Cancelled)
            fingers.append(touch);
    return fingers;
}

bool TouchPadViewController::isClickPending() const
{
    return lbuttonClickTimer_ != nullptr;
}

void TouchPadViewController::cancelPendingClick()
{
    lbuttonClickTimer_->invalidate();
    lbuttonClickTimer_.reset();
}

void TouchPadViewController::forgetHeldBackMovement()
{
    heldBackX_ = 0;
    heldBackY_ = 0;
}

void TouchPadViewController::clickLeftButton()
{
    lbuttonTouchDown(nullptr);
    lbuttonTouchUp(nullptr);
}

// --- The pad ---------------------------------------------------------------

void TouchPadViewController::touchDown(Control*, Event* event)
{
    Touch* touch = padTouch(event);
    if (!touch)
        return;
    if (motionMode_) {
        lbuttonTouchDown(nullptr);
        return;
    }
    oldPoint_ = FloatPoint::from(touch->locationInView(view()));
    touchDownPoint_ = oldPoint_;
    padMotion_.begin(PointerSettings::current());
    forgetHeldBackMovement();
}

void TouchPadViewController::touchDrag(Control*, Event* event)
{
    Touch* touch = padTouch(event);
    // While two fingers are down the pointer rests: a finger that joins
    // makes no jump, and the slide scrolls instead.
    if (!touch || motionMode_ || twoFingers_.isActive())
        return;
    const int tapCount = touch->tapCount();
    const FloatPoint p = FloatPoint::from(touch->locationInView(view()));
    const PointerMotion::Delta delta = padMotion_.move(oldPoint_, p);
    oldPoint_ = p;

    // Drag lock: the second tap of a double tap that slides holds the left
    // button instead of clicking. While it is within the tap slop it may
    // still be the double click, so its movement is held back; once it goes
    // beyond, the button goes down first and the held-back movement follows
    // with it held, so that the drag grabs where the finger came down. A
    // second tap that only trembles ends as the double click, nothing moved.
    if (tapCount == 2 && !holdingLbutton_ && isClickPending()) {
        if (!touch->movedBeyondTapSlop()) {
            heldBackX_ += delta.dx;
            heldBackY_ += delta.dy;
            return;
        }
        cancelPendingClick();
        lbuttonTouchDown(nullptr);
        holdingLbutton_ = true;
        if (heldBackX_ != 0 || heldBackY_ != 0)
            sendMouseEvent(clampedToInt16(heldBackX_), clampedToInt16(heldBackY_));
        forgetHeldBackMovement();
    }
    sendMouseEvent(delta.dx, delta.dy);
}

void TouchPadViewController::touchUp(Control*, Event* event)
{
    Touch* touch = padTouch(event);
    if (!touch)
        return;
    const int tapCount = touch->tapCount();
    const FloatPoint p = FloatPoint::from(touch->locationInView(view()));
    // Movement held back from a second tap is never sent: lifted within the
    // slop, the touch is the double click.
    forgetHeldBackMovement();
    if (twoFingers_.isActive()) {
        // The gesture of the fingers decides at the last lift; only a drag
        // lock this finger held ends with it.
        if (holdingLbutton_) {
            lbuttonTouchUp(nullptr);
            holdingLbutton_ = false;
        }
        return;
    }
    RemoteProtocolUtils::checkConnection();

    if (motionMode_) {
        lbuttonTouchUp(nullptr);
        return;
    }
    switch (tapCount) {
    case 0:
        if (holdingLbutton_) {
            lbuttonTouchUp(nullptr);
            holdingLbutton_ = false;
        }
        break;
    case 1:
        // Only a tap that did not move at all clicks.
        if (p == touchDownPoint_) {
            lbuttonClickTimer_ = Timer::scheduledTimer(kSingleTapClickDelay, false,
                                                      [this](Timer& timer) { lbuttonClickHandleTimer(timer); });
        }
        break;
    case 2:
        if (isClickPending()) {
            cancelPendingClick();
            clickLeftButton(); // the first tap's click, not yet sent
        }
        clickLeftButton();
        break;
    default:
        break; // a third quick tap is nothing
    }
}

void TouchPadViewController::touchCancel(Control*, Event*)
{
    forgetHeldBackMovement();
    if (holdingLbutton_) {
        lbuttonTouchUp(nullptr);
        holdingLbutton_ = false;
    }
}

// --- Two fingers ---------------------------------------------------------------

void TouchPadViewController::fingersChanged(Control*, Event* event)
{
    if (motionMode_)
        return;
    switch (twoFingers_.fingersChanged(fingersOnPad(event), view())) {
    case TwoFingerGesture::Change::Began:
        gestureSettings_ = PointerSettings::current();
        break;
    case TwoFingerGesture::Change::Tapped:
        // Neither finger's lift is the first tap of a double tap.
        platform::TouchTracker::instance().forgetTaps();
        rbuttonTouchDown(nullptr);
        rbuttonTouchUp(nullptr);
        break;
    case TwoFingerGesture::Change::Slid:
        platform::TouchTracker::instance().forgetTaps();
        RemoteProtocolUtils::checkConnection();
        break;
    case TwoFingerGesture::Change::None:
        break;
    }
}

void TouchPadViewController::fingersMoved(Control*, Event* event)
{
    // One finger moves the pointer: the wheel's gesture has not begun.
    if (motionMode_ || !twoFingers_.isActive())
        return;
    sendWheelSteps(twoFingers_.fingersMoved(fingersOnPad(event), view(), gestureSettings_.wheelStepPoints()),
                   gestureSettings_);
}

void TouchPadViewController::fingersCancelled(Control*, Event*)
{
    twoFingers_.cancel();
}

void TouchPadViewController::sendWheelSteps(int steps, const PointerSettings& settings)
{
    if (steps == 0)
        return;
    const bool up = (steps > 0) != settings.naturalScrolling;
    const uint8_t direction = up ? REMOTE_WHEEL_UP : REMOTE_WHEEL_DOWN;
    for (int i = std::abs(steps); i > 0; --i)
        remote_sendMouseEvent(buttonMask_ | direction, 0, 0);
    play_keypress();
}

void TouchPadViewController::lbuttonClickHandleTimer(Timer& timer)
{
    clickLeftButton();
    // Only the timer the field refers to is forgotten: a newer pending click
    // must stay cancellable by the double tap that follows it.
    if (lbuttonClickTimer_.get() == &timer)
        lbuttonClickTimer_.reset();
}

// --- The buttons -------------------------------------------------------------

void TouchPadViewController::lbuttonTouchDown(Control*)
{
    buttonMask_ |= REMOTE_BUTTON_LEFT;
    sendMouseEvent(0, 0);
    play_mouse_buttonpress();
}

void TouchPadViewController::lbuttonTouchUp(Control*)
{
    RemoteProtocolUtils::checkConnection();
    buttonMask_ &= uint8_t(~REMOTE_BUTTON_LEFT);
    sendMouseEvent(0, 0);
    play_mouse_buttonrelease();
}

void TouchPadViewController::rbuttonTouchDown(Control*)
{
    buttonMask_ |= REMOTE_BUTTON_RIGHT;
    sendMouseEvent(0, 0);
    play_mouse_buttonpress();
}

void TouchPadViewController::rbuttonTouchUp(Control*)
{
    RemoteProtocolUtils::checkConnection();
    buttonMask_ &= uint8_t(~REMOTE_BUTTON_RIGHT);
    sendMouseEvent(0, 0);
    play_mouse_buttonrelease();
}

// --- The wheel strip ---------------------------------------------------------

void TouchPadViewController::wheelTouchDown(Control*, Event* event)
{
    Touch* touch = touchIn(event, ui_->wheelButton);
    if (!touch)
        return;
    oldWheelTouchPoint_ = FloatPoint::from(touch->locationInView(ui_->wheelButton));
    wheelTouchDownPoint_ = oldWheelTouchPoint_;
    wheelSettings_ = PointerSettings::current();
}

void TouchPadViewController::wheelDrag(Control*, Event* event)
{
    Touch* touch = touchIn(event, ui_->wheelButton);
    if (!touch)
        return;
    const FloatPoint p = FloatPoint::from(touch->locationInView(ui_->wheelButton));
    const int16_t steps =
        truncatedToInt16(double((oldWheelTouchPoint_.y - p.y) / wheelSettings_.wheelStepPoints()));
    // Slow movement adds up: the reference stays until a whole step is made.
    if (steps == 0)
        return;
    // One step per event, however far the finger went.
    sendWheelSteps(steps > 0 ? 1 : -1, wheelSettings_);
    oldWheelTouchPoint_ = p;
}

void TouchPadViewController::wheelTouchUp(Control*, Event* event)
{
    RemoteProtocolUtils::checkConnection();
    Touch* touch = touchIn(event, ui_->wheelButton);
    if (touch) {
        const FloatPoint p = FloatPoint::from(touch->locationInView(ui_->wheelButton));
        if (p == wheelTouchDownPoint_ && touch->tapCount() == 1) {
            remote_sendMouseEvent(buttonMask_ | REMOTE_BUTTON_MIDDLE, 0, 0);
            remote_sendMouseEvent(buttonMask_ & uint8_t(~REMOTE_BUTTON_MIDDLE), 0, 0);
            play_keypress();
        }
    }
    play_keyrelease();
}

// --- Notifications -----------------------------------------------------------

void TouchPadViewController::toggleTabBarChanged(Control*, Event*)
{
    NotificationCenter::defaultCenter().postNotification(notification::kToggleTabBar);
}

void TouchPadViewController::showKeyboard(Control*)
{
    NotificationCenter::defaultCenter().postNotification(notification::kGotoTabBar, kKeyboardTab);
}

// --- Motion mode -------------------------------------------------------------

void TouchPadViewController::startMotion(Control*)
{
    RemoteProtocolUtils::checkConnection();
    needSetBasis_ = true;
    auto& accelerometer = platform::Accelerometer::sharedAccelerometer();
    accelerometer.setUpdateInterval(kMotionUpdateInterval);
    accelerometer.setDelegate(this);
}

void TouchPadViewController::endMotion(Control*)
{
    platform::Accelerometer::sharedAccelerometer().setDelegate(nullptr);
}

void TouchPadViewController::didAccelerate(platform::Accelerometer*, const platform::Acceleration& acceleration)
{
    if (!remote_is_connected())
        return;
    if (needSetBasis_) {
        needSetBasis_ = false;
        basisX_ = kMotionBasisX;
        basisY_ = kMotionBasisY;
        return;
    }
    const int16_t dx = truncatedToInt16(motionSpeed(acceleration.x, basisX_));
    const int16_t dy = truncatedToInt16(motionSpeed(acceleration.y, basisY_));
    if (dx == 0 && dy == 0)
        return;
    sendMouseEvent(dx, dy);
}

// --- Outlets -----------------------------------------------------------------

TouchPadView* TouchPadViewController::touchPadView() const { return ui_ ? ui_->touchPad : nullptr; }
platform::Button* TouchPadViewController::leftButton() const { return ui_ ? ui_->leftButton : nullptr; }
platform::Button* TouchPadViewController::rightButton() const { return ui_ ? ui_->rightButton : nullptr; }
platform::Button* TouchPadViewController::wheelButton() const { return ui_ ? ui_->wheelButton : nullptr; }
platform::Button* TouchPadViewController::motionButton() const { return ui_ ? ui_->motionButton : nullptr; }
platform::Button* TouchPadViewController::toggleTabBarButton() const { return ui_ ? ui_->toggleTabBarButton : nullptr; }
platform::Button* TouchPadViewController::keyboardButton() const { return ui_ ? ui_->keyboardButton : nullptr; }
