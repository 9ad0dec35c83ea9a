// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: values taken, bad options refused with a clear message,
// and the binary's exit status for them; the passcode file, the warning a
// weak passcode gets, --new-passcode in a fresh home, and the file of
// addresses that logged in.
#include "app/KnownAddressesFile.h"
#include "app/PasscodeFile.h"
#include "app/PasscodeStrength.h"
#include "app/ReceiverOptions.h"
#include "support/ReceiverProcess.h"
#include "support/ScopedEnvironment.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <iterator>
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

// A private file (0600, as the receiver wants it) in a folder of the test's
// own, removed with whatever else the test put there.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& contents)
    {
        EXPECT_TRUE(std::ofstream(path_, std::ios::binary).write(contents.data(), std::streamsize(contents.size())));
        EXPECT_EQ(chmod(path_.c_str(), 0600), 0);
    }
    const std::string& path() const { return path_; }

private:
    TemporaryDirectory folder_;
    std::string path_ = folder_.path() + "/passcode";
};

// The binary's arguments for a start on 127.0.0.1 with free ports.
std::vector<std::string> onLoopback(std::vector<std::string> arguments)
{
    arguments.insert(arguments.end(), {"--bind", "127.0.0.1", "--port", "0", "--discovery-port", "0"});
    return arguments;
}

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
    EXPECT_FALSE(defaults.allowPower);
    EXPECT_TRUE(parsed({"--passcode", "x", "--allow-power"}).allowPower);
    // --new-passcode needs no passcode; --passcode-file names where it goes.
    const ReceiverOptions made = parsed({"--new-passcode", "--passcode-file", "/p", "--force"});
    EXPECT_TRUE(made.newPasscode && made.force);
    EXPECT_EQ(made.passcodeFile, "/p");
    EXPECT_FALSE(defaults.newPasscode || defaults.force);
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
        {{"--passcode", "x", "--allow-power=yes"}, "takes no value"},
        {{"--new-passcode", "--passcode", "x"}, "'--new-passcode' makes the passcode: give no '--passcode'"},
        {{"--passcode", "x", "--force"}, "option '--force' goes with '--new-passcode'"},
        {{}, "make one with 'quillon-receiver --new-passcode'"},
        {{"--passcode", "hunter2", "--port", "nope"}, "'nope' is not a port number"},
    };
    for (const auto& [arguments, expected] : cases) {
        const std::string error = refusal(arguments);
        EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos) << "the refusal never repeats the passcode";
    }
}

TEST(PasscodeFile, ReadsTheFirstLineOfAPrivateFileAndRefusesEveryOtherFile)
{
    struct Case {
        std::string contents;
        mode_t mode;
        std::string refusal; // empty: read as "s3cret"
    };
    std::vector<Case> cases = {
        {"s3cret", 0600, ""},
        {"s3cret\n", 0600, ""},
        {"s3cret\r\n", 0600, ""},
        {"s3cret\nsecond line\n", 0600, ""},
        {"s3cret\n", 0400, ""},
        {"", 0600, "holds no passcode"},
        {"\n", 0600, "holds no passcode"},
        {std::string("ab\0cd", 5), 0600, "holds a NUL byte"},
        {std::string(5000, 'x'), 0600, "too large"},
    };
    for (const mode_t othersMay : {0644, 0640, 0604, 0620, 0602, 0660})
        cases.push_back({"s3cret\n", othersMay, "chmod 600"});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << std::oct << c.mode << ", " << c.contents.size() << " bytes");
        TemporaryFile file(c.contents);
        ASSERT_EQ(chmod(file.path().c_str(), c.mode), 0);
        std::string passcode = "unchanged";
        std::string error;
        const bool read = readPasscodeFile(file.path(), passcode, error);
        if (c.refusal.empty()) {
            EXPECT_TRUE(read) << error;
            EXPECT_EQ(passcode, "s3cret");
            continue;
        }
        EXPECT_FALSE(read);
        EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
        EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
        EXPECT_EQ(passcode, "unchanged");
    }
}

