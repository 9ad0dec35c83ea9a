// Makes an input sink by the name given on the command line.
#pragma once

#include "InputSink.h"
#include "OutputChannel.h"

#include <memory>
#include <string>
#include <vector>

// The names `makeInputSink` knows, in the order shown to the user.
std::vector<std::string> inputSinkNames();

// The sink called `name`, or null with `error` saying why: a name that is
// not known, or a device that cannot be reached. Sinks that write a record of
// what happened write it to `out`. "auto" is XTest when an X display can be
// reached, else uinput.
std::unique_ptr<InputSink> makeInputSink(const std::string& name, LineOutput& out, std::string& error);

inline std::unique_ptr<InputSink> makeInputSink(const std::string& name, LineOutput& out)
{
    std::string ignored;
    return makeInputSink(name, out, ignored);
}
