// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Control.h"

#include <QEvent>
#include <algorithm>

namespace platform {

Control::Control(QWidget* parent) : View(parent) {}

void Control::addTarget(QObject* context, Action action, ControlEvents events)
{
    if (!action || events == 0)
        return;
    TargetAction entry;
    entry.target = context;
    entry.targetKey = context;
    entry.events = events;
    entry.action = std::move(action);
    actionsToChange().push_back(std::move(entry));
}

void Control::removeTarget(const QObject* target, ControlEvents events)
{
    TargetActions& actions = actionsToChange();
    for (TargetAction& entry : actions)
        if (entry.targetKey == target)
            entry.events &= ~events;
    actions.erase(std::remove_if(actions.begin(), actions.end(), [](const TargetAction& e) { return e.events == 0; }),
                  actions.end());
}

Control::TargetActions& Control::actionsToChange()
{
    // A dispatch under way walks the list it began with: it keeps that one.
    if (actions_.use_count() > 1)
        actions_ = std::make_shared<TargetActions>(*actions_);
    return *actions_;
}

ControlEvents Control::allControlEvents() const
{
    ControlEvents all = 0;
    for (const TargetAction& entry : *actions_)
        if (!entry.targetKey || entry.target)
            all |= entry.events;
    return all;
}

void Control::sendActionsForControlEvents(ControlEvents events, Event* event)
{
    Event empty;
    if (!event)
        event = &empty;
    // The list as it is now, kept alive by this hold even if a handler
    // changes it or deletes this control.
    const std::shared_ptr<const TargetActions> current = actions_;
    QPointer<Control> self(this);
    for (const TargetAction& entry : *current) {
        if (!self)
            return;
        if (!(entry.events & events))
            continue;
        if (entry.targetKey && !entry.target)
            continue;
        entry.action(this, event);
    }
}

ControlState Control::state() const
{
    ControlState state = ControlStateNormal;
    if (highlighted_)
        state |= ControlStateHighlighted;
    if (!isEnabled())
        state |= ControlStateDisabled;
    if (selected_)
        state |= ControlStateSelected;
    return state;
}

void Control::setHighlighted(bool highlighted)
{
    if (highlighted_ == highlighted)
        return;
    highlighted_ = highlighted;
    stateDidChange();
}

void Control::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    stateDidChange();
}

void Control::stateDidChange()
{
    update();
}

void Control::changeEvent(QEvent* event)
{
    View::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        stateDidChange();
}

bool Control::beginTrackingWithTouch(Touch*, Event*) { return true; }
bool Control::continueTrackingWithTouch(Touch*, Event*) { return true; }
void Control::endTrackingWithTouch(Touch*, Event*) {}
void Control::cancelTrackingWithEvent(Event*) {}

bool Control::isInside(const Touch* touch) const
{
    if (touchMargin_ == kEverywhereInside)
        return true;
    return QRectF(rect()).adjusted(-touchMargin_, -touchMargin_, touchMargin_, touchMargin_)
        .contains(touch->locationInView(this));
}

void Control::touchesBegan(const TouchSet& touches, Event* event)
{
    if (trackingTouch_ || touches.isEmpty())
        return;
    Touch* touch = touches.anyObject();
    trackingTouch_ = touch;
    touchInside_ = true;
    tracking_ = beginTrackingWithTouch(touch, event);
    setHighlighted(true);
    ControlEvents events = ControlEventTouchDown;
    if (touch->tapCount() > 1)
        events |= ControlEventTouchDownRepeat;
    sendActionsForControlEvents(events, event);
}

void Control::touchesMoved(const TouchSet& touches, Event* event)
{
    if (!trackingTouch_ || !touches.contains(trackingTouch_))
        return;
    const bool wasInside = touchInside_;
    touchInside_ = isInside(trackingTouch_);
    if (tracking_)
        tracking_ = continueTrackingWithTouch(trackingTouch_, event);
    setHighlighted(touchInside_);
    if (wasInside != touchInside_) {
        QPointer<Control> self(this);
        sendActionsForControlEvents(touchInside_ ? ControlEventTouchDragEnter : ControlEventTouchDragExit, event);
        if (!self)
            return;
    }
    sendActionsForControlEvents(touchInside_ ? ControlEventTouchDragInside : ControlEventTouchDragOutside, event);
}

void Control::touchesEnded(const TouchSet& touches, Event* event)
{
    if (!trackingTouch_ || !touches.contains(trackingTouch_))
        return;
    Touch* touch = trackingTouch_;
    touchInside_ = isInside(touch);
    if (tracking_)
        endTrackingWithTouch(touch, event);
    trackingTouch_ = nullptr;
    tracking_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(touchInside_ ? ControlEventTouchUpInside : ControlEventTouchUpOutside, event);
}

void Control::touchesCancelled(const TouchSet& touches, Event* event)
{
    if (!trackingTouch_ || !touches.contains(trackingTouch_))
        return;
    if (tracking_)
        cancelTrackingWithEvent(event);
    trackingTouch_ = nullptr;
    tracking_ = false;
    touchInside_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(ControlEventTouchCancel, event);
}

} // namespace platform
