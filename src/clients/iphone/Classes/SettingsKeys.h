// SPDX-License-Identifier: GPL-3.0-or-later
// The keys of the app's stored settings (the user-defaults store) and of the
// stored form of a registered computer.
#pragma once

#include <QString>

namespace settingsKey {

// An array of computer dictionaries: the computers registered by hand.
inline const QString kRegisteredComputers = QStringLiteral("RegisteredComputers");
// A dictionary from computer name to saved passcode.
inline const QString kPasswords = QStringLiteral("Passwords");
// A boolean, false when absent: whether presses make sounds.
inline const QString kSoundEffects = QStringLiteral("enabled_soundeffect");

// The four keys of a stored computer dictionary.
inline const QString kComputerName = QStringLiteral("ComputerName");
inline const QString kOs = QStringLiteral("Os");
inline const QString kIp = QStringLiteral("Ip");
inline const QString kPort = QStringLiteral("Port");

} // namespace settingsKey
