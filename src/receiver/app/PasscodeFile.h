// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the passcode from a file, so that it need not stand on the command
// line where other users of the computer can see it.
#pragma once

#include <string>

// Where the user unit reads the passcode and --new-passcode writes it:
// ~/.config/quillon/passcode; empty when HOME is not an absolute path.
std::string defaultPasscodeFile();

// Reads the first line of `path` (without its line ending) into `passcode`.
// Refuses anything but a regular file of this user's that no other user may
// read or write, and a symbolic link; never waits (a FIFO is refused, not
// read). On failure `error` says why, and how to make the file when there
// is none; it never contains the passcode.
bool readPasscodeFile(const std::string& path, std::string& passcode, std::string& error);
