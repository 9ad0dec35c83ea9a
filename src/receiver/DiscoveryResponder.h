// SPDX-License-Identifier: GPL-3.0-or-later
// The discovery socket: answers every query datagram with the receiver's
// identity. It shares its UDP port (SO_REUSEADDR) so that a client on the same
// computer can bind the port too; to reach such a client whichever socket got
// the unicast, a query from this computer is also answered on the loopback
// broadcast address.
//
// A socket bound to one unicast address (--bind) never sees a broadcast. So
// that the computer is still found on that address's network, a second
// socket listens on all addresses of the port and answers only the
// broadcasts that came in on the interface holding the bound address.
#pragma once

#include "DiscoveryReply.h"
#include "SocketAddress.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <optional>
#include <string>
#include <vector>

class DiscoveryResponder {
public:
    explicit DiscoveryResponder(const ReceiverIdentity& identity);

    // Binds the UDP socket; on failure `error` says why.
    bool open(const sockaddr_in& bindAddress, std::string& error);

    int fd() const { return socket_.get(); }
    // The broadcast listener of a receiver bound to one address; -1 without one.
    int broadcastFd() const { return broadcastSocket_.valid() ? broadcastSocket_.get() : -1; }
    uint16_t port() const { return boundPort(socket_.get()); }

    // Reads the waiting datagrams (a bounded number, so that a flood cannot
    // starve the sessions) and answers the queries among them.
    void handleReadable();

private:
    // Reads and answers one socket's waiting datagrams; `onlyOnBoundInterface`
    // drops those that did not arrive on the bound address's interface.
    void drain(int fd, bool onlyOnBoundInterface);
    void answer(int fd, const sockaddr_in& sender);
    bool arrivedOnBoundInterface(msghdr& message) const;
    bool openBroadcastListener(std::string& error);

    UniqueFd socket_;
    UniqueFd broadcastSocket_;
    std::optional<in_addr> boundAddress_; // with --bind
    std::vector<uint8_t> reply_;
};
