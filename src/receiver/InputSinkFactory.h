// Makes an input sink by the name given on the command line.
#pragma once

#include "InputSink.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// The names `makeInputSink` knows, in the order shown to the user.
std::vector<std::string> inputSinkNames();

// The sink called `name`, or null for a name that is not known. Sinks that
// write a record of what happened write it to `out`.
std::unique_ptr<InputSink> makeInputSink(const std::string& name, std::FILE* out);
