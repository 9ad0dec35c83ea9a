// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LatencySamples.h"

#include <algorithm>

namespace bench {

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void recordSample(benchmark::State& state, std::vector<double>& samples, Clock::duration elapsed)
{
    const double seconds = std::chrono::duration<double>(elapsed).count();
    state.SetIterationTime(seconds);
    samples.push_back(seconds * 1e6);
}

void reportPercentiles(benchmark::State& state, const std::vector<double>& samples)
{
    state.counters["median_us"] = percentile(samples, 0.5);
    state.counters["p99_us"] = percentile(samples, 0.99);
}

} // namespace bench
