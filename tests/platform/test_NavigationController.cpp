// SPDX-License-Identifier: GPL-3.0-or-later
// The navigation stack: push and pop, the bar's title, back and right
// buttons, who owns a pushed screen, and the appearance calls it passes on.
#include "platform/BarButtonItem.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationController.h"
#include "platform/ViewAnimation.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace platform;

namespace {

std::vector<std::string>* gLog = nullptr;

class Screen : public ViewController {
public:
    explicit Screen(const QString& title, QObject* parent = nullptr) : ViewController(parent) { setTitle(title); }
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }

private:
    void note(const char* what)
    {
        if (gLog)
            gLog->push_back(title().toStdString() + " " + what);
    }
};

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewAnimation::setAnimationsEnabled(false);
        gLog = &log;
        list = new Screen("Computers", &window);
        navigation = new NavigationController(list, &window);
        navigation->view()->setParent(&window);
        navigation->view()->setGeometry(0, 0, 320, 460);
        window.resize(320, 460);
        window.show();
    }
    void TearDown() override
    {
        gLog = nullptr;
        ViewAnimation::setAnimationsEnabled(true);
    }

    std::vector<std::string> log;
    QWidget window;
    Screen* list = nullptr;
    NavigationController* navigation = nullptr;
    FingerSimulator fingers;
};

TEST_F(NavigationTest, PushShowsTheScreenUnderItsTitleWithABackButtonNamedAfterTheScreenBelow)
{
    NavigationBar* bar = navigation->navigationBar();
    EXPECT_EQ(bar->title(), "Computers");
    EXPECT_FALSE(bar->backButton()->isVisibleTo(bar));

    QPointer<Screen> login = new Screen("Office PC");
    navigation->pushViewController(login, true);
    EXPECT_EQ(navigation->topViewController(), login);
    EXPECT_EQ(login->navigationController(), navigation);
    EXPECT_EQ(bar->title(), "Office PC");
    EXPECT_TRUE(bar->backButton()->isVisibleTo(bar));
    EXPECT_TRUE(bar->backButton()->currentTitle().endsWith("Computers"));
    EXPECT_TRUE(login->view()->isVisible());
    EXPECT_FALSE(list->view()->isVisible());
    EXPECT_EQ(login->view()->geometry(), QRect(0, 0, 320, 460 - 44));
}

TEST_F(NavigationTest, TheBackButtonPopsAndTheStackDeletesTheScreenItOwned)
{
    QPointer<Screen> login = new Screen("Office PC");
    navigation->pushViewController(login, false);
    Button* back = navigation->navigationBar()->backButton();
    fingers.tap(back, {back->width() / 2.0, back->height() / 2.0});
    EXPECT_EQ(navigation->topViewController(), list);
    EXPECT_EQ(navigation->navigationBar()->title(), "Computers");
    EXPECT_TRUE(list->view()->isVisible());
    flushDeletes();
    EXPECT_TRUE(login.isNull());
}

TEST_F(NavigationTest, AScreenKeptBySomeoneElseIsOnlyTakenOffTheStack)
{
    QPointer<Screen> reg = new Screen("Add a computer", list);
    navigation->pushViewController(reg, false);
    EXPECT_EQ(navigation->popViewControllerAnimated(false), reg);
    flushDeletes();
    ASSERT_FALSE(reg.isNull());
    EXPECT_EQ(reg->navigationController(), nullptr);
    navigation->pushViewController(reg, false); // the same screen again
    EXPECT_EQ(navigation->topViewController(), reg);
    EXPECT_EQ(navigation->popViewControllerAnimated(false), reg);
    EXPECT_EQ(navigation->popViewControllerAnimated(false), nullptr); // never the root
}

TEST_F(NavigationTest, TheRightButtonTriggersTheScreensItem)
{
    auto* login = new Screen("Office PC");
    auto* connect = new BarButtonItem("Connect", BarButtonItem::Done, login);
    int triggered = 0;
    QObject::connect(connect, &QAction::triggered, [&] { ++triggered; });
    login->navigationItem()->setRightBarButtonItem(connect);
    navigation->pushViewController(login, false);
    Button* right = navigation->navigationBar()->rightButton();
    ASSERT_TRUE(right->isVisibleTo(navigation->navigationBar()));
    EXPECT_EQ(right->currentTitle(), "Connect");
    fingers.tap(right, {right->width() / 2.0, right->height() / 2.0});
    EXPECT_EQ(triggered, 1);
    connect->setEnabled(false);
    EXPECT_FALSE(right->isEnabled());
    navigation->popViewControllerAnimated(false);
    EXPECT_FALSE(right->isVisibleTo(navigation->navigationBar()));
}

TEST_F(NavigationTest, ATitleIsShortenedOnlyWhenItDoesNotFitBesideTheButtons)
{
    NavigationBar* bar = navigation->navigationBar();
    list->navigationItem()->setLeftBarButtonItem(new BarButtonItem("Cancel", BarButtonItem::Plain, list));
    list->navigationItem()->setRightBarButtonItem(new BarButtonItem("Add", BarButtonItem::Done, list));
    EXPECT_EQ(bar->displayedTitle(), "Computers");
    list->setTitle("Computers on the local network");
    EXPECT_TRUE(bar->displayedTitle().endsWith(QChar(0x2026)));
    EXPECT_LT(bar->displayedTitle().size(), list->title().size());
}

TEST_F(NavigationTest, PopToRootTakesEveryScreenAboveTheRoot)
{
    auto* a = new Screen("A");
    auto* b = new Screen("B");
    navigation->pushViewController(a, false);
    navigation->pushViewController(b, false);
    const QList<ViewController*> popped = navigation->popToRootViewControllerAnimated(false);
    EXPECT_EQ(popped, (QList<ViewController*>{a, b}));
    EXPECT_EQ(navigation->viewControllers(), (QList<ViewController*>{list}));
    EXPECT_TRUE(list->view()->isVisible());
}

TEST_F(NavigationTest, AppearanceCallsArePassedOnOnlyWhileTheStackIsOnScreen)
{
    auto* a = new Screen("A");
    navigation->pushViewController(a, false);
    navigation->popViewControllerAnimated(false);
    EXPECT_TRUE(log.empty()); // placed by hand and never told it appeared

    navigation->viewWillAppear(false);
    navigation->viewDidAppear(false);
    log.clear();
    auto* b = new Screen("B");
    navigation->pushViewController(b, false);
    navigation->popViewControllerAnimated(false);
    EXPECT_EQ(log, (std::vector<std::string>{"Computers willDisappear", "B willAppear", "Computers didDisappear",
                                             "B didAppear", "B willDisappear", "Computers willAppear",
                                             "B didDisappear", "Computers didAppear"}));
}

TEST_F(NavigationTest, AnAnimatedPushSlidesTheNewScreenInAndThenHidesTheOldOne)
{
    ViewAnimation::setAnimationsEnabled(true);
    auto* a = new Screen("A");
    navigation->pushViewController(a, true);
    EXPECT_TRUE(list->view()->isVisible()); // still sliding away
    EXPECT_NE(a->view()->geometry().x(), 0);
    ViewAnimation::finishAll();
    EXPECT_EQ(a->view()->geometry(), QRect(0, 0, 320, 416));
    EXPECT_FALSE(list->view()->isVisible());
}

} // namespace