TEST(PasscodeFile, RefusesAMissingFileAndALink)
{
    std::string passcode;
    std::string error;
    EXPECT_FALSE(readPasscodeFile("/nonexistent/quillon/passcode", passcode, error));
    EXPECT_NE(error.find("cannot read the passcode file"), std::string::npos) << error;
    EXPECT_NE(error.find("make one with: quillon-receiver --new-passcode --passcode-file '/nonexistent/quillon/passcode'"),
              std::string::npos)
        << error;

    // A link is not followed, even to a private file of this user's: where
    // links are not protected, another user may point one at a key file.
    TemporaryFile target("s3cret\n");
    const std::string link = target.path() + ".link";
    ASSERT_EQ(symlink(target.path().c_str(), link.c_str()), 0);
    EXPECT_FALSE(readPasscodeFile(link, passcode, error));
    EXPECT_NE(error.find("is a symbolic link"), std::string::npos) << error;
}

TEST(PasscodeStrength, APasscodeTriedOutWithinAWeekOrShortIsWeakWithItsTime)
{
    const LoginThrottle::Policy throttle; // 10 wrong passcodes a minute, after a burst of 10
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1234", "every passcode like it (4 characters) is tried within 17 hours at the limit of 10 wrong"},
        {"x", "(1 characters) is tried within 1.6 minutes"},
        {"481739", "is tried within 69 days"},   // short, though it takes months
        {"abcdefg", "is tried within 1,500 years"}, // short, however long it takes
        {"1234567", "is tried within 690 days"},
        {"4817390265", ""},                       // 1,900 years
        {"correct horse", ""},
        {"481739026512", ""},
    };
    for (const auto& [passcode, expected] : cases) {
        const auto warning = weakPasscodeWarning(passcode, throttle);
        if (expected.empty()) {
            EXPECT_FALSE(warning) << passcode << ": " << *warning;
            continue;
        }
        ASSERT_TRUE(warning) << passcode;
        EXPECT_NE(warning->find(expected), std::string::npos) << *warning;
        EXPECT_NE(warning->find("quillon-receiver --new-passcode"), std::string::npos) << *warning;
        EXPECT_EQ(warning->find(passcode), std::string::npos) << "the passcode is never repeated";
    }
    // A week is the line, from the throttle's policy: 5 digits take 6.9 days.
    EXPECT_EQ(describeDuration(timeToTry(passcodesLike("48173"), throttle)), "6.9 days");
    LoginThrottle::Policy slower = throttle;
    slower.failuresPerMinute = 1;
    EXPECT_FALSE(weakPasscodeWarning("48173902", throttle));
    EXPECT_EQ(describeDuration(timeToTry(passcodesLike("4817390265"), slower)), "19,000 years");
}

