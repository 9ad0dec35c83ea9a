// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the passcode from a file, so that it need not stand on the command
// line where other users of the computer can see it.
#pragma once

#include <string>

// Reads the first line of `path` (without its line ending) into `passcode`.
// Refuses anything but a regular file of this user's that no other user may
// read or write; never waits (a FIFO is refused, not read).
// On failure `error` says why; it never contains the passcode.
bool readPasscodeFile(const std::string& path, std::string& passcode, std::string& error);
