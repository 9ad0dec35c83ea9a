// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/DiscoveryResponder.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

namespace {

constexpr int kDatagramsPerWakeUp = 64;
// One more than the phone ever reads, so that an oversized datagram shows up
// as truncated rather than as a valid prefix.
constexpr std::size_t kReceiveSize = 4096 + 1;
constexpr const char* kLoopbackBroadcast = "127.255.255.255";

// The interface a datagram came in on, from its IP_PKTINFO.
std::optional<unsigned> arrivalInterface(msghdr& message)
{
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO)
            continue;
        in_pktinfo arrival{};
        std::memcpy(&arrival, CMSG_DATA(header), sizeof arrival);
        return unsigned(arrival.ipi_ifindex);
    }
    return std::nullopt;
}

bool openDatagramSocket(UniqueFd& socket, const sockaddr_in& address)
{
    socket.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    return socket.valid() && setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0
           && setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0
           && setsockopt(socket.get(), IPPROTO_IP, IP_PKTINFO, &on, sizeof on) == 0
           && ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

} // namespace

DiscoveryResponder::DiscoveryResponder(const ReceiverIdentity& identity, Limits limits)
    : limits_(std::move(limits))
    , rate_(limits_.rate)
    , reply_(encodeDiscoveryReply(identity).value_or(std::vector<uint8_t>{}))
{
}

bool DiscoveryResponder::open(const sockaddr_in& bindAddress, std::string& error)
{
    if (reply_.empty()) {
        error = "the discovery reply does not fit one datagram";
        return false;
    }
    if (!openDatagramSocket(socket_, bindAddress)) {
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
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    any.sin_port = htons(port());
    if (!openDatagramSocket(broadcastSocket_, any)) {
        error = "cannot listen for discovery broadcasts on " + formatPeer(any) + ": " + std::strerror(errno);
        broadcastSocket_.reset();
        return false;
    }
    return true;
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
        const Clock::time_point now = limits_.now();
        const std::optional<unsigned> arrival = arrivalInterface(message);
        // Asked afresh (from the table read at most a second ago): the bound
        // address may have moved to another interface.
        if (onlyOnBoundInterface && (!arrival || arrival != networks_.interfaceIndexOf(*boundAddress_, now)))
            continue;
        if (mayAnswer(sender, arrival, now) && isDiscoveryQuery(datagram, std::size_t(received)))
            answer(fd, sender, now);
    }
}

bool DiscoveryResponder::mayAnswer(const sockaddr_in& sender, std::optional<unsigned> arrival, Clock::time_point now)
{
    return networks_.isAddressOfThisHost(sender.sin_addr, now)
           || (arrival && networks_.isOnNetworkOf(sender.sin_addr, *arrival, now));
}

void DiscoveryResponder::answer(int fd, const sockaddr_in& sender, Clock::time_point now)
{
    const bool local = networks_.isAddressOfThisHost(sender.sin_addr, now);
    if (!rate_.allow(sender.sin_addr.s_addr, local, now))
        return;
    // Failures to send are not worth a notice: the phone asks again in a few seconds.
    ::sendto(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sender),
             sizeof sender);
    if (local) {
        if (auto broadcast = makeAddress(kLoopbackBroadcast, ntohs(sender.sin_port)))
            ::sendto(fd, reply_.data(), reply_.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&*broadcast), sizeof *broadcast);
    }
}

std::optional<ReceiverIdentity> DiscoveryResponder::findAnotherReceiver(const sockaddr_in& bindAddress,
                                                                        std::chrono::milliseconds wait)
{
    if (bindAddress.sin_port == 0)
        return std::nullopt;
    // A socket that does not share its port binds only where no other socket is.
    UniqueFd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe.valid() || ::bind(probe.get(), reinterpret_cast<const sockaddr*>(&bindAddress), sizeof bindAddress) == 0
        || errno != EADDRINUSE)
        return std::nullopt;
    return askReceiver(bindAddress, wait);
}

std::optional<ReceiverIdentity> DiscoveryResponder::askReceiver(const sockaddr_in& bindAddress,
                                                                std::chrono::milliseconds wait)
{
    UniqueFd asker(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in target = bindAddress;
    if (target.sin_addr.s_addr == htonl(INADDR_ANY))
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::vector<uint8_t> query = encodeDiscoveryQuery();
    if (!asker.valid()
        || ::sendto(asker.get(), query.data(), query.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                    sizeof target)
               != ssize_t(query.size()))
        return std::nullopt;
    const Clock::time_point deadline = Clock::now() + wait;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd ready{asker.get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&ready, 1, int(left.count())) <= 0)
            return std::nullopt;
        uint8_t datagram[kReceiveSize];
        const ssize_t received = ::recv(asker.get(), datagram, sizeof datagram, MSG_DONTWAIT);
        if (received > 0 && std::size_t(received) < kReceiveSize) {
            if (auto identity = decodeDiscoveryReply(datagram, std::size_t(received)))
                return identity;
        }
    }
}
