// SPDX-License-Identifier: GPL-3.0-or-later
// The real quillon-receiver with `--sink portal` against a stand-in portal
// on a private session bus: the first start asks with persistence and keeps
// the token (0600), a phone's login opens a session with it, its input
// becomes the portal's exact calls, and what it held is let go before the
// session is closed when it goes; a refusal stops the receiver with a
// status its user unit does not restart on, and a missing portal with one
// clear line and status 1; a saved token is sent and
// replaced; a portal that keeps no grant keeps its one session; a dialog
// nobody answers is given up in time.
#include "common/ExitStatus.h"
#include "support/LoopbackSockets.h"
#include "support/PrivateSessionBus.h"
#include "support/ReceiverProcess.h"
#include "support/ScopedEnvironment.h"
#include "support/SessionBytes.h"
#include "sinks/RemoteDesktopPortal.h"
#include "sinks/RestoreTokenFile.h"
#include "support/StandInPortal.h"
#include "support/TemporaryDirectory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Calls = std::vector<std::string>;

const std::string kPasscode = "portal pass";

std::string fileText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

mode_t fileMode(const std::string& path)
{
    struct stat status {};
    return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

class PortalReceiver : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string why;
        bus_ = PrivateSessionBus::start(why);
        if (!bus_)
            GTEST_SKIP() << why;
        environment_.set("DBUS_SESSION_BUS_ADDRESS", bus_->address());
        environment_.set("XDG_STATE_HOME", state_.path());
    }

    void startPortal(StandInPortal::Behaviour behaviour = {})
    {
        std::string why;
        portal_ = StandInPortal::start(bus_->address(), behaviour, why);
        ASSERT_TRUE(portal_) << why;
    }

    std::string tokenPath() const { return state_.path() + "/quillon/portal-restore-token"; }

    // The `count` calls from `from` on, once they have come (fewer if they
    // do not come in time).
    Calls callsFrom(std::size_t from, std::size_t count)
    {
        const Calls all = portal_->waitForCallCount(from + count);
        return Calls(all.begin() + std::min(from, all.size()), all.begin() + std::min(from + count, all.size()));
    }

    // A plain login (the receivers here allow it): the sink is what is tested.
    UniqueFd logIn(ReceiverProcess& receiver)
    {
        UniqueFd client = connectToLoopback(receiver.sessionPort());
        EXPECT_TRUE(client.valid());
        EXPECT_TRUE(sendAll(client.get(), loginPacket(kPasscode)));
        EXPECT_EQ(receiveExactly(client.get(), loginReply(0).size()), std::optional<Bytes>(loginReply(0)));
        return client;
    }

    ScopedEnvironment environment_;
    TemporaryDirectory state_;
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<StandInPortal> portal_;
};

} // namespace

