// SPDX-License-Identifier: GPL-3.0-or-later
// Where the portal's restore token is kept between runs: a private file in
// the user's state directory ($XDG_STATE_HOME/quillon/portal-restore-token,
// by default ~/.local/state/quillon/portal-restore-token). With it the
// desktop restores the permission the user gave once instead of asking again.
#pragma once

#include <string>

class RestoreTokenFile {
public:
    explicit RestoreTokenFile(std::string path);

    // The file for this user; an empty path when neither XDG_STATE_HOME nor
    // HOME is set (tokens are then not kept).
    static RestoreTokenFile forThisUser();

    const std::string& path() const { return path_; }

    // The saved token; empty when there is none, or when the file or its
    // folder is not this user's alone (a token others could read, plant or
    // swap is no grant of this user's): `problem`, when given, then says why.
    // Never waits (a FIFO is refused, not read).
    std::string read(std::string* problem = nullptr) const;
    // Replaces the saved token (mode 0600, written whole or not at all), in
    // a folder of this user's that others may not change; an empty token
    // removes the file. False with `error` when it cannot.
    bool write(const std::string& token, std::string& error) const;

private:
    std::string path_;
};
