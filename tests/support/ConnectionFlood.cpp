// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ConnectionFlood.h"

#include "support/LoopbackSockets.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <deque>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Open connections of a connect flood beyond which the oldest is let go.
constexpr std::size_t kMostOpen = 2048;
// Connections one turn of the loop opens at most, so that answers are read too.
constexpr long kOpensPerTurn = 64;

struct Connection {
    int fd = -1;
    std::size_t source = 0;
    bool greeted = false;
};

void closeAbortively(int fd)
{
    const linger reset{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(fd);
}

// A connection being opened from `source`; -1 when the system would not.
int openFrom(const std::string& source, uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // The port is chosen by connect, for this destination, rather than by
    // bind, for the address alone: that would run out far sooner.
    const int on = 1;
    ::setsockopt(fd, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    const sockaddr_in local = ipv4Address(source.c_str(), 0);
    const sockaddr_in target = ipv4Address("127.0.0.1", port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0
        || (::connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0 && errno != EINPROGRESS)) {
        closeAbortively(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::vector<std::string> ConnectionFlood::loopbackAddresses(const std::string& first, int count)
{
    in_addr start{};
    inet_pton(AF_INET, first.c_str(), &start);
    std::vector<std::string> addresses;
    for (int i = 0; i < count; ++i) {
        in_addr next{htonl(ntohl(start.s_addr) + uint32_t(i))};
        char text[INET_ADDRSTRLEN] = {};
        addresses.emplace_back(inet_ntop(AF_INET, &next, text, sizeof text));
    }
    return addresses;
}

ConnectionFlood::ConnectionFlood(Plan plan)
    : plan_(std::move(plan))
{
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    thread_ = std::thread([this] { run(); });
}

ConnectionFlood::~ConnectionFlood()
{
    stop();
}

void ConnectionFlood::stop()
{
    stopping_ = true;
    if (thread_.joinable())
        thread_.join();
}

void ConnectionFlood::run()
{
    std::deque<Connection> open;
    std::vector<bool> sourceBusy(plan_.sources.size(), false);
    std::size_t nextSource = 0;
    const Clock::time_point start = Clock::now();
    long started = 0;
    std::vector<pollfd> fds;
    const auto openOne = [&](std::size_t source) {
        const int fd = openFrom(plan_.sources[source], plan_.port);
        ++started;
        if (fd < 0)
            return;
        ++opened_;
        open.push_back({fd, source, false});
        sourceBusy[source] = true;
    };

    while (!stopping_) {
        if (plan_.perSecond > 0) {
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            const long due = std::min(long(elapsed * plan_.perSecond) - started, kOpensPerTurn);
            for (long i = 0; i < due; ++i) {
                openOne(nextSource);
                nextSource = (nextSource + 1) % plan_.sources.size();
            }
            while (open.size() > kMostOpen) {
                closeAbortively(open.front().fd);
                open.pop_front();
            }
        } else {
            for (std::size_t source = 0; source < plan_.sources.size(); ++source) {
                if (!sourceBusy[source])
                    openOne(source);
            }
        }

        fds.clear();
        for (const Connection& connection : open) {
            const bool greeting = !plan_.greeting.empty() && !connection.greeted;
            fds.push_back({connection.fd, short(POLLIN | (greeting ? POLLOUT : 0)), 0});
        }
        if (::poll(fds.data(), fds.size(), 1) <= 0)
            continue;
        std::deque<Connection> kept;
        for (std::size_t i = 0; i < open.size(); ++i) {
            Connection& connection = open[i];
            const short ready = fds[i].revents;
            bool done = false;
            if ((ready & POLLOUT) && !(ready & (POLLERR | POLLHUP))) {
                connection.greeted = ::send(connection.fd, plan_.greeting.data(), plan_.greeting.size(),
                                            MSG_NOSIGNAL | MSG_DONTWAIT)
                                     == ssize_t(plan_.greeting.size());
                done = !connection.greeted;
            }
            if (ready & (POLLIN | POLLERR | POLLHUP)) {
                uint8_t bytes[256];
                const ssize_t got = ::recv(connection.fd, bytes, sizeof bytes, MSG_DONTWAIT);
                if (got > 0 && !plan_.greeting.empty())
                    ++answered_;
                // A connect flood reads what comes and waits to be dropped;
                // a guesser is done with the answer.
                done = got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR) || (got > 0 && !plan_.greeting.empty());
            }
            if (done) {
                closeAbortively(connection.fd);
                sourceBusy[connection.source] = false;
            } else {
                kept.push_back(connection);
            }
        }
        open.swap(kept);
    }
    for (const Connection& connection : open)
        closeAbortively(connection.fd);
}
