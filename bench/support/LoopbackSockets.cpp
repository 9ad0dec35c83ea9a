// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoopbackSockets.h"

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

sockaddr_in loopbackAddress(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

int boundLoopbackSocket(uint16_t& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopbackAddress(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int listeningLoopbackSocket(uint16_t& port)
{
    const int fd = boundLoopbackSocket(port);
    if (fd >= 0 && listen(fd, 1) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int connectOnLoopback(uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int noDelay = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    const sockaddr_in address = loopbackAddress(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool readExactly(int fd, uint8_t* bytes, size_t count)
{
    for (size_t have = 0; have < count;) {
        const ssize_t n = recv(fd, bytes + have, count - have, 0);
        if (n <= 0)
            return false;
        have += static_cast<size_t>(n);
    }
    return true;
}

} // namespace bench
