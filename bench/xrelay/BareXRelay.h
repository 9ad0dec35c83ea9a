// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of the xtest sink: a bare X relay, a child process with a
// display connection of its own that reads 6-byte mouse packets from a
// loopback socket and makes the same XTest request for each movement, all
// the requests of one read sent in one write that reads nothing back. A
// process of its own, as the receiver is, so that both pay the same
// switches between processes.
#pragma once

#include "UniqueFd.h"

#include <sys/types.h>

#include <chrono>
#include <string>

class BareXRelay {
public:
    // Starts the relay on `displayName`; valid() says whether it connected.
    explicit BareXRelay(const std::string& displayName);
    ~BareXRelay();
    BareXRelay(const BareXRelay&) = delete;
    BareXRelay& operator=(const BareXRelay&) = delete;

    bool valid() const { return child_ > 0 && sender_.valid(); }
    // Where the packets go.
    int sender() const { return sender_.get(); }
    // The relay's CPU time so far.
    std::chrono::nanoseconds cpuTime() const;

private:
    UniqueFd sender_;
    pid_t child_ = -1;
};
