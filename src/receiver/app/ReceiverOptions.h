// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's command line.
#pragma once

#include "WireFormat.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ReceiverOptions {
    uint16_t sessionPort = REMOTE_DEFAULT_PORT;   // --port
    uint16_t discoveryPort = REMOTE_DEFAULT_PORT; // --discovery-port
    std::string bindAddress = "0.0.0.0";          // --bind
    std::string passcode;                          // --passcode
    std::string passcodeFile;                      // --passcode-file
    std::string name;                              // --name; empty means the host name
    std::string sink = "log";                      // --sink
    std::string layout;                            // --layout; empty means the computer's
    std::string variant;                           // --variant
    bool allowPlain = false;                       // --allow-plain
    bool allowPower = false;                       // --allow-power
    bool newPasscode = false;                      // --new-passcode: write one, then exit
    bool force = false;                            // --force: --new-passcode replaces an existing file
    bool help = false;                             // --help
    bool version = false;                          // --version
};

struct ParsedOptions {
    std::optional<ReceiverOptions> options; // set when the command line is valid
    std::string error;                      // otherwise, what is wrong with it
};

// Parses the arguments after the program name. Accepts "--option value" and
// "--option=value". Does not read the passcode file. With --new-passcode,
// --passcode-file names the file to write (none: defaultPasscodeFile()).
ParsedOptions parseReceiverOptions(const std::vector<std::string>& arguments);

// The text printed by --help; the manual page is made from it too.
std::string receiverUsage();

// The line printed by --version.
std::string receiverVersionLine();

// The computer's host name, or "localhost" when it cannot be read.
std::string defaultReceiverName();

// Longest name that the discovery reply carries.
constexpr std::size_t kMaxReceiverNameLength = 255;
