// SPDX-License-Identifier: GPL-3.0-or-later
// The quillon command line: the discovery endpoint, the scale and the
// settings file, with every bad value refused before anything starts.
#include "AppCommandLine.h"
#include "QuillonVersion.h"
#include "WindowScale.h"

#include <gtest/gtest.h>

namespace {

AppCommandLine parse(QStringList arguments)
{
    arguments.prepend("/usr/bin/quillon");
    return AppCommandLine::parse(arguments);
}

TEST(AppCommandLineTest, NoOptionsKeepTheRealDiscoveryEndpoint)
{
    const AppCommandLine line = parse({});
    EXPECT_EQ(line.outcome, AppCommandLine::Outcome::Run);
    EXPECT_EQ(line.discovery.address, "255.255.255.255");
    EXPECT_EQ(line.discovery.destinationPort, 25736);
    EXPECT_EQ(line.discovery.localPort, 25736);
    EXPECT_FALSE(line.scale.has_value());
    EXPECT_FALSE(line.settingsFile.has_value());
}

TEST(AppCommandLineTest, TheOptionsSetTheEndpointScaleAndSettings)
{
    const AppCommandLine line = parse({"--discovery-address", "127.255.255.255", "--discovery-port=40000",
                                       "--discovery-local-port", "0", "--scale", "1.5", "--settings", "/tmp/q.json"});
    ASSERT_EQ(line.outcome, AppCommandLine::Outcome::Run) << line.message.toStdString();
    EXPECT_EQ(line.discovery.address, "127.255.255.255");
    EXPECT_EQ(line.discovery.destinationPort, 40000);
    EXPECT_EQ(line.discovery.localPort, 0);
    EXPECT_EQ(line.scale, 1.5);
    EXPECT_EQ(line.settingsFile, QString("/tmp/q.json"));
}

TEST(AppCommandLineTest, BadValuesAreRefusedWithTheReason)
{
    const struct {
        QStringList arguments;
        const char* mentions;
    } cases[] = {
        {{"--discovery-address", "300.1.1.1"}, "--discovery-address"},
        {{"--discovery-address", "localhost"}, "--discovery-address"},
        {{"--discovery-address", "::1"}, "--discovery-address"},
        {{"--discovery-port", "0"}, "--discovery-port"},
        {{"--discovery-port", "65536"}, "--discovery-port"},
        {{"--discovery-port", "-5"}, "--discovery-port"},
        {{"--discovery-local-port", "port"}, "--discovery-local-port"},
        {{"--scale", "0"}, "--scale"},
        {{"--scale", "nan"}, "--scale"},
        {{"--settings", ""}, "--settings"},
        {{"--frobnicate"}, "frobnicate"},
        {{"extra"}, "extra"},
        {{"--discovery-port"}, "discovery-port"},
        {{"--fullscreen", "--windowed"}, "--windowed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const AppCommandLine line = parse(c.arguments);
        EXPECT_EQ(line.outcome, AppCommandLine::Outcome::Refused);
        EXPECT_TRUE(line.message.contains(c.mentions)) << line.message.toStdString();
        EXPECT_TRUE(line.message.contains("quillon --help"));
    }
}

TEST(AppCommandLineTest, HelpNamesTheProgramAndEveryOption)
{
    const AppCommandLine line = parse({"--help"});
    ASSERT_EQ(line.outcome, AppCommandLine::Outcome::ShowHelp);
    EXPECT_TRUE(line.message.startsWith("Usage: quillon"));
    for (const char* option : {"--discovery-address", "--discovery-port", "--discovery-local-port", "--scale",
                               "--fullscreen", "--windowed", "--settings", "--version", "QUILLON_SETTINGS"})
        EXPECT_TRUE(line.message.contains(option)) << option;
}

TEST(AppCommandLineTest, VersionIsTheProjectsAndFullScreenCanBeForcedEitherWay)
{
    const AppCommandLine version = parse({"--version", "--discovery-port", "0"}); // answered before the rest
    ASSERT_EQ(version.outcome, AppCommandLine::Outcome::ShowVersion);
    EXPECT_EQ(version.message, QString("quillon " QUILLON_VERSION "\n"));

    EXPECT_FALSE(parse({}).fullScreen.has_value()) << "by default the screen decides";
    EXPECT_EQ(parse({"--fullscreen"}).fullScreen, true);
    EXPECT_EQ(parse({"--windowed"}).fullScreen, false);
}

TEST(WindowScaleTest, TheWindowGrowsInQuarterStepsToFitTheScreen)
{
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {1920, 1040}), 1.75);
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {3840, 2100}), 3.5);
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {1024, 560}), 1.0);  // never below one pixel a point
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {8000, 8000}), 4.0); // nor beyond four
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {0, 0}), 1.0);
}