TEST_F(PortalReceiver, TheDesktopAsksOnceAndThePhoneDrivesThroughItsSession)
{
    startPortal();
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "portal", "--allow-plain"});
    ASSERT_NE(receiver->sessionPort(), 0) << receiver->errors();

    // The first start asks for a lasting grant; until a phone logs in no
    // session stays open.
    EXPECT_EQ(callsFrom(0, 4),
              (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2", "Start", "Session.Close"}));
    EXPECT_EQ(fileText(tokenPath()), "token-1\n");
    EXPECT_EQ(fileMode(tokenPath()), 0600u);
    EXPECT_EQ(fileMode(state_.path() + "/quillon"), 0700u);

    // A login opens a session with the grant, which the desktop renews.
    UniqueFd client = logIn(*receiver);
    EXPECT_EQ(callsFrom(4, 3),
              (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2 restore_token=token-1", "Start"}));

    const Bytes input[] = {
        mousePacket(0, 5, -3),                                     // a move
        mousePacket(1, 0, 0),  mousePacket(0, 0, 0),               // left click
        mousePacket(2, 0, 0),  mousePacket(0, 0, 0),               // middle click
        mousePacket(4, 0, 0),  mousePacket(0, 0, 0),               // right click
        mousePacket(8, 0, 0),  mousePacket(16, 0, 0),              // wheel up, then down
        keyboardPacket(1, 0xFFE1), keyboardPacket(1, 'A'),          // Shift + the A key,
        keyboardPacket(1, 'A'),                                      // held: the phone repeats it
        keyboardPacket(0, 'A'), keyboardPacket(0, 0xFFE1),
        keyboardPacket(1, 0x08010032), keyboardPacket(0, 0x08010032), // remote: volume up
        keyboardPacket(1, 0xC9), keyboardPacket(0, 0xC9),            // text: É,
        keyboardPacket(1, 0x1004E2D), keyboardPacket(0, 0x1004E2D),  // and 中
        keyboardPacket(1, 0xFFE1), mousePacket(1, 0, 0),             // held when the phone goes
    };
    for (const Bytes& packet : input)
        ASSERT_TRUE(sendAll(client.get(), packet));
    EXPECT_EQ(callsFrom(7, 21), (Calls{
                                    "NotifyPointerMotion 5 -3",
                                    "NotifyPointerButton 272 1",
                                    "NotifyPointerButton 272 0",
                                    "NotifyPointerButton 274 1",
                                    "NotifyPointerButton 274 0",
                                    "NotifyPointerButton 273 1",
                                    "NotifyPointerButton 273 0",
                                    "NotifyPointerAxisDiscrete 0 -1",
                                    "NotifyPointerAxisDiscrete 0 1",
                                    "NotifyKeyboardKeysym 65505 1",
                                    // The key's own keysym (Shift is the phone's), pressed
                                    // once: programs repeat a held key themselves.
                                    "NotifyKeyboardKeysym 97 1",
                                    "NotifyKeyboardKeysym 97 0",
                                    "NotifyKeyboardKeysym 65505 0",
                                    "NotifyKeyboardKeysym 269025043 1", // XF86AudioRaiseVolume
                                    "NotifyKeyboardKeysym 269025043 0",
                                    // Characters as they are: É is not made é.
                                    "NotifyKeyboardKeysym 201 1",
                                    "NotifyKeyboardKeysym 201 0",
                                    "NotifyKeyboardKeysym 16797229 1",
                                    "NotifyKeyboardKeysym 16797229 0",
                                    "NotifyKeyboardKeysym 65505 1",
                                    "NotifyPointerButton 272 1",
                                }));

    // The phone goes: what it held is let go, then the session closes.
    client.reset();
    EXPECT_EQ(callsFrom(28, 3),
              (Calls{"NotifyKeyboardKeysym 65505 0", "NotifyPointerButton 272 0", "Session.Close"}));
    EXPECT_EQ(fileText(tokenPath()), "token-2\n") << "each grant's token replaces the last";
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}

namespace {

// The exit statuses after which the user unit does not start the receiver
// again: every RestartPreventExitStatus= line of the unit, an empty one
// clearing those before it. The unit is the packaged one when
// QUILLON_UNIT_FILE names it (scripts/check-packages), else its template.
std::set<int> statusesTheUnitDoesNotRestartOn()
{
    const char* packaged = std::getenv("QUILLON_UNIT_FILE");
    std::ifstream unit(packaged && *packaged ? packaged : QUILLON_UNIT_TEMPLATE);
    EXPECT_TRUE(unit.good()) << "cannot read the unit";
    const std::string key = "RestartPreventExitStatus=";
    std::set<int> statuses;
    for (std::string line; std::getline(unit, line);) {
        if (line.rfind(key, 0) != 0)
            continue;
        std::istringstream values(line.substr(key.size()));
        if (values.str().find_first_not_of(" \t") == std::string::npos)
            statuses.clear();
        for (int status = 0; values >> status;)
            statuses.insert(status);
    }
    return statuses;
}

} // namespace

TEST_F(PortalReceiver, ARefusalStopsTheReceiverForGoodSayingHowToBeAskedAgain)
{
    StandInPortal::Behaviour refusing;
    refusing.start = StandInPortal::StartAnswer::Refuse;
    startPortal(refusing);
    ReceiverProcess receiver({"--passcode", kPasscode, "--bind", "127.0.0.1", "--port", "0", "--discovery-port",
                              "0", "--sink", "portal"});
    const int status = receiver.waitForExit();
    EXPECT_EQ(status, kExitPermissionWithheld);
    EXPECT_NE(receiver.errors().find("quillon-receiver: remote control was refused on the desktop; to be asked "
                                     "again: systemctl --user restart quillon-receiver"),
              std::string::npos)
        << receiver.errors();
    EXPECT_EQ(receiver.errors().find("listening"), std::string::npos);
    EXPECT_EQ(portal_->waitForCallCount(4),
              (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2", "Start", "Session.Close"}));
    EXPECT_EQ(access(tokenPath().c_str(), F_OK), -1) << "nothing granted, nothing kept";

    // Started again by its unit, it would bring the dialog back every few
    // seconds; a failure that may mend itself is started again.
    const std::set<int> final = statusesTheUnitDoesNotRestartOn();
    EXPECT_EQ(final.count(status), 1u) << "the unit starts the receiver again after status " << status;
    EXPECT_EQ(final.count(kExitBadSetup), 1u);
    EXPECT_EQ(final.count(kExitFailed), 0u);
}

TEST_F(PortalReceiver, AMissingPortalStopsTheStartWithOneClearLine)
{
    {
        ReceiverProcess receiver({"--passcode", kPasscode, "--bind", "127.0.0.1", "--port", "0", "--discovery-port",
                                  "0", "--sink", "portal"});
        EXPECT_EQ(receiver.waitForExit(), kExitFailed);
        EXPECT_NE(receiver.errors().find("quillon-receiver: no remote-desktop portal on this desktop"),
                  std::string::npos)
            << receiver.errors();
        EXPECT_EQ(receiver.errors().find("listening"), std::string::npos);
    }
}

TEST_F(PortalReceiver, TheSavedTokenIsSentAtTheNextStartAndReplaced)
{
    startPortal();
    {
        RestoreTokenFile file(tokenPath());
        std::string error;
        ASSERT_TRUE(file.write("token-of-last-run", error)) << error;
    }
    {
        auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "portal", "--allow-plain"});
        EXPECT_EQ(callsFrom(0, 3),
                  (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2 restore_token=token-of-last-run",
                         "Start"}));
        EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
    }
    EXPECT_EQ(fileText(tokenPath()), "token-1\n");

    // A token file that others may read is no grant of this user's.
    ASSERT_EQ(chmod(tokenPath().c_str(), 0644), 0);
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "portal", "--allow-plain"});
    EXPECT_EQ(callsFrom(4, 2), (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2"}));
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
    EXPECT_EQ(fileText(tokenPath()), "token-2\n");
    EXPECT_EQ(fileMode(tokenPath()), 0600u);
}

TEST_F(PortalReceiver, APortalThatKeepsNoGrantKeepsItsOneSession)
{
    StandInPortal::Behaviour first;
    first.version = 1;
    startPortal(first);
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "portal", "--allow-plain"});
    EXPECT_EQ(callsFrom(0, 3), (Calls{"CreateSession", "SelectDevices types=3", "Start"}));

    // Two phones one after the other: neither makes the desktop ask again,
    // and each one's held button is let go when it goes.
    for (int phone = 0; phone < 2; ++phone) {
        UniqueFd client = logIn(*receiver);
        ASSERT_TRUE(sendAll(client.get(), mousePacket(4, 1, 1)));
        client.reset();
        EXPECT_EQ(callsFrom(3 + 3 * std::size_t(phone), 3),
                  (Calls{"NotifyPointerMotion 1 1", "NotifyPointerButton 273 1", "NotifyPointerButton 273 0"}));
    }
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
    EXPECT_EQ(callsFrom(9, 1), Calls{"Session.Close"}) << "closed when the receiver stops";
    EXPECT_EQ(portal_->calls().size(), 10u);
}

