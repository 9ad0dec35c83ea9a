// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the app's stored settings (the user-defaults store) and of the
// stored form of a registered computer.
#pragma once

#include <QString>

namespace settingsKey {

// An array of computer dictionaries: the computers registered by hand.
inline const QString kRegisteredComputers = QStringLiteral("RegisteredComputers");
// A dictionary from computer name to saved passcode. Here and in the keys
// below, a computer's name is the cleaned one (ComputerName.h).
inline const QString kPasswords = QStringLiteral("Passwords");
// A boolean, false when absent: whether presses make sounds.
inline const QString kSoundEffects = QStringLiteral("enabled_soundeffect");
// Numbers, 1 when absent: pointer points per point of finger travel, and
// wheel steps per the default distance of finger travel.
inline const QString kPointerSpeed = QStringLiteral("PointerSpeed");
inline const QString kScrollSpeed = QStringLiteral("ScrollSpeed");
// Booleans, false when absent: faster finger movements move the pointer
// further; the wheel follows the fingers (moving up scrolls down).
inline const QString kPointerAcceleration = QStringLiteral("PointerAcceleration");
inline const QString kNaturalScrolling = QStringLiteral("NaturalScrolling");
// A computer dictionary: the computer logged in to last.
inline const QString kLastComputer = QStringLiteral("LastComputer");
// A boolean, false when absent: log in to the last computer at start.
inline const QString kConnectAtStart = QStringLiteral("ConnectAtStart");
// The secure login's pins: a dictionary from computer name to the name the
// receiver proved in its handshake, written at the first secure login.
inline const QString kSecureComputers = QStringLiteral("SecureComputers");
// An array of the names of computers the user marked as old receivers
// without protection: only they are sent the passcode by the plain login.
inline const QString kPlainOnlyComputers = QStringLiteral("PlainOnlyComputers");
// An array of the names of computers whose passcode was refused: connecting
// at start and reconnecting leave them alone until a login from the login
// screen succeeds.
inline const QString kNoAutomaticLogin = QStringLiteral("NoAutomaticLogin");

// The four keys of a stored computer dictionary.
inline const QString kComputerName = QStringLiteral("ComputerName");
inline const QString kOs = QStringLiteral("Os");
inline const QString kIp = QStringLiteral("Ip");
inline const QString kPort = QStringLiteral("Port");

} // namespace settingsKey
