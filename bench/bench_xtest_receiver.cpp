// SPDX-License-Identifier: GPL-3.0-or-later
// What the xtest sink costs: pointer movements written into a logged-in
// session of the real quillon-receiver --sink xtest on a private Xvfb, timed
// until the X server has moved the pointer by all of them; next to a plain
// XTest client making the same movements from this process. Each iteration
// is 2000 movements (dx +1 and -1 in turn) and a last one of dy ±1 that the
// benchmark waits for. Counters: events_per_s (throughput) and
// cpu_us_per_event (the CPU time of the receiver, or of the plain client's
// thread, per movement).
//
//     build/bench/bench/bench_xtest_receiver --benchmark_min_time=2
//
// Burst writes each iteration's packets with one send(); PerPacket sends
// each on its own, as the phone does.
//
// PacketToPointer sends one movement at a time and times it until the X
// server reports that the pointer moved (a MotionNotify on the root window),
// in turns through the receiver and through a bare X relay (xrelay/), a
// child process that makes the same XTest requests from a connection of its
// own. Counters: the CPU time per packet of the receiver and of the relay;
// the latencies' medians and ratios are printed at the end. On one
// CPU, for the reason bench_receiver_paths gives:
//
//     taskset -c 1 build/release/bench/bench_xtest_receiver --benchmark_filter=PacketToPointer --benchmark_min_time=5
#include "support/LatencySamples.h"
#include "support/LoopbackSockets.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"
#include "WireFormat.h"
#include "support/XvfbDisplay.h"
#include "xrelay/BareXRelay.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kEvents = 2000;
const std::string kPasscode = "bench";
constexpr int kStartX = 512;
constexpr int kStartY = 384;

std::vector<uint8_t> movePacket(int16_t dx, int16_t dy)
{
    return {REMOTE_PACKET_MOUSE, 0, uint8_t(dx & 0xFF), uint8_t((dx >> 8) & 0xFF), uint8_t(dy & 0xFF),
            uint8_t((dy >> 8) & 0xFF)};
}

// A private display and a connection of the benchmark's own to watch the pointer.
class PrivateDisplay {
public:
    PrivateDisplay()
    {
        std::string why;
        xvfb_ = XvfbDisplay::start(why);
        if (!xvfb_)
            throw std::runtime_error("Xvfb cannot run here: " + why);
        setenv("DISPLAY", xvfb_->name().c_str(), 1);
        display_ = XOpenDisplay(xvfb_->name().c_str());
        if (!display_)
            throw std::runtime_error("cannot open " + xvfb_->name());
        XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, kStartX, kStartY);
        XSync(display_, False);
    }
    ~PrivateDisplay()
    {
        XCloseDisplay(display_);
        unsetenv("DISPLAY");
    }

    Display* display() const { return display_; }
    const std::string& name() const { return xvfb_->name(); }

    // From now on this connection hears every movement of the pointer.
    void watchMotion()
    {
        XSelectInput(display_, DefaultRootWindow(display_), PointerMotionMask);
        XSync(display_, False);
    }

    // Waits (bounded) for the next movement the server reports.
    bool waitForMotion()
    {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        for (;;) {
            while (XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type == MotionNotify)
                    return true;
            }
            pollfd ready{ConnectionNumber(display_), POLLIN, 0};
            if (Clock::now() > deadline || poll(&ready, 1, 100) < 0)
                return false;
        }
    }

    // The last movement of the next iteration: y goes down by one and back.
    int nextMarker() const { return y_ == kStartY ? 1 : -1; }

    // Waits (bounded) until the pointer has moved by that marker.
    bool waitForMarker(int marker)
    {
        y_ += marker;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (pointerY() != y_) {
            if (Clock::now() > deadline)
                return false;
            usleep(100);
        }
        return true;
    }

private:
    int pointerY() const
    {
        Window root = 0, child = 0;
        int x = 0, y = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &wx, &wy, &mask);
        return y;
    }

    std::unique_ptr<XvfbDisplay> xvfb_;
    Display* display_ = nullptr;
    int y_ = kStartY;
};

// The movements of one iteration; the last one moves y by `marker`.
std::vector<std::vector<uint8_t>> iterationPackets(int marker)
{
    std::vector<std::vector<uint8_t>> packets;
    for (int i = 0; i < kEvents; ++i)
        packets.push_back(movePacket(i % 2 ? -1 : 1, 0));
    packets.push_back(movePacket(0, int16_t(marker)));
    return packets;
}

