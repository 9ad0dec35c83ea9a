// SPDX-License-Identifier: GPL-3.0-or-later
// The TCP side of the receiver: the listening socket and every client
// connection, each with its own ReceiverSession. Non-blocking throughout, so
// that one slow or hostile client never holds up the others. At most one
// client is logged in at a time: a newly accepted login closes the one before
// it, and the sink lets go of what the closed client held.
#pragma once

#include "InputSink.h"
#include "ReceiverSession.h"
#include "SocketAddress.h"

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
        // has not logged in (or was refused) makes room for a newcomer; when
        // every client is logged in, the newcomer is turned away.
        std::size_t maxConnections = 64;
        // A client that has not sent its login by then is dropped, so that
        // idle connections cannot hold places for ever.
        std::chrono::milliseconds loginTimeout = std::chrono::seconds(30);
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
    // then drops the clients whose login is overdue.
    void handleReady(const std::vector<pollfd>& fds);
    // How long poll may sleep before a login falls due; nothing when no
    // client is waiting to log in.
    std::optional<std::chrono::milliseconds> timeUntilNextDeadline() const;

    std::size_t connectionCount() const { return connections_.size(); }

    // Closes every connection (telling the sink of each).
    void closeAll();

private:
    struct Connection {
        UniqueFd socket;
        std::string peer;
        std::unique_ptr<ReceiverSession> session;
        std::vector<uint8_t> outbox; // bytes the socket did not take yet
        bool closeWhenSent = false;
        Clock::time_point loginDue;
        uint64_t serial = 0; // order of arrival
    };

    void acceptClients();
    // Closes every logged-in client but `fd`: one client drives the input at a time.
    void takeOverFrom(int fd);
    // Closes the oldest client that is not logged in; false when there is none.
    bool evictOldestUnauthenticated();
    void expireLogins();
    // Each returns false once the connection has been closed.
    bool readFrom(Connection& connection);
    bool flush(Connection& connection);
    void close(int fd, const std::string& why);

    const std::string& passcode_;
    InputSink& sink_;
    Limits limits_;
    uint64_t nextSerial_ = 0;
    UniqueFd listener_;
    std::map<int, Connection> connections_;
};
