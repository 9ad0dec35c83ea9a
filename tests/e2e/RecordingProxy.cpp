// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/RecordingProxy.h"

#include "support/LoopbackSockets.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr std::size_t kReadSize = 4096;
constexpr int kPollMs = 20;
constexpr auto kReplayAnswerWait = std::chrono::milliseconds(300);

// Whether `bytes` begins with a whole value-tree message (0x80, a 4-byte
// little-endian length, the payload).
bool holdsWholeMessage(const Bytes& bytes)
{
    if (bytes.size() < 5)
        return false;
    const std::size_t length = bytes[1] | bytes[2] << 8 | bytes[3] << 16 | std::size_t(bytes[4]) << 24;
    return bytes.size() >= 5 + length;
}

// Closes with a reset (RST) instead of an orderly end.
void reset(UniqueFd& socket)
{
    const linger abortive{1, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    socket.reset();
}

// A send to a peer that stopped reading gives up after a while instead of
// holding the proxy's thread.
void boundSends(int fd)
{
    const timeval bound{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
}

// What arrived on `fd` by now, without waiting; false when it closed.
bool drain(int fd, Bytes& into)
{
    uint8_t buffer[kReadSize];
    for (;;) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0)
            into.insert(into.end(), buffer, buffer + got);
        else
            return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

} // namespace

RecordingProxy::RecordingProxy(uint16_t targetPort)
    : targetPort_(targetPort)
    , listener_(listeningOnLoopback(16))
    , port_(localPort(listener_.get()))
    , thread_([this] { run(); })
{
}

RecordingProxy::~RecordingProxy()
{
    stopping_ = true;
    thread_.join();
}

void RecordingProxy::setMode(Mode mode)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    mode_ = mode;
}

void RecordingProxy::flipClientBitAt(std::size_t offset)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    flipAt_ = std::make_pair(connections_.empty() ? 0 : connections_.size() - 1, offset);
}

std::vector<RecordingProxy::Connection> RecordingProxy::connections() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return connections_;
}

Bytes RecordingProxy::replay(std::size_t index) const
{
    const std::vector<Bytes> chunks = connections().at(index).clientChunks;
    const UniqueFd session = connectToLoopback(targetPort_, /*noDelay=*/true);
    Bytes answers;
    for (const Bytes& chunk : chunks) {
        if (!sendAll(session.get(), chunk))
            break;
        if (waitUntilReadable(session.get(), kReplayAnswerWait) && !drain(session.get(), answers))
            break; // the receiver closed the connection
    }
    return answers;
}

void RecordingProxy::run()
{
    while (!stopping_) {
        std::vector<pollfd> fds{{listener_.get(), POLLIN, 0}};
        for (const Link& link : links_) {
            fds.push_back({link.client.get(), POLLIN, 0});
            fds.push_back({link.receiver.valid() ? link.receiver.get() : -1, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), kPollMs) <= 0)
            continue;
        // Back to front, so that closing a link leaves the indexes before it.
        for (std::size_t i = links_.size(); i-- > 0;) {
            const bool open = (!fds[1 + 2 * i].revents || fromClient(links_[i]))
                              && (!fds[2 + 2 * i].revents || fromReceiver(links_[i]));
            if (!open)
                links_.erase(links_.begin() + long(i));
        }
        if (fds[0].revents)
            accept();
    }
}

void RecordingProxy::accept()
{
    UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid())
        return;
    boundSends(client.get());
    const int on = 1; // the relay forwards each piece at once, as the ends send them
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Link link;
    link.client = std::move(client);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        link.index = connections_.size();
        link.mode = mode_;
        connections_.emplace_back();
    }
    if (link.mode == Mode::Relay) {
        link.receiver = connectToLoopback(targetPort_, /*noDelay=*/true);
        if (!link.receiver.valid())
            return; // the client sees its connection closed
        boundSends(link.receiver.get());
    }
    links_.push_back(std::move(link));
}

bool RecordingProxy::fromClient(Link& link)
{
    uint8_t buffer[kReadSize];
    const ssize_t got = ::recv(link.client.get(), buffer, sizeof buffer, 0);
    if (got <= 0)
        return false;
    Bytes chunk(buffer, buffer + got);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Connection& connection = connections_[link.index];
        connection.fromClient.insert(connection.fromClient.end(), chunk.begin(), chunk.end());
        connection.clientChunks.push_back(chunk);
        if (flipAt_ && flipAt_->first == link.index && flipAt_->second >= link.clientBytes
            && flipAt_->second < link.clientBytes + chunk.size()) {
            chunk[flipAt_->second - link.clientBytes] ^= 0x01;
            flipAt_.reset();
        }
    }
    link.clientBytes += chunk.size();
    if (link.mode == Mode::Relay)
        return sendAll(link.receiver.get(), chunk);

    const bool wasWhole = holdsWholeMessage(link.firstMessage);
    link.firstMessage.insert(link.firstMessage.end(), chunk.begin(), chunk.end());
    if (wasWhole || !holdsWholeMessage(link.firstMessage))
        return true;
    if (link.mode == Mode::ResetAfterFirstMessage) {
        reset(link.client);
        return false;
    }
    const Bytes refusal = loginReply(1);
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Bytes& answered = connections_[link.index].fromReceiver;
        answered.insert(answered.end(), refusal.begin(), refusal.end());
    }
    return sendAll(link.client.get(), refusal);
}

bool RecordingProxy::fromReceiver(Link& link)
{
    uint8_t buffer[kReadSize];
    const ssize_t got = ::recv(link.receiver.get(), buffer, sizeof buffer, 0);
    if (got <= 0)
        return false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        Bytes& received = connections_[link.index].fromReceiver;
        received.insert(received.end(), buffer, buffer + got);
    }
    return sendAll(link.client.get(), Bytes(buffer, buffer + got));
}
