#include "LoopbackDiscovery.h"

#include "ComputerListViewController.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackDiscovery::LoopbackDiscovery()
{
    fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0
        && ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port_ = ntohs(address.sin_port);
    saved_ = ComputerListViewController::defaultDiscoveryEndpoint();
    DiscoveryEndpoint endpoint;
    endpoint.address = "127.255.255.255";
    endpoint.destinationPort = port_;
    endpoint.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(endpoint);
}

LoopbackDiscovery::~LoopbackDiscovery()
{
    ComputerListViewController::setDefaultDiscoveryEndpoint(saved_);
    if (fd_ >= 0)
        ::close(fd_);
}
