// SPDX-License-Identifier: GPL-3.0-or-later
// The pads' arithmetic at its edges: truncation towards zero on both sides,
// ties, and touches so far away that the step count would not fit.
#include "RemoteGestures.h"
#include "WireFormat.h"

#include <gtest/gtest.h>

#include <limits>

namespace Key = RemoteKeyCode;

TEST(RemoteGestures, StepsTruncateTowardsZeroInBothDirections)
{
    EXPECT_EQ(padSteps(100, 61), 0);
    EXPECT_EQ(padSteps(100, 60), 1);
    EXPECT_EQ(padSteps(100, 20.5f), 1);
    EXPECT_EQ(padSteps(100, 20), 2);
    EXPECT_EQ(padSteps(100, 139.9f), 0);
    EXPECT_EQ(padSteps(100, 140), -1);
    EXPECT_EQ(padSteps(100, 219.9f), -2);
    EXPECT_EQ(padSteps(0.25f, 0), 0);
}

TEST(RemoteGestures, StepsOfAFarAwayTouchAreClampedInsteadOfOverflowing)
{
    EXPECT_EQ(padSteps(0, -1e9f), std::numeric_limits<int16_t>::max());
    EXPECT_EQ(padSteps(0, 1e9f), std::numeric_limits<int16_t>::min());
    EXPECT_EQ(padSteps(0, std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(padSteps(0, -std::numeric_limits<float>::infinity()), std::numeric_limits<int16_t>::max());
}

TEST(RemoteGestures, TheLongerWholeStepAxisPicksTheArrowAndTiesGoSideways)
{
    const PadPoint at{100, 100};
    EXPECT_EQ(arrowSwipeKeyCode(at, {200, 70}), Key::Right);  // h -2, v 0
    EXPECT_EQ(arrowSwipeKeyCode(at, {50, 50}), Key::Left);    // 1 and 1
    EXPECT_EQ(arrowSwipeKeyCode(at, {150, 150}), Key::Right); // -1 and -1
    EXPECT_EQ(arrowSwipeKeyCode(at, {110, 145}), Key::Down);  // v -1, h 0
    EXPECT_EQ(arrowSwipeKeyCode(at, {139, 20}), Key::Up);     // v 2, h 0
    EXPECT_EQ(arrowSwipeKeyCode(at, {130, 70}), Key::Left);   // no whole step at all
    EXPECT_EQ(arrowSwipeKeyCode(at, at), Key::Left);
}

TEST(RemoteGestures, PageKeysFollowTheSignOfTheSteps)
{
    EXPECT_EQ(pageStepKeyCode(1), Key::PageUp);
    EXPECT_EQ(pageStepKeyCode(3), Key::PageUp);
    EXPECT_EQ(pageStepKeyCode(-1), Key::PageDown);
    EXPECT_EQ(pageStepKeyCode(0), 0u);
}

TEST(RemoteGestures, PointsAreEqualOnlyWhenBothCoordinatesAreExactlyEqual)
{
    EXPECT_EQ((PadPoint{1.5f, 2}), (PadPoint{1.5f, 2}));
    EXPECT_NE((PadPoint{1.5f, 2}), (PadPoint{1.5f, 2.0001f}));
    EXPECT_NE((PadPoint{1.5f, 2}), (PadPoint{1.25f, 2}));
}
