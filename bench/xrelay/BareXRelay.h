// SPDX-License-Identifier: GPL-3.0-or-later
// The floor of the xtest sink: a bare X relay, a thread with a display
// connection of its own that reads 6-byte mouse packets from a loopback
// socket and makes the same XTest request for each movement, all the
// requests of one read sent in one write that reads nothing back.
#pragma once

#include "UniqueFd.h"

#include <chrono>
#include <string>
#include <thread>

struct _XDisplay;

class BareXRelay {
public:
    // Connects to `displayName`; valid() says whether that worked.
    explicit BareXRelay(const std::string& displayName);
    ~BareXRelay();
    BareXRelay(const BareXRelay&) = delete;
    BareXRelay& operator=(const BareXRelay&) = delete;

    bool valid() const { return display_ != nullptr && sender_.valid(); }
    // Where the packets go.
    int sender() const { return sender_.get(); }
    // The relay thread's CPU time so far.
    std::chrono::nanoseconds cpuTime();

private:
    void run();

    _XDisplay* display_ = nullptr;
    UniqueFd sender_;
    UniqueFd in_;
    std::thread thread_;
};
