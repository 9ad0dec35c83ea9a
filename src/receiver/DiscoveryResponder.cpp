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
    return true;
}

void DiscoveryResponder::handleReadable()
{
    uint8_t datagram[kReceiveSize];
    for (int i = 0; i < kDatagramsPerWakeUp; ++i) {
        sockaddr_in sender{};
        socklen_t senderSize = sizeof sender;
        const ssize_t received = ::recvfrom(socket_.get(), datagram, sizeof datagram, MSG_DONTWAIT,
                                            reinterpret_cast<sockaddr*>(&sender), &senderSize);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return; // drained (or a transient error: the next wake-up tries again)
        }
        if (sender.sin_family != AF_INET || std::size_t(received) >= kReceiveSize)
            continue;
        if (isDiscoveryQuery(datagram, std::size_t(received)))
            answer(sender);
    }
}

void DiscoveryResponder::answer(const sockaddr_in& sender)
{
    // Failures to send are not worth a notice: the phone asks again in a few seconds.
    ::sendto(socket_.get(), reply_.data(), reply_.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sender),
             sizeof sender);
    if (isAddressOfThisHost(sender.sin_addr)) {
        if (auto broadcast = makeAddress(kLoopbackBroadcast, ntohs(sender.sin_port)))
            ::sendto(socket_.get(), reply_.data(), reply_.size(), MSG_NOSIGNAL,
                     reinterpret_cast<const sockaddr*>(&*broadcast), sizeof *broadcast);
    }
}
