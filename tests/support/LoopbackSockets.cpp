// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LoopbackSockets.h"

#include "WireFormat.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds leftUntil(Clock::time_point deadline)
{
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                    std::chrono::milliseconds(0));
}

UniqueFd tcpSocketOnLoopback()
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in address = ipv4Address("127.0.0.1", 0);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.reset();
    return socket;
}

// Waits for `fd`, or for a byte on `cancelFd` (then false).
bool waitReadableUnlessCancelled(int fd, int cancelFd)
{
    pollfd waiters[2] = {{fd, POLLIN, 0}, {cancelFd, POLLIN, 0}};
    return ::poll(waiters, 2, -1) > 0 && !(waiters[1].revents & POLLIN);
}

} // namespace

sockaddr_in ipv4Address(const char* dotted, uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, dotted, &address.sin_addr);
    return address;
}

uint16_t localPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

bool waitUntilReadable(int fd, std::chrono::milliseconds wait)
{
    pollfd ready{fd, POLLIN, 0};
    return ::poll(&ready, 1, static_cast<int>(wait.count())) > 0;
}

UniqueFd boundOnLoopback()
{
    return tcpSocketOnLoopback();
}

UniqueFd listeningOnLoopback(int backlog)
{
    UniqueFd socket = tcpSocketOnLoopback();
    if (socket.valid() && ::listen(socket.get(), backlog) != 0)
        socket.reset();
    return socket;
}

UniqueFd connectToLoopbackFrom(const char* from, uint16_t port)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in local = ipv4Address(from, 0);
    const sockaddr_in address = ipv4Address("127.0.0.1", port);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
        || ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.reset();
    return socket;
}

UniqueFd connectToLoopback(uint16_t port, bool noDelay)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (noDelay) {
        const int on = 1;
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    }
    const sockaddr_in address = ipv4Address("127.0.0.1", port);
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.reset();
    return socket;
}

std::string formatPeerOfLocalEnd(int fd)
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
    char dotted[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &local.sin_addr, dotted, sizeof dotted);
    return std::string(dotted) + ":" + std::to_string(ntohs(local.sin_port));
}

bool sendAll(int fd, const Bytes& bytes)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return true;
}

bool readExactly(int fd, uint8_t* bytes, std::size_t count)
{
    for (std::size_t have = 0; have < count;) {
        const ssize_t n = ::recv(fd, bytes + have, count - have, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        have += std::size_t(n);
    }
    return true;
}

std::optional<Bytes> receiveExactly(int fd, std::size_t count, std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    Bytes bytes(count);
    std::size_t have = 0;
    while (have < count) {
        if (!waitUntilReadable(fd, leftUntil(deadline)))
            return std::nullopt;
        const ssize_t n = ::recv(fd, bytes.data() + have, count - have, 0);
        if (n <= 0)
            return std::nullopt;
        have += std::size_t(n);
    }
    return bytes;
}

bool waitForPeerClose(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    for (;;) {
        if (!waitUntilReadable(fd, leftUntil(deadline)))
            return false;
        uint8_t scratch[256];
        const ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET))
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

MessageRead readMessage(int fd, Bytes& frame, int cancelFd, std::size_t maxPayload)
{
    frame.clear();
    std::size_t want = REMOTE_MESSAGE_HEADER_SIZE;
    uint8_t chunk[2048];
    while (frame.size() < want) {
        if (!waitReadableUnlessCancelled(fd, cancelFd))
            return MessageRead::Cancelled;
        const ssize_t n = ::recv(fd, chunk, std::min(sizeof chunk, want - frame.size()), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return MessageRead::PeerClosed;
        frame.insert(frame.end(), chunk, chunk + n);
        if (want == REMOTE_MESSAGE_HEADER_SIZE && frame.size() == want) {
            const std::size_t length =
                frame[1] | frame[2] << 8 | frame[3] << 16 | static_cast<std::size_t>(frame[4]) << 24;
            if (length > maxPayload)
                return MessageRead::TooLong;
            want += length;
        }
    }
    return MessageRead::Whole;
}

UniqueFd boundUdpSocket(const char* address, uint16_t port, bool shared)
{
    UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (shared) {
        const int on = 1;
        ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    const sockaddr_in local = ipv4Address(address, port);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        socket.reset();
    return socket;
}

bool sendDatagramToLoopback(int fd, uint16_t port, const Bytes& datagram)
{
    const sockaddr_in destination = ipv4Address("127.0.0.1", port);
    return ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                    sizeof destination)
           == ssize_t(datagram.size());
}

bool sendDatagramWithPacketInfo(int fd, const sockaddr_in& to, const Bytes& datagram, const in_pktinfo& info,
                                int flags)
{
    iovec data{const_cast<uint8_t*>(datagram.data()), datagram.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&to);
    message.msg_namelen = sizeof to;
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* header = CMSG_FIRSTHDR(&message);
    header->cmsg_level = IPPROTO_IP;
    header->cmsg_type = IP_PKTINFO;
    header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    std::memcpy(CMSG_DATA(header), &info, sizeof info);
    return ::sendmsg(fd, &message, flags) == ssize_t(datagram.size());
}

std::optional<Bytes> receiveDatagram(int fd, std::chrono::milliseconds wait)
{
    if (!waitUntilReadable(fd, wait))
        return std::nullopt;
    Bytes datagram(65536);
    const ssize_t n = ::recv(fd, datagram.data(), datagram.size(), 0);
    if (n < 0)
        return std::nullopt;
    datagram.resize(std::size_t(n));
    return datagram;
}
