// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/SessionServer.h"

#include "common/Notice.h"

#include <cerrno>
#include <cstring>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::size_t kReadSize = 4096;
// Connections taken per wake-up, so that a flood of them cannot keep the
// loop from the clients it already has.
constexpr int kAcceptsPerWakeUp = 64;

std::string seconds(std::chrono::milliseconds duration)
{
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(duration).count()) + " s";
}

std::string addressOf(const std::string& peer)
{
    return peer.substr(0, peer.rfind(':'));
}

} // namespace

SessionServer::SessionServer(const std::string& passcode, InputSink& sink, ReceiverSession::Settings settings,
                             Limits limits, std::function<Clock::time_point()> now)
    : passcode_(passcode)
    , sink_(sink)
    , settings_(std::move(settings))
    , now_(std::move(now))
    , policy_(std::move(limits))
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
    // The longest queue the system allows: under a flood of connections the
    // queue must not overflow, or honest SYNs are dropped and retried seconds later.
    if (::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) != 0
        || ::listen(listener_.get(), SOMAXCONN) != 0) {
        const int failure = errno;
        error = "cannot listen on " + formatPeer(bindAddress) + ": " + std::strerror(failure);
        listener_.reset();
        errno = failure; // the caller tells a port in use from other failures
        return false;
    }
    return true;
}

void SessionServer::addPollFds(std::vector<pollfd>& fds) const
{
    fds.push_back({listener_.get(), POLLIN, 0});
    for (const auto& [fd, connection] : connections_) {
        // What follows a held login is left unread (the socket's own buffers
        // hold it); only the client going away is watched for.
        short events = connection.session->state() == ReceiverSession::State::LoginPending ? POLLRDHUP : POLLIN;
        if (!connection.outbox.empty())
            events |= POLLOUT;
        fds.push_back({fd, events, 0});
    }
}

void SessionServer::handleReady(const std::vector<pollfd>& fds)
{
    // Held logins whose turn came while poll slept go before newcomers.
    answerDueLogins();
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
        if (connection.session->state() == ReceiverSession::State::LoginPending) {
            if (ready.revents & (POLLRDHUP | POLLHUP | POLLERR))
                close(ready.fd, "went away before its login was answered");
            continue;
        }
        if (ready.revents & (POLLIN | POLLHUP | POLLERR))
            readFrom(connection);
    }
    for (const pollfd& ready : fds) {
        if (ready.fd == listener_.get() && ready.revents)
            acceptClients();
    }
    answerDueLogins();
    expireLogins();
}

std::optional<std::chrono::milliseconds> SessionServer::timeUntilNextDeadline() const
{
    return policy_.timeUntilNextDeadline(now_());
}

void SessionServer::answerDueLogins()
{
    policy_.takeDueLogins(now_(), [this](AdmissionPolicy::ConnectionId id) {
        auto found = connections_.find(fdOf(id));
        if (found != connections_.end())
            apply(found->second, found->second.session->answerPendingLogin());
    });
}

void SessionServer::expireLogins()
{
    const Clock::time_point now = now_();
    std::vector<std::pair<int, const char*>> overdue;
    for (const auto& [fd, connection] : connections_) {
        if (!policy_.loginOverdue(connection.id, now))
            continue;
        if (connection.session->state() == ReceiverSession::State::LoginPending)
            overdue.emplace_back(fd, "dropped: its login was held back too long");
        else
            overdue.emplace_back(fd, "dropped: no login in time");
    }
    for (const auto& [fd, why] : overdue)
        close(fd, why);
}

int SessionServer::fdOf(AdmissionPolicy::ConnectionId id) const
{
    for (const auto& [fd, connection] : connections_) {
        if (connection.id == id)
            return fd;
    }
    return -1;
}

void SessionServer::acceptClients()
{
    for (int taken = 0; taken < kAcceptsPerWakeUp;) {
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
        ++taken;
        const std::string peer = formatPeer(peerAddress);
        const uint32_t address = peerAddress.sin_addr.s_addr;
        const AdmissionPolicy::Admission admission = policy_.admit(address, now_());
        if (!admission.admitted) {
            if (!policy_.isHeldBack(address))
                connectionNotice("client " + peer + " turned away: " + admission.refusal);
            continue;
        }
        if (admission.makeRoomBy)
            close(fdOf(*admission.makeRoomBy), "dropped to make room for a new client");
        const int on = 1;
        setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        const int fd = client.get();
        Connection& connection = connections_[fd];
        connection.socket = std::move(client);
        connection.peer = peer;
        connection.address = address;
        connection.id = policy_.arrived(address, now_());
        connection.session = std::make_unique<ReceiverSession>(passcode_, sink_, settings_);
        connection.session->setAcceptedHandler([this, fd] { takeOverFrom(fd); });
        connection.session->setHelloGate([this, id = connection.id] { return policy_.mayAnswerHello(id, now_()); });
        connection.session->setLoginGate([this, id = connection.id] {
            if (policy_.mayCheckLoginNow(id, now_()))
                return true;
            policy_.loginHeld(id);
            return false;
        });
        if (!policy_.isHeldBack(address))
            connectionNotice("client " + peer + " connected");
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
    return apply(connection, connection.session->receive(bytes, std::size_t(received)));
}

bool SessionServer::apply(Connection& connection, ReceiverSession::Outcome outcome)
{
    for (const std::string& text : outcome.notices)
        tell(connection, text);
    if (outcome.challenged)
        policy_.challenged(connection.id);
    if (outcome.verdict && policy_.loginAnswered(connection.id, *outcome.verdict, now_()))
        tellHeldBack(connection.peer);
    if (const auto known = policy_.takeChangedKnownAddresses(); known && knownAddressesChanged_)
        knownAddressesChanged_(*known);
    connection.outbox.insert(connection.outbox.end(), outcome.reply.begin(), outcome.reply.end());
    if (outcome.drop) {
        tell(connection, "dropped: " + outcome.dropReason);
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

void SessionServer::tell(Connection& connection, const std::string& text)
{
    const AdmissionPolicy::NoticeShare share = policy_.takeNotice(connection.id);
    if (share == AdmissionPolicy::NoticeShare::None)
        return;
    notice("client " + connection.peer + ": " + text);
    if (share == AdmissionPolicy::NoticeShare::Last)
        notice("client " + connection.peer + ": further notices about this connection are left out");
}

void SessionServer::tellHeldBack(const std::string& peer)
{
    const LoginThrottle::Policy& policy = policy_.throttlePolicy();
    notice("client " + addressOf(peer) + ": " + std::to_string(policy.freeFailures)
           + " wrong passcodes; from now on each login from this address waits (" + seconds(policy.firstDelay)
           + ", doubling up to " + seconds(policy.maxDelay) + ") and is not reported one by one");
}

void SessionServer::close(int fd, const std::string& why)
{
    auto found = connections_.find(fd);
    if (found == connections_.end())
        return;
    const bool drove = found->second.session->state() == ReceiverSession::State::Accepted;
    if (!why.empty() && !policy_.isHeldBack(found->second.address)) {
        // The end of the client that drove the input matters more than the
        // comings and goings of others.
        const std::string text = "client " + found->second.peer + " " + why;
        drove ? notice(text) : connectionNotice(text);
    }
    if (drove)
        sink_.releaseHeld();
    if (policy_.left(found->second.id, now_()))
        tellHeldBack(found->second.peer);
    if (closing_)
        closing_(fd);
    connections_.erase(found);
    sink_.disconnected();
}

void SessionServer::closeAll()
{
    while (!connections_.empty())
        close(connections_.begin()->first, "closed: the receiver is stopping");
}
