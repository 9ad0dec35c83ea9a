// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StatusBar.h"

namespace platform {

StatusBar& StatusBar::shared()
{
    static StatusBar* instance = new StatusBar; // lives as long as the process
    return *instance;
}

void StatusBar::setHidden(bool hidden, bool animated)
{
    if (hidden_ == hidden)
        return;
    hidden_ = hidden;
    emit hiddenChanged(hidden, animated);
}

void StatusBar::setOrientation(InterfaceOrientation orientation, bool animated)
{
    if (orientation_ == orientation)
        return;
    orientation_ = orientation;
    emit orientationChanged(orientation, animated);
}

void StatusBar::setConnectionName(const QString& name)
{
    if (connectionName_ == name)
        return;
    connectionName_ = name;
    emit connectionChanged();
}

void StatusBar::setSessionSecure(bool secure)
{
    if (sessionSecure_ == secure)
        return;
    sessionSecure_ = secure;
    emit connectionChanged();
}

} // namespace platform
