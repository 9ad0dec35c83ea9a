// SPDX-License-Identifier: GPL-3.0-or-later
// How fast a host on the network can guess the passcode of the real
// quillon-receiver: wrong logins as fast as the receiver answers them, one
// login per connection, for a fixed time, from one or several connections at
// once, from one address (127.0.0.1) or spread over many (127.0.1.x, as a
// host that claims many addresses); then how long a right login from another
// address (127.0.0.2) waits while the guesser is being held back. Each guess
// is a secure login (the phone's handshake up to the receiver's verdict on
// its tag), or a plain one to a receiver started with --allow-plain.
//
//     build/bench/bench/bench_guessing
//
// Each run takes the seconds given as its first argument (--benchmark_filter
// picks the short ones); the counters are the answered guesses per second
// and the days that rate needs to try every 6-digit passcode.
#include "SecureHandshake.h"
#include "support/LoopbackSockets.h"
#include "support/ReceiverProcess.h"
#include "support/SessionBytes.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kPasscode = "not-six-digits";

std::chrono::milliseconds timeLeft(Clock::time_point deadline)
{
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()),
                    std::chrono::milliseconds(0));
}

// The payload of the next message, or nothing when none came before `deadline`.
std::optional<Bytes> nextPayload(int fd, Clock::time_point deadline)
{
    const auto header = receiveExactly(fd, 5, timeLeft(deadline));
    if (!header || (*header)[0] != 0x80)
        return std::nullopt;
    const std::size_t length = (*header)[1] | (*header)[2] << 8 | (*header)[3] << 16 | std::size_t((*header)[4]) << 24;
    return length > 4096 ? std::nullopt : receiveExactly(fd, length, timeLeft(deadline));
}

// One secure login on a new connection from `from`, as `tryLogin` below.
int trySecureLogin(const char* from, uint16_t port, const std::string& passcode, Clock::time_point deadline)
{
    const UniqueFd session = connectToLoopbackFrom(from, port);
    PhoneHandshake phone;
    Bytes payload;
    if (!session.valid() || phone.start(passcode, payload) != HandshakeResult::Ok
        || !sendAll(session.get(), messagePacket(payload)))
        return -1;
    const auto share = nextPayload(session.get(), deadline);
    if (!share || phone.answer(share->data(), share->size(), payload) != HandshakeResult::Ok
        || !sendAll(session.get(), messagePacket(payload)))
        return -1;
    const auto verdict = nextPayload(session.get(), deadline);
    if (!verdict)
        return -1;
    return phone.confirm(verdict->data(), verdict->size()) == HandshakeResult::Ok ? 0 : 1;
}

// One login on a new connection from `from`: 0 accepted, 1 refused, -1 no
// answer before `deadline`.
int tryLogin(bool secure, const char* from, uint16_t port, const std::string& passcode, Clock::time_point deadline)
{
    if (secure)
        return trySecureLogin(from, port, passcode, deadline);
    const UniqueFd session = connectToLoopbackFrom(from, port);
    if (!session.valid() || !sendAll(session.get(), loginPacket(passcode)))
        return -1;
    const auto reply = receiveExactly(session.get(), acceptingLoginReply().size(), timeLeft(deadline));
    // The reply ends with "Rsp" as a 32-bit integer and the closing bracket.
    if (!reply)
        return -1;
    return (*reply)[12] == 0 ? 0 : 1;
}

void BM_WrongGuesses(benchmark::State& state)
{
    const auto seconds = std::chrono::seconds(state.range(0));
    const int connections = int(state.range(1));
    const int addresses = int(state.range(2));
    const bool secure = state.range(3) != 0;
    for (auto _ : state) {
        const auto receiver = ReceiverProcess::startOnLoopback(kPasscode, secure ? std::vector<std::string>{}
                                                                                 : std::vector<std::string>{"--allow-plain"});
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
                    if (tryLogin(secure, from, receiver->sessionPort(), text, deadline) == 1)
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
        const int honest =
            tryLogin(secure, "127.0.0.2", receiver->sessionPort(), kPasscode, before + std::chrono::seconds(30));
        state.counters["other_address_login_ms"] =
            honest == 0 ? std::chrono::duration<double, std::milli>(Clock::now() - before).count() : -1;
    }
}
BENCHMARK(BM_WrongGuesses)
    ->ArgNames({"seconds", "connections", "addresses", "secure"})
    ->Args({10, 1, 1, 0})
    ->Args({10, 1, 1, 1})
    ->Args({10, 8, 1, 0})
    ->Args({10, 8, 1, 1})
    ->Args({120, 8, 1, 1})
    ->Args({120, 8, 200, 0})
    ->Args({120, 8, 200, 1})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
