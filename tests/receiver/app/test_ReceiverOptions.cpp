// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: values taken, bad options refused with a clear message,
// and the binary's exit status for them.
#include "app/PasscodeFile.h"
#include "app/ReceiverOptions.h"
#include "support/ReceiverProcess.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

ReceiverOptions parsed(const std::vector<std::string>& arguments)
{
    const ParsedOptions result = parseReceiverOptions(arguments);
    EXPECT_TRUE(result.options) << result.error;
    return result.options.value_or(ReceiverOptions{});
}

std::string refusal(const std::vector<std::string>& arguments)
{
    const ParsedOptions result = parseReceiverOptions(arguments);
    EXPECT_FALSE(result.options);
    return result.error;
}

// A file in the test's temporary directory, removed afterwards.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& contents)
    {
        char name[] = "/tmp/quillon-passcode-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        const ssize_t written = write(fd, contents.data(), contents.size());
        EXPECT_EQ(written, ssize_t(contents.size()));
        close(fd);
    }
    ~TemporaryFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace

TEST(ReceiverOptions, DefaultsAndEveryOptionInBothSpellings)
{
    const ReceiverOptions defaults = parsed({"--passcode", "pw"});
    EXPECT_EQ(defaults.sessionPort, 25736);
    EXPECT_EQ(defaults.discoveryPort, 25736);
    EXPECT_EQ(defaults.bindAddress, "0.0.0.0");
    EXPECT_EQ(defaults.passcode, "pw");
    EXPECT_TRUE(defaults.name.empty()) << "empty means the host name";
    EXPECT_EQ(defaults.sink, "log");
    EXPECT_FALSE(defaults.help);
    EXPECT_FALSE(defaults.allowPlain) << "plain logins are refused unless allowed";
    EXPECT_TRUE(parsed({"--passcode", "pw", "--allow-plain"}).allowPlain);

    const ReceiverOptions all = parsed({"--port", "4000", "--discovery-port=4001", "--bind", "127.0.0.1",
                                        "--passcode=a=b", "--name", "Desk PC", "--sink=log"});
    EXPECT_EQ(all.sessionPort, 4000);
    EXPECT_EQ(all.discoveryPort, 4001);
    EXPECT_EQ(all.bindAddress, "127.0.0.1");
    EXPECT_EQ(all.passcode, "a=b");
    EXPECT_EQ(all.name, "Desk PC");

    EXPECT_EQ(parsed({"--passcode-file", "/some/where"}).passcodeFile, "/some/where");
    EXPECT_TRUE(parsed({"--help"}).help) << "help needs no passcode";
    EXPECT_EQ(parsed({"--port", "0", "--passcode", "x"}).sessionPort, 0) << "0 asks for a free port";
    EXPECT_EQ(parsed({"--port", "65535", "--passcode", "x"}).sessionPort, 65535);
    const ReceiverOptions layout = parsed({"--passcode", "x", "--layout", "de", "--variant=nodeadkeys"});
    EXPECT_EQ(layout.layout, "de");
    EXPECT_EQ(layout.variant, "nodeadkeys");
    EXPECT_TRUE(defaults.layout.empty()) << "empty means the computer's layout";
}

namespace {

// The sinks of this build.
const std::string kKnownSinks = std::string("log, ")
#ifdef QUILLON_HAVE_PORTAL
                                + "portal, "
#endif
#ifdef QUILLON_HAVE_X11
                                + "xtest, "
#endif
                                + "uinput, auto";

} // namespace

TEST(ReceiverOptions, BadCommandLinesAreRefusedWithAClearMessage)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "a passcode is required"},
        {{"--port", "25736"}, "a passcode is required"},
        {{"--passcode", "x", "--passcode-file", "f"}, "not both"},
        {{"--passcode", "x", "--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--passcode", "x", "stray"}, "unknown option 'stray'"},
        {{"--passcode"}, "option '--passcode' needs a value"},
        {{"--passcode", ""}, "must not be empty"},
        {{"--passcode", "x", "--port", "65536"}, "'65536' is not a port number"},
        {{"--passcode", "x", "--port", "-1"}, "'-1' is not a port number"},
        {{"--passcode", "x", "--port", "12ab"}, "'12ab' is not a port number"},
        {{"--passcode", "x", "--discovery-port", ""}, "'' is not a port number"},
        {{"--passcode", "x", "--bind", "localhost"}, "'localhost' is not an IPv4 address"},
        {{"--passcode", "x", "--bind", "10.0.0.256"}, "not an IPv4 address"},
        {{"--passcode", "x", "--sink", "mouse"}, "unknown sink 'mouse' (known: " + kKnownSinks + ")"},
        {{"--passcode", "x", "--layout", "../de"}, "'../de' is not a keyboard layout name"},
        {{"--passcode", "x", "--layout", "de", "--variant", ""}, "'' is not a keyboard layout name"},
        {{"--passcode", "x", "--variant", "nodeadkeys"}, "option '--variant' needs '--layout'"},
        {{"--passcode", "x", "--name", ""}, "the name must be 1 to 255 bytes long"},
        {{"--passcode", "x", "--name", std::string(256, 'n')}, "the name must be 1 to 255 bytes long"},
        {{"--help=yes"}, "takes no value"},
        {{"--passcode", "x", "--allow-plain=yes"}, "option '--allow-plain' takes no value"},
    };
    for (const auto& [arguments, expected] : cases) {
        const std::string error = refusal(arguments);
        EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
    }
}

