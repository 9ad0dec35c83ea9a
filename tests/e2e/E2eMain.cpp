// SPDX-License-Identifier: GPL-3.0-or-later
// Entry point of the end-to-end suite: the process first moves into a
// network namespace of its own (see PrivateNetwork.h), then runs the app's
// QApplication on the offscreen platform and the tests. Where no namespace
// can be made, every test skips and says why: without one, the app's
// discovery would broadcast onto the real network.
#include "e2e/PrivateNetwork.h"
#include "support/QtTestDefaults.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    const std::string failure = e2e::enterPrivateNetwork(); // while there is one thread
    setQtTestDefaults();
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    if (!failure.empty())
        std::fprintf(stderr, "end-to-end tests: no private network (%s); they are skipped\n", failure.c_str());
    return RUN_ALL_TESTS();
}
