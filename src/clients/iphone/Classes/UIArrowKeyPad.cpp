// SPDX-License-Identifier: GPL-3.0-or-later
#include "UIArrowKeyPad.h"

#include "KeyCapLook.h"

#include "platform/Event.h"
#include "platform/Theme.h"
#include "platform/Timer.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {
constexpr double kRepeatDelay = 0.5;
constexpr double kRepeatInterval = 0.1;
constexpr float kStep = 50.0f;

int16_t steps(float from, float to)
{
    // Truncated toward zero, then taken as a 16-bit value as the pad always has.
    return static_cast<int16_t>(static_cast<int32_t>(std::trunc((to - from) / kStep)));
}
} // namespace

UIArrowKeyPad::UIArrowKeyPad(QWidget* parent) : platform::Button(Custom, parent)
{
    setAdjustsImageWhenHighlighted(false);
}

UIArrowKeyPad::~UIArrowKeyPad()
{
    stopRepeatStartTimer();
    stopRepeatTimer();
}

int32_t UIArrowKeyPad::calcDirection(float x0, float y0, float x1, float y1)
{
    const int16_t dy = steps(y0, y1);
    const int16_t dx = steps(x0, x1);
    if (dx == 0 && dy == 0)
        return DirectionNone;
    if (std::abs(dy) > std::abs(dx))
        return dy < 0 ? DirectionUp : DirectionDown;
    return dx < 0 ? DirectionLeft : DirectionRight;
}

int32_t UIArrowKeyPad::calcDirection(const QPointF& start, const QPointF& end)
{
    return calcDirection(float(start.x()), float(start.y()), float(end.x()), float(end.y()));
}

QPointF UIArrowKeyPad::pointOf(const platform::TouchSet& touches, platform::Event* event) const
{
    platform::Touch* touch = event ? event->touchesForView(this).anyObject() : nullptr;
    if (!touch)
        touch = touches.anyObject();
    return touch ? touch->locationInView(this) : QPointF();
}

void UIArrowKeyPad::fire()
{
    sendActionsForControlEvents(ControlEventArrowKey);
}

void UIArrowKeyPad::stopRepeatStartTimer()
{
    if (repeatStartTimer_) {
        repeatStartTimer_->invalidate();
        repeatStartTimer_ = nullptr;
    }
}

void UIArrowKeyPad::stopRepeatTimer()
{
    if (repeatTimer_) {
        repeatTimer_->invalidate();
        repeatTimer_ = nullptr;
    }
}

void UIArrowKeyPad::touchesBegan(const platform::TouchSet& touches, platform::Event* event)
{
    platform::Button::touchesBegan(touches, event);
    arrowPreviousPoint_ = pointOf(touches, event);
}

void UIArrowKeyPad::touchesMoved(const platform::TouchSet& touches, platform::Event* event)
{
    platform::Button::touchesMoved(touches, event);
    if (repeatTimer_)
        return; // a running repeat keeps its direction
    direction_ = calcDirection(arrowPreviousPoint_, pointOf(touches, event));
    if (direction_ == DirectionNone)
        return;
    stopRepeatStartTimer();
    repeatStartTimer_ = platform::Timer::scheduledTimer(kRepeatDelay, false, [this] { invokeRepeatStart(); });
    repeatDirection_ = direction_;
}

void UIArrowKeyPad::touchesEnded(const platform::TouchSet& touches, platform::Event* event)
{
    platform::Button::touchesEnded(touches, event);
    if (repeatTimer_) {
        pressed_ = false;
        direction_ = repeatDirection_;
        fire();
        stopRepeatTimer();
        return;
    }
    stopRepeatStartTimer();
    direction_ = calcDirection(arrowPreviousPoint_, pointOf(touches, event));
    if (direction_ != DirectionNone) {
        pressed_ = true;
        fire();
        pressed_ = false;
        fire();
    }
}

void UIArrowKeyPad::touchesCancelled(const platform::TouchSet& touches, platform::Event* event)
{
    platform::Button::touchesCancelled(touches, event);
    // A cancelled touch is no swipe: nothing is struck, but a running repeat
    // gets its key up, or the receiver would hold the arrow key for ever.
    stopRepeatStartTimer();
    if (repeatTimer_) {
        pressed_ = false;
        direction_ = repeatDirection_;
        fire();
        stopRepeatTimer();
    }
}

void UIArrowKeyPad::invokeRepeatStart()
{
    repeatStartTimer_ = nullptr;
    stopRepeatTimer();
    repeatTimer_ = platform::Timer::scheduledTimer(kRepeatInterval, true, [this] { invokeRepeat(); });
}

void UIArrowKeyPad::invokeRepeat()
{
    pressed_ = true;
    direction_ = repeatDirection_;
    fire();
}

void UIArrowKeyPad::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    keycap::paint(painter, rect(), isHighlighted() ? keycap::Face::Pressed : keycap::Face::Special);
    // Four chevrons around a dot: swipe any way.
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QRectF(rect()).center();
    painter.setPen(QPen(keycap::ink(), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal reach = qMin(width(), height()) / 2.0 - 10, arm = 5;
    auto chevron = [&](QPointF tip, QPointF back) {
        const QPointF side(back.y() == 0 ? 0 : arm, back.x() == 0 ? 0 : arm);
        painter.drawPolyline(QPolygonF{tip + back + side, tip, tip + back - side});
    };
    const qreal wide = reach * 2.2;
    chevron(c + QPointF(0, -reach), QPointF(0, arm));
    chevron(c + QPointF(0, reach), QPointF(0, -arm));
    chevron(c + QPointF(-wide, 0), QPointF(arm, 0));
    chevron(c + QPointF(wide, 0), QPointF(-arm, 0));
    painter.setBrush(keycap::ink());
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(c, 2.5, 2.5);
}
