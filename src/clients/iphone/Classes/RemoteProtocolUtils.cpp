// SPDX-License-Identifier: GPL-3.0-or-later
#include "RemoteProtocolUtils.h"

#include "RemoteProtocol.h"

#include "platform/Alert.h"

void RemoteProtocolUtils::checkConnection()
{
    if (remote_is_connected() != 0)
        return;
    platform::Alert::show(QStringLiteral("Connection Error"),
                          QStringLiteral("Please, connect to your computer before use the functions."),
                          QStringLiteral("OK"));
}
