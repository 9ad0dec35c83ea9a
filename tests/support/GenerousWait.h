// SPDX-License-Identifier: GPL-3.0-or-later
// How long a test or a benchmark waits for what comes at once when all is
// well: a guard that turns a hang into a failure, never a speed check.
#pragma once

#include <chrono>

constexpr std::chrono::milliseconds kGenerousWait{5000};
