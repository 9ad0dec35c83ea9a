// SPDX-License-Identifier: GPL-3.0-or-later
// The files the receiver keeps for its user alone: the passcode, the
// portal's restore token, the addresses that logged in. Another user of the
// computer must not be able to plant one, read one, swap one for a link to
// something else, or make the receiver wait on one (a FIFO). So a file is
// opened without following a link and without waiting, checked on the
// opened descriptor (a regular file of this user's that no one else may
// read or change), and written whole to a new private file that is then
// renamed over the old one.
#pragma once

#include <cstddef>
#include <string>

// The receiver's folder for what it keeps between runs:
// $XDG_STATE_HOME/quillon, else ~/.local/state/quillon; empty when neither
// variable holds an absolute path.
std::string receiverStateDirectory();

// The folder that holds `path` ("/" for a file at the top, "." for a bare name).
std::string parentDirectory(const std::string& path);

// Makes `directory` and any folders above it that are missing, each
// readable by this user alone (0700). False with `error` when it cannot.
bool makePrivateDirectories(const std::string& directory, std::string& error);

// Whether `directory` is a folder of this user's in which no one else may
// create, remove or rename files. False with `error` saying why not.
bool isPrivateDirectory(const std::string& directory, std::string& error);

// Reads the whole of `path` into `contents`: it must be a regular file of
// this user's that no other user may read or change, not a symbolic link,
// and at most `maxSize` bytes. `what` names it in the error ("the passcode
// file"). Never waits on a FIFO or a device.
bool readPrivateFile(const std::string& path, const std::string& what, std::size_t maxSize, std::string& contents,
                     std::string& error);

// Writes `contents` as `path` (0600), replacing what was there: a reader
// sees the old contents or the new, never a part.
bool replacePrivateFile(const std::string& path, const std::string& contents, std::string& error);

// Writes `contents` as a new file `path` (0600); fails when anything, a
// link included, is already there.
bool createPrivateFile(const std::string& path, const std::string& contents, std::string& error);
