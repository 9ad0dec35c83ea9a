// SPDX-License-Identifier: GPL-3.0-or-later
// Per-iteration latencies for benchmarks run with UseManualTime(): the mean
// Google Benchmark prints hides the tail, so each iteration is kept and the
// median and 99th percentile are reported as counters.
#pragma once

#include <benchmark/benchmark.h>
#include <chrono>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// The value at rank p * (n - 1), rounded, of values in any order (p in
// 0..1); 0 when there are none.
double percentile(std::vector<double> values, double p);

// Times this iteration as elapsed and keeps it, in microseconds, in samples.
void recordSample(benchmark::State& state, std::vector<double>& samples, Clock::duration elapsed);

// The counters median_us and p99_us over samples.
void reportPercentiles(benchmark::State& state, const std::vector<double>& samples);

} // namespace bench
