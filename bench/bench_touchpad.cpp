// SPDX-License-Identifier: GPL-3.0-or-later
// From a finger's movement on the touch pad to the receiver: a touch-moved
// QTouchEvent delivered to the pad's widget, through the platform's touch
// handling and the screen's handler, to the 6 bytes read by a receiver on
// loopback; next to the floor, a bare send() of 6 bytes to the same kind of
// reader. Each iteration is timed on its own; the median and the 99th
// percentile of both, and their ratio, are printed at the end.
//
//     build/bench/bench/bench_touchpad --benchmark_min_time=2
#include "RemoteProtocol.h"
#include "TouchPadView.h"
#include "TouchPadViewController.h"

#include "support/platform/FingerSimulator.h"

#include "support/LatencySamples.h"
#include "support/LoopbackPeer.h"
#include "support/LoopbackSockets.h"
#include "support/OffscreenBenchmarkMain.h"

#include <QWidget>
#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using bench::Clock;
using bench::LoopbackPeer;
using bench::percentile;
using bench::recordSample;
using bench::reportPercentiles;

// Per-iteration times in microseconds ("touch", "raw"), for the closing summary.
std::map<std::string, std::vector<double>> gSamples;

void BM_TouchMovedToReceiver(benchmark::State& state)
{
    // The benchmark reads each packet itself, on the thread that caused it.
    LoopbackPeer reader(LoopbackPeer::Login::Accept, LoopbackPeer::AfterAccepting::HandOver);
    if (remote_connectToHostPlain("127.0.0.1", reader.port(), "bench") != 0) {
        state.SkipWithError("no session to the loopback reader");
        return;
    }
    const int fd = reader.connection();

    TouchPadViewController screen;
    QWidget window;
    window.resize(320, 460);
    screen.view()->setParent(&window);
    window.show();
    screen.viewDidAppear(false);
    TouchPadView* pad = screen.touchPadView();
    platform::FingerSimulator finger;
    finger.press(0, pad, {100, 100});

    std::vector<double>& samples = gSamples["touch"];
    uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
    double x = 100;
    for (auto _ : state) {
        x = x > 150 ? 100 : x + 1.5; // a finger sliding right, back and forth
        const auto start = Clock::now();
        finger.move(0, pad, {x, 100});
        if (!readExactly(fd, packet, sizeof packet)) {
            state.SkipWithError("the receiver read nothing");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    finger.release(0, pad, {x, 100});
    reportPercentiles(state, samples);
    remote_initialize();
    shutdown(fd, SHUT_RDWR);
}
BENCHMARK(BM_TouchMovedToReceiver)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The floor: the same 6 bytes with a bare send() on a loopback TCP
// connection with no delay on small packets, as the session has.
void BM_RawSendToReceiver(benchmark::State& state)
{
    LoopbackPeer reader(LoopbackPeer::Login::NotExpected, LoopbackPeer::AfterAccepting::HandOver);
    const UniqueFd connection = connectToLoopback(reader.port(), /*noDelay=*/true);
    const int sender = connection.get();
    if (sender < 0) {
        state.SkipWithError("cannot connect to the loopback reader");
        return;
    }
    const int fd = reader.connection();
    std::vector<double>& samples = gSamples["raw"];
    const uint8_t move[REMOTE_MOUSE_PACKET_SIZE] = {REMOTE_PACKET_MOUSE, 0, 1, 0, 0, 0};
    uint8_t packet[REMOTE_MOUSE_PACKET_SIZE];
    for (auto _ : state) {
        const auto start = Clock::now();
        if (send(sender, move, sizeof move, MSG_NOSIGNAL) != ssize_t(sizeof move) || !readExactly(fd, packet, sizeof packet)) {
            state.SkipWithError("the raw send did not arrive");
            break;
        }
        recordSample(state, samples, Clock::now() - start);
    }
    reportPercentiles(state, samples);
}
BENCHMARK(BM_RawSendToReceiver)->UseManualTime()->Unit(benchmark::kMicrosecond);

void printSummary()
{
    const auto& touch = gSamples["touch"];
    const auto& raw = gSamples["raw"];
    if (touch.empty() || raw.empty())
        return;
    const double touchMedian = percentile(touch, 0.5), touchP99 = percentile(touch, 0.99);
    const double rawMedian = percentile(raw, 0.5), rawP99 = percentile(raw, 0.99);
    std::printf("\nover every timed iteration (%zu touch moves, %zu raw sends):\n", touch.size(), raw.size());
    std::printf("  touch move -> 6 bytes read   median %8.2f us   p99 %8.2f us\n", touchMedian, touchP99);
    std::printf("  raw send() -> 6 bytes read   median %8.2f us   p99 %8.2f us\n", rawMedian, rawP99);
    std::printf("  ratio (touch / raw)          median %8.2f      p99 %8.2f\n", touchMedian / rawMedian,
                touchP99 / rawP99);
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv, printSummary);
}
