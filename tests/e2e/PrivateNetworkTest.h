// SPDX-License-Identifier: GPL-3.0-or-later
// The fixture every end-to-end test starts from: it skips, saying why, when
// the process could not move into a private network, since the app's
// discovery would otherwise broadcast onto the real one.
#pragma once

#include "e2e/PrivateNetwork.h"

#include <gtest/gtest.h>

class PrivateNetworkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!e2e::insidePrivateNetwork())
            GTEST_SKIP() << "no network namespace could be made here (" << e2e::privateNetworkFailure()
                         << "); without one the app's discovery would broadcast onto the real network";
    }
};
