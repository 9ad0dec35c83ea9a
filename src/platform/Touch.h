// SPDX-License-Identifier: GPL-3.0-or-later
// One finger on the screen, from the moment it comes down until it lifts or
// is cancelled. The same Touch object is handed to every phase of that finger.
#pragma once

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QVarLengthArray>
#include <QWidget>

namespace platform {

enum class TouchPhase { Began, Moved, Stationary, Ended, Cancelled };

class Touch {
public:
    // `tapSlop`: how far, in the view's points, the finger may stray and
    // still be a tap (the platform's value when the finger came down).
    Touch(QWidget* view, const QPointF& globalLocation, double timestamp, int tapCount, qreal tapSlop);

    TouchPhase phase() const { return phase_; }
    // The view the finger came down on; it keeps receiving this touch.
    QWidget* view() const { return view_; }
    QWidget* window() const;
    // The location in the coordinates of `view`; null means the touch's window.
    QPointF locationInView(const QWidget* view) const;
    QPointF previousLocationInView(const QWidget* view) const;
    // 1 for a lone tap, n + 1 for a quick repeat of a tap, 0 once it has lifted
    // after moving too far to be a tap.
    int tapCount() const { return tapCount_; }
    // Seconds on the touch clock when the touch last changed.
    double timestamp() const { return timestamp_; }

    QPointF globalLocation() const { return global_; }
    QPointF startGlobalLocation() const { return startGlobal_; }
    bool movedBeyondTapSlop() const { return movedBeyondSlop_; }

    // Used by the touch tracker as the finger moves.
    void setPhase(TouchPhase phase) { phase_ = phase; }
    void moveTo(const QPointF& globalLocation, double timestamp);
    void setTapCount(int tapCount) { tapCount_ = tapCount; }
    void setTimestamp(double timestamp) { timestamp_ = timestamp; }

private:
    QPointF mapToView(const QPointF& global, const QWidget* view) const;

    QPointer<QWidget> view_;
    TouchPhase phase_ = TouchPhase::Began;
    QPointF startGlobal_;
    QPointF previousGlobal_;
    QPointF global_;
    double timestamp_ = 0;
    int tapCount_ = 1;
    qreal tapSlop_ = 0;
    bool movedBeyondSlop_ = false;
};

// A set of touches as an event hands them out; anyObject() picks one. A
// phone has a handful of fingers: they are held inline, so that handing a
// set on with every movement costs no allocation.
class TouchSet {
public:
    using Touches = QVarLengthArray<Touch*, 5>;

    TouchSet() = default;
    explicit TouchSet(Touches touches) : touches_(std::move(touches)) {}
    explicit TouchSet(const QList<Touch*>& touches) : touches_(touches.cbegin(), touches.cend()) {}

    Touch* anyObject() const { return touches_.isEmpty() ? nullptr : touches_.first(); }
    int count() const { return int(touches_.size()); }
    bool isEmpty() const { return touches_.isEmpty(); }
    bool contains(const Touch* touch) const { return touches_.contains(const_cast<Touch*>(touch)); }
    Touches::const_iterator begin() const { return touches_.cbegin(); }
    Touches::const_iterator end() const { return touches_.cend(); }

private:
    Touches touches_;
};

} // namespace platform
