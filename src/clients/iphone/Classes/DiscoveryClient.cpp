// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiscoveryClient.h"

#include "DiscoveryMessages.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

DiscoveryClient::~DiscoveryClient()
{
    close();
}

bool DiscoveryClient::open(uint16_t localPort)
{
    close();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd_ == -1)
        return false;
    open_ = true;
    const int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    // The phone's stand-in and quillon-receiver may share the port on one computer.
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags == -1)
        flags = 0;
    ::fcntl(fd_, F_SETFL, flags | O_NONBLOCK);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(localPort);
    ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    return true;
}

void DiscoveryClient::close()
{
    if (!open_)
        return;
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    open_ = false;
    fd_ = -1;
}

uint16_t DiscoveryClient::boundPort() const
{
    if (!open_)
        return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

void DiscoveryClient::sendQuery(const DiscoveryEndpoint& endpoint)
{
    if (!open_)
        return;
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(endpoint.destinationPort);
    if (::inet_pton(AF_INET, endpoint.address.c_str(), &destination.sin_addr) != 1)
        return;
    const std::vector<uint8_t> query = discovery_query();
    ::sendto(fd_, query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
             sizeof destination);
}

int DiscoveryClient::poll(int maxDatagrams, const std::function<void(const std::shared_ptr<Computer>&)>& found)
{
    if (!open_)
        return 0;
    int handled = 0;
    for (; handled < maxDatagrams; ++handled) {
        uint8_t buffer[DISCOVERY_REPLY_CAPACITY + 1];
        sockaddr_in sender{};
        socklen_t senderLength = sizeof sender;
        const ssize_t received = ::recvfrom(fd_, buffer, DISCOVERY_REPLY_CAPACITY, 0,
                                            reinterpret_cast<sockaddr*>(&sender), &senderLength);
        if (received < 0)
            break;
        buffer[received] = 0;
        char senderText[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &sender.sin_addr, senderText, sizeof senderText);
        if (auto computer = discovery_computerFromReply(buffer, int(received), QString::fromLatin1(senderText)))
            found(computer);
    }
    return handled;
}
