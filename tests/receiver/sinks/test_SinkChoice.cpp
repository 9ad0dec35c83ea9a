// SPDX-License-Identifier: GPL-3.0-or-later
// What `--sink auto` takes: first the choice itself from the session's
// variables (no display needed), then the real receiver with the variables
// set and unset: the portal of a private session bus in a Wayland session,
// XTEST on a private Xvfb in an X11 one, and never uinput behind the back of
// a user who refused the portal.
#include "support/LoopbackSockets.h"
#include "support/ReceiverProcess.h"
#include "support/ScopedEnvironment.h"
#include "sinks/SinkChoice.h"
#include "support/TemporaryDirectory.h"

#ifdef QUILLON_HAVE_PORTAL
#include "support/PrivateSessionBus.h"
#include "support/StandInPortal.h"
#endif
#ifdef QUILLON_HAVE_X11
#include "support/XvfbDisplay.h"
#endif

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

using Sinks = std::vector<std::string>;

SessionFacts facts(std::string wayland, std::string type, std::string display, bool xwayland = false)
{
    SessionFacts facts;
    facts.waylandDisplay = std::move(wayland);
    facts.sessionType = std::move(type);
    facts.display = std::move(display);
    facts.xserverIsXwayland = xwayland;
    return facts;
}

} // namespace

TEST(SinkChoice, AWaylandSessionTakesThePortalAnX11OneXTestAndEitherFallsBackToUinput)
{
    struct Case {
        SessionFacts facts;
        Sinks sinks;
        std::string reason;
    };
    const Case cases[] = {
        {facts("wayland-0", "wayland", ":0"), {"portal", "uinput"}, "Wayland session: WAYLAND_DISPLAY=wayland-0"},
        {facts("wayland-1", "", ""), {"portal", "uinput"}, "Wayland session: WAYLAND_DISPLAY=wayland-1"},
        {facts("", "wayland", ":0"), {"portal", "uinput"}, "Wayland session: XDG_SESSION_TYPE=wayland"},
        // DISPLAY alone, but the X server says it is Xwayland: XTEST would
        // reach the X11 programs only.
        {facts("", "", ":0", true), {"portal", "uinput"}, "Wayland session: the X server of DISPLAY=:0 is Xwayland"},
        {facts("", "x11", ":1"), {"xtest", "uinput"}, "X11 session: DISPLAY=:1"},
        {facts("", "", ":0"), {"xtest", "uinput"}, "X11 session: DISPLAY=:0"},
        {facts("", "tty", ""), {"uinput"}, "no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set"},
        {facts("", "", ""), {"uinput"}, "no graphical session: neither WAYLAND_DISPLAY nor DISPLAY is set"},
    };
    for (const Case& c : cases) {
        const SinkChoice choice = chooseSink(c.facts);
        EXPECT_EQ(choice.sinks, c.sinks) << c.reason;
        EXPECT_EQ(choice.reason, c.reason);
    }

    // A build without a sink never offers it.
    SessionFacts noX = facts("", "x11", ":0");
    noX.haveXTest = false;
    EXPECT_EQ(chooseSink(noX).sinks, Sinks{"uinput"});
    SessionFacts noPortal = facts("wayland-0", "", "");
    noPortal.havePortal = false;
    EXPECT_EQ(chooseSink(noPortal).sinks, Sinks{"uinput"});
}

TEST(SinkChoice, TheVariablesAreReadFromTheEnvironment)
{
    ScopedEnvironment environment;
    environment.set("WAYLAND_DISPLAY", "wayland-7");
    environment.set("XDG_SESSION_TYPE", "wayland");
    environment.remove("DISPLAY");
    SessionFacts found = sessionFactsFromEnvironment();
    EXPECT_EQ(found.waylandDisplay, "wayland-7");
    EXPECT_EQ(found.sessionType, "wayland");
    EXPECT_EQ(found.display, "");
    environment.remove("WAYLAND_DISPLAY");
    environment.set("DISPLAY", ":3");
    found = sessionFactsFromEnvironment();
    EXPECT_EQ(found.waylandDisplay, "");
    EXPECT_EQ(found.display, ":3");
}

