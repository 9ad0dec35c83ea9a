// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into every client test program (an object library, so that the
// linker keeps it although nothing refers to it): before any test runs, the
// default discovery endpoint becomes the discard port on the loopback
// broadcast address, with the local port chosen by the system. A test that
// forgets to pick its own endpoint (or restores "the default" afterwards) then
// never sends a query onto a real network, never reaches a receiver running
// on this machine, and never competes for port 25736.
#include "ComputerListViewController.h"

namespace {

const bool discoveryStaysOnLoopback = [] {
    DiscoveryEndpoint loopback;
    loopback.address = "127.255.255.255";
    loopback.destinationPort = 9;
    loopback.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(loopback);
    return true;
}();

} // namespace
