// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-receiver: takes a Quillon remote control's logins, keyboard and
// mouse events and hands them to an input sink.
#include "app/KnownAddressesFile.h"
#include "app/NewPasscode.h"
#include "app/PasscodeFile.h"
#include "app/PasscodeStrength.h"
#include "app/ReceiverLoop.h"
#include "app/ReceiverOptions.h"
#include "common/ExitStatus.h"
#include "common/Notice.h"
#include "sinks/InputSinkFactory.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// --new-passcode: writes the file, and says once what it holds and what next.
int writeNewPasscode(const ReceiverOptions& options)
{
    const std::string path = options.passcodeFile.empty() ? defaultPasscodeFile() : options.passcodeFile;
    if (path.empty()) {
        notice("HOME is not set: name the passcode file with --passcode-file PATH");
        return kExitBadSetup;
    }
    const std::string passcode = makeNewPasscode();
    if (passcode.empty()) {
        notice("cannot draw random numbers for a passcode");
        return kExitFailed;
    }
    struct stat status {};
    const bool replacing = ::lstat(path.c_str(), &status) == 0;
    std::string error;
    if (!writeNewPasscodeFile(path, passcode, options.force, error)) {
        notice(error);
        return kExitBadSetup;
    }
    const LoginThrottle::Policy throttle;
    std::string text = "New passcode: " + passcode + "\n" + "It is written to " + path
                       + ", readable by you alone, and not shown again.\n"
                         "Type it on the phone when it asks for the passcode; the phone can keep it.\n"
                         "At the limit of "
                       + std::to_string(throttle.failuresPerMinute) + " wrong passcodes a minute, trying every "
                       + std::to_string(passcode.size()) + "-digit passcode takes some "
                       + describeDuration(timeToTry(passcodesLike(passcode), throttle)) + ".\n";
    if (path == defaultPasscodeFile())
        text += "Start the receiver now and at every login: systemctl --user enable --now quillon-receiver\n";
    else
        text += "Start the receiver with: quillon-receiver --passcode-file '" + path + "'\n";
    if (replacing)
        text += "A receiver that is running keeps the old passcode until it starts again: systemctl --user restart "
                "quillon-receiver\n";
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? kExitStopped : kExitFailed;
}

} // namespace

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
    if (options.newPasscode)
        return writeNewPasscode(options);

    ReceiverConfig config;
    config.bindAddress = options.bindAddress;
    config.sessionPort = options.sessionPort;
    config.discoveryPort = options.discoveryPort;
    config.name = options.name.empty() ? defaultReceiverName() : options.name;
    config.passcode = options.passcode;
    config.knownAddressesFile = knownAddressesFile();
    config.allowPlain = options.allowPlain;
    if (!options.passcodeFile.empty()) {
        std::string error;
        if (!readPasscodeFile(options.passcodeFile, config.passcode, error)) {
            notice(error);
            return kExitBadSetup;
        }
    }
    if (const auto warning = weakPasscodeWarning(config.passcode, LoginThrottle::Policy{}))
        notice(*warning);

    // The sink's record: written a batch at a time, on a pipe (a script's
    // or a test's reader) in one write each.
    OutputChannel sinkOutput(STDOUT_FILENO, OutputChannel::kDefaultCapacity, OutputChannel::PipeWrites::OwnDescription);
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
