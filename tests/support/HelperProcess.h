// SPDX-License-Identifier: GPL-3.0-or-later
// A server a test starts for itself (Xvfb, dbus-daemon) that says it is ready
// by writing one line (its display number, its address) to a descriptor
// named on its command line. Every wait is bounded.
#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct StartedHelper {
    pid_t pid;
    std::string line; // the ready line, without its newline
};

// Starts `arguments` (found on PATH; "{fd}" in an argument becomes the
// number of the descriptor for the ready line), its standard streams on
// /dev/null, and waits for the line. Nothing, with `why`, when it does not
// come; the process is stopped then.
std::optional<StartedHelper> startHelper(const std::vector<std::string>& arguments, std::string& why);

// SIGTERM, then SIGKILL when it has not ended within two seconds.
void stopHelper(pid_t pid);