// The time and the CPU time of the iterations so far, and the counters made
// of them.
class Totals {
public:
    void add(benchmark::State& state, Clock::time_point start, std::chrono::nanoseconds cpu)
    {
        const std::chrono::duration<double> elapsed = Clock::now() - start;
        state.SetIterationTime(elapsed.count());
        seconds_ += elapsed.count();
        cpu_ += cpu;
    }

    void report(benchmark::State& state) const
    {
        const double events = double(state.iterations()) * kEvents;
        state.counters["events_per_s"] = events / seconds_;
        state.counters["cpu_us_per_event"] = double(cpu_.count()) / 1000.0 / events;
    }

private:
    double seconds_ = 0;
    std::chrono::nanoseconds cpu_{0};
};

void receiverThroughXTest(benchmark::State& state, bool burst)
{
    try {
        PrivateDisplay screen;
        const auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "xtest", "--allow-plain"});
        const UniqueFd session = connectToLoopback(receiver->sessionPort(), /*noDelay=*/true);
        const int fd = session.get();
        if (fd < 0 || !sendAll(fd, loginPacket(kPasscode)) || !receiveExactly(fd, acceptingLoginReply().size())) {
            state.SkipWithError("no session to quillon-receiver");
            return;
        }
        Totals totals;
        for (auto _ : state) {
            const int marker = screen.nextMarker();
            const auto packets = iterationPackets(marker);
            std::vector<uint8_t> all;
            for (const auto& packet : packets)
                all.insert(all.end(), packet.begin(), packet.end());
            const auto cpuBefore = receiver->cpuTime();
            const auto start = Clock::now();
            bool sent = true;
            if (burst) {
                sent = send(fd, all.data(), all.size(), MSG_NOSIGNAL) == ssize_t(all.size());
            } else {
                for (const auto& packet : packets)
                    sent = sent && send(fd, packet.data(), packet.size(), MSG_NOSIGNAL) == ssize_t(packet.size());
            }
            if (!sent || !screen.waitForMarker(marker)) {
                state.SkipWithError("the pointer did not move by what was sent");
                break;
            }
            totals.add(state, start, receiver->cpuTime() - cpuBefore);
        }
        totals.report(state);
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}

void BM_ReceiverXTest_Burst(benchmark::State& state)
{
    receiverThroughXTest(state, true);
}
BENCHMARK(BM_ReceiverXTest_Burst)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ReceiverXTest_PerPacket(benchmark::State& state)
{
    receiverThroughXTest(state, false);
}
BENCHMARK(BM_ReceiverXTest_PerPacket)->UseManualTime()->Unit(benchmark::kMillisecond);

