// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReceiverLoop.h"

#include "app/KnownAddressesFile.h"
#include "common/ExitStatus.h"
#include "common/Notice.h"
#include "common/ReadinessWait.h"
#include "net/DiscoveryResponder.h"
#include "net/SessionServer.h"
#include "QuillonVersion.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <optional>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace {

// How long a receiver already on the discovery port has to answer at start-up.
constexpr std::chrono::milliseconds kAnotherReceiverWait{500};

// Written by the signal handler, read by the loop: the classic self-pipe, so
// that a stop request wakes the wait without a race.
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
        // A hang-up (the terminal closed, the session ended) stops the
        // receiver the same clean way: held keys and buttons are let go.
        for (int signal : kStopSignals)
            sigaction(signal, &action, nullptr);
        return true;
    }

    ~StopSignals()
    {
        for (int signal : kStopSignals)
            std::signal(signal, SIG_DFL);
        stopPipeWrite = -1;
    }

    static constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
};

// Adds an output that has lines waiting to what the loop waits for.
void addOutput(std::vector<pollfd>& fds, const OutputChannel& output)
{
    if (output.hasPending())
        fds.push_back({output.fd(), POLLOUT, 0});
}

// Says how many lines of an output were dropped, once it has caught up.
void reportDrops(OutputChannel& output, const char* what)
{
    if (output.hasPending())
        return;
    if (const uint64_t dropped = output.takeDropped())
        notice(std::to_string(dropped) + " lines of " + what + " dropped: nobody read them in time");
}

// The wait's time-out in milliseconds for the earliest of `waits`; -1 (no
// time-out) when there is none.
int pollTimeout(std::initializer_list<std::optional<std::chrono::milliseconds>> waits)
{
    long long earliest = -1;
    for (const auto& wait : waits) {
        if (wait && (earliest < 0 || wait->count() < earliest))
            earliest = std::max<long long>(wait->count(), 0);
    }
    return earliest < 0 ? -1 : static_cast<int>(std::min<long long>(earliest, 60000));
}

// Who holds the session port that `address` could not take, and what to do:
// a receiver answers a discovery query on this computer, on the port of the
// same number (where both are by default) or on this one's discovery port,
// with its name, version and session port.
std::string whoHoldsThePort(const sockaddr_in& address, uint16_t discoveryPort)
{
    const uint16_t port = ntohs(address.sin_port);
    std::vector<uint16_t> ports = {port};
    if (discoveryPort != 0 && discoveryPort != port)
        ports.push_back(discoveryPort);
    for (const uint16_t asked : ports) {
        sockaddr_in target = address;
        target.sin_port = htons(asked);
        const auto other = DiscoveryResponder::askReceiver(target, kAnotherReceiverWait);
        if (other && other->sessionPort == port)
            return "another receiver holds it (\"" + other->name + "\", "
                   + (other->receiverName.empty() ? std::string("a receiver") : other->receiverName)
                   + (other->receiverVersion.empty() ? "" : " " + other->receiverVersion)
                   + "); stop it (systemctl --user stop quillon-receiver), or give this one another --port";
    }
    return "another program holds it (no receiver answered a discovery query here); give this one another --port";
}

} // namespace

