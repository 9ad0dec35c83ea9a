// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-receiver: takes a Quillon remote control's logins, keyboard and
// mouse events and hands them to an input sink.
#include "app/PasscodeFile.h"
#include "app/ReceiverLoop.h"
#include "app/ReceiverOptions.h"
#include "common/Notice.h"
#include "sinks/InputSinkFactory.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kExitBadOptions = 2;
// The chosen sink cannot reach a display, the desktop's portal or an input
// device, or the user refused.
constexpr int kExitNoInput = 1;

} // namespace

int main(int argc, char** argv)
{
    // A closed standard descriptor would be handed to the first socket, and
    // notices or the sink's record would then go to a client.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            return kExitNoInput;
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedOptions parsed = parseReceiverOptions(arguments);
    if (!parsed.options) {
        notice(parsed.error);
        std::fputs("Try 'quillon-receiver --help' for more information.\n", stderr);
        return kExitBadOptions;
    }
    const ReceiverOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(receiverUsage().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::fputs(receiverVersionLine().c_str(), stdout);
        return 0;
    }

    ReceiverConfig config;
    config.bindAddress = options.bindAddress;
    config.sessionPort = options.sessionPort;
    config.discoveryPort = options.discoveryPort;
    config.name = options.name.empty() ? defaultReceiverName() : options.name;
    config.passcode = options.passcode;
    config.allowPlain = options.allowPlain;
    if (!options.passcodeFile.empty()) {
        std::string error;
        if (!readPasscodeFile(options.passcodeFile, config.passcode, error)) {
            notice(error);
            return kExitBadOptions;
        }
    }

    OutputChannel sinkOutput(STDOUT_FILENO);
    std::string sinkError;
    SinkOptions sinkOptions;
    sinkOptions.name = options.sink;
    sinkOptions.layout.layout = options.layout;
    sinkOptions.layout.variant = options.variant;
    const auto sink = makeInputSink(sinkOptions, sinkOutput, sinkError);
    if (!sink) {
        notice(sinkError);
        return kExitNoInput;
    }
    return runReceiver(config, *sink, sinkOutput);
}
