// SPDX-License-Identifier: GPL-3.0-or-later
// The screen tests read what a screen sent through SessionRecorder, so it
// must report exactly the packets sent, in order, and nothing twice.
#include "support/SessionRecorder.h"

#include "RemoteProtocol.h"

#include <gtest/gtest.h>

TEST(SessionRecorder, ReportsEachPacketOnceInOrder)
{
    SessionRecorder session;
    ASSERT_TRUE(session.connected());
    EXPECT_EQ(session.takePackets(), SentPackets{});

    remote_sendKeyboardEvent(1, 0x41);
    remote_sendMouseEvent(REMOTE_BUTTON_LEFT, -3, 5);
    remote_sendKeyboardEvent(0, 0x08010020);
    EXPECT_EQ(session.takePackets(), (SentPackets{SentPacket::keyDown(0x41), SentPacket::mouse(1, -3, 5),
                                                  SentPacket::keyUp(0x08010020)}));
    EXPECT_EQ(session.takePackets(), SentPackets{});

    remote_sendMouseEvent(REMOTE_WHEEL_DOWN, 0, 0);
    EXPECT_EQ(session.takePackets(), SentPackets{SentPacket::mouse(16)});
}

TEST(SessionRecorder, LeavesNoSessionBehind)
{
    {
        SessionRecorder session;
        ASSERT_EQ(remote_is_connected(), 1);
    }
    EXPECT_EQ(remote_is_connected(), 0);
}

TEST(SessionRecorder, AReceiverThatWentAwayIsNoticedAtTheNextSend)
{
    SessionRecorder session;
    session.receiverGoesAway();
    EXPECT_EQ(remote_sendKeyboardEvent(1, 0x41), -1);
    EXPECT_EQ(remote_is_connected(), 0);
}
