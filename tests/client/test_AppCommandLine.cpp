// The quillon command line: the discovery endpoint, the scale and the
// settings file, with every bad value refused before anything starts.
#include "AppCommandLine.h"
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
                               "--settings", "QUILLON_SETTINGS"})
        EXPECT_TRUE(line.message.contains(option)) << option;
}

TEST(WindowScaleTest, TheWindowGrowsInQuarterStepsToFitTheScreen)
{
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {1920, 1040}), 1.75);
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {3840, 2100}), 3.5);
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {1024, 560}), 1.0);  // never below one pixel a point
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {8000, 8000}), 4.0); // nor beyond four
    EXPECT_EQ(WindowScale::fittingFactor({320, 480}, {0, 0}), 1.0);
}

} // namespace
