#include "LoopbackSockets.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace {

using Clock = std::chrono::steady_clock;

bool waitReadable(int fd, Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd ready{fd, POLLIN, 0};
    return poll(&ready, 1, left < 0 ? 0 : static_cast<int>(left)) > 0;
}

} // namespace

UniqueFd connectToLoopback(uint16_t port, const char* from)
{
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const sockaddr_in local = *makeAddress(from, 0);
    const sockaddr_in address = *makeAddress("127.0.0.1", port);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
        || ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        socket.reset();
    return socket;
}

std::string formatPeerOfLocalEnd(int fd)
{
    sockaddr_in local{};
    socklen_t size = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size);
    return formatPeer(local);
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

std::optional<Bytes> receiveExactly(int fd, std::size_t count, std::chrono::milliseconds wait)
{
    const auto deadline = Clock::now() + wait;
    Bytes bytes(count);
    std::size_t have = 0;
    while (have < count) {
        if (!waitReadable(fd, deadline))
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
        if (!waitReadable(fd, deadline))
            return false;
        uint8_t scratch[256];
        const ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET))
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

UniqueFd boundUdpSocket(const char* address, uint16_t port, bool shared)
{
    UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (shared) {
        const int on = 1;
        setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    const sockaddr_in local = *makeAddress(address, port);
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        socket.reset();
    return socket;
}

bool sendDatagramToLoopback(int fd, uint16_t port, const Bytes& datagram)
{
    const sockaddr_in destination = *makeAddress("127.0.0.1", port);
    return ::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
                    sizeof destination)
           == ssize_t(datagram.size());
}

std::optional<Bytes> receiveDatagram(int fd, std::chrono::milliseconds wait)
{
    if (!waitReadable(fd, Clock::now() + wait))
        return std::nullopt;
    Bytes datagram(65536);
    const ssize_t n = ::recv(fd, datagram.data(), datagram.size(), 0);
    if (n < 0)
        return std::nullopt;
    datagram.resize(std::size_t(n));
    return datagram;
}
