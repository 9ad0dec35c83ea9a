// The TCP side of the receiver: the listening socket and every client
// connection, each with its own ReceiverSession. Non-blocking throughout, so
// that one slow or hostile client never holds up the others.
#pragma once

#include "InputSink.h"
#include "ReceiverSession.h"
#include "SocketAddress.h"

#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <vector>

class SessionServer {
public:
    // More clients than this at once are turned away as they connect.
    static constexpr std::size_t kMaxConnections = 64;

    // `passcode` and `sink` must outlive the server.
    SessionServer(const std::string& passcode, InputSink& sink);
    ~SessionServer();

    bool open(const sockaddr_in& bindAddress, std::string& error);
    uint16_t port() const { return boundPort(listener_.get()); }

    // Adds the listening socket and every connection to a poll set.
    void addPollFds(std::vector<pollfd>& fds) const;
    // Handles what poll reported for the descriptors that addPollFds added.
    void handleReady(const std::vector<pollfd>& fds);

    // Closes every connection (telling the sink of each).
    void closeAll();

private:
    struct Connection {
        UniqueFd socket;
        std::string peer;
        std::unique_ptr<ReceiverSession> session;
        std::vector<uint8_t> outbox; // bytes the socket did not take yet
        bool closeWhenSent = false;
    };

    void acceptClients();
    // Each returns false once the connection has been closed.
    bool readFrom(Connection& connection);
    bool flush(Connection& connection);
    void close(int fd, const std::string& why);

    const std::string& passcode_;
    InputSink& sink_;
    UniqueFd listener_;
    std::map<int, Connection> connections_;
};
