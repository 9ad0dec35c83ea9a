// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's one poll() loop: discovery, the session listener, every
// client and the output, until SIGINT, SIGTERM or SIGHUP.
#pragma once

#include "common/OutputChannel.h"
#include "sinks/InputSink.h"

#include <cstdint>
#include <string>

struct ReceiverConfig {
    std::string bindAddress;
    uint16_t sessionPort = 0;   // 0: the system picks a free port
    uint16_t discoveryPort = 0; // 0: the system picks a free port
    std::string passcode;
    std::string name;
    // Where the addresses that logged in are kept between runs; empty keeps
    // them for this run only.
    std::string knownAddressesFile;
    bool allowPlain = false; // plain logins are accepted too
};

// Runs until asked to stop; returns the process's exit status (see
// common/ExitStatus.h: 0 after a clean stop; 1 when a socket could not be
// set up, another receiver already answers discovery on the port, or the
// sink failed; 3 when the user withheld the desktop's permission). Notices go to standard error,
// among them "session listening on ADDRESS:PORT" and "discovery listening on
// ADDRESS:PORT" once both sockets are ready. `sinkOutput` is the sink's
// record (standard output), written as the reader takes it.
int runReceiver(const ReceiverConfig& config, InputSink& sink, OutputChannel& sinkOutput);
