// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Event.h"

namespace platform {

TouchSet Event::touchesForView(const QWidget* view) const
{
    QList<Touch*> result;
    if (!view)
        return TouchSet(result);
    for (Touch* touch : touches_) {
        const QWidget* touched = touch->view();
        if (touched && (touched == view || view->isAncestorOf(touched)))
            result.append(touch);
    }
    return TouchSet(result);
}

} // namespace platform