TEST_F(PortalReceiver, ASessionTheDesktopEndsIsOpenedAgainAtTheNextLogin)
{
    startPortal();
    auto receiver = ReceiverProcess::startOnLoopback(kPasscode, {"--sink", "portal", "--allow-plain"});
    UniqueFd first = logIn(*receiver);
    ASSERT_TRUE(sendAll(first.get(), keyboardPacket(1, 0xFFE3)));
    EXPECT_EQ(callsFrom(4, 4), (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2 restore_token=token-1",
                                      "Start", "NotifyKeyboardKeysym 65507 1"}));

    portal_->closeSessionsFromDesktop();
    EXPECT_TRUE(receiver->waitForNotice("the desktop ended remote control")) << receiver->errors();
    ASSERT_TRUE(sendAll(first.get(), mousePacket(0, 3, 3)));
    EXPECT_TRUE(receiver->waitForNotice("input ignored: no remote-desktop session is open")) << receiver->errors();

    // A newer login takes over and is given a session again.
    UniqueFd second = logIn(*receiver);
    ASSERT_TRUE(sendAll(second.get(), mousePacket(0, 2, 0)));
    EXPECT_EQ(callsFrom(8, 4), (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2 restore_token=token-2",
                                      "Start", "NotifyPointerMotion 2 0"}))
        << "nothing of the first phone reaches the desktop after it ended the session";
    EXPECT_EQ(receiver->stop(SIGTERM), 0) << receiver->errors();
}

