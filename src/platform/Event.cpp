// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Event.h"

namespace platform {

bool Event::cameDownOn(const Touch* touch, const QWidget* view)
{
    const QWidget* touched = touch->view();
    return touched && (touched == view || view->isAncestorOf(touched));
}

TouchSet Event::touchesForView(const QWidget* view) const
{
    TouchSet::Touches result;
    if (view)
        for (Touch* touch : touches_)
            if (cameDownOn(touch, view))
                result.append(touch);
    return TouchSet(std::move(result));
}

Touch* Event::anyTouchForView(const QWidget* view) const
{
    if (view)
        for (Touch* touch : touches_)
            if (cameDownOn(touch, view))
                return touch;
    return nullptr;
}

} // namespace platform
