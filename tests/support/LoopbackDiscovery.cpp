// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LoopbackDiscovery.h"

#include "ComputerListViewController.h"
#include "support/LoopbackSockets.h"

LoopbackDiscovery::LoopbackDiscovery()
    : socket_(boundUdpSocket("127.0.0.1", 0))
    , port_(localPort(socket_.get()))
    , saved_(ComputerListViewController::defaultDiscoveryEndpoint())
{
    DiscoveryEndpoint endpoint;
    endpoint.address = "127.255.255.255";
    endpoint.destinationPort = port_;
    endpoint.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(endpoint);
}

LoopbackDiscovery::~LoopbackDiscovery()
{
    ComputerListViewController::setDefaultDiscoveryEndpoint(saved_);
}
