// SPDX-License-Identifier: GPL-3.0-or-later
// RemoteProtocol: the one TCP session from the phone to the receiver on the
// controlled computer, its login exchange and the two input packets.
//
// There is exactly one session per process, a module-level descriptor; a new
// connect closes the old session, and every screen sends through it. Plain
// functions with integer results, called on the user-interface thread only.
#pragma once

#include "WireFormat.h"

#include <cstdint>

struct mojo_node;

// How long the login waits for the receiver's reply before it gives up.
constexpr int REMOTE_DEFAULT_RESPONSE_TIMEOUT_MS = 10000;
// How long a connect waits for the receiver before it gives up: a computer
// that is off, or a firewall that drops the connection, holds the screen no
// longer than this.
constexpr int REMOTE_DEFAULT_CONNECT_TIMEOUT_MS = 5000;
// How long a send waits for room in the socket before the session is given
// up as lost: a receiver that stopped reading, or a host gone without a word.
constexpr int REMOTE_DEFAULT_SEND_TIMEOUT_MS = 2000;

// Forgets any session (without closing it) and returns 0. Called once at start-up.
int remote_initialize();

// 1 while a session is open, else 0.
int remote_is_connected();

// Closes any open session, connects to `address` (dotted IPv4) on the low 16
// bits of `port` and logs in. 0: connected and logged in; -1: no connection
// was made (also when none was made within the connect time-out); -2:
// connected but the login failed (the socket stays open until the next connect).
int remote_connectToHost(const char* address, unsigned int port, const char* passcode);

// Sends the login request and reads the reply: 0 when the receiver accepted
// the passcode, -1 otherwise (also for a passcode that does not fit the frame,
// refused before anything is sent).
int remote_login(const char* passcode);

// Reads one value-tree message from the session into the blank `node` and
// returns the bytes decoded, or -1. Waits at most the response time-out.
int remote_get_response(mojo_node* node);

// Sends a keyboard event: `state` 1 key down, 0 key up. 0 when handed to the
// socket, -1 otherwise (no session, an error, or the peer closed it). A send
// that the socket cannot take within the send time-out ends the session, as
// a receiver that closed it does.
int remote_sendKeyboardEvent(int state, uint32_t keyCode);

// Sends a mouse event: the whole button state and a relative movement in
// points, y growing downwards. 0 or -1 like the keyboard event.
int remote_sendMouseEvent(int buttons, int16_t dx, int16_t dy);

// Set how long remote_get_response waits for a reply, a connect for the
// receiver and a send for room; tests shorten them.
void remote_setResponseTimeout(int milliseconds);
void remote_setConnectTimeout(int milliseconds);
void remote_setSendTimeout(int milliseconds);
