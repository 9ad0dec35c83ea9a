// SPDX-License-Identifier: GPL-3.0-or-later
// ComputerSession: logging in to a computer, for the login screen, for
// connecting at start and for reconnecting after the session was lost. The
// computer and passcode of this run's last login stay in memory, so that a
// lost session opens again with one tap; the computer (never the passcode)
// is stored as the last one used, for connecting at the next start. It
// tells the app when a session opens and when one it announced has ended
// ("Session Opened", "Session Ended"), so that nothing needs to poll.
#pragma once

#include "Computer.h"

#include <QString>

#include <memory>

class ComputerSession {
public:
    // Connects and logs in, with the wait cursor while the screen is held;
    // the session's result (0, -1 no connection, -2 refused). After a login
    // it remembers the computer and the passcode.
    static int logIn(const Computer& computer, const QString& passcode);
    // "Connection Error" with the message for a failed login's result.
    static void showLoginFailure(int result);

    // Posts "Session Ended" once the app has noticed that the announced
    // session is gone (a connection check that found no session).
    static void noticeSessionEnded();

    // Whether this run has logged in to a computer it can log in to again.
    static bool canReconnect();
    // Logs in again to the computer of this run's last login, with its
    // passcode; -1 when there was none.
    static int reconnect();
    // Forgets this run's login (a new start, tests).
    static void forgetLogin();

    // The computer stored as the last used, or null.
    static std::shared_ptr<Computer> lastComputer();
    static bool connectsAtStart();
};
