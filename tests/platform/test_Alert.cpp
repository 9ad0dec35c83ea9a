// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts: asked for without blocking, shown one at a time as a sheet in the
// window, queued, and readable by tests.
#include "platform/Alert.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

using namespace platform;

namespace {

class AlertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Alert::dismissAll();
        Alert::clearHistory();
    }
    void TearDown() override
    {
        Alert::dismissAll();
        Alert::setHostWindow(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(AlertTest, AlertsQueueInOrderAndAreAllRecorded)
{
    Alert::show("Connection Error", "Please, connect to your computer before use the functions.");
    Alert::show("Connection Error", "Invalid Password.", "OK");
    EXPECT_EQ(Alert::pendingCount(), 2);
    ASSERT_TRUE(Alert::current().has_value());
    EXPECT_EQ(Alert::current()->message, "Please, connect to your computer before use the functions.");
    EXPECT_EQ(Alert::current()->buttonTitle, "OK");

    Alert::dismissCurrent();
    ASSERT_TRUE(Alert::current().has_value());
    EXPECT_EQ(Alert::current()->message, "Invalid Password.");
    Alert::dismissCurrent();
    EXPECT_FALSE(Alert::current().has_value());
    ASSERT_EQ(Alert::history().size(), 2u);
    EXPECT_EQ(Alert::history()[0], (AlertRecord{"Connection Error",
                                                 "Please, connect to your computer before use the functions.", "OK"}));
    Alert::dismissCurrent(); // nothing left: harmless
}

TEST_F(AlertTest, TheSheetCoversTheWindowAndItsButtonShowsTheNextAlert)
{
    QWidget window;
    window.resize(320, 480);
    window.show();
    Alert::setHostWindow(&window);

    int dismissed = 0;
    Alert::show("Warning", "You must turn on Wi-Fi network to use this application. ", "OK", [&] { ++dismissed; });
    Alert::show("Connection Error", "Invalid Password.");
    auto* sheet = qobject_cast<AlertSheet*>(Alert::sheet());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->parentWidget(), &window);
    EXPECT_EQ(sheet->geometry(), window.rect());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_TRUE(window.rect().contains(sheet->cardRect()));

    FingerSimulator fingers;
    Button* ok = sheet->button();
    EXPECT_EQ(ok->currentTitle(), "OK");
    fingers.tap(ok, {ok->width() / 2.0, ok->height() / 2.0});
    EXPECT_EQ(dismissed, 1);
    ASSERT_TRUE(Alert::current().has_value());
    EXPECT_EQ(Alert::current()->message, "Invalid Password.");
    EXPECT_NE(Alert::sheet(), nullptr);
    EXPECT_NE(Alert::sheet(), sheet);
}

TEST_F(AlertTest, AFurtherButtonSitsBesideTheFirstAndReportsItsIndex)
{
    QWidget window;
    window.resize(320, 480);
    window.show();
    Alert::setHostWindow(&window);

    std::vector<int> tapped;
    const AlertRecord offer{"Connection Error", "Lost.", "OK", {"Reconnect"}};
    for (int i = 0; i < 3; ++i)
        Alert::show(offer.title, offer.message, offer.buttonTitle, offer.otherButtonTitles,
                    [&](int index) { tapped.push_back(index); });
    Alert::show("Warning", "Something else.");
    auto* sheet = qobject_cast<AlertSheet*>(Alert::sheet());
    ASSERT_NE(sheet, nullptr);
    ASSERT_EQ(sheet->buttonCount(), 2);
    EXPECT_EQ(sheet->buttonAt(1)->currentTitle(), "Reconnect");
    EXPECT_EQ(sheet->buttonAt(2), nullptr);
    const QRect first = sheet->button()->geometry();
    const QRect second = sheet->buttonAt(1)->geometry();
    EXPECT_EQ(first.top(), second.top()); // side by side
    EXPECT_LE(first.right(), second.left());
    EXPECT_TRUE(sheet->cardRect().contains(second));

    // An index the alert does not have does nothing.
    Alert::dismissCurrentWithButtonIndex(2);
    Alert::dismissCurrentWithButtonIndex(-1);
    EXPECT_EQ(Alert::pendingCount(), 4);
    EXPECT_TRUE(tapped.empty());

    FingerSimulator fingers;
    Button* reconnect = sheet->buttonAt(1);
    fingers.tap(reconnect, QRectF(reconnect->rect()).center());
    EXPECT_EQ(tapped, std::vector<int>{1});
    // The same alerts still waiting are taken back without their actions;
    // the one on screen and other alerts stay.
    EXPECT_EQ(Alert::current(), offer);
    EXPECT_EQ(Alert::withdrawWaiting(offer), 1);
    EXPECT_EQ(Alert::pendingCount(), 2);
    EXPECT_EQ(Alert::current(), offer);
    Alert::dismissCurrent();
    EXPECT_EQ(tapped, (std::vector<int>{1, 0}));
    EXPECT_EQ(Alert::current()->title, "Warning");
    EXPECT_EQ(Alert::history().size(), 4u);
}

TEST_F(AlertTest, AnAlertAskedForBeforeThereIsAWindowAppearsOnceThereIsOne)
{
    Alert::show("Warning", "Later");
    EXPECT_EQ(Alert::sheet(), nullptr);
    QWidget window;
    window.resize(320, 480);
    window.show();
    Alert::setHostWindow(&window);
    ASSERT_NE(Alert::sheet(), nullptr);
    EXPECT_EQ(Alert::sheet()->parentWidget(), &window);
}

TEST_F(AlertTest, ReturnAnswersTheAlertFromAKeyboard)
{
    QWidget window;
    window.resize(320, 480);
    window.show();
    Alert::setHostWindow(&window);
    Alert::show("Connection Error", "Invalid Password.");
    ASSERT_NE(Alert::sheet(), nullptr);
    QTest::keyClick(Alert::sheet(), Qt::Key_A);
    EXPECT_EQ(Alert::pendingCount(), 1);
    QTest::keyClick(Alert::sheet(), Qt::Key_Return);
    EXPECT_EQ(Alert::pendingCount(), 0);
}

} // namespace
