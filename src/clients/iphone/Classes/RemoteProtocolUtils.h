// SPDX-License-Identifier: GPL-3.0-or-later
// RemoteProtocolUtils: the session guard of the input screens. They call it
// at the start of their release-type actions; it only warns, and the screen
// goes on with its sends either way. When the session was lost after a login
// of this run, the warning offers to log in to that computer again.
#pragma once

#include <QString>

class RemoteProtocolUtils {
public:
    static inline const QString kReconnectButtonTitle = QStringLiteral("Reconnect");

    // Shows the "Connection Error" alert when no receiver session is open;
    // does nothing while one is.
    static void checkConnection();

private:
    static void reconnect();
};
