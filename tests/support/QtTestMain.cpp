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
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
