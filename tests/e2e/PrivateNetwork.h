// SPDX-License-Identifier: GPL-3.0-or-later
// A network of the test's own: the test process moves into a new network
// namespace before anything else runs, so that the app's broadcast discovery
// on 255.255.255.255:25736 and the receiver it finds never touch a real
// interface. Inside, only the loopback device exists; it is brought up and,
// while a default route leads through it, a broadcast goes to lo and stays
// there. Children (the receiver) inherit the namespace.
#pragma once

#include <string>

namespace e2e {

// Must be called first in main, while the process has a single thread (a
// namespace is a property of the thread that makes it). Tries a plain
// network namespace (root), then one inside a new user namespace (any user,
// where the kernel allows it). Returns an empty string on success, else why
// no namespace could be made.
std::string enterPrivateNetwork();

// Whether enterPrivateNetwork() succeeded, and its reason when not.
bool insidePrivateNetwork();
const std::string& privateNetworkFailure();

// The default route through lo: with it broadcasts are delivered on lo;
// without it the namespace has no way out at all (as a phone without any
// network). Only valid inside the private network. Return false on failure.
bool addDefaultRouteThroughLoopback();
bool removeDefaultRoute();

} // namespace e2e
