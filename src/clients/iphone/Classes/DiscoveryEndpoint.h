// SPDX-License-Identifier: GPL-3.0-or-later
// Where discovery sends its query and which local port it listens on. The
// app uses the defaults; tests point it at a loopback broadcast address and
// free ports so that nothing leaves the machine.
#pragma once

#include "WireFormat.h"

#include <cstdint>
#include <string>

struct DiscoveryEndpoint {
    static constexpr uint16_t defaultPort = REMOTE_DEFAULT_PORT;

    std::string address = "255.255.255.255"; // the query's destination, dotted IPv4
    uint16_t destinationPort = defaultPort;   // where receivers listen
    uint16_t localPort = defaultPort;         // the port the phone binds; 0 lets the system choose
};
