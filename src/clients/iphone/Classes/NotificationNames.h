// SPDX-License-Identifier: GPL-3.0-or-later
// The notifications that pass between the screens through the default
// notification centre, each posted and observed by these names only.
#pragma once

#include <QString>

namespace notification {

// Object: the tab index to show. Observed by the main view.
inline const QString kGotoTabBar = QStringLiteral("Goto TabBar");
// No object. The main view hides its tab bar, or fades it in.
inline const QString kToggleTabBar = QStringLiteral("Toggle TabBar");
// No object: the remote panel's settings button.
inline const QString kSettings = QStringLiteral("Settings");
// No object: the shift latch changed; the key buttons change their labels.
inline const QString kShiftDown = QStringLiteral("Shift Down");
inline const QString kShiftUp = QStringLiteral("Shift Up");
// Object: the Computer that discovery found, or that the register screen made.
inline const QString kDiscoveredComputer = QStringLiteral("Discovered Computer");
inline const QString kRegisterComputer = QStringLiteral("Register Computer");
// Object: the name (a QString) of the computer a login has just opened a
// session to. Posted by ComputerSession; the app shows it in the status bar.
inline const QString kSessionOpened = QStringLiteral("Session Opened");
// No object: the session announced last is gone (a failed new login closed
// it, or a connection check found it lost).
inline const QString kSessionEnded = QStringLiteral("Session Ended");

// Object: the name (a QString) of a computer the user marked as an old
// receiver without protection, or whose mark was taken away. Posted by
// ComputerSession; the login screen shows the mark.
inline const QString kPlainOnlyMarkChanged = QStringLiteral("Plain Only Mark Changed");

} // namespace notification
