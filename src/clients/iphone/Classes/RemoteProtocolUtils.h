// SPDX-License-Identifier: GPL-3.0-or-later
// RemoteProtocolUtils: the session guard of the input screens. They call it
// at the start of their release-type actions; it only warns, and the screen
// goes on with its sends either way.
#pragma once

class RemoteProtocolUtils {
public:
    // Shows the "Connection Error" alert when no receiver session is open;
    // does nothing while one is.
    static void checkConnection();
};
