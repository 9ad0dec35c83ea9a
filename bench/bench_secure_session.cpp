// SPDX-License-Identifier: GPL-3.0-or-later
// What the secure session costs in CPU, without sockets: one side's CPace
// (the generator from the passcode, a fresh share, K and ISK), the whole
// handshake on each side, and sealing and opening the 8-byte record of a key
// event. The handshake figures are the thread's CPU time spent in that
// side's calls only (manual time), so the other side and other processes on
// the machine stay out of them.
#include "CPace.h"
#include "SecureHandshake.h"
#include "SecureRecord.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <optional>

namespace {

constexpr std::string_view kPasscode = "correct horse battery staple";
const uint8_t kKeyEvent[REMOTE_KEYBOARD_PACKET_SIZE] = {REMOTE_PACKET_KEYBOARD, 1, 0, 0, 0x61, 0, 0, 0};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Adds the thread CPU time of `step` to `spent`.
template <typename Step>
void timed(double& spent, Step step)
{
    const double start = threadCpuSeconds();
    step();
    spent += threadCpuSeconds() - start;
}

void BM_CPaceOneSide(benchmark::State& state)
{
    if (!sodiumReady())
        state.SkipWithError("libsodium not usable");
    const Bytes ci = cpace::lvCat({std::string_view("QuillonCPace/1"), std::string_view("phone"),
                                   std::string_view("receiver")});
    const Bytes sid(16, 0x5A);
    const Bytes ada = cpace::lvCat({std::string_view("phone"), std::string_view("1")});
    const Bytes adb = cpace::lvCat({std::string_view("receiver"), std::string_view("1"), std::string_view("pc")});
    cpace::Point g;
    cpace::generator(kPasscode, ci, sid, g);
    cpace::Scalar peerScalar;
    cpace::Share peer;
    cpace::freshShare(g, peerScalar, peer);
    for (auto _ : state) {
        cpace::Point generator;
        cpace::generator(kPasscode, ci, sid, generator);
        cpace::Scalar y;
        cpace::Share own;
        cpace::freshShare(generator, y, own);
        cpace::Point k;
        if (!cpace::sharedPoint(y, own, peer, k))
            state.SkipWithError("share refused");
        cpace::Isk isk;
        cpace::isk(sid, k, own, ada, peer, adb, isk);
        benchmark::DoNotOptimize(isk.data());
    }
}
BENCHMARK(BM_CPaceOneSide)->Unit(benchmark::kMicrosecond);

// One whole handshake per iteration; `phoneSide` says whose calls are timed.
void runHandshakes(benchmark::State& state, bool phoneSide)
{
    for (auto _ : state) {
        double phone = 0;
        double receiving = 0;
        PhoneHandshake initiator;
        ReceiverHandshake responder("living-room-pc");
        Bytes m1, m2, m3, m4;
        bool ok = true;
        timed(phone, [&] { ok &= initiator.start(kPasscode, m1) == HandshakeResult::Ok; });
        timed(receiving, [&] { ok &= responder.hello(kPasscode, m1.data(), m1.size(), m2) == HandshakeResult::Ok; });
        timed(phone, [&] { ok &= initiator.answer(m2.data(), m2.size(), m3) == HandshakeResult::Ok; });
        timed(receiving, [&] {
            ok &= responder.takeTag(m3.data(), m3.size()) == HandshakeResult::Ok;
            ok &= responder.verifyTag(m4) == HandshakeResult::Ok;
        });
        timed(phone, [&] { ok &= initiator.confirm(m4.data(), m4.size()) == HandshakeResult::Ok; });
        if (!ok)
            state.SkipWithError("handshake failed");
        state.SetIterationTime(phoneSide ? phone : receiving);
    }
}

void BM_HandshakePhoneSide(benchmark::State& state)
{
    runHandshakes(state, true);
}
BENCHMARK(BM_HandshakePhoneSide)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_HandshakeReceiverSide(benchmark::State& state)
{
    runHandshakes(state, false);
}
BENCHMARK(BM_HandshakeReceiverSide)->UseManualTime()->Unit(benchmark::kMicrosecond);

RecordKey benchKey()
{
    RecordKey key;
    randombytes_buf(key.data(), key.size());
    return key;
}

void BM_SealKeyEventRecord(benchmark::State& state)
{
    RecordSealer sealer(benchKey());
    uint8_t record[recordSize(sizeof kKeyEvent)];
    for (auto _ : state)
        benchmark::DoNotOptimize(sealer.seal(kKeyEvent, sizeof kKeyEvent, record, sizeof record));
}
BENCHMARK(BM_SealKeyEventRecord);

void BM_OpenKeyEventRecord(benchmark::State& state)
{
    // A stream of sealed records, opened in order; a fresh opener (counter 0)
    // starts again at its beginning.
    constexpr std::size_t kRecords = 4096;
    constexpr std::size_t kSize = recordSize(sizeof kKeyEvent);
    const RecordKey key = benchKey();
    RecordSealer sealer(key);
    Bytes stream(kRecords * kSize);
    for (std::size_t i = 0; i < kRecords; ++i)
        sealer.seal(kKeyEvent, sizeof kKeyEvent, stream.data() + i * kSize, kSize);
    std::optional<RecordOpener> opener;
    std::size_t next = kRecords;
    for (auto _ : state) {
        if (next == kRecords) {
            state.PauseTiming();
            opener.emplace(key);
            next = 0;
            state.ResumeTiming();
        }
        std::size_t used = 0;
        if (opener->feed(stream.data() + next * kSize, kSize, used) != RecordOpener::Status::Packet)
            state.SkipWithError("record refused");
        ++next;
    }
}
BENCHMARK(BM_OpenKeyEventRecord);

} // namespace

BENCHMARK_MAIN();
