// SPDX-License-Identifier: GPL-3.0-or-later
// The phone's side of discovery on the network: a UDP socket bound to the
// discovery port (shared, so that a receiver on the same computer can bind it
// too) that broadcasts the query and is read for replies without ever
// waiting. Each read takes a bounded number of datagrams, so that a host
// flooding the port cannot hold the screen; the rest wait for the next one.
#pragma once

#include "Computer.h"
#include "DiscoveryEndpoint.h"

#include <cstdint>
#include <functional>
#include <memory>

class DiscoveryClient {
public:
    DiscoveryClient() = default;
    ~DiscoveryClient();
    DiscoveryClient(const DiscoveryClient&) = delete;
    DiscoveryClient& operator=(const DiscoveryClient&) = delete;

    // Creates the socket, allows broadcast, makes it non-blocking and binds
    // it to any local address on `localPort` (a failed bind is not fatal:
    // the socket then only hears replies to its own port). False when no
    // socket could be created.
    bool open(uint16_t localPort);
    // Shuts the socket down both ways and closes it.
    void close();
    bool isOpen() const { return open_; }
    // 0 before open(), -1 when it failed or after close(), else the descriptor.
    int fd() const { return fd_; }
    // The local port the socket is bound to; 0 when it is not bound.
    uint16_t boundPort() const;

    // Sends one query to the endpoint's address and destination port.
    void sendQuery(const DiscoveryEndpoint& endpoint);
    // Reads at most `maxDatagrams` waiting datagrams and hands each that is a
    // receiver's reply to `found`, as a discovered computer. Returns how many
    // datagrams it read, replies or not.
    int poll(int maxDatagrams, const std::function<void(const std::shared_ptr<Computer>&)>& found);

private:
    int fd_ = 0;
    bool open_ = false;
};
