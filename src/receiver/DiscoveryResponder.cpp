// SPDX-License-Identifier: GPL-3.0-or-later
#include "DiscoveryResponder.h"

#include "LocalAddresses.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace {

constexpr int kDatagramsPerWakeUp = 64;
// One more than the phone ever reads, so that an oversized datagram shows up
// as truncated rather than as a valid prefix.
constexpr std::size_t kReceiveSize = 4096 + 1;
constexpr const char* kLoopbackBroadcast = "127.255.255.255";

} // namespace

DiscoveryResponder::DiscoveryResponder(const ReceiverIdentity& identity)
    : reply_(encodeDiscoveryReply(identity).value_or(std::vector<uint8_t>{}))
{
}

bool DiscoveryResponder::open(const sockaddr_in& bindAddress, std::string& error)
{
    if (reply_.empty()) {
        error = "the discovery reply does not fit one datagram";
        return false;
    }
    socket_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!socket_.valid()) {
        error = std::string("cannot create the discovery socket: ") + std::strerror(errno);
        return false;
    }
    const int on = 1;
    setsockopt(socket_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(socket_.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (::bind(socket_.get(), reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) != 0) {
        error = "cannot bind the discovery port " + formatPeer(bindAddress) + ": " + std::strerror(errno);
        socket_.reset();
        return false;
    }
    boundAddress_.reset();
    broadcastSocket_.reset();
    if (bindAddress.sin_addr.s_addr == htonl(INADDR_ANY))
        return true;
    boundAddress_ = bindAddress.sin_addr;
    if (!openBroadcastListener(error)) {
        socket_.reset();
        return false;
    }
    return true;
}

bool DiscoveryResponder::openBroadcastListener(std::string& error)
{
    broadcastSocket_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(port());
    const bool ok = broadcastSocket_.valid()
                    && setsockopt(broadcastSocket_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
                    && setsockopt(broadcastSocket_.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0
                    && setsockopt(broadcastSocket_.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0
                    && ::bind(broadcastSocket_.get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) == 0;
    if (!ok) {
        error = "cannot listen for discovery broadcasts on " + formatPeer(any) + ": " + std::strerror(errno);
        broadcastSocket_.reset();
    }
    return ok;
}

void DiscoveryResponder::handleReadable()
{
    drain(socket_.get(), false);
    if (broadcastSocket_.valid())
        drain(broadcastSocket_.get(), true);
}

void DiscoveryResponder::drain(int fd, bool onlyOnBoundInterface)
{
    uint8_t datagram[kReceiveSize];
    for (int i = 0; i < kDatagramsPerWakeUp; ++i) {
        sockaddr_in sender{};
        iovec buffer{datagram, sizeof datagram};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
        msghdr message{};
        message.msg_name = &sender;
        message.msg_namelen = sizeof sender;
        message.msg_iov = &buffer;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t received = ::recvmsg(fd, &message, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return; // drained (or a transient error: the next wake-up tries again)
        }
        if (sender.sin_family != AF_INET || std::size_t(received) >= kReceiveSize)
            continue;
        if (onlyOnBoundInterface && !arrivedOnBoundInterface(message))
            continue;
        if (isDiscoveryQuery(datagram, std::size_t(received)))
            answer(fd, sender);
    }
}

bool DiscoveryResponder::arrivedOnBoundInterface(msghdr& message) const
{
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo arrival{};
        std::memcpy(&arrival, CMSG_DATA(header), sizeof arrival);
        // Asked afresh: the address may have moved to another interface.
        const std::optional<unsigned> interface = interfaceIndexOf(*boundAddress_);
        return interface && int(*interface) == arrival.ipi_ifindex;
    }
    return false;
}

void DiscoveryResponder::answer(int fd, const sockaddr_in& sender)
{
    // Failures to send are not worth a notice: the phone asks again in a few seconds.
    ::sendto(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sender),
             sizeof sender);
    if (isAddressOfThisHost(sender.sin_addr)) {
        if (auto broadcast = makeAddress(kLoopbackBroadcast, ntohs(sender.sin_port)))
            ::sendto(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&*broadcast), sizeof *broadcast);
    }
}
