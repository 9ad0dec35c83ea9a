// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-receiver as the end-to-end tests run it (--sink log, every other
// option left at what a person would leave it), and the lines it prints.
#pragma once

#include "support/ReceiverProcess.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// Listens on all addresses, port 25736 for the session and for discovery,
// with the sink `sink` and any `further` options; fails the running test when
// it does not come up.
std::unique_ptr<ReceiverProcess> startReceiver(const std::string& passcode, const std::string& name,
                                               const std::string& sink = "log",
                                               const std::vector<std::string>& further = {});

std::string keyLine(int state, uint32_t keyCode);
inline std::string keyDown(uint32_t keyCode) { return keyLine(1, keyCode); }
inline std::string keyUp(uint32_t keyCode) { return keyLine(0, keyCode); }
std::string mouseLine(int buttons, int dx = 0, int dy = 0);
std::string loginLine(bool accepted);
extern const std::string kDisconnectLine;

// The next `count` lines of the receiver's output (each awaited a few
// seconds at most); a missing one reads "<none>", so a comparison names it.
std::vector<std::string> nextLines(ReceiverProcess& receiver, std::size_t count);

// Whether a line is the receiver's note of a new connection.
bool isConnectLine(const std::string& line);

} // namespace e2e
