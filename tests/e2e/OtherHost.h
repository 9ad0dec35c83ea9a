// SPDX-License-Identifier: GPL-3.0-or-later
// Another host on the test's private network: a second network namespace,
// held by a child process that waits in it. The test links it to its own
// with a veth pair and gives it addresses; sockets made inside it stay in it.
#pragma once

#include "UniqueFd.h"

#include <functional>
#include <string>
#include <sys/types.h>

class OtherHost {
public:
    OtherHost();
    ~OtherHost();
    OtherHost(const OtherHost&) = delete;
    OtherHost& operator=(const OtherHost&) = delete;

    bool ok() const { return ok_; }
    pid_t pid() const { return pid_; }

    // Runs a shell command inside it.
    bool run(const std::string& command) const;
    // A descriptor that `make` makes inside it (a socket of this host's).
    UniqueFd madeInside(const std::function<UniqueFd()>& make) const;
    // A UDP socket of this host's, bound to `address`.
    UniqueFd udpSocketAt(const char* address) const;

private:
    pid_t pid_ = -1;
    bool ok_ = false;
};
