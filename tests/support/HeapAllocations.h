// SPDX-License-Identifier: GPL-3.0-or-later
// How many times this program has allocated from the heap: linking a test
// that calls heapAllocations() replaces the global operator new with one that
// counts, so that a test can show that a path allocates nothing (or not at
// all for what it refuses).
#pragma once

long heapAllocations();
