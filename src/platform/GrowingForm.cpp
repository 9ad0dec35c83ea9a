// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/GrowingForm.h"

#include <QEvent>
#include <QHash>

#include <cmath>

namespace platform {

GrowingForm::GrowingForm(QWidget* form, Widths widths)
    : QObject(form), form_(form), design_(form->size()), widths_(widths)
{
    // Parents come before their children, so that a child is laid out in
    // its parent's new size.
    QHash<const QWidget*, int> indexOf;
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        Placed placed;
        placed.widget = widget;
        placed.design = widget->geometry();
        placed.follow = followOf(*widget);
        placed.bonus = widget->property(kBonusProperty).toInt();
        placed.parent = indexOf.value(widget->parentWidget(), -1);
        indexOf.insert(widget, int(placed_.size()));
        placed_.push_back(placed);
    }
    form->installEventFilter(this);
}

GrowingForm::Follow GrowingForm::followOf(const QWidget& widget)
{
    const QString rule = widget.property(kHeightProperty).toString();
    if (rule == QLatin1String("stretch"))
        return Follow::Stretches;
    if (rule == QLatin1String("bottom"))
        return Follow::Bottom;
    if (rule == QLatin1String("middle"))
        return Follow::Middle;
    return Follow::Stays;
}

void GrowingForm::layOut()
{
    layingOut_ = true;
    for (const Placed& placed : placed_) {
        QWidget* widget = placed.widget;
        // A widget another owner took away is no longer the form's.
        if (!widget || (placed.parent < 0 && widget->parentWidget() != form_))
            continue;
        const QWidget* parent = placed.parent < 0 ? form_ : placed_[std::size_t(placed.parent)].widget.data();
        const QSize parentDesign = placed.parent < 0 ? design_ : placed_[std::size_t(placed.parent)].design.size();
        if (!parent || parentDesign.isEmpty())
            continue;
        QRect frame = widget->geometry();
        const int grown = parent->height() - parentDesign.height();
        const int extra = grown > 0 ? grown + placed.bonus : grown;
        switch (placed.follow) {
        case Follow::Stays:
            break;
        case Follow::Stretches:
            frame.setRect(frame.x(), placed.design.y(), frame.width(), placed.design.height() + extra);
            break;
        case Follow::Bottom:
            frame.moveTop(placed.design.y() + extra);
            break;
        case Follow::Middle:
            frame.moveTop(placed.design.y() + extra / 2);
            break;
        }
        if (widths_ == Widths::Proportional) {
            // Edges scaled, then rounded: neighbours stay edge to edge.
            const double scale = double(parent->width()) / parentDesign.width();
            const int left = int(std::lround(placed.design.left() * scale));
            const int right = int(std::lround((placed.design.left() + placed.design.width()) * scale));
            frame.setRect(left, frame.y(), right - left, frame.height());
        }
        if (frame != widget->geometry())
            widget->setGeometry(frame);
    }
    layingOut_ = false;
}

bool GrowingForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == form_ && event->type() == QEvent::Resize && !layingOut_)
        layOut();
    return false;
}

} // namespace platform