TEST(ReceiverOptions, TheRefusalNeverRepeatsThePasscode)
{
    const std::string error = refusal({"--passcode", "hunter2", "--port", "nope"});
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("hunter2"), std::string::npos);
}

TEST(PasscodeFile, ReadsTheFirstLineWithoutItsEnding)
{
    for (const std::string& contents : {std::string("s3cret"), std::string("s3cret\n"), std::string("s3cret\r\n"),
                                        std::string("s3cret\nsecond line\n")}) {
        TemporaryFile file(contents);
        std::string passcode;
        std::string error;
        ASSERT_TRUE(readPasscodeFile(file.path(), passcode, error)) << error;
        EXPECT_EQ(passcode, "s3cret");
    }
}

TEST(PasscodeFile, RefusesMissingEmptyOversizedAndNulFiles)
{
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"", "holds no passcode"},
        {"\n", "holds no passcode"},
        {std::string("ab\0cd", 5), "holds a NUL byte"},
        {std::string(5000, 'x'), "too large"},
    };
    for (const auto& [contents, expected] : bad) {
        TemporaryFile file(contents);
        std::string passcode = "unchanged";
        std::string error;
        EXPECT_FALSE(readPasscodeFile(file.path(), passcode, error));
        EXPECT_NE(error.find(expected), std::string::npos) << error;
        EXPECT_EQ(passcode, "unchanged");
    }
    std::string passcode;
    std::string error;
    EXPECT_FALSE(readPasscodeFile("/nonexistent/quillon/passcode", passcode, error));
    EXPECT_NE(error.find("cannot read the passcode file"), std::string::npos) << error;
}

