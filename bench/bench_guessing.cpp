// SPDX-License-Identifier: GPL-3.0-or-later
// How fast a host on the network can guess the passcode of the real
// quillon-receiver: wrong logins as fast as the receiver answers them, one
// login per connection, for a fixed time, from one or several connections at
// once, from one address (127.0.0.1) or spread over many (127.0.1.x, as a
// host that claims many addresses); then how long a right login from another
// address (127.0.0.2) waits while the guesser is being held back.
//
//     build/bench/bench/bench_guessing
//
// Each run takes the seconds given as its first argument (--benchmark_filter
// picks the short ones); the counters are the answered guesses per second
// and the days that rate needs to try every 6-digit passcode.
#include "LoopbackSockets.h"
#include "ReceiverChild.h"

#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using bench::ReceiverChild;

const char* const kPasscode = "not-six-digits";

// The login request for `passcode` (shorter than 256 bytes) in its 0x80 frame.
std::vector<uint8_t> loginFrame(const std::string& passcode)
{
    std::vector<uint8_t> payload = {0x5B, 0x73, 3, 'C', 'm', 'd', 0x73, 5, 'L', 'o', 'g', 'i', 'n',
                                    0x73, 8, 'P', 'a', 's', 's', 'c', 'o', 'd', 'e', 0x73, uint8_t(passcode.size())};
    payload.insert(payload.end(), passcode.begin(), passcode.end());
    payload.push_back(0x5D);
    std::vector<uint8_t> frame = {0x80, uint8_t(payload.size()), 0, 0, 0};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

// One login on a new connection from `from`: 0 accepted, 1 refused, -1 no
// answer before `deadline`.
int tryLogin(const char* from, uint16_t port, const std::string& passcode, Clock::time_point deadline)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, from, &local.sin_addr);
    const sockaddr_in target = bench::loopbackAddress(port);
    int result = -1;
    const std::vector<uint8_t> frame = loginFrame(passcode);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0
        && connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0
        && send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == ssize_t(frame.size())) {
        uint8_t reply[17];
        size_t have = 0;
        while (have < sizeof reply) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd waiter{fd, POLLIN, 0};
            if (left.count() <= 0 || poll(&waiter, 1, int(left.count())) != 1)
                break;
            const ssize_t n = recv(fd, reply + have, sizeof reply - have, 0);
            if (n <= 0)
                break;
            have += size_t(n);
        }
        // The reply ends with "Rsp" as a 32-bit integer and the closing bracket.
        if (have == sizeof reply)
            result = reply[12] == 0 ? 0 : 1;
    }
    close(fd);
    return result;
}

void BM_WrongGuesses(benchmark::State& state)
{
    const auto seconds = std::chrono::seconds(state.range(0));
    const int connections = int(state.range(1));
    const int addresses = int(state.range(2));
    for (auto _ : state) {
        ReceiverChild receiver(kPasscode, ReceiverChild::Output::Discard);
        std::atomic<long> refused{0};
        const auto start = Clock::now();
        const auto deadline = start + seconds;
        std::vector<std::thread> guessers;
        for (int c = 0; c < connections; ++c) {
            guessers.emplace_back([&, c] {
                for (long guess = c; Clock::now() < deadline; guess += connections) {
                    char text[16];
                    std::snprintf(text, sizeof text, "%06ld", guess % 1000000);
                    char from[32] = "127.0.0.1";
                    if (addresses > 1)
                        std::snprintf(from, sizeof from, "127.0.1.%ld", 1 + guess % addresses);
                    if (tryLogin(from, receiver.port(), text, deadline) == 1)
                        ++refused;
                }
            });
        }
        for (std::thread& guesser : guessers)
            guesser.join();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double rate = double(refused) / elapsed;
        state.counters["guesses"] = double(refused);
        state.counters["guesses_per_s"] = rate;
        state.counters["days_for_all_6_digits"] = rate > 0 ? 1e6 / rate / 86400 : 0;

        // The owner logs in from another address while the guesser is held back.
        const auto before = Clock::now();
        const int honest = tryLogin("127.0.0.2", receiver.port(), kPasscode, before + std::chrono::seconds(30));
        state.counters["other_address_login_ms"] =
            honest == 0 ? std::chrono::duration<double, std::milli>(Clock::now() - before).count() : -1;
    }
}
BENCHMARK(BM_WrongGuesses)
    ->ArgNames({"seconds", "connections", "addresses"})
    ->Args({10, 1, 1})
    ->Args({10, 8, 1})
    ->Args({120, 8, 1})
    ->Args({120, 8, 200})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