TEST(KnownAddressesFile, KeepsTheNewestAddressesPrivatelyAndReadsAHostileFileSafely)
{
    TemporaryDirectory state;
    const std::string path = state.path() + "/quillon/logged-in-addresses";
    const auto ip = [](const char* text) {
        in_addr parsed{};
        inet_pton(AF_INET, text, &parsed);
        return parsed.s_addr;
    };
    const auto write = [&path](const std::string& text) {
        std::ofstream(path, std::ios::trunc) << text;
        chmod(path.c_str(), 0600);
    };
    std::string problem;
    EXPECT_TRUE(readKnownAddresses(path, 64, problem).empty());
    EXPECT_EQ(problem, "") << "no file yet is no problem";

    std::string error;
    ASSERT_TRUE(writeKnownAddresses(path, {ip("192.168.1.20"), ip("10.0.0.7")}, error)) << error;
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    ASSERT_EQ(stat((state.path() + "/quillon").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    EXPECT_EQ(readKnownAddresses(path, 64, problem), (std::vector<uint32_t>{ip("192.168.1.20"), ip("10.0.0.7")}));

    // Lines that are no address are skipped and said; a repeated address
    // counts where it last stands; only the newest `most` are taken.
    write("# heading\n10.0.0.1\nnot an address\n10.0.0.2\n10.0.0.1\n300.1.1.1\n10.0.0.3\n\n10.0.0.4\n");
    EXPECT_EQ(readKnownAddresses(path, 3, problem),
              (std::vector<uint32_t>{ip("10.0.0.1"), ip("10.0.0.3"), ip("10.0.0.4")}));
    EXPECT_NE(problem.find("has 2 lines that are no address"), std::string::npos) << problem;

    // Refused whole, as every private file is (see PasscodeFile): here too
    // large, then in a folder others may change.
    write(std::string(5000, '#'));
    EXPECT_TRUE(readKnownAddresses(path, 64, problem).empty());
    EXPECT_NE(problem.find("is too large; it is ignored"), std::string::npos) << problem;
    write("10.0.0.1\n");
    chmod((state.path() + "/quillon").c_str(), 0777);
    EXPECT_TRUE(readKnownAddresses(path, 64, problem).empty());
    EXPECT_NE(problem.find("may be changed by other users"), std::string::npos) << problem;
    EXPECT_FALSE(writeKnownAddresses(path, {ip("10.0.0.1")}, error)) << "nor written in such a folder";
}

TEST(PasscodeFile, RefusesAFileOfAnotherUser)
{
    TemporaryFile file("s3cret\n");
    // Only root can give a file away; anyone else has no file of another
    // user's that it may read.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to make a file another user's";
    ASSERT_EQ(chown(file.path().c_str(), 65534, 65534), 0);
    ReceiverProcess receiver(onLoopback({"--passcode-file", file.path()}));
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
    std::vector<std::pair<std::string, std::vector<std::string>>> cases; // the sink, what the refusal says
#ifdef QUILLON_HAVE_X11
    cases.push_back({"xtest", {"no X display: DISPLAY is not set"}});
#endif
    if (access("/dev/uinput", W_OK) != 0) {
        // Where the device exists, the udev rule that opens it to the user.
        const bool exists = access("/dev/uinput", F_OK) == 0;
        cases.push_back({"uinput", {"cannot open /dev/uinput", exists ? "KERNEL==\"uinput\"" : "modprobe uinput"}});
        cases.push_back({"auto", {"no way to control this computer", "DISPLAY", "/dev/uinput"}});
    }
    for (const auto& [sink, said] : cases) {
        SCOPED_TRACE(sink);
        ReceiverProcess receiver(onLoopback({"--passcode", "pw", "--sink", sink}));
        expectExitSaying(receiver, 1, said);
    }
}

TEST(ReceiverBinaryOptions, BadOptionsAndPasscodeFilesStopTheStartWithStatusTwoAndAMessage)
{
    TemporaryFile open("s3cret\n");
    ASSERT_EQ(chmod(open.path().c_str(), 0644), 0);
    // A FIFO is refused without waiting for a writer.
    const std::string fifo = open.path() + ".fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{"--passcode", "pw", "--bogus"}, {"quillon-receiver: unknown option '--bogus'", "--help"}},
        {{"--port", "0"}, {"a passcode is required"}},
        {{"--passcode-file", "/nonexistent/quillon/passcode"}, {"cannot read the passcode file"}},
        {onLoopback({"--passcode-file", open.path()}), {"chmod 600 '" + open.path() + "'"}},
        {onLoopback({"--passcode-file", fifo}), {"is not a regular file"}},
    };
    for (const auto& [arguments, said] : cases) {
        ReceiverProcess receiver(arguments);
        expectExitSaying(receiver, 2, said);
        EXPECT_EQ(receiver.errors().find("listening"), std::string::npos) << receiver.errors();
        EXPECT_EQ(receiver.errors().find("s3cret"), std::string::npos) << receiver.errors();
        EXPECT_EQ(receiver.output(), "") << arguments[1];
    }
}

TEST(ReceiverBinaryOptions, HelpPrintsUsageAndSucceeds)
{
    ReceiverProcess help({"--help"});
    EXPECT_EQ(help.waitForExit(), 0);
    for (const char* option : {"--port", "--discovery-port", "--passcode", "--passcode-file", "--name", "--sink",
                               "--layout", "--variant", "--bind", "--help", "--new-passcode", "--force",
                               "--allow-power"})
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

TEST(ReceiverBinaryOptions, NewPasscodeMakesAPrivateFileInAFreshHomeAndNeverOverwritesItUnasked)
{
    TemporaryDirectory home;
    ScopedEnvironment environment;
    environment.set("HOME", home.path());
    const std::string path = home.path() + "/.config/quillon/passcode";
    const auto mode = [](const std::string& file) {
        struct stat status {};
        return lstat(file.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
    };
    const auto contents = [&path] {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    const auto printedPasscode = [](const std::string& output) {
        const std::string label = "New passcode: ";
        const auto at = output.find(label);
        return at == std::string::npos ? std::string() : output.substr(at + label.size(), 12);
    };

    ReceiverProcess first({"--new-passcode"});
    ASSERT_EQ(first.waitForExit(), 0) << first.errors();
    const std::string passcode = printedPasscode(first.output());
    EXPECT_EQ(passcode.find_first_not_of("0123456789"), std::string::npos) << first.output();
    EXPECT_EQ(passcode.size(), 12u) << first.output();
    EXPECT_EQ(contents(), passcode + "\n");
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_EQ(mode(home.path() + "/.config/quillon"), 0700u);
    EXPECT_EQ(mode(home.path() + "/.config"), 0700u);
    EXPECT_NE(first.output().find("systemctl --user enable --now quillon-receiver"), std::string::npos);
    EXPECT_NE(first.output().find("takes some 190,000 years"), std::string::npos) << first.output();

    // Run again, it keeps the file and says how to replace it.
    ReceiverProcess again({"--new-passcode"});
    EXPECT_EQ(again.waitForExit(), 2);
    EXPECT_NE(again.errors().find("exists already and is kept; --force replaces it"), std::string::npos)
        << again.errors();
    EXPECT_EQ(again.output(), "");
    EXPECT_EQ(contents(), passcode + "\n");

    ReceiverProcess replaced({"--new-passcode", "--force"});
    ASSERT_EQ(replaced.waitForExit(), 0) << replaced.errors();
    const std::string second = printedPasscode(replaced.output());
    EXPECT_NE(second, passcode);
    EXPECT_EQ(contents(), second + "\n");
    EXPECT_EQ(mode(path), 0600u);
    EXPECT_NE(replaced.output().find("systemctl --user restart quillon-receiver"), std::string::npos);

    // The receiver takes it as it is, without a word about its strength.
    ReceiverProcess receiver(onLoopback({"--passcode-file", path}));
    EXPECT_TRUE(receiver.waitForNotice("session listening on")) << receiver.errors();
    EXPECT_EQ(receiver.stop(SIGTERM), 0);
    EXPECT_EQ(receiver.errors().find("weak"), std::string::npos) << receiver.errors();
    EXPECT_EQ(receiver.errors().find(second), std::string::npos) << receiver.errors();
}

TEST(ReceiverBinaryOptions, AWeakPasscodeIsWarnedAboutAtStartWithTheTimeToGuessIt)
{
    ReceiverProcess receiver(onLoopback({"--passcode", "1234"}));
    const auto warning = receiver.waitForNotice("the passcode is weak");
    ASSERT_TRUE(warning) << receiver.errors();
    EXPECT_NE(warning->find("tried within 17 hours"), std::string::npos) << *warning;
    EXPECT_EQ(warning->find("1234"), std::string::npos) << *warning;
    EXPECT_TRUE(receiver.waitForNotice("session listening on")) << "it starts all the same";
    EXPECT_EQ(receiver.stop(SIGTERM), 0);
}
