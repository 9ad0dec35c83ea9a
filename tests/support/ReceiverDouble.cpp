// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ReceiverDouble.h"

#include "support/GenerousWait.h"
#include "support/LoopbackSockets.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPiecePauseMs = 30;

} // namespace

ReceiverDouble::ReceiverDouble(ReceiverScript script) : script_(std::move(script))
{
    listener_ = boundOnLoopback();
    if (script_.stopsReadingAfterReply) {
        // A small window (inherited by the accepted socket) fills up soon.
        const int small = 4096;
        setsockopt(listener_.get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    }
    if (!listener_.valid() || listen(listener_.get(), 4) != 0 || pipe2(wakePipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot start the receiver double");
    port_ = localPort(listener_.get());
    thread_ = std::thread([this] { run(); });
}

ReceiverDouble::~ReceiverDouble()
{
    const char stop = 'x';
    (void)!write(wakePipe_[1], &stop, 1);
    thread_.join();
    close(wakePipe_[0]);
    close(wakePipe_[1]);
}

template <typename Ready> bool ReceiverDouble::waitFor(Ready ready)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGenerousWait, ready);
}

Bytes ReceiverDouble::loginFrame()
{
    waitFor([this] { return loginDone_ || peerClosed_; });
    std::lock_guard<std::mutex> lock(mutex_);
    return login_;
}

Bytes ReceiverDouble::received(size_t count)
{
    waitFor([&] { return received_.size() >= count || peerClosed_; });
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool ReceiverDouble::waitForPeerClose()
{
    return waitFor([this] { return peerClosed_; });
}

bool ReceiverDouble::waitForOwnClose()
{
    return waitFor([this] { return ownClosed_; });
}

uint16_t ReceiverDouble::clientPort()
{
    waitFor([this] { return clientPort_ != 0; });
    std::lock_guard<std::mutex> lock(mutex_);
    return clientPort_;
}

// Sleeps, but wakes at once when the double is being torn down (false then).
bool ReceiverDouble::pause(int milliseconds)
{
    pollfd wake{wakePipe_[0], POLLIN, 0};
    return poll(&wake, 1, milliseconds) == 0;
}

void ReceiverDouble::run()
{
    pollfd waiters[2] = {{listener_.get(), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    if (poll(waiters, 2, -1) <= 0 || (waiters[1].revents & POLLIN))
        return;
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = accept4(listener_.get(), reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0)
        return;
    const int noDelay = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        clientPort_ = ntohs(peer.sin_port);
    }
    changed_.notify_all();

    bool open = !script_.readsLogin || readLogin(fd);
    for (size_t i = 0; open && i < script_.replyPieces.size(); ++i) {
        if (i > 0 && !pause(kPiecePauseMs))
            open = false;
        const Bytes& piece = script_.replyPieces[i];
        if (open && send(fd, piece.data(), piece.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(piece.size()))
            open = false;
    }
    if (open && script_.closesAfterReply) {
        close(fd);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ownClosed_ = true;
        }
        changed_.notify_all();
        return;
    }
    if (open && script_.stopsReadingAfterReply)
        pause(-1); // until the double is torn down
    else if (open)
        recordUntilClosed(fd);
    close(fd);
}

// Reads the login: one value-tree message, its header and its payload.
bool ReceiverDouble::readLogin(int fd)
{
    Bytes frame;
    const MessageRead outcome = readMessage(fd, frame, wakePipe_[0]);
    if (outcome == MessageRead::Cancelled)
        return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A frame too long to read is handed over as far as it came, and
        // the test that looks at it fails at once.
        login_ = frame;
        loginDone_ = outcome != MessageRead::PeerClosed;
        peerClosed_ = outcome == MessageRead::PeerClosed;
    }
    changed_.notify_all();
    return outcome == MessageRead::Whole;
}

void ReceiverDouble::recordUntilClosed(int fd)
{
    uint8_t chunk[2048];
    for (;;) {
        pollfd waiters[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (poll(waiters, 2, -1) <= 0 || (waiters[1].revents & POLLIN))
            return;
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (n > 0)
                received_.insert(received_.end(), chunk, chunk + n);
            else
                peerClosed_ = true;
        }
        changed_.notify_all();
        if (n <= 0)
            return;
    }
}

RefusingPort::RefusingPort() : fd_(boundOnLoopback()), port_(localPort(fd_.get()))
{
    if (!fd_.valid())
        throw std::runtime_error("cannot bind a loopback socket");
}
