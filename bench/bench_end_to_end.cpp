// SPDX-License-Identifier: GPL-3.0-or-later
// The whole path on one machine: a touch-moved event injected into the
// running app's window (the touch pad, after the real start-up and a login)
// → the session → the real quillon-receiver --sink log → the JSON line it
// prints, read from its standard output. Next to it, measured in the same
// run: the same 6-byte mouse packet written straight into a session of the
// same receiver (what the receiver and the pipe cost), and the loopback
// floor, a bare send() of 6 bytes to a reader in this process. Each
// iteration is timed on its own; the median and the 99th percentile of all
// three are printed at the end.
//
//     build/bench/bench/bench_end_to_end --benchmark_min_time=2
//
// Everything stays on 127.0.0.1: the app's discovery is pointed at the
// loopback broadcast address before it starts.
#include "ComputerListViewController.h"
#include "MainViewController.h"
#include "RemoteProtocol.h"
#include "TarvelAppDelegate.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "platform/Alert.h"
#include "support/platform/FingerSimulator.h"
#include "platform/NotificationCenter.h"

#include "support/LatencySamples.h"
#include "support/LoopbackSockets.h"
#include "support/OffscreenBenchmarkMain.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <sys/socket.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::percentile;
using bench::recordSample;
using bench::reportPercentiles;

const char* const kPasscode = "bench";

// Per-iteration times in microseconds, by path, for the closing summary.
std::map<std::string, std::vector<double>> gSamples;

bool isMouseLine(const std::optional<std::string>& line)
{
    return line && line->rfind(R"({"type":"mouse")", 0) == 0;
}

// Skips the receiver's lines up to its answer to the login.
bool waitForLogin(ReceiverProcess& receiver)
{
    while (const auto line = receiver.nextOutputLine())
        if (line->find(R"("type":"login")") != std::string::npos)
            return line->find("true") != std::string::npos;
    return false;
}

void BM_TouchMovedToReceiverLog(benchmark::State& state)
{
    const auto receiver = ReceiverProcess::startOnLoopback(kPasscode);
    // The real start-up, its discovery kept on loopback.
    DiscoveryEndpoint loopbackDiscovery;
    loopbackDiscovery.address = "127.255.255.255";
    loopbackDiscovery.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(loopbackDiscovery);
    TarvelAppDelegate app;
    app.applicationDidFinishLaunching();
    platform::Alert::dismissAll(); // the Wi-Fi warning, where there is no Wi-Fi

    // What the login screen does on success.
    if (remote_connectToHost("127.0.0.1", receiver->sessionPort(), kPasscode) != 0 || !waitForLogin(*receiver)) {
        state.SkipWithError("no session to quillon-receiver");
        return;
    }
    platform::NotificationCenter::defaultCenter().postNotification(QStringLiteral("Goto TabBar"), 0);
    QApplication::processEvents();
    TouchPadView* pad = app.mainViewController()->touchPadViewController()->touchPadView();
    platform::FingerSimulator finger;
    finger.press(0, pad, {100, 100});

    std::vector<double>& samples = gSamples["app"];
    double x = 100;
    for (auto _ : state) {
        x = x > 150 ? 100 : x + 1.5; // a finger sliding right, back and forth
        const auto start = Clock::now();
        finger.move(0, pad, {x, 100});
        if (!isMouseLine(receiver->nextOutputLine())) {
            state.SkipWithError("the receiver logged no mouse event");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    finger.release(0, pad, {x, 100});
    reportPercentiles(state, samples);
    remote_initialize();
}
BENCHMARK(BM_TouchMovedToReceiverLog)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The receiver's share: the same packet written straight into a plain session.
void BM_RawPacketToReceiverLog(benchmark::State& state)
{
    const auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--allow-plain"});
    const UniqueFd session = connectToLoopback(receiver->sessionPort(), /*noDelay=*/true);
    const int fd = session.get();
    if (fd < 0 || !sendAll(fd, loginPacket(kPasscode)) || !receiveExactly(fd, acceptingLoginReply().size())
        || !waitForLogin(*receiver)) {
        state.SkipWithError("no session to quillon-receiver");
        return;
    }
    const std::vector<uint8_t> move = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};
    std::vector<double>& samples = gSamples["receiver"];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!sendAll(fd, move) || !isMouseLine(receiver->nextOutputLine())) {
            state.SkipWithError("the receiver logged no mouse event");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportPercentiles(state, samples);
}
BENCHMARK(BM_RawPacketToReceiverLog)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The floor: 6 bytes by a bare send() to a reader in this process.
void BM_LoopbackFloor(benchmark::State& state)
{
    const UniqueFd listener = listeningOnLoopback(1);
    if (!listener.valid()) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    const UniqueFd sending = connectToLoopback(localPort(listener.get()), /*noDelay=*/true);
    const UniqueFd reading(accept(listener.get(), nullptr, nullptr));
    const int sender = sending.get();
    const int reader = reading.get();
    const std::vector<uint8_t> move = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};
    uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
    std::vector<double>& samples = gSamples["floor"];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!sendAll(sender, move) || !readExactly(reader, packet, sizeof packet)) {
            state.SkipWithError("the raw send did not arrive");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportPercentiles(state, samples);
}
BENCHMARK(BM_LoopbackFloor)->UseManualTime()->Unit(benchmark::kMicrosecond);

void printSummary()
{
    std::printf("\nover every timed iteration:\n");
    const std::pair<const char*, const char*> rows[] = {
        {"app", "touch move in the app -> receiver's log line"},
        {"receiver", "6 bytes into a session -> receiver's log line"},
        {"floor", "6 bytes by send() -> read on loopback"}};
    for (const auto& [key, title] : rows) {
        const auto& samples = gSamples[key];
        if (samples.empty())
            continue;
        std::printf("  %-46s median %8.1f us   p99 %8.1f us   (%zu events)\n", title, percentile(samples, 0.5),
                    percentile(samples, 0.99), samples.size());
    }
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv, printSummary);
}
