// SPDX-License-Identifier: GPL-3.0-or-later
// Key buttons: what they take from the layout when they wake, how labels
// and codes follow the shift notifications, and that they stop listening
// when they go.
#include "UIKeyButton.h"

#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

using platform::ControlStateDisabled;
using platform::ControlStateHighlighted;
using platform::ControlStateNormal;
using platform::ControlStateSelected;
using platform::NotificationCenter;

namespace {

class KeyButton : public ::testing::Test {
protected:
    // A key as the interface file leaves it: a title, then awakeFromNib.
    std::unique_ptr<UIKeyButton> wake(const QString& title)
    {
        auto key = std::make_unique<UIKeyButton>();
        key->setTitle(title);
        key->awakeFromNib();
        return key;
    }
    void shiftDown() { NotificationCenter::defaultCenter().postNotification("Shift Down"); }
    void shiftUp() { NotificationCenter::defaultCenter().postNotification("Shift Up"); }
};

TEST_F(KeyButton, WakingTakesTheTitleAsLabelAndStartsWithNoCodeAndRepeatOn)
{
    auto key = wake("caps");
    EXPECT_EQ(key->text(), "caps");
    EXPECT_TRUE(key->shiftText().isNull());
    EXPECT_EQ(key->value(), 0u);
    EXPECT_EQ(key->shiftValue(), 0u);
    EXPECT_FALSE(key->staticButton());
    EXPECT_TRUE(key->isEnableRepeat());
    EXPECT_EQ(key->getCurrentKeyValue(), 0u);
    shiftDown();
    EXPECT_EQ(key->getCurrentKeyValue(), 0u);
    EXPECT_EQ(key->currentTitle(), "caps"); // no shifted label: the label stays
    shiftUp();
}

TEST_F(KeyButton, SettingTheCodesLeavesTheTitleUntilTheFirstShiftChange)
{
    auto key = wake("one");
    key->setKeyCode("1", 0x31, "!", 0x31);
    EXPECT_EQ(key->currentTitle(), "one");
    shiftDown();
    EXPECT_EQ(key->getCurrentLabel(), "!");
    for (auto state : {ControlStateNormal, ControlStateHighlighted, ControlStateDisabled, ControlStateSelected})
        EXPECT_EQ(key->titleForState(state), "!") << state;
    shiftDown(); // a second one changes nothing
    EXPECT_EQ(key->currentTitle(), "!");
    shiftUp();
    EXPECT_EQ(key->currentTitle(), "1");
    EXPECT_EQ(key->getCurrentKeyValue(), 0x31u);
}

TEST_F(KeyButton, StaticKeysAndKeysWithoutLabelsKeepTheirLabel)
{
    auto ctrl = wake("ctrl");
    ctrl->setStaticButton(true);
    ctrl->setKeyCode("ctrl", 0xFFE3, "CTRL", 0xFFE3);
    auto play = wake("");
    play->setKeyCode(QString(), 0x08030002, QString(), 0x08030002);
    auto letter = wake("Q");
    letter->setKeyCode("Q", 0x51, "Q", 0x51);
    shiftDown();
    EXPECT_EQ(ctrl->currentTitle(), "ctrl");
    EXPECT_EQ(play->currentTitle(), "");
    EXPECT_EQ(play->getCurrentKeyValue(), 0x08030002u);
    EXPECT_EQ(letter->currentTitle(), "Q");
    shiftUp();
    EXPECT_EQ(letter->currentTitle(), "Q");
}

TEST_F(KeyButton, TheShiftedCodeCountsOnlyWhileShiftIsDownAndOnlyWhenItIsNotZero)
{
    auto key = wake("x");
    key->setKeyCode("x", 0x58, "X", 0);
    shiftDown();
    EXPECT_EQ(key->getCurrentKeyValue(), 0x58u);
    key->setShiftValue(0x1234);
    EXPECT_EQ(key->getCurrentKeyValue(), 0x1234u);
    key->setStaticButton(true); // plays no part in the code
    EXPECT_EQ(key->getCurrentKeyValue(), 0x1234u);
    shiftUp();
    EXPECT_EQ(key->getCurrentKeyValue(), 0x58u);
}

TEST_F(KeyButton, AGoneKeyNoLongerListens)
{
    NotificationCenter& center = NotificationCenter::defaultCenter();
    const std::size_t before = center.observerCount();
    auto key = wake("A");
    EXPECT_EQ(center.observerCount(), before + 2);
    key.reset();
    EXPECT_EQ(center.observerCount(), before);
    shiftDown(); // reaches nobody
    shiftUp();
}

} // namespace
