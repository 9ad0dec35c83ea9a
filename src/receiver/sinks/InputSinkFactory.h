// SPDX-License-Identifier: GPL-3.0-or-later
// Makes an input sink by the name given on the command line.
#pragma once

#include "common/OutputChannel.h"
#include "keys/KeyboardLayout.h"
#include "sinks/InputSink.h"

#include <memory>
#include <string>
#include <vector>

// The names `makeInputSink` knows in this build, in the order shown to the
// user.
std::vector<std::string> inputSinkNames();

struct SinkOptions {
    std::string name = "log";
    // --layout and --variant: the keyboard layout the uinput sink types in
    // (the other sinks type in the desktop's own); empty means the
    // computer's configured layout.
    LayoutNames layout;
    // --allow-power: the power command presses the power key.
    bool allowPower = false;
};

// The sink of `options.name`, or null with `error` saying why: a device
// that cannot be reached, a desktop that refused. `permissionWithheld`, when
// given, says whether the user refused the desktop's dialog or left it
// unanswered. Sinks that write a record of what happened write it to `out`.
// "auto" chooses by the session (see SinkChoice.h) and says on standard
// error which sink it took and why.
std::unique_ptr<InputSink> makeInputSink(const SinkOptions& options, LineOutput& out, std::string& error,
                                         bool* permissionWithheld = nullptr);