TEST(PasscodeFile, RefusesAFileOtherUsersMayReadOrChange)
{
    for (const mode_t mode : {0644, 0640, 0604, 0620, 0602, 0660}) {
        TemporaryFile file("s3cret\n");
        ASSERT_EQ(chmod(file.path().c_str(), mode), 0);
        std::string passcode = "unchanged";
        std::string error;
        EXPECT_FALSE(readPasscodeFile(file.path(), passcode, error)) << std::oct << mode;
        EXPECT_NE(error.find("chmod 600"), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
        EXPECT_EQ(passcode, "unchanged");
    }
    for (const mode_t mode : {0600, 0400}) {
        TemporaryFile file("s3cret\n");
        ASSERT_EQ(chmod(file.path().c_str(), mode), 0);
        std::string passcode;
        std::string error;
        EXPECT_TRUE(readPasscodeFile(file.path(), passcode, error)) << std::oct << mode << ": " << error;
        EXPECT_EQ(passcode, "s3cret");
    }
}

TEST(ReceiverBinaryOptions, AnOpenPasscodeFileStopsTheStartWithStatusTwo)
{
    TemporaryFile file("s3cret\n");
    ASSERT_EQ(chmod(file.path().c_str(), 0644), 0);
    ReceiverProcess receiver({"--passcode-file", file.path(), "--bind", "127.0.0.1", "--port", "0",
                              "--discovery-port", "0"});
    EXPECT_EQ(receiver.waitForExit(), 2);
    EXPECT_NE(receiver.errors().find("chmod 600 '" + file.path() + "'"), std::string::npos) << receiver.errors();
    EXPECT_EQ(receiver.errors().find("listening"), std::string::npos);
}

TEST(PasscodeFile, RefusesAFifoWithoutWaitingForAWriter)
{
    TemporaryFile place("");
    const std::string path = place.path() + ".fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    ReceiverProcess receiver({"--passcode-file", path, "--bind", "127.0.0.1", "--port", "0", "--discovery-port", "0"});
    EXPECT_EQ(receiver.waitForExit(), 2);
    EXPECT_NE(receiver.errors().find("is not a regular file"), std::string::npos) << receiver.errors();
    unlink(path.c_str());
}

TEST(PasscodeFile, RefusesAFileOfAnotherUser)
{
    TemporaryFile file("s3cret\n");
    // Only root can give a file away; anyone else has no file of another
    // user's that it may read.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file another user's";
    ASSERT_EQ(chown(file.path().c_str(), 65534, 65534), 0);
    ReceiverProcess receiver({"--passcode-file", file.path(), "--bind", "127.0.0.1", "--port", "0",
                              "--discovery-port", "0"});
    EXPECT_EQ(receiver.waitForExit(), 2);
    EXPECT_NE(receiver.errors().find("belongs to another user"), std::string::npos) << receiver.errors();
    EXPECT_EQ(receiver.errors().find("s3cret"), std::string::npos);
}

TEST(ReceiverBinaryOptions, SinksThatCannotReachADeviceExitWithAClearMessage)
{
    ScopedEnvironment environment;
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("XDG_SESSION_TYPE");
    const std::vector<std::string> common = {"--passcode", "pw", "--bind", "127.0.0.1", "--port", "0",
                                             "--discovery-port", "0"};
    const auto run = [&](const std::string& sink, int& status) {
        std::vector<std::string> arguments = common;
        arguments.insert(arguments.end(), {"--sink", sink});
        ReceiverProcess receiver(arguments);
        status = receiver.waitForExit();
        return receiver.errors();
    };
    int status = 0;
    std::string errors;
#ifdef QUILLON_HAVE_X11
    errors = run("xtest", status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(errors.find("no X display: DISPLAY is not set"), std::string::npos) << errors;
#endif

    if (access("/dev/uinput", W_OK) != 0) {
        errors = run("uinput", status);
        EXPECT_EQ(status, 1);
        EXPECT_NE(errors.find("cannot open /dev/uinput"), std::string::npos) << errors;
        if (access("/dev/uinput", F_OK) == 0)
            EXPECT_NE(errors.find("KERNEL==\"uinput\""), std::string::npos) << "the udev rule: " << errors;
        else
            EXPECT_NE(errors.find("modprobe uinput"), std::string::npos) << errors;

        errors = run("auto", status);
        EXPECT_EQ(status, 1);
        EXPECT_NE(errors.find("no way to control this computer"), std::string::npos) << errors;
        EXPECT_NE(errors.find("DISPLAY"), std::string::npos) << errors;
        EXPECT_NE(errors.find("/dev/uinput"), std::string::npos) << errors;
    }
}

TEST(ReceiverBinaryOptions, BadOptionsExitWithStatusTwoAndAMessage)
{
    ReceiverProcess unknown({"--passcode", "pw", "--bogus"});
    EXPECT_EQ(unknown.waitForExit(), 2);
    EXPECT_NE(unknown.errors().find("quillon-receiver: unknown option '--bogus'"), std::string::npos)
        << unknown.errors();
    EXPECT_NE(unknown.errors().find("--help"), std::string::npos);
    EXPECT_TRUE(unknown.output().empty());

    ReceiverProcess noPasscode({"--port", "0"});
    EXPECT_EQ(noPasscode.waitForExit(), 2);
    EXPECT_NE(noPasscode.errors().find("a passcode is required"), std::string::npos) << noPasscode.errors();

    ReceiverProcess missingFile({"--passcode-file", "/nonexistent/quillon/passcode"});
    EXPECT_EQ(missingFile.waitForExit(), 2);
    EXPECT_NE(missingFile.errors().find("cannot read the passcode file"), std::string::npos);
}

TEST(ReceiverBinaryOptions, HelpPrintsUsageAndSucceeds)
{
    ReceiverProcess help({"--help"});
    EXPECT_EQ(help.waitForExit(), 0);
    for (const char* option : {"--port", "--discovery-port", "--passcode", "--passcode-file", "--name", "--sink",
                               "--layout", "--variant", "--bind", "--help"})
        EXPECT_NE(help.output().find(option), std::string::npos) << option;
}

TEST(ReceiverBinaryOptions, VersionPrintsTheProjectVersionAndSucceeds)
{
    ReceiverProcess version({"--version"});
    EXPECT_EQ(version.waitForExit(), 0);
    EXPECT_EQ(version.output(), std::string("quillon-receiver ") + QUILLON_TEST_VERSION + "\n");
    EXPECT_TRUE(parseReceiverOptions({"--version"}).options->version) << "the version needs no passcode";
    EXPECT_FALSE(parseReceiverOptions({"--version=2"}).options);
}
