// SPDX-License-Identifier: GPL-3.0-or-later
#include "SessionServer.h"

#include "Notice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadSize = 4096;
constexpr int kListenBacklog = 16;

} // namespace

SessionServer::SessionServer(const std::string& passcode, InputSink& sink, Limits limits)
    : passcode_(passcode)
    , sink_(sink)
    , limits_(std::move(limits))
{
}

SessionServer::~SessionServer()
{
    closeAll();
}

bool SessionServer::open(const sockaddr_in& bindAddress, std::string& error)
{
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!listener_.valid()) {
        error = std::string("cannot create the session socket: ") + std::strerror(errno);
        return false;
    }
    // Lets a restarted receiver take its port back while old connections linger.
    const int on = 1;
    setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) != 0
        || ::listen(listener_.get(), kListenBacklog) != 0) {
        error = "cannot listen on " + formatPeer(bindAddress) + ": " + std::strerror(errno);
        listener_.reset();
        return false;
    }
    return true;
}

void SessionServer::addPollFds(std::vector<pollfd>& fds) const
{
    fds.push_back({listener_.get(), POLLIN, 0});
    for (const auto& [fd, connection] : connections_) {
        short events = POLLIN;
        if (!connection.outbox.empty())
            events |= POLLOUT;
        fds.push_back({fd, events, 0});
    }
}

void SessionServer::handleReady(const std::vector<pollfd>& fds)
{
    // Clients first, new clients after them: a descriptor that a closed
    // client freed may be handed to a newcomer, which must not then receive
    // what poll said about the old one.
    for (const pollfd& ready : fds) {
        if (ready.fd == listener_.get() || !ready.revents)
            continue;
        auto found = connections_.find(ready.fd);
        if (found == connections_.end())
            continue;
        Connection& connection = found->second;
        if ((ready.revents & POLLOUT) && !flush(connection))
            continue;
        if (ready.revents & (POLLIN | POLLHUP | POLLERR))
            readFrom(connection);
    }
    for (const pollfd& ready : fds) {
        if (ready.fd == listener_.get() && ready.revents)
            acceptClients();
    }
    expireLogins();
}

std::optional<std::chrono::milliseconds> SessionServer::timeUntilNextDeadline() const
{
    std::optional<Clock::time_point> earliest;
    for (const auto& [fd, connection] : connections_) {
        if (connection.session->state() == ReceiverSession::State::AwaitingLogin
            && (!earliest || connection.loginDue < *earliest))
            earliest = connection.loginDue;
    }
    if (!earliest)
        return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*earliest - limits_.now());
    return std::max(left, std::chrono::milliseconds(0));
}

void SessionServer::expireLogins()
{
    const Clock::time_point now = limits_.now();
    std::vector<int> overdue;
    for (const auto& [fd, connection] : connections_) {
        if (connection.session->state() == ReceiverSession::State::AwaitingLogin && connection.loginDue <= now)
            overdue.push_back(fd);
    }
    for (int fd : overdue)
        close(fd, "dropped: no login in time");
}

bool SessionServer::evictOldestUnauthenticated()
{
    const Connection* oldest = nullptr;
    for (const auto& [fd, connection] : connections_) {
        if (connection.session->state() != ReceiverSession::State::Accepted
            && (!oldest || connection.serial < oldest->serial))
            oldest = &connection;
    }
    if (!oldest)
        return false;
    close(oldest->socket.get(), "dropped to make room for a new client");
    return true;
}

void SessionServer::acceptClients()
{
    for (;;) {
        sockaddr_in peerAddress{};
        socklen_t size = sizeof peerAddress;
        UniqueFd client(::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peerAddress), &size,
                                  SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!client.valid()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                notice(std::string("cannot accept a client: ") + std::strerror(errno));
            return;
        }
        const std::string peer = formatPeer(peerAddress);
        if (connections_.size() >= limits_.maxConnections && !evictOldestUnauthenticated()) {
            notice("client " + peer + " turned away: too many connections");
            continue;
        }
        const int on = 1;
        setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const int fd = client.get();
        Connection& connection = connections_[fd];
        connection.socket = std::move(client);
        connection.peer = peer;
        connection.session = std::make_unique<ReceiverSession>(passcode_, sink_);
        connection.session->setAcceptedHandler([this, fd] { takeOverFrom(fd); });
        connection.loginDue = limits_.now() + limits_.loginTimeout;
        connection.serial = nextSerial_++;
        notice("client " + peer + " connected");
        sink_.connected(peer);
    }
}

void SessionServer::takeOverFrom(int fd)
{
    std::vector<int> replaced;
    for (const auto& [other, connection] : connections_) {
        if (other != fd && connection.session->state() == ReceiverSession::State::Accepted)
            replaced.push_back(other);
    }
    const std::string& newcomer = connections_.at(fd).peer;
    for (int other : replaced)
        close(other, "closed: a newer login from " + newcomer + " took over");
}

bool SessionServer::readFrom(Connection& connection)
{
    uint8_t bytes[kReadSize];
    const ssize_t received = ::recv(connection.socket.get(), bytes, sizeof bytes, MSG_DONTWAIT);
    if (received < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return true;
        close(connection.socket.get(), std::string("dropped: ") + std::strerror(errno));
        return false;
    }
    if (received == 0) {
        close(connection.socket.get(), "disconnected");
        return false;
    }

    ReceiverSession::Outcome outcome = connection.session->receive(bytes, std::size_t(received));
    for (const std::string& text : outcome.notices)
        notice("client " + connection.peer + ": " + text);
    connection.outbox.insert(connection.outbox.end(), outcome.reply.begin(), outcome.reply.end());
    if (outcome.drop) {
        notice("client " + connection.peer + " dropped: " + outcome.dropReason);
        connection.closeWhenSent = true;
    }
    return flush(connection);
}

bool SessionServer::flush(Connection& connection)
{
    while (!connection.outbox.empty()) {
        const ssize_t sent = ::send(connection.socket.get(), connection.outbox.data(), connection.outbox.size(),
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            close(connection.socket.get(), std::string("dropped: ") + std::strerror(errno));
            return false;
        }
        connection.outbox.erase(connection.outbox.begin(), connection.outbox.begin() + sent);
    }
    // A client dropped for a protocol error gets what was already owed to it
    // when the socket takes it at once; it is not waited for.
    if (connection.closeWhenSent) {
        close(connection.socket.get(), "");
        return false;
    }
    return true;
}

void SessionServer::close(int fd, const std::string& why)
{
    auto found = connections_.find(fd);
    if (found == connections_.end())
        return;
    if (!why.empty())
        notice("client " + found->second.peer + " " + why);
    if (found->second.session->state() == ReceiverSession::State::Accepted)
        sink_.releaseHeld();
    connections_.erase(found);
    sink_.disconnected();
}

void SessionServer::closeAll()
{
    while (!connections_.empty())
        close(connections_.begin()->first, "closed: the receiver is stopping");
}