namespace {

const std::string kPasscode = "auto pass";

const std::vector<std::string> kAutoArguments = {"--passcode", kPasscode, "--bind",           "127.0.0.1", "--port",
                                                 "0",          "--discovery-port", "0", "--sink", "auto"};

} // namespace

#ifdef QUILLON_HAVE_PORTAL
TEST(SinkChoiceOfTheReceiver, AWaylandSessionGoesThroughThePortalAndARefusalIsFinal)
{
    std::string why;
    auto bus = PrivateSessionBus::start(why);
    if (!bus)
        GTEST_SKIP() << why;
    TemporaryDirectory state;
    ScopedEnvironment environment;
    environment.set("DBUS_SESSION_BUS_ADDRESS", bus->address());
    environment.set("XDG_STATE_HOME", state.path());
    environment.set("WAYLAND_DISPLAY", "wayland-test");
    environment.remove("XDG_SESSION_TYPE");
    environment.remove("DISPLAY");
    {
        auto portal = StandInPortal::start(bus->address(), {}, why);
        ASSERT_TRUE(portal) << why;
        ReceiverProcess receiver(kAutoArguments);
        EXPECT_TRUE(receiver.waitForNotice("sink auto chose portal (Wayland session: WAYLAND_DISPLAY=wayland-test)"))
            << receiver.errors();
        EXPECT_TRUE(receiver.waitForNotice("session listening on")) << receiver.errors();
        EXPECT_EQ(receiver.stop(SIGTERM), 0);
    }

    // The user said no: the receiver stops there and tries nothing else.
    StandInPortal::Behaviour refusing;
    refusing.start = StandInPortal::StartAnswer::Refuse;
    auto portal = StandInPortal::start(bus->address(), refusing, why);
    ASSERT_TRUE(portal) << why;
    environment.remove("WAYLAND_DISPLAY");
    environment.set("XDG_SESSION_TYPE", "wayland");
    ReceiverProcess receiver(kAutoArguments);
    EXPECT_EQ(receiver.waitForExit(), 3) << "withheld: not started again by the user unit";
    EXPECT_NE(receiver.errors().find("remote control was refused on the desktop"), std::string::npos)
        << receiver.errors();
    EXPECT_EQ(receiver.errors().find("uinput"), std::string::npos) << receiver.errors();
}

TEST(SinkChoiceOfTheReceiver, AWaylandSessionWithoutAPortalFallsBackToUinput)
{
    std::string why;
    auto bus = PrivateSessionBus::start(why);
    if (!bus)
        GTEST_SKIP() << why;
    if (access("/dev/uinput", W_OK) == 0)
        GTEST_SKIP() << "/dev/uinput is writable here: the fallback would make a real device";
    ScopedEnvironment environment;
    environment.set("DBUS_SESSION_BUS_ADDRESS", bus->address());
    environment.set("XDG_SESSION_TYPE", "wayland");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("DISPLAY");
    ReceiverProcess receiver(kAutoArguments);
    EXPECT_EQ(receiver.waitForExit(), 1);
    EXPECT_NE(receiver.errors().find("no way to control this computer (Wayland session: XDG_SESSION_TYPE=wayland): "
                                     "portal: no remote-desktop portal on this desktop"),
              std::string::npos)
        << receiver.errors();
    EXPECT_NE(receiver.errors().find("; uinput: cannot open /dev/uinput"), std::string::npos) << receiver.errors();
}
#endif

#ifdef QUILLON_HAVE_X11
TEST(SinkChoiceOfTheReceiver, AnX11SessionGoesThroughXTest)
{
    std::string why;
    auto xvfb = XvfbDisplay::start(why);
    if (!xvfb)
        GTEST_SKIP() << why;
    ScopedEnvironment environment;
    environment.set("DISPLAY", xvfb->name());
    environment.set("XDG_SESSION_TYPE", "x11");
    environment.remove("WAYLAND_DISPLAY");
    ReceiverProcess receiver(kAutoArguments);
    EXPECT_TRUE(receiver.waitForNotice("sink auto chose xtest (X11 session: DISPLAY=" + xvfb->name() + ")"))
        << receiver.errors();
    EXPECT_TRUE(receiver.waitForNotice("session listening on")) << receiver.errors();
    EXPECT_EQ(receiver.stop(SIGTERM), 0);
}
#endif
