// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/BarButtonItem.h"

namespace platform {

BarButtonItem::BarButtonItem(QObject* parent) : QAction(parent) {}

BarButtonItem::BarButtonItem(const QString& title, Style style, QObject* parent)
    : QAction(title, parent), style_(style)
{
}

void BarButtonItem::setStyle(Style style)
{
    style_ = style;
    emit changed();
}

BarButtonItem::Style BarButtonItem::styleOf(const QAction* action)
{
    auto* item = qobject_cast<const BarButtonItem*>(action);
    return item ? item->style() : Plain;
}

} // namespace platform
