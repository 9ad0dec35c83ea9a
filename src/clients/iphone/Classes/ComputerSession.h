// SPDX-License-Identifier: GPL-3.0-or-later
// ComputerSession: logging in to a computer, for the login screen, for
// connecting at start and for reconnecting after the session was lost. It is
// the one place that sends a passcode, and it applies the same rules to all
// three: the secure login, except to a computer the user marked as an old
// receiver without protection; the receiver's proven name checked against
// the computer's pin; a plain receiver's answer never taken as a reason to
// send the passcode in clear unasked; and no automatic login to a computer
// whose passcode was refused, until the login screen succeeds.
//
// The computer and passcode of this run's last login stay in memory, so that
// a lost session opens again with one tap; the computer (never the passcode)
// is stored as the last one used, for connecting at the next start. It tells
// the app when a session opens and when one it announced has ended
// ("Session Opened", "Session Ended"), so that nothing needs to poll.
#pragma once

#include "Computer.h"

#include <QString>

#include <functional>
#include <memory>

class ComputerSession {
public:
    // Who asks for the login: the user on the login screen, or the app on
    // its own.
    enum class Origin { LoginScreen, ConnectAtStart, Reconnect };
    // logIn's result when it did not try: the app's own login to a computer
    // whose passcode was refused.
    static constexpr int kNotTried = -3;

    static inline const QString kImpostorTitle = QStringLiteral("Possible Impostor");
    static inline const QString kUnprotectedTitle = QStringLiteral("Receiver Without Protection");
    static inline const QString kMarkButtonTitle = QStringLiteral("Mark It");
    static inline const QString kWrongNameTitle = QStringLiteral("Wrong Computer");
    static inline const QString kComputersButtonTitle = QStringLiteral("Computers");

    // Connects and logs in, with the wait cursor while the screen is held,
    // and shows an alert for whatever went wrong:
    // - a refused passcode: "Invalid Password.", and the app's own logins
    //   leave the computer alone until a login from the login screen succeeds;
    // - a receiver that proves another name than the one pinned for the
    //   computer (or, found by discovery, than its own): the session is closed;
    //   the first secure login pins the name;
    // - a plain receiver's answer: nothing is sent; under a pinned name, a
    //   warning of an impostor; otherwise the offer to mark the computer as an
    //   old receiver without protection, whose second button marks it and logs
    //   in with the plain login.
    // Returns 0, -1 (no usable connection, or the wrong name), -2 (refused, or
    // a plain receiver) or kNotTried. `loggedIn` runs when a session opens:
    // at once, or after the tap on the offer.
    static int logIn(const Computer& computer, const QString& passcode, Origin origin = Origin::LoginScreen,
                     std::function<void()> loggedIn = {});

    // Posts "Session Ended" once the app has noticed that the announced
    // session is gone (a connection check that found no session).
    static void noticeSessionEnded();

    // Whether this run has logged in to a computer it can log in to again.
    static bool canReconnect();
    // Logs in again to the computer of this run's last login, with its
    // passcode; says why instead when its passcode has been refused since.
    // -1 when there was no login.
    static int reconnect(std::function<void()> loggedIn = {});
    // Forgets this run's login (a new start, tests).
    static void forgetLogin();

    // The computer stored as the last used, or null.
    static std::shared_ptr<Computer> lastComputer();
    static bool connectsAtStart();

    // The user's mark on a computer (by its name): an old receiver without
    // protection, sent the passcode by the plain login.
    static bool isMarkedPlainOnly(const QString& name);
    static void setMarkedPlainOnly(const QString& name, bool marked);
    // False after a refused passcode, until a login from the login screen succeeds.
    static bool logsInAutomatically(const QString& name);
};
