#include "ReceiverLoop.h"

#include "DiscoveryResponder.h"
#include "Notice.h"
#include "QuillonVersion.h"
#include "SessionServer.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Written by the signal handler, read by the loop: the classic self-pipe, so
// that a stop request wakes poll() without a race.
int stopPipeWrite = -1;

void requestStop(int)
{
    const int savedErrno = errno;
    const char byte = 's';
    [[maybe_unused]] const ssize_t ignored = ::write(stopPipeWrite, &byte, 1);
    errno = savedErrno;
}

struct StopSignals {
    UniqueFd readEnd;
    UniqueFd writeEnd;

    bool install()
    {
        int ends[2];
        if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0)
            return false;
        readEnd.reset(ends[0]);
        writeEnd.reset(ends[1]);
        stopPipeWrite = ends[1];
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);
        return true;
    }

    ~StopSignals()
    {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        stopPipeWrite = -1;
    }
};

} // namespace

int runReceiver(const ReceiverConfig& config, InputSink& sink)
{
    // A client that vanishes while we write to it must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    StopSignals stop;
    if (!stop.install()) {
        notice(std::string("cannot set up signal handling: ") + std::strerror(errno));
        return 1;
    }

    std::string error;
    SessionServer sessions(config.passcode, sink);
    const auto sessionAddress = makeAddress(config.bindAddress, config.sessionPort);
    if (!sessionAddress || !sessions.open(*sessionAddress, error)) {
        notice(error.empty() ? "bad bind address '" + config.bindAddress + "'" : error);
        return 1;
    }

    ReceiverIdentity identity;
    identity.name = config.name;
    identity.sessionPort = sessions.port();
    identity.os = operatingSystemName();
    identity.receiverName = "quillon-receiver";
    identity.receiverVersion = QUILLON_VERSION;
    DiscoveryResponder discovery(identity);
    const auto discoveryAddress = makeAddress(config.bindAddress, config.discoveryPort);
    if (!discoveryAddress || !discovery.open(*discoveryAddress, error)) {
        notice(error);
        return 1;
    }

    notice("session listening on " + config.bindAddress + ":" + std::to_string(sessions.port()));
    notice("discovery listening on " + config.bindAddress + ":" + std::to_string(discovery.port()) + " as \""
           + config.name + "\"");

    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({stop.readEnd.get(), POLLIN, 0});
        fds.push_back({discovery.fd(), POLLIN, 0});
        fds.push_back({discovery.broadcastFd(), POLLIN, 0}); // -1 (skipped by poll) without --bind
        sessions.addPollFds(fds);
        const auto untilDeadline = sessions.timeUntilNextDeadline();
        const int timeout = untilDeadline ? static_cast<int>(std::min<long long>(untilDeadline->count(), 60000)) : -1;
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR)
                continue;
            notice(std::string("poll failed: ") + std::strerror(errno));
            sessions.closeAll();
            return 1;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents || fds[2].revents)
            discovery.handleReadable();
        sessions.handleReady(fds);
    }

    sessions.closeAll();
    notice("stopped");
    return 0;
}
