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
#include "platform/FingerSimulator.h"
#include "platform/NotificationCenter.h"

#include "LatencySamples.h"
#include "LoopbackSockets.h"
#include "OffscreenBenchmarkMain.h"
#include "ReceiverChild.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::connectOnLoopback;
using bench::percentile;
using bench::readExactly;
using bench::recordSample;
using bench::reportPercentiles;

const char* const kPasscode = "bench";

bool sendAll(int fd, const std::vector<uint8_t>& bytes)
{
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
}

// The login request for kPasscode: the dictionary Cmd = "Login", Passcode =
// "bench" in a 0x80 frame.
std::vector<uint8_t> loginFrame()
{
    const std::vector<uint8_t> payload = {0x5B, 0x73, 3, 'C', 'm', 'd', 0x73, 5, 'L', 'o', 'g', 'i', 'n',
                                          0x73, 8, 'P', 'a', 's', 's', 'c', 'o', 'd', 'e',
                                          0x73, 5, 'b', 'e', 'n', 'c', 'h', 0x5D};
    std::vector<uint8_t> frame = {0x80, uint8_t(payload.size()), 0, 0, 0};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

// Per-iteration times in microseconds, by path, for the closing summary.
std::map<std::string, std::vector<double>> gSamples;

bool isMouseLine(const std::optional<std::string>& line)
{
    return line && line->rfind(R"({"type":"mouse")", 0) == 0;
}

// Skips the receiver's lines up to its answer to the login.
bool waitForLogin(bench::LineReader& output)
{
    while (const auto line = output.next())
        if (line->find(R"("type":"login")") != std::string::npos)
            return line->find("true") != std::string::npos;
    return false;
}

void BM_TouchMovedToReceiverLog(benchmark::State& state)
{
    bench::ReceiverChild receiver(kPasscode, bench::ReceiverChild::Output::Read);
    // The real start-up, its discovery kept on loopback.
    DiscoveryEndpoint loopbackDiscovery;
    loopbackDiscovery.address = "127.255.255.255";
    loopbackDiscovery.localPort = 0;
    ComputerListViewController::setDefaultDiscoveryEndpoint(loopbackDiscovery);
    TarvelAppDelegate app;
    app.applicationDidFinishLaunching();
    platform::Alert::dismissAll(); // the Wi-Fi warning, where there is no Wi-Fi

    // What the login screen does on success.
    if (remote_connectToHost("127.0.0.1", receiver.port(), kPasscode) != 0 || !waitForLogin(receiver.output())) {
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
        if (!isMouseLine(receiver.output().next())) {
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

// The receiver's share: the same packet written straight into a session.
void BM_RawPacketToReceiverLog(benchmark::State& state)
{
    bench::ReceiverChild receiver(kPasscode, bench::ReceiverChild::Output::Read);
    const int fd = connectOnLoopback(receiver.port());
    uint8_t reply[17];
    if (fd < 0 || !sendAll(fd, loginFrame()) || !readExactly(fd, reply, sizeof reply)
        || !waitForLogin(receiver.output())) {
        state.SkipWithError("no session to quillon-receiver");
        if (fd >= 0)
            close(fd);
        return;
    }
    const std::vector<uint8_t> move = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};
    std::vector<double>& samples = gSamples["receiver"];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!sendAll(fd, move) || !isMouseLine(receiver.output().next())) {
            state.SkipWithError("the receiver logged no mouse event");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportPercentiles(state, samples);
    close(fd);
}
BENCHMARK(BM_RawPacketToReceiverLog)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The floor: 6 bytes by a bare send() to a reader in this process.
void BM_LoopbackFloor(benchmark::State& state)
{
    uint16_t port = 0;
    const int listener = bench::listeningLoopbackSocket(port);
    if (listener < 0) {
        state.SkipWithError("cannot listen on loopback");
        return;
    }
    const int sender = connectOnLoopback(port);
    const int reader = accept(listener, nullptr, nullptr);
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
    close(sender);
    close(reader);
    close(listener);
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
