// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the app's discovery on loopback for a test: queries go to
// 127.255.255.255 on a UDP port held by the test (so nobody else has it) and
// replies are awaited on a port the system picks. Nothing reaches a real
// interface.
#pragma once

#include "DiscoveryEndpoint.h"
#include "UniqueFd.h"

#include <cstdint>

class LoopbackDiscovery {
public:
    LoopbackDiscovery();
    ~LoopbackDiscovery();
    LoopbackDiscovery(const LoopbackDiscovery&) = delete;
    LoopbackDiscovery& operator=(const LoopbackDiscovery&) = delete;
    uint16_t port() const { return port_; }

private:
    UniqueFd socket_;
    uint16_t port_ = 0;
    DiscoveryEndpoint saved_;
};

