// SPDX-License-Identifier: GPL-3.0-or-later
#include "sinks/XRequestSend.h"

// Xlib's interface for extension libraries, which libXtst itself uses:
// _XSend writes the output buffer (and the data given, here none) without
// the read that XFlush adds. Kept to this file: the header defines many
// macros.
#include <X11/Xlibint.h>

void sendQueuedXRequests(_XDisplay* display)
{
    LockDisplay(display);
    _XSend(display, nullptr, 0);
    UnlockDisplay(display);
}
