// SPDX-License-Identifier: GPL-3.0-or-later
// The TCP side of the receiver: the listening socket and every client
// connection, each with its own ReceiverSession. Non-blocking throughout, so
// that one slow or hostile client never holds up the others. At most one
// client is logged in at a time: a newly accepted login closes the one before
// it, and the sink lets go of what the closed client held.
//
// Against hostile clients: logins wait their turn in a LoginThrottle (so a
// passcode cannot be guessed quickly); each address may hold only a few
// connections; a newcomer makes room only by closing a client that has been
// connected for a while without logging in, never one that has just arrived;
// and the notices about any one connection are limited.
#pragma once

#include "net/LoginThrottle.h"
#include "net/ReceiverSession.h"
#include "net/SocketAddress.h"
#include "sinks/InputSink.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <string>
#include <vector>

class SessionServer {
public:
    using Clock = std::chrono::steady_clock;

    struct Limits {
        // Clients at once. When all places are taken, the oldest client that
        // has not logged in (or was refused) makes room for a newcomer, if it
        // has been connected for the grace period; otherwise the newcomer is
        // turned away.
        std::size_t maxConnections = 64;
        std::size_t maxConnectionsPerAddress = 8;
        std::chrono::milliseconds gracePeriod = std::chrono::seconds(2);
        // A client whose login has not been answered by then is dropped, so
        // that idle connections cannot hold places for ever.
        std::chrono::milliseconds loginTimeout = std::chrono::seconds(30);
        // Notices about one connection between its arrival and its end.
        int noticesPerConnection = 4;
        LoginThrottle::Policy throttle;
        // The time source; tests drive it by hand.
        std::function<Clock::time_point()> now = Clock::now;
    };

    // `passcode` and `sink` must outlive the server.
    SessionServer(const std::string& passcode, InputSink& sink, Limits limits);
    SessionServer(const std::string& passcode, InputSink& sink)
        : SessionServer(passcode, sink, Limits{})
    {
    }
    ~SessionServer();

    bool open(const sockaddr_in& bindAddress, std::string& error);
    uint16_t port() const { return boundPort(listener_.get()); }

    // Adds the listening socket and every connection to a poll set.
    void addPollFds(std::vector<pollfd>& fds) const;
    // Handles what poll reported for the descriptors that addPollFds added,
    // answers the held logins whose turn has come, then drops the clients
    // whose login is overdue.
    void handleReady(const std::vector<pollfd>& fds);
    // How long poll may sleep before a held login's turn comes or a login
    // falls due; nothing when no client is waiting for either.
    std::optional<std::chrono::milliseconds> timeUntilNextDeadline() const;

    std::size_t connectionCount() const { return connections_.size(); }

    // Closes every connection (telling the sink of each).
    void closeAll();

private:
    struct Connection {
        UniqueFd socket;
        std::string peer;
        uint32_t address = 0; // IPv4, network byte order
        std::unique_ptr<ReceiverSession> session;
        std::vector<uint8_t> outbox; // bytes the socket did not take yet
        bool closeWhenSent = false;
        Clock::time_point arrived;
        Clock::time_point loginDue;
        uint64_t serial = 0; // order of arrival
        int noticesLeft = 0;
    };

    void acceptClients();
    // Why a newcomer from `address` cannot be taken; empty when it can (after
    // making room if need be).
    std::string makeRoomFor(uint32_t address);
    // Closes every logged-in client but `fd`: one client drives the input at a time.
    void takeOverFrom(int fd);
    void answerDueLogins();
    void expireLogins();
    // Each returns false once the connection has been closed.
    bool readFrom(Connection& connection);
    bool apply(Connection& connection, ReceiverSession::Outcome outcome);
    bool flush(Connection& connection);
    void close(int fd, const std::string& why);
    // A notice about one connection: left out once its share is spent, and
    // while its address is held back by the throttle (which said so once).
    void tell(Connection& connection, const std::string& text);
    bool isHeldBack(uint32_t address) const;

    const std::string& passcode_;
    InputSink& sink_;
    Limits limits_;
    LoginThrottle throttle_;
    uint64_t nextSerial_ = 0;
    UniqueFd listener_;
    std::map<int, Connection> connections_;
};
