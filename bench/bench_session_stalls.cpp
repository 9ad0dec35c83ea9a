// SPDX-License-Identifier: GPL-3.0-or-later
// How long the session can hold the screen when the computer misbehaves:
// the longest single send to a receiver that stopped reading (a hung
// program, or a host gone without a reset), and a connect to an address
// whose SYNs are dropped (a listener whose queue is full, on loopback).
// Each is measured once; the session call runs on the benchmark's thread,
// as on the screen's.
//
//     build/bench/bench/bench_session_stalls
#include "RemoteProtocol.h"

#include "support/LoopbackPeer.h"
#include "support/LoopbackSockets.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Closes the socket `fd` after `budget` unless cancelled first: a peer that
// closes with unread data resets the connection, which ends a send blocked
// on it. The number stays open (on /dev/null) for its owner to close.
class Watchdog {
public:
    Watchdog(int fd, std::chrono::seconds budget)
        : thread_([this, fd, budget] {
            std::unique_lock<std::mutex> lock(mutex_);
            if (!cancelled_.wait_for(lock, budget, [this] { return done_; })) {
                fired_ = true;
                const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
                dup2(nothing, fd);
                close(nothing);
            }
        })
    {
    }
    ~Watchdog()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        cancelled_.notify_all();
        thread_.join();
    }
    bool fired() const { return fired_; }

private:
    std::mutex mutex_;
    std::condition_variable cancelled_;
    bool done_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

constexpr auto kBudget = std::chrono::seconds(60);

void BM_LongestSendToAPeerThatStopsReading(benchmark::State& state)
{
    for (auto _ : state) {
        bench::LoopbackPeer peer(bench::LoopbackPeer::Login::Accept, bench::LoopbackPeer::AfterAccepting::HandOver);
        if (remote_connectToHostPlain("127.0.0.1", peer.port(), "bench") != 0) {
            state.SkipWithError("the session did not log in");
            return;
        }
        const int stalled = peer.connection(); // never read from here on
        double longest = 0;
        long sent = 0;
        {
            Watchdog watchdog(stalled, kBudget);
            for (;;) {
                const auto start = Clock::now();
                const int result = remote_sendMouseEvent(0, 1, 1);
                longest = std::max(longest, std::chrono::duration<double>(Clock::now() - start).count());
                if (result != 0)
                    break;
                ++sent;
            }
            state.counters["cut_short_by_the_bench"] = watchdog.fired() ? 1 : 0;
        }
        state.counters["longest_send_s"] = longest;
        state.counters["events_sent"] = double(sent);
        state.counters["session_ended"] = remote_is_connected() ? 0 : 1;
    }
}
BENCHMARK(BM_LongestSendToAPeerThatStopsReading)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_ConnectToAnAddressThatDropsSyns(benchmark::State& state)
{
    for (auto _ : state) {
        // A queue of one, filled: the next SYN is dropped, as by a firewall.
        const UniqueFd listener = listeningOnLoopback(0);
        const uint16_t port = localPort(listener.get());
        const UniqueFd filler = connectToLoopback(port);
        const auto start = Clock::now();
        const int result = remote_connectToHost("127.0.0.1", port, "bench");
        state.counters["connect_s"] = std::chrono::duration<double>(Clock::now() - start).count();
        state.counters["result"] = result;
    }
}
BENCHMARK(BM_ConnectToAnAddressThatDropsSyns)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
