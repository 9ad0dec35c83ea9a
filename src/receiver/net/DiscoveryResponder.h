// SPDX-License-Identifier: GPL-3.0-or-later
// The discovery socket: answers query datagrams with the receiver's identity.
// It shares its UDP port (SO_REUSEADDR) so that a client on the same computer
// can bind the port too; to reach such a client whichever socket got the
// unicast, a query from this computer is also answered on the loopback
// broadcast address.
//
// A socket bound to one unicast address (--bind) never sees a broadcast. So
// that the computer is still found on that address's network, a second
// socket listens on all addresses of the port and answers only the
// broadcasts that came in on the interface holding the bound address.
//
// Every datagram is hostile until shown otherwise: a query is answered only
// when its source is this computer or lies on the network of the interface
// it came in on (a forged source elsewhere gets nothing), and replies are
// rate-limited per source and in all, with shares of the bound on all kept
// for the phones that logged in or were answered before (DiscoveryRateLimit).
#pragma once

#include "net/DiscoveryRateLimit.h"
#include "net/DiscoveryReply.h"
#include "net/LocalAddresses.h"
#include "net/SocketAddress.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class DiscoveryResponder {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        DiscoveryRateLimit::Policy rate;
        // The time source; tests drive it by hand.
        std::function<Clock::time_point()> now = Clock::now;
    };

    DiscoveryResponder(const ReceiverIdentity& identity, Limits limits);
    explicit DiscoveryResponder(const ReceiverIdentity& identity)
        : DiscoveryResponder(identity, Limits{})
    {
    }

    // Binds the UDP socket; on failure `error` says why.
    bool open(const sockaddr_in& bindAddress, std::string& error);

    int fd() const { return socket_.get(); }
    // The broadcast listener of a receiver bound to one address; -1 without one.
    int broadcastFd() const { return broadcastSocket_.valid() ? broadcastSocket_.get() : -1; }
    uint16_t port() const { return boundPort(socket_.get()); }

    // Reads the waiting datagrams (a bounded number, so that a flood cannot
    // starve the sessions) and answers the queries among them.
    void handleReadable();

    // The addresses that have logged in through a session, this run or an
    // earlier one: a share of the replies is kept for them (see
    // DiscoveryRateLimit).
    void rememberLoggedIn(const std::vector<uint32_t>& addresses) { rate_.setLoggedIn(addresses); }

    // Whether another receiver already answers discovery queries on the port
    // of `bindAddress`: it is asked as a phone would, from this computer, and
    // its identity returned when it answers within `wait`. Nothing is asked
    // when no other socket holds the port.
    static std::optional<ReceiverIdentity> findAnotherReceiver(const sockaddr_in& bindAddress,
                                                               std::chrono::milliseconds wait);
    // Asks `address` (all addresses: this computer's loopback) a discovery
    // query, as a phone would; the identity in its reply when one comes
    // within `wait`.
    static std::optional<ReceiverIdentity> askReceiver(const sockaddr_in& address, std::chrono::milliseconds wait);

private:
    // Reads and answers one socket's waiting datagrams; `onlyOnBoundInterface`
    // drops those that did not arrive on the bound address's interface.
    void drain(int fd, bool onlyOnBoundInterface);
    bool mayAnswer(const sockaddr_in& sender, std::optional<unsigned> arrival, Clock::time_point now);
    void answer(int fd, const sockaddr_in& sender, Clock::time_point now);
    bool openBroadcastListener(std::string& error);

    Limits limits_;
    LocalNetworks networks_;
    DiscoveryRateLimit rate_;
    UniqueFd socket_;
    UniqueFd broadcastSocket_;
    std::optional<in_addr> boundAddress_; // with --bind
    std::vector<uint8_t> reply_;
};
