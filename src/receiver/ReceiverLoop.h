// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's one poll() loop: discovery, the session listener and every
// client, until SIGINT or SIGTERM.
#pragma once

#include "InputSink.h"

#include <cstdint>
#include <string>

struct ReceiverConfig {
    std::string bindAddress;
    uint16_t sessionPort = 0;   // 0: the system picks a free port
    uint16_t discoveryPort = 0; // 0: the system picks a free port
    std::string passcode;
    std::string name;
};

// Runs until asked to stop; returns the process's exit status (0 after a
// clean stop, 1 when a socket could not be set up). Notices go to standard
// error, among them "session listening on ADDRESS:PORT" and "discovery
// listening on ADDRESS:PORT" once both sockets are ready.
int runReceiver(const ReceiverConfig& config, InputSink& sink);
