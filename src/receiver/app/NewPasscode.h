// SPDX-License-Identifier: GPL-3.0-or-later
// `quillon-receiver --new-passcode`: a strong passcode written into the
// private file that the receiver (and its user unit) reads, so that setting
// it up is one command rather than a shell line to paste.
#pragma once

#include <cstddef>
#include <string>

// Digits are typed on any phone keyboard; twelve of them take longer to try
// out at the login throttle's limit than anyone will wait.
constexpr std::size_t kNewPasscodeDigits = 12;

// A passcode of kNewPasscodeDigits random digits, each as likely as any other.
std::string makeNewPasscode();

// Writes `passcode` and a line ending as `path`, readable by this user alone
// (0600), making the folders above it that are missing (0700). Refuses a
// file that exists, unless `replace`; refuses a folder others may change.
// False with `error` saying why.
bool writeNewPasscodeFile(const std::string& path, const std::string& passcode, bool replace, std::string& error);
