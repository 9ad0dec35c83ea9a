// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile clients by the hundred for the tests that show the owner still
// gets in: connections to a receiver on 127.0.0.1, each from one of a list
// of loopback addresses standing for other hosts, opened and answered by a
// thread of the flood's own until it is stopped. Two kinds:
//   - a connect flood: so many connections a second, which send nothing and
//     hold their place until the receiver drops them;
//   - a guessing flood: one connection per address at a time, which sends
//     a login with a wrong passcode, and once it is answered (or dropped)
//     closes and connects again at once.
// Every close is abortive (a reset), so that no address runs out of ports
// to TIME_WAIT. Nothing here leaves the loopback interface.
#pragma once

#include "support/SessionBytes.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

class ConnectionFlood {
public:
    struct Plan {
        uint16_t port = 0;
        // Where the connections come from, in turn ("127.0.0.10"...).
        std::vector<std::string> sources;
        // Connections opened a second, all sources together; 0 for one
        // connection per source at a time, opened again as soon as it ends.
        int perSecond = 0;
        // What each connection sends once it is open; empty sends nothing.
        Bytes greeting;
    };

    // `count` loopback addresses from `first` on, counting up ("127.0.1.1",
    // 200: 127.0.1.1 to 127.0.1.200).
    static std::vector<std::string> loopbackAddresses(const std::string& first, int count);

    // Starts at once. Raises this process's limit on open descriptors as far
    // as it may go.
    explicit ConnectionFlood(Plan plan);
    ~ConnectionFlood();
    ConnectionFlood(const ConnectionFlood&) = delete;
    ConnectionFlood& operator=(const ConnectionFlood&) = delete;

    void stop();

    // Connections opened so far, and those the receiver answered with at
    // least a byte (a login reply).
    long opened() const { return opened_; }
    long answered() const { return answered_; }

private:
    void run();

    Plan plan_;
    std::atomic<bool> stopping_{false};
    std::atomic<long> opened_{0};
    std::atomic<long> answered_{0};
    std::thread thread_;
};
