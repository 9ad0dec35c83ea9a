// SPDX-License-Identifier: GPL-3.0-or-later
// How long the login throttle lets a guesser take to try every passcode
// like the receiver's, and the warning a weak one gets at start. The
// network never lets a guess be tested anywhere but at the receiver, so the
// throttle's limit on wrong passcodes of all addresses together is what a
// guesser is held to.
#pragma once

#include "net/LoginThrottle.h"

#include <chrono>
#include <optional>
#include <string>

using Minutes = std::chrono::duration<double, std::ratio<60>>;

// How many passcodes are like `passcode`: as long, made of the same kinds
// of characters (digits, lower-case and upper-case letters, others).
double passcodesLike(const std::string& passcode);

// How long trying `count` passcodes takes at the throttle's limit on all
// wrong passcodes (its burst first, then so many a minute).
Minutes timeToTry(double count, const LoginThrottle::Policy& throttle);

// "17 hours", "69 days", "190,000 years": a duration as a person reads it.
std::string describeDuration(Minutes duration);

// A passcode shorter than this is weak, however long it takes to try out.
constexpr std::size_t kShortestStrongPasscode = 8;
// One whose kind is tried out within this is weak.
constexpr std::chrono::hours kGuessingTimeOfAWeakPasscode{24 * 7};

// The warning for a weak passcode, with the time to try every one like it;
// nothing for a strong one. Never contains the passcode.
std::optional<std::string> weakPasscodeWarning(const std::string& passcode, const LoginThrottle::Policy& throttle);
