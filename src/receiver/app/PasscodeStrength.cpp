// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PasscodeStrength.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

std::string withThousands(double value)
{
    std::string digits = std::to_string(static_cast<long long>(std::llround(value)));
    for (auto at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

std::string count(double value, const char* unit)
{
    // Two significant digits: an estimate, not a schedule.
    const double magnitude = std::pow(10.0, std::floor(std::log10(std::max(value, 0.1))) - 1);
    const double rounded = std::max(0.1, std::round(value / magnitude) * magnitude);
    std::string text;
    if (rounded < 10 && rounded != std::floor(rounded)) {
        char tenths[16];
        std::snprintf(tenths, sizeof tenths, "%.1f", rounded);
        text = tenths;
    } else {
        text = withThousands(rounded);
    }
    return text + " " + unit + (rounded == 1 ? "" : "s");
}

} // namespace

double passcodesLike(const std::string& passcode)
{
    bool digit = false, lower = false, upper = false, other = false;
    for (unsigned char c : passcode) {
        digit = digit || std::isdigit(c);
        lower = lower || std::islower(c);
        upper = upper || std::isupper(c);
        other = other || !std::isalnum(c);
    }
    // The printable ASCII characters beside letters and digits number 33.
    const double alphabet = (digit ? 10 : 0) + (lower ? 26 : 0) + (upper ? 26 : 0) + (other ? 33 : 0);
    return std::pow(alphabet, double(passcode.size()));
}

Minutes timeToTry(double count, const LoginThrottle::Policy& throttle)
{
    const double burst = throttle.failuresPerMinute;
    return Minutes(std::max(0.0, count - burst) / std::max(1, throttle.failuresPerMinute));
}

std::string describeDuration(Minutes duration)
{
    const double minutes = duration.count();
    if (minutes < 60)
        return count(minutes, "minute");
    if (minutes < 60 * 48)
        return count(minutes / 60, "hour");
    if (minutes < 60 * 24 * 365 * 2)
        return count(minutes / (60 * 24), "day");
    return count(minutes / (60 * 24 * 365.25), "year");
}

std::optional<std::string> weakPasscodeWarning(const std::string& passcode, const LoginThrottle::Policy& throttle)
{
    const Minutes allTried = timeToTry(passcodesLike(passcode), throttle);
    if (passcode.size() >= kShortestStrongPasscode && allTried >= kGuessingTimeOfAWeakPasscode)
        return std::nullopt;
    return "the passcode is weak: every passcode like it (" + std::to_string(passcode.size())
           + " characters) is tried within " + describeDuration(allTried) + " at the limit of "
           + std::to_string(throttle.failuresPerMinute)
           + " wrong passcodes a minute; 'quillon-receiver --new-passcode' makes a strong one";
}