std::chrono::nanoseconds threadCpuTime()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// The same movements from this process through XTest; the argument is 1 to
// flush after every movement, as a simple client does, 0 to flush once.
void BM_PlainXTestClient(benchmark::State& state)
{
    const bool flushEach = state.range(0) != 0;
    try {
        PrivateDisplay screen;
        Display* client = XOpenDisplay(nullptr);
        if (!client) {
            state.SkipWithError("cannot open the display");
            return;
        }
        Totals totals;
        for (auto _ : state) {
            const int marker = screen.nextMarker();
            const auto cpuBefore = threadCpuTime();
            const auto start = Clock::now();
            for (int i = 0; i < kEvents; ++i) {
                XTestFakeRelativeMotionEvent(client, i % 2 ? -1 : 1, 0, CurrentTime);
                if (flushEach)
                    XFlush(client);
            }
            XTestFakeRelativeMotionEvent(client, 0, marker, CurrentTime);
            XFlush(client);
            const auto cpuUsed = threadCpuTime() - cpuBefore;
            if (!screen.waitForMarker(marker)) {
                state.SkipWithError("the pointer did not move by what was sent");
                break;
            }
            totals.add(state, start, cpuUsed);
        }
        XCloseDisplay(client);
        totals.report(state);
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}
BENCHMARK(BM_PlainXTestClient)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

// Per path, for the closing summary: each packet's time to the pointer in
// microseconds, and the CPU time and packets of all runs.
std::map<std::string, std::vector<double>> gLatencies;
std::map<std::string, std::pair<std::chrono::nanoseconds, double>> gCpu;

// Where a movement goes on its way to the X server.
struct PointerPath {
    std::string key;
    int fd;
    std::function<std::chrono::nanoseconds()> cpuTime;
};

// Each iteration sends one movement down each path in turn, the receiver
// then the bare relay, and times each until the server reports it; the
// iteration's time is the receiver's.
void BM_PacketToPointer(benchmark::State& state)
{
    try {
        PrivateDisplay screen;
        const auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "xtest", "--allow-plain"});
        const UniqueFd session = connectToLoopback(receiver->sessionPort(), /*noDelay=*/true);
        if (!session.valid() || !sendAll(session.get(), loginPacket(kPasscode))
            || !receiveExactly(session.get(), acceptingLoginReply().size())) {
            state.SkipWithError("no session to quillon-receiver");
            return;
        }
        BareXRelay relay(screen.name());
        if (!relay.valid()) {
            state.SkipWithError("the bare relay cannot start");
            return;
        }
        std::vector<PointerPath> paths = {
            {"receiver", session.get(), [&receiver] { return receiver->cpuTime(); }},
            {"bare relay", relay.sender(), [&relay] { return relay.cpuTime(); }},
        };
        screen.watchMotion();
        std::vector<std::chrono::nanoseconds> cpuBefore;
        for (const PointerPath& path : paths)
            cpuBefore.push_back(path.cpuTime());
        int16_t dx = 1;
        for (auto _ : state) {
            for (const PointerPath& path : paths) {
                const std::vector<uint8_t> packet = movePacket(dx, 0);
                dx = int16_t(-dx);
                const auto start = Clock::now();
                if (send(path.fd, packet.data(), packet.size(), MSG_NOSIGNAL) != ssize_t(packet.size())
                    || !screen.waitForMotion()) {
                    state.SkipWithError(("the pointer did not move through the " + path.key).c_str());
                    return;
                }
                const std::chrono::duration<double> elapsed = Clock::now() - start;
                gLatencies[path.key].push_back(elapsed.count() * 1e6);
                if (&path == &paths.front())
                    state.SetIterationTime(elapsed.count());
            }
        }
        for (std::size_t i = 0; i < paths.size(); ++i) {
            const auto cpu = paths[i].cpuTime() - cpuBefore[i];
            gCpu[paths[i].key].first += cpu;
            gCpu[paths[i].key].second += double(state.iterations());
            state.counters["cpu_us_per_packet_" + std::to_string(i)] =
                double(cpu.count()) / 1000.0 / double(state.iterations());
        }
        state.SetLabel("counters: 0 receiver, 1 bare relay");
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}
BENCHMARK(BM_PacketToPointer)->UseManualTime()->Unit(benchmark::kMicrosecond);

void printSummary()
{
    const auto& receiver = gLatencies["receiver"];
    const auto& relay = gLatencies["bare relay"];
    if (receiver.empty() || relay.empty())
        return;
    const auto cpuPerPacket = [](const std::string& key) {
        const auto& [cpu, packets] = gCpu[key];
        return packets > 0 ? double(cpu.count()) / 1000.0 / packets : 0.0;
    };
    std::printf("\npacket -> pointer, one packet at a time (%zu and %zu packets):\n", receiver.size(), relay.size());
    std::printf("  %-12s median %7.1f us  p99 %7.1f us  CPU %6.2f us a packet\n", "receiver",
                bench::percentile(receiver, 0.5), bench::percentile(receiver, 0.99), cpuPerPacket("receiver"));
    std::printf("  %-12s median %7.1f us  p99 %7.1f us  CPU %6.2f us a packet\n", "bare relay",
                bench::percentile(relay, 0.5), bench::percentile(relay, 0.99), cpuPerPacket("bare relay"));
    std::printf("  %-12s median %7.2f x   p99 %7.2f x   CPU %6.2f x   (goal <= 1.1 x)\n", "ratio",
                bench::percentile(receiver, 0.5) / bench::percentile(relay, 0.5),
                bench::percentile(receiver, 0.99) / bench::percentile(relay, 0.99),
                cpuPerPacket("receiver") / cpuPerPacket("bare relay"));
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    printSummary();
    benchmark::Shutdown();
    return 0;
}