TEST(WindowScaleTest, AFullScreenIsFilledAcrossItsWidthAtAFractionalScale)
{
    EXPECT_DOUBLE_EQ(WindowScale::fillingFactor({320, 480}, {360, 720}), 1.125);
    EXPECT_DOUBLE_EQ(WindowScale::fillingFactor({320, 480}, {1080, 2340}), 3.375);
    // A screen wider than the design's shape is filled across its height.
    EXPECT_DOUBLE_EQ(WindowScale::fillingFactor({320, 480}, {768, 960}), 2.0);
    EXPECT_DOUBLE_EQ(WindowScale::fillingFactor({320, 480}, {240, 400}), 0.75) << "smaller than the design";
    EXPECT_DOUBLE_EQ(WindowScale::fillingFactor({320, 480}, {0, 0}), 1.0);
}

TEST(WindowScaleTest, PhonesAreSmallUprightScreensOrPhoneShells)
{
    EXPECT_TRUE(WindowScale::isPhoneSized({360, 720}, {}));
    EXPECT_TRUE(WindowScale::isPhoneSized({412, 915}, {68, 151}));
    EXPECT_FALSE(WindowScale::isPhoneSized({1024, 768}, {}));
    EXPECT_FALSE(WindowScale::isPhoneSized({720, 1280}, {}) ) << "an upright tablet or monitor";
    EXPECT_TRUE(WindowScale::isPhoneSized({915, 412}, {151, 68})) << "a phone turned, measured";
    EXPECT_FALSE(WindowScale::isPhoneSized({1920, 1080}, {527, 296}));
    EXPECT_FALSE(WindowScale::isPhoneSized({}, {}));

    const auto environment = [](QByteArray desktop, QByteArray plasma) {
        return [=](const char* name) -> QByteArray {
            return QByteArray(name) == "XDG_CURRENT_DESKTOP" ? desktop : QByteArray(name) == "PLASMA_PLATFORM" ? plasma : QByteArray();
        };
    };
    EXPECT_TRUE(WindowScale::isPhoneSession(environment("Phosh:GNOME", "")));
    EXPECT_TRUE(WindowScale::isPhoneSession(environment("KDE", "phone:handset")));
    EXPECT_FALSE(WindowScale::isPhoneSession(environment("KDE", "")));
    EXPECT_FALSE(WindowScale::isPhoneSession(environment("GNOME", "")));
    EXPECT_FALSE(WindowScale::isPhoneSession(environment("NotPhosh", "phoneish")));
}

TEST(WindowScaleTest, ThePlacementFillsPhonesAndKeepsTheWindowOnDesktops)
{
    const auto none = [](const char*) { return QByteArray(); };
    const auto phosh = [](const char* name) { return QByteArray(name) == "XDG_CURRENT_DESKTOP" ? QByteArray("Phosh:GNOME") : QByteArray(); };
    const WindowScale::ScreenFacts phone{{360, 720}, {360, 690}, {}};
    const WindowScale::ScreenFacts desktop{{1920, 1080}, {1920, 1040}, {527, 296}};

    WindowScale::Placement placement = WindowScale::choosePlacement(std::nullopt, false, phone, none);
    EXPECT_TRUE(placement.fillsScreen);
    EXPECT_DOUBLE_EQ(placement.factor, 1.125) << "the whole screen, panels or not";

    placement = WindowScale::choosePlacement(std::nullopt, false, desktop, none);
    EXPECT_FALSE(placement.fillsScreen);
    EXPECT_DOUBLE_EQ(placement.factor, 1.75) << "the desktop window as before";

    placement = WindowScale::choosePlacement(std::nullopt, false, desktop, phosh);
    EXPECT_TRUE(placement.fillsScreen) << "the session says it is a phone";
    EXPECT_DOUBLE_EQ(placement.factor, 2.25);

    EXPECT_FALSE(WindowScale::choosePlacement(false, false, phone, phosh).fillsScreen) << "--windowed wins";
    EXPECT_TRUE(WindowScale::choosePlacement(true, false, desktop, none).fillsScreen) << "--fullscreen wins";
    placement = WindowScale::choosePlacement(true, true, phone, none);
    EXPECT_TRUE(placement.fillsScreen);
    EXPECT_DOUBLE_EQ(placement.factor, 1.0) << "a scale the user chose is left alone";
}

} // namespace
