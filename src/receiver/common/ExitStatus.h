// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's exit statuses. Its systemd user unit restarts it after
// kExitFailed alone: its RestartPreventExitStatus holds the others, since
// starting again mends none of them (a test checks the unit against these).
#pragma once

// After --help or --version, a stop by SIGTERM, SIGINT or SIGHUP, or the X
// display closing under the xtest sink (the session it served has ended).
constexpr int kExitStopped = 0;
// The chosen sink cannot reach a display, the desktop's portal or an input
// device, or a port cannot be taken: something that may come right by itself.
constexpr int kExitFailed = 1;
// A bad command line or passcode file.
constexpr int kExitBadSetup = 2;
// The desktop's permission dialog was refused or not answered: starting
// again would only show it again and again.
constexpr int kExitPermissionWithheld = 3;
