// SPDX-License-Identifier: GPL-3.0-or-later
// RemoteProtocol: the one TCP session from the phone to the receiver on the
// controlled computer, its login exchange (the secure handshake, or the plain
// login for a receiver the user marked as one without protection) and the
// two input packets.
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

// Why the last connect returned -2 (remote_loginFailure).
// The last connect did not return -2.
constexpr int REMOTE_LOGIN_NOT_REFUSED = 0;
// The passcode was refused: the receiver said so, or a secure login failed
// after the phone's confirmation tag had left (a receiver that does not know
// the passcode may have had its one guess, so the passcode counts as refused).
constexpr int REMOTE_LOGIN_PASSCODE_REFUSED = 1;
// The receiver answered the secure login as one that speaks only the plain
// login. Nothing that lets anyone test the passcode was sent.
constexpr int REMOTE_LOGIN_PLAIN_ONLY = 2;

// Closes any open session, connects to `address` (dotted IPv4) on the low 16
// bits of `port` and logs in with the secure handshake: a key exchange from
// the passcode, confirmed in both directions, after which every event travels
// sealed. The passcode itself never crosses the network. 0: connected and
// logged in securely; -1: no usable connection (none made within the connect
// time-out, or lost, refused or unanswered before the phone's confirmation
// left, or an answer that is neither a share nor a plain receiver's);
// -2: the login failed (remote_loginFailure says why). A failed secure login
// closes the connection and never falls back to the plain login.
int remote_connectToHost(const char* address, unsigned int port, const char* passcode);

// The plain login, for a receiver that speaks nothing else: the passcode
// crosses the network as it was typed, and so does every event. 0: connected
// and logged in; -1: no connection was made; -2: connected but the login
// failed (the socket stays open until the next connect).
int remote_connectToHostPlain(const char* address, unsigned int port, const char* passcode);

// Why the last connect returned -2: REMOTE_LOGIN_PASSCODE_REFUSED or
// REMOTE_LOGIN_PLAIN_ONLY; REMOTE_LOGIN_NOT_REFUSED when it did not.
int remote_loginFailure();

// 1 while the open session is a secure one, else 0.
int remote_is_secure();

// The receiver's name as its handshake proved it (its bytes as sent), while a
// secure session is open; "" otherwise. Valid until the session closes.
const char* remote_receiverName();

// Closes the open session, if any, and wipes its keys; returns 0.
int remote_disconnect();

// Sends the plain login request and reads the reply: 0 when the receiver
// accepted the passcode, -1 otherwise (also for a passcode that does not fit
// the frame, refused before anything is sent, and on a secure session, which
// never carries a passcode).
int remote_login(const char* passcode);

// Reads one value-tree message from the session into the blank `node` and
// returns the bytes decoded, or -1 (also on a secure session, whose messages
// are sealed). Waits at most the response time-out.
int remote_get_response(mojo_node* node);

// Sends a keyboard event: `state` 1 key down, 0 key up. 0 when handed to the
// socket, -1 otherwise (no session, an error, or the peer closed it). A send
// that the socket cannot take within the send time-out ends the session, as
// a receiver that closed it does. On a secure session the event travels as
// one sealed record; a session whose record counter is spent ends.
int remote_sendKeyboardEvent(int state, uint32_t keyCode);

// Sends a mouse event: the whole button state and a relative movement in
// points, y growing downwards. 0 or -1 like the keyboard event.
int remote_sendMouseEvent(int buttons, int16_t dx, int16_t dy);

// The receiver sends nothing after the login, so once the session's socket
// has something to read, the receiver has closed the session (or sent what
// it never should). Without a watcher, each send first looks at the socket
// for that, a system call per event. An app with an event loop watches the
// socket there instead: the watcher is told the descriptor once a connect
// has left a session open, and -1 before that session's descriptor closes
// (or the session is forgotten); while the loop watches, it calls
// remote_sessionReadable whenever the descriptor is readable, and the sends
// do not look. A watcher set while a session is open is told of it at once;
// nullptr removes the watcher (telling it -1 first).
using RemoteSessionWatcher = void (*)(int descriptor);
void remote_setSessionWatcher(RemoteSessionWatcher watcher);

// Takes what is waiting on the watched session's socket. 1 when the receiver
// has closed the session: the next send ends it, as a send that finds it
// closed does, and the descriptor stays readable, so the watcher stops
// watching it. 0 when stray bytes were read and dropped: the session goes
// on. Reads a bounded amount per call; the loop calls again while more waits.
int remote_sessionReadable();

// Set how long remote_get_response waits for a reply, a connect for the
// receiver and a send for room; tests shorten them.
void remote_setResponseTimeout(int milliseconds);
void remote_setConnectTimeout(int milliseconds);
void remote_setSendTimeout(int milliseconds);
