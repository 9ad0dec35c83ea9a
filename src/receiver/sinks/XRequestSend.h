// SPDX-License-Identifier: GPL-3.0-or-later
// Sending the requests Xlib holds, and nothing more. XFlush also reads the
// connection afterwards, two system calls that find nothing on a connection
// the receiver's loop already watches: what the server sends is read when
// the loop says it has come.
#pragma once

struct _XDisplay;

// Writes the requests queued on `display`; never reads from it.
void sendQueuedXRequests(_XDisplay* display);
