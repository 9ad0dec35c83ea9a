// The discovery socket: answers every query datagram with the receiver's
// identity. It shares its UDP port (SO_REUSEADDR) so that a client on the same
// computer can bind the port too; to reach such a client whichever socket got
// the unicast, a query from this computer is also answered on the loopback
// broadcast address.
#pragma once

#include "DiscoveryReply.h"
#include "SocketAddress.h"

#include <string>
#include <vector>

class DiscoveryResponder {
public:
    explicit DiscoveryResponder(const ReceiverIdentity& identity);

    // Binds the UDP socket; on failure `error` says why.
    bool open(const sockaddr_in& bindAddress, std::string& error);

    int fd() const { return socket_.get(); }
    uint16_t port() const { return boundPort(socket_.get()); }

    // Reads the waiting datagrams (a bounded number, so that a flood cannot
    // starve the sessions) and answers the queries among them.
    void handleReadable();

private:
    void answer(const sockaddr_in& sender);

    UniqueFd socket_;
    std::vector<uint8_t> reply_;
};
