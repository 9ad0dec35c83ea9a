// SPDX-License-Identifier: GPL-3.0-or-later
// The CPU time a process has used so far, from the scheduler's own count, as
// ReceiverProcess reads the receiver's: the floors the benchmarks set beside
// it run as child processes of their own and are measured the same way.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <fstream>
#include <string>

namespace bench {

inline std::chrono::nanoseconds cpuTimeOf(pid_t pid)
{
    std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
    long long onCpu = 0;
    schedstat >> onCpu;
    return std::chrono::nanoseconds(onCpu);
}

} // namespace bench
