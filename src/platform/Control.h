// SPDX-License-Identifier: GPL-3.0-or-later
// A view with target-action: it follows one finger, keeps its highlighted,
// selected and disabled states, and reports touch-down, drags, lifts and
// cancels (and its own application-defined events) to handlers that receive
// (sender, event).
#pragma once

#include "platform/ControlEvents.h"
#include "platform/View.h"

#include <QPointer>
#include <functional>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

namespace platform {

class Control : public View {
    Q_OBJECT
    Q_PROPERTY(bool selected READ isSelected WRITE setSelected)
    Q_PROPERTY(bool highlighted READ isHighlighted WRITE setHighlighted)

public:
    using Action = std::function<void(Control* sender, Event* event)>;

    explicit Control(QWidget* parent = nullptr);

    // Handlers: a member function taking (sender, event), (sender) or nothing,
    // where sender may be any QObject type the control is; or a callable
    // taking (Control*, Event*) with a context object that owns it. A handler
    // is dropped when its target is destroyed.
    template <class T, class S>
    void addTarget(T* target, void (T::*action)(S*, Event*), ControlEvents events);
    template <class T, class S>
    void addTarget(T* target, void (T::*action)(S*), ControlEvents events);
    template <class T>
    void addTarget(T* target, void (T::*action)(), ControlEvents events);
    void addTarget(QObject* context, Action action, ControlEvents events);

    // Removes every handler of `target` for the given events (all by default).
    void removeTarget(const QObject* target, ControlEvents events = ControlEventAllEvents);
    ControlEvents allControlEvents() const;

    // Calls, in the order they were added, every handler registered for any
    // of the events, before it returns.
    void sendActionsForControlEvents(ControlEvents events, Event* event = nullptr);

    ControlState state() const;
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    // How far outside its bounds a finger still counts as inside the control.
    int touchMargin() const { return touchMargin_; }
    // The margin of a control for which a finger, once down on it, is inside
    // wherever it goes (its location is then not even looked at).
    static constexpr int kEverywhereInside = std::numeric_limits<int>::max();
    void setTouchMargin(int margin) { touchMargin_ = margin; }

    virtual bool beginTrackingWithTouch(Touch* touch, Event* event);
    virtual bool continueTrackingWithTouch(Touch* touch, Event* event);
    virtual void endTrackingWithTouch(Touch* touch, Event* event);
    virtual void cancelTrackingWithEvent(Event* event);

    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

protected:
    // Called whenever highlighted, selected or enabled changes; repaints by default.
    virtual void stateDidChange();
    void changeEvent(QEvent* event) override;

private:
    struct TargetAction {
        QPointer<QObject> target;
        const QObject* targetKey = nullptr;
        ControlEvents events = 0;
        Action action;
    };
    bool isInside(const Touch* touch) const;
    template <class S>
    static S* senderAs(Control* sender);

    using TargetActions = std::vector<TargetAction>;
    // Shared with the dispatches under way: each walks the list as it was
    // when it began (handlers added meanwhile wait for the next event), so
    // that a handler may add or remove handlers, or delete this control, and
    // an event costs no copy of the list. A change makes a new list while a
    // dispatch holds the old one.
    std::shared_ptr<TargetActions> actions_ = std::make_shared<TargetActions>();
    TargetActions& actionsToChange();
    Touch* trackingTouch_ = nullptr;
    bool tracking_ = false;
    bool touchInside_ = false;
    bool highlighted_ = false;
    bool selected_ = false;
    int touchMargin_ = 70;
};

template <class S>
S* Control::senderAs(Control* sender)
{
    static_assert(std::is_base_of_v<QObject, S>, "a sender is a QObject");
    return dynamic_cast<S*>(sender);
}

template <class T, class S>
void Control::addTarget(T* target, void (T::*action)(S*, Event*), ControlEvents events)
{
    addTarget(target, Action([target, action](Control* sender, Event* event) {
        if (S* typed = senderAs<S>(sender))
            (target->*action)(typed, event);
    }), events);
}

template <class T, class S>
void Control::addTarget(T* target, void (T::*action)(S*), ControlEvents events)
{
    addTarget(target, Action([target, action](Control* sender, Event*) {
        if (S* typed = senderAs<S>(sender))
            (target->*action)(typed);
    }), events);
}

template <class T>
void Control::addTarget(T* target, void (T::*action)(), ControlEvents events)
{
    addTarget(target, Action([target, action](Control*, Event*) { (target->*action)(); }), events);
}

} // namespace platform
