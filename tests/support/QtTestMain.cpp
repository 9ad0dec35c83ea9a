// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the Qt test programs: a QApplication on the offscreen
// platform, so that every suite runs headless and the same way under CTest,
// at test discovery and by hand.
#include "support/QtTestDefaults.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    setQtTestDefaults();
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
