// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the Qt test programs: a QApplication on the offscreen
// platform, so that every suite runs headless and the same way under CTest,
// at test discovery and by hand.
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test reads the battery of the machine it runs on (nor do the programs
    // it starts): UPower is asked on a bus that is not there, unless a test
    // serves a stand-in.
    if (!qEnvironmentVariableIsSet("QUILLON_UPOWER_BUS"))
        qputenv("QUILLON_UPOWER_BUS", "unix:path=/nonexistent/quillon-tests-have-no-upower");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