int runReceiver(const ReceiverConfig& config, InputSink& sink, OutputChannel& sinkOutput)
{
    // A client that vanishes while we write to it must not end the process.
    std::signal(SIGPIPE, SIG_IGN);

    StopSignals stop;
    if (!stop.install()) {
        notice(std::string("cannot set up signal handling: ") + std::strerror(errno));
        return kExitFailed;
    }

    // Before the sessions: they tell it of every client they close, to the last.
    ReadinessWait readiness;
    if (!readiness.valid()) {
        notice(std::string("cannot wait for input: ") + std::strerror(errno));
        return kExitFailed;
    }

    std::string error;
    SessionServer sessions(config.passcode, sink, ReceiverSession::Settings{config.name, config.allowPlain});
    std::string problem;
    const std::vector<uint32_t> known =
        readKnownAddresses(config.knownAddressesFile, SessionServer::Limits{}.throttle.maxLoggedIn, problem);
    if (!problem.empty())
        notice(problem);
    sessions.rememberKnownAddresses(known);
    const auto sessionAddress = makeAddress(config.bindAddress, config.sessionPort);
    if (!sessionAddress || !sessions.open(*sessionAddress, error)) {
        if (sessionAddress && errno == EADDRINUSE)
            error += ": " + whoHoldsThePort(*sessionAddress, config.discoveryPort);
        notice(error.empty() ? "bad bind address '" + config.bindAddress + "'" : error);
        return kExitFailed;
    }

    // A second receiver on the port would share it silently: the phone
    // would hear both, and only one of them would get its unicasts.
    const auto discoveryAddress = makeAddress(config.bindAddress, config.discoveryPort);
    if (discoveryAddress) {
        if (auto other = DiscoveryResponder::findAnotherReceiver(*discoveryAddress, kAnotherReceiverWait)) {
            notice("another receiver (\"" + other->name + "\", session port " + std::to_string(other->sessionPort)
                   + ") already answers discovery on port " + std::to_string(config.discoveryPort)
                   + "; stop it, or give this one another --discovery-port");
            return kExitFailed;
        }
    }

    ReceiverIdentity identity;
    identity.name = config.name;
    identity.sessionPort = sessions.port();
    identity.os = operatingSystemName();
    identity.receiverName = "quillon-receiver";
    identity.receiverVersion = QUILLON_VERSION;
    DiscoveryResponder discovery(identity);
    if (!discoveryAddress || !discovery.open(*discoveryAddress, error)) {
        notice(error);
        return kExitFailed;
    }
    // The phones that logged in keep their places, their turn at the
    // throttle and their share of discovery's replies, also after a restart.
    discovery.rememberLoggedIn(known);
    sessions.setKnownAddressesHandler([&discovery, &config](const std::vector<uint32_t>& addresses) {
        discovery.rememberLoggedIn(addresses);
        std::string failure;
        if (!config.knownAddressesFile.empty() && !writeKnownAddresses(config.knownAddressesFile, addresses, failure))
            notice(failure + "; the addresses that logged in are not kept for the next start");
    });

    notice("session listening on " + config.bindAddress + ":" + std::to_string(sessions.port()));
    notice("discovery listening on " + config.bindAddress + ":" + std::to_string(discovery.port()) + " as \""
           + config.name + "\"");
    if (config.allowPlain)
        notice("plain logins are accepted (--allow-plain): the passcodes and keys of phones that log in "
               "plainly cross the network readable to anyone on it");

    sessions.setClosingHandler([&readiness](int fd) { readiness.forget(fd); });
    std::vector<pollfd> fds;
    for (;;) {
        fds.clear();
        fds.push_back({stop.readEnd.get(), POLLIN, 0});
        fds.push_back({discovery.fd(), POLLIN, 0});
        fds.push_back({discovery.broadcastFd(), POLLIN, 0}); // -1 (skipped) without --bind
        const InputSink::PollRequest sinkPoll = sink.pollRequest();
        fds.push_back({sinkPoll.fd, sinkPoll.events, 0});
        sessions.addPollFds(fds);
        addOutput(fds, sinkOutput);
        addOutput(fds, noticeOutput());
        const int timeout = pollTimeout({sessions.timeUntilNextDeadline(), sinkPoll.timeout, reportSuppressedNotices()});
        if (readiness.wait(fds, timeout) < 0) {
            if (errno == EINTR)
                continue;
            notice(std::string("waiting for input failed: ") + std::strerror(errno));
            sessions.closeAll();
            return kExitFailed;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents || fds[2].revents)
            discovery.handleReadable();
        if (!sink.handlePoll(fds[3].revents)) {
            sessions.closeAll();
            return sink.permissionWithheld() ? kExitPermissionWithheld : kExitFailed;
        }
        sessions.handleReady(fds);
        sink.endOfBatch();
        sinkOutput.flush();
        noticeOutput().flush();
        reportDrops(sinkOutput, "standard output");
        reportDrops(noticeOutput(), "notices");
    }

    sessions.closeAll();
    notice("stopped");
    // What the readers take now; nothing waits for them.
    sinkOutput.flush();
    noticeOutput().flush();
    return kExitStopped;
}