TEST_F(PortalReceiver, ADialogNobodyAnswersIsGivenUpInTimeAndTakenAway)
{
    StandInPortal::Behaviour silent;
    silent.start = StandInPortal::StartAnswer::Silence;
    startPortal(silent);

    std::string error;
    auto portal = RemoteDesktopPortal::connect(std::chrono::seconds(5), error);
    ASSERT_TRUE(portal) << error;
    std::optional<RemoteDesktopPortal::Failure> failure;
    std::string why;
    RemoteDesktopPortal::Handlers handlers;
    handlers.failed = [&](RemoteDesktopPortal::Failure f, const std::string& w) {
        failure = f;
        why = w;
    };
    handlers.opened = [](uint32_t, const std::string&) { ADD_FAILURE() << "nobody granted anything"; };
    portal->setHandlers(handlers);

    const auto started = std::chrono::steady_clock::now();
    portal->open("", std::chrono::milliseconds(300));
    portal->waitWhileOpening();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
    EXPECT_EQ(failure, std::optional(RemoteDesktopPortal::Failure::Unanswered)) << "withheld like a refusal";
    EXPECT_EQ(why, "no answer from the desktop's permission dialog within 1 s");
    EXPECT_EQ(portal->state(), RemoteDesktopPortal::State::Closed);
    portal.reset();
    EXPECT_EQ(portal_->waitForCallCount(5), (Calls{"CreateSession", "SelectDevices types=3 persist_mode=2", "Start",
                                                   "Request.Close", "Session.Close"}));
}

TEST(RestoreTokenFile, KeepsOneTokenPrivatelyAndIgnoresFilesAndFoldersThatAreNotThisUsersAlone)
{
    TemporaryDirectory directory;
    const std::string path = directory.path() + "/state/quillon/portal-restore-token";
    RestoreTokenFile file(path);
    EXPECT_EQ(file.read(), "");
    std::string error;
    ASSERT_TRUE(file.write("first", error)) << error;
    ASSERT_TRUE(file.write("second", error)) << error;
    EXPECT_EQ(file.read(), "second");
    EXPECT_EQ(fileMode(path), 0600u);
    EXPECT_EQ(fileMode(directory.path() + "/state"), 0700u);

    // Refused: a token that would break the file's one line.
    EXPECT_FALSE(file.write("two\nlines", error));
    EXPECT_FALSE(file.write(std::string(2000, 't'), error));
    EXPECT_EQ(file.read(), "second");

    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    EXPECT_EQ(file.read(), "") << "readable by the group";
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    const std::string link = directory.path() + "/link";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    EXPECT_EQ(RestoreTokenFile(link).read(), "") << "a link may point at anything";

    // Refused at once, with the reason: a FIFO (opening it would wait for a
    // writer for ever), and any file in a folder others may change.
    const std::string fifo = directory.path() + "/state/quillon/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string problem;
    EXPECT_EQ(RestoreTokenFile(fifo).read(&problem), "");
    EXPECT_NE(problem.find("is not a regular file"), std::string::npos) << problem;
    ASSERT_EQ(chmod((directory.path() + "/state/quillon").c_str(), 0770), 0);
    EXPECT_EQ(file.read(&problem), "");
    EXPECT_NE(problem.find("may be changed by other users"), std::string::npos) << problem;
    EXPECT_FALSE(file.write("third", error));
    EXPECT_NE(error.find("chmod 700"), std::string::npos) << error;
    ASSERT_EQ(chmod((directory.path() + "/state/quillon").c_str(), 0700), 0);
    EXPECT_EQ(file.read(&problem), "second");

    ASSERT_TRUE(file.write("", error)) << error;
    EXPECT_EQ(access(path.c_str(), F_OK), -1) << "no token, no file";

    ScopedEnvironment environment;
    environment.set("XDG_STATE_HOME", "/state/home");
    environment.set("HOME", "/home/user");
    EXPECT_EQ(RestoreTokenFile::forThisUser().path(), "/state/home/quillon/portal-restore-token");
    environment.set("XDG_STATE_HOME", "relative/is/ignored");
    EXPECT_EQ(RestoreTokenFile::forThisUser().path(), "/home/user/.local/state/quillon/portal-restore-token");
}
