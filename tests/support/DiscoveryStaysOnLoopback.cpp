// Linked into every client test program: before any test runs, the default
// discovery endpoint becomes the loopback broadcast address with the local
// port chosen by the system. A test that forgets to pick its own endpoint (or
// restores "the default" afterwards) then still never sends a query onto a
// real network, and never competes for port 25736.
#include "ComputerListViewController.h"

namespace {

const bool discoveryStaysOnLoopback = [] {
    DiscoveryEndpoint loopback;
    loopback.address = "127.255.255.255";
    loopback.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(loopback);
    return true;
}();

} // namespace
