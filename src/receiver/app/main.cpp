// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-receiver: takes a Quillon remote control's logins, keyboard and
// mouse events and hands them to an input sink.
#include "app/PasscodeFile.h"
#include "app/ReceiverLoop.h"
#include "app/ReceiverOptions.h"
#include "common/ExitStatus.h"
#include "common/Notice.h"
#include "sinks/InputSinkFactory.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv)
{
    // A closed standard descriptor would be handed to the first socket, and
    // notices or the sink's record would then go to a client.
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
            return kExitFailed;
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const ParsedOptions parsed = parseReceiverOptions(arguments);
    if (!parsed.options) {
        notice(parsed.error);
        std::fputs("Try 'quillon-receiver --help' for more information.\n", stderr);
        return kExitBadSetup;
    }
    const ReceiverOptions& options = *parsed.options;
    if (options.help) {
        std::fputs(receiverUsage().c_str(), stdout);
        return kExitStopped;
    }
    if (options.version) {
        std::fputs(receiverVersionLine().c_str(), stdout);
        return kExitStopped;
    }

    ReceiverConfig config;
    config.bindAddress = options.bindAddress;
    config.sessionPort = options.sessionPort;
    config.discoveryPort = options.discoveryPort;
    config.name = options.name.empty() ? defaultReceiverName() : options.name;
    config.passcode = options.passcode;
    if (!options.passcodeFile.empty()) {
        std::string error;
        if (!readPasscodeFile(options.passcodeFile, config.passcode, error)) {
            notice(error);
            return kExitBadSetup;
        }
    }

    OutputChannel sinkOutput(STDOUT_FILENO);
    std::string sinkError;
    SinkOptions sinkOptions;
    sinkOptions.name = options.sink;
    sinkOptions.layout.layout = options.layout;
    sinkOptions.layout.variant = options.variant;
    sinkOptions.allowPower = options.allowPower;
    bool permissionWithheld = false;
    const auto sink = makeInputSink(sinkOptions, sinkOutput, sinkError, &permissionWithheld);
    if (!sink) {
        notice(sinkError);
        return permissionWithheld ? kExitPermissionWithheld : kExitFailed;
    }
    return runReceiver(config, *sink, sinkOutput);
}
