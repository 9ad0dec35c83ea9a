// SPDX-License-Identifier: GPL-3.0-or-later
// The TCP side of the receiver: the listening socket and every client
// connection, each with its own ReceiverSession. Non-blocking throughout, so
// that one slow or hostile client never holds up the others. At most one
// client is logged in at a time: a newly accepted login closes the one before
// it, and the sink lets go of what the closed client held.
//
// What the rules say (who gets a place, who makes room, the login deadlines,
// when a held login's turn comes, how much is said about a connection) it
// asks its AdmissionPolicy; this class does the socket work.
#pragma once

#include "net/AdmissionPolicy.h"
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
    using Limits = AdmissionPolicy::Limits;

    // `passcode` and `sink` must outlive the server; `settings` are every
    // session's. `now` is the time source; tests drive it by hand.
    SessionServer(const std::string& passcode, InputSink& sink, ReceiverSession::Settings settings,
                  Limits limits = {}, std::function<Clock::time_point()> now = Clock::now);
    ~SessionServer();

    // Binds and listens; on failure `error` says why and errno is the cause
    // (EADDRINUSE: another program holds the port).
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

    // The addresses (IPv4, network byte order) that logged in before this
    // run, oldest first: they keep places that strangers cannot take.
    void rememberKnownAddresses(const std::vector<uint32_t>& addresses) { policy_.rememberKnownAddresses(addresses); }
    // Told every address that has logged in, oldest login first, each time a
    // login changes them: what the next run should remember.
    void setKnownAddressesHandler(std::function<void(const std::vector<uint32_t>&)> handler)
    {
        knownAddressesChanged_ = std::move(handler);
    }
    // Told a client's descriptor just before it is closed: a wait that
    // keeps its list between turns must drop it before the number is reused.
    void setClosingHandler(std::function<void(int fd)> handler) { closing_ = std::move(handler); }

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
        AdmissionPolicy::ConnectionId id = 0; // what the policy knows it by
    };

    void acceptClients();
    // Closes every logged-in client but `fd`: one client drives the input at a time.
    void takeOverFrom(int fd);
    void answerDueLogins();
    void expireLogins();
    // Each returns false once the connection has been closed.
    bool readFrom(Connection& connection);
    bool apply(Connection& connection, ReceiverSession::Outcome outcome);
    bool flush(Connection& connection);
    void close(int fd, const std::string& why);
    // A notice about one connection, as far as its share goes.
    void tell(Connection& connection, const std::string& text);
    // Says once that an address's logins wait from now on.
    void tellHeldBack(const std::string& peer);
    // The descriptor of a connection; -1 when it is gone.
    int fdOf(AdmissionPolicy::ConnectionId id) const;

    const std::string& passcode_;
    InputSink& sink_;
    ReceiverSession::Settings settings_;
    std::function<Clock::time_point()> now_;
    AdmissionPolicy policy_;
    std::function<void(const std::vector<uint32_t>&)> knownAddressesChanged_;
    std::function<void(int fd)> closing_;
    UniqueFd listener_;
    std::map<int, Connection> connections_;
};
