// SPDX-License-Identifier: GPL-3.0-or-later
// SessionWatch: the app's event loop watches the session's socket, so that a
// receiver that closes the session is noticed without a look at the socket
// before every event sent. The receiver sends nothing after the login: the
// socket turning readable means it has closed the session (or sent what it
// never should, which is dropped). The next send then ends the session and
// fails, as it did when each send looked for itself.
#pragma once

namespace SessionWatch {

// From now on every session that opens is watched (needs the application
// object; without one the sends keep looking for themselves).
void install();
// Stops watching; the sends look for themselves again.
void uninstall();
// The descriptor the loop watches now: the open session's, until the loop
// has seen it closed; -1 when it watches none.
int watchedDescriptor();

} // namespace SessionWatch
