// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's half of the secure login, for the benchmarks' stand-in
// receivers that then read the session's records themselves.
#pragma once

#include <string>

namespace bench {

// Answers the secure handshake on `fd` with `passcode` as the receiver
// `name`: the share, then the confirming tag once the phone's tag verified.
// False when the phone's messages do not come or do not verify.
bool answerSecureLogin(int fd, const std::string& passcode, const std::string& name);

} // namespace bench
