// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NavigationItem.h"

namespace platform {

void NavigationItem::setTitle(const QString& title)
{
    title_ = title;
    emit changed();
}

void NavigationItem::setBackButtonTitle(const QString& title)
{
    backButtonTitle_ = title;
    emit changed();
}

void NavigationItem::setRightBarButtonItem(QAction* item)
{
    right_ = item;
    emit changed();
}

void NavigationItem::setLeftBarButtonItem(QAction* item)
{
    left_ = item;
    emit changed();
}

void NavigationItem::setHidesBackButton(bool hides)
{
    hidesBackButton_ = hides;
    emit changed();
}

} // namespace platform
