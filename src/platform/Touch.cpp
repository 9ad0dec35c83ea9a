// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Touch.h"

#include <QLineF>

namespace platform {

Touch::Touch(QWidget* view, const QPointF& globalLocation, double timestamp, int tapCount, qreal tapSlop)
    : view_(view)
    , startGlobal_(globalLocation)
    , previousGlobal_(globalLocation)
    , global_(globalLocation)
    , timestamp_(timestamp)
    , tapCount_(tapCount)
    , tapSlop_(tapSlop)
{
}

QWidget* Touch::window() const
{
    return view_ ? view_->window() : nullptr;
}

QPointF Touch::mapToView(const QPointF& global, const QWidget* view) const
{
    if (!view)
        view = window();
    return view ? view->mapFromGlobal(global) : global;
}

QPointF Touch::locationInView(const QWidget* view) const
{
    return mapToView(global_, view);
}

QPointF Touch::previousLocationInView(const QWidget* view) const
{
    return mapToView(previousGlobal_, view);
}

void Touch::moveTo(const QPointF& globalLocation, double timestamp)
{
    previousGlobal_ = global_;
    global_ = globalLocation;
    timestamp_ = timestamp;
    // Once a finger has strayed beyond the slop it is no longer a tap, even if
    // it comes back to where it started. Measured in the view's points: the
    // screen's pixels may be several to a point.
    if (!movedBeyondSlop_ && QLineF(mapToView(startGlobal_, view_), mapToView(global_, view_)).length() > tapSlop_)
        movedBeyondSlop_ = true;
}

} // namespace platform
