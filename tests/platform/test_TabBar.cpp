// SPDX-License-Identifier: GPL-3.0-or-later
// The tab bar: items carry tags, a tap selects the item and triggers it.
#include "support/platform/FingerSimulator.h"
#include "platform/TabBar.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class TabBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar = new TabBar(&window);
        bar->setGeometry(0, 431, 320, 49);
        touchPad = new TabBarItem("Touch Pad", QIcon(), 0, &window);
        keyboard = new TabBarItem("Keyboard", QIcon(), 1, &window);
        remote = new TabBarItem("Remote", QIcon(), 2, &window);
        // An item from a form: a plain action with a "tag" property.
        connection = new QAction("Computers", &window);
        connection->setProperty("tag", 3);
        bar->setItems({touchPad, keyboard, remote, connection});
        window.resize(320, 480);
        window.show();
        for (QAction* item : bar->items())
            QObject::connect(item, &QAction::triggered, [this, item] { triggeredTags.push_back(TabBar::tagOf(item)); });
    }

    void tapItem(QAction* item)
    {
        const QRect area = bar->rectForItem(item);
        fingers.tap(bar, QPointF(area.center()));
    }

    QWidget window;
    TabBar* bar = nullptr;
    TabBarItem* touchPad = nullptr;
    TabBarItem* keyboard = nullptr;
    TabBarItem* remote = nullptr;
    QAction* connection = nullptr;
    std::vector<int> triggeredTags;
    FingerSimulator fingers;
};

TEST_F(TabBarTest, ItemsKeepTheirOrderAndTags)
{
    ASSERT_EQ(bar->items().size(), 4);
    std::vector<int> tags;
    for (QAction* item : bar->items())
        tags.push_back(TabBar::tagOf(item));
    EXPECT_EQ(tags, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(bar->selectedItem(), nullptr);
    EXPECT_LT(bar->rectForItem(touchPad).right(), bar->rectForItem(keyboard).left());
}

TEST_F(TabBarTest, TappingAnItemSelectsItReportsItAndTriggersIt)
{
    std::vector<int> reported;
    QObject::connect(bar, &TabBar::didSelectItem, [&](QAction* item) { reported.push_back(TabBar::tagOf(item)); });
    tapItem(remote);
    tapItem(connection);
    EXPECT_EQ(bar->selectedItem(), connection);
    EXPECT_EQ(reported, (std::vector<int>{2, 3}));
    EXPECT_EQ(triggeredTags, (std::vector<int>{2, 3}));
}

TEST_F(TabBarTest, ADisabledItemCannotBeChosen)
{
    keyboard->setEnabled(false);
    tapItem(keyboard);
    EXPECT_TRUE(triggeredTags.empty());
    EXPECT_EQ(bar->selectedItem(), nullptr);
    bar->setSelectedItem(touchPad);
    EXPECT_EQ(bar->selectedItem(), touchPad);
    EXPECT_TRUE(triggeredTags.empty()); // selecting in code triggers nothing
}

} // namespace
