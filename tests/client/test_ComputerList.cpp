// SPDX-License-Identifier: GPL-3.0-or-later
// The computer list in its container: the three sections, the registered
// computers kept in step with the store, deleting by swipe, opening the
// login and register screens, cancel, and the appearance calls passed on.
#include "LoginViewController.h"
#include "RegisterComputerViewController.h"

#include "platform/Button.h"
#include "platform/RunLoop.h"
#include "platform/TableViewCell.h"
#include "platform/UserDefaults.h"

#include "support/ConnectionTab.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using platform::IndexPath;
using platform::RunLoop;
using platform::TableView;
using platform::UserDefaults;

namespace {

QVariantMap storedComputer(const QString& name, const QString& ip, int port)
{
    return QVariantMap{{"ComputerName", name}, {"Os", "Unknown"}, {"Ip", ip}, {"Port", port}};
}

class ComputerListTest : public ::testing::Test {
protected:
    // The list loads what is stored when the tab is made.
    void openTab(const QVariantList& stored = {})
    {
        if (!stored.isEmpty()) {
            UserDefaults::standardUserDefaults().setObject(stored, "RegisteredComputers");
            UserDefaults::standardUserDefaults().synchronize();
        }
        tab = std::make_unique<ConnectionTab>();
    }
    TableView* table() const { return tab->list()->tableView(); }
    QStringList registeredRows() const { return ConnectionTab::rows(table(), 0); }
    // The stored computers as written to the settings file.
    QJsonArray storedOnDisk() const
    {
        return QJsonDocument::fromJson(settings.fileContents()).object().value("RegisteredComputers").toArray();
    }
    QStringList storedNames() const
    {
        QStringList names;
        for (const auto& entry : storedOnDisk())
            names.append(entry.toObject().value("ComputerName").toString());
        return names;
    }
    void swipeToDelete(int row)
    {
        platform::TableViewCell* cell = table()->cellForRowAtIndexPath({0, row});
        tab->fingers.press(0, cell, {250, 22});
        tab->fingers.move(0, cell, {200, 23});
        tab->fingers.move(0, cell, {140, 24});
        tab->fingers.release(0, cell, {140, 24});
        ASSERT_EQ(table()->indexPathOfDeleteConfirmation(), (IndexPath{0, row}));
        tab->fingers.tap(cell->deleteButton(), {20, 20});
    }

    platform::ScopedManualClock clock;
    TemporarySettings settings;
    std::unique_ptr<ConnectionTab> tab;
};

TEST_F(ComputerListTest, AFreshListHasItsThreeSectionsAndStartsDiscoveryAtOnce)
{
    openTab();
    ASSERT_EQ(table()->numberOfSections(), 3);
    EXPECT_EQ(table()->headerTitleForSection(0), "Registered Computers");
    EXPECT_EQ(table()->headerTitleForSection(1), "Discovered Computers");
    EXPECT_EQ(table()->headerTitleForSection(2), "");
    EXPECT_EQ(table()->numberOfRowsInSection(0), 0);
    EXPECT_EQ(table()->numberOfRowsInSection(1), 0);
    ASSERT_EQ(table()->numberOfRowsInSection(2), 1);
    platform::TableViewCell* help = table()->cellForRowAtIndexPath({2, 0});
    EXPECT_EQ(help, tab->list()->helpCell());
    const QString helpText = help->findChild<QLabel*>("helpLabel")->text();
    EXPECT_TRUE(helpText.contains("quillon-receiver"));
    EXPECT_TRUE(helpText.contains("25736"));
    EXPECT_GT(table()->rectForRowAtIndexPath({2, 0}).height(), 100); // the whole text shows

    // Loading the container made the list appear: one query, its timer, and
    // the run loop reading replies.
    const auto query = tab->discoveryPeer.receive();
    ASSERT_TRUE(query.has_value());
    EXPECT_EQ(query->bytes.size(), 65u);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 1u);
    EXPECT_TRUE(tab->list()->readsReplies());

    EXPECT_EQ(tab->list()->title(), "Computers");
    EXPECT_EQ(tab->list()->navigationItem()->leftBarButtonItem()->text(), "Cancel");
    EXPECT_EQ(tab->list()->navigationItem()->rightBarButtonItem()->text(), "Add");
    EXPECT_FALSE(tab->container->shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation::Portrait));
}

TEST_F(ComputerListTest, StoredComputersLoadInOrderAsNotDiscovered)
{
    openTab({storedComputer("Office PC", "192.168.1.20", 25736), storedComputer("Den", "192.168.1.21", 4000)});
    EXPECT_EQ(registeredRows(), (QStringList{"Office PC", "Den"}));
    const auto& computers = tab->list()->computerList();
    EXPECT_EQ(computers[1]->ip(), QString("192.168.1.21"));
    EXPECT_EQ(computers[1]->port(), 4000);
    EXPECT_FALSE(computers[1]->discoverd().value_or(false));
    EXPECT_TRUE(table()->cellForRowAtIndexPath({0, 0})->isEditing());
    EXPECT_EQ(table()->cellForRowAtIndexPath({0, 0})->accessoryType(),
              platform::TableViewCellAccessoryType::DisclosureIndicator);
}

TEST_F(ComputerListTest, RegisteringTwiceGivesTwoRowsAndTwoStoredEntries)
{
    openTab();
    ConnectionTab::postRegistered("Office PC", "192.168.1.20", 25736);
    ConnectionTab::postRegistered("Office PC", "192.168.1.20", 25736);
    EXPECT_EQ(registeredRows(), (QStringList{"Office PC", "Office PC"}));
    const QJsonArray stored = storedOnDisk();
    ASSERT_EQ(stored.size(), 2);
    const QJsonObject first = stored[0].toObject();
    EXPECT_EQ(first.keys(), (QStringList{"ComputerName", "Ip", "Os", "Port"}));
    EXPECT_EQ(first.value("ComputerName").toString(), "Office PC");
    EXPECT_EQ(first.value("Os").toString(), "Unknown");
    EXPECT_EQ(first.value("Ip").toString(), "192.168.1.20");
    EXPECT_EQ(first.value("Port").toInt(), 25736);

    // A computer both registered and discovered is listed in both sections.
    tab->discoveryPeer.sendTo(tab->list()->boundPort(), receiverReply("Office PC"));
    ASSERT_TRUE(waitUntilReadable(tab->list()->sockfd()));
    QCoreApplication::processEvents();
    EXPECT_EQ(ConnectionTab::rows(table(), 1), QStringList{"Office PC"});
    EXPECT_EQ(registeredRows().size(), 2);
}

TEST_F(ComputerListTest, DeletingEitherOfTwoSameNamedComputersRemovesTheFirst)
{
    openTab({storedComputer("Studio", "10.0.0.1", 1), storedComputer("Den", "10.0.0.2", 2),
             storedComputer("Studio", "10.0.0.3", 3)});
    swipeToDelete(2);
    EXPECT_EQ(registeredRows(), (QStringList{"Den", "Studio"}));
    EXPECT_EQ(tab->list()->computerList()[1]->ip(), QString("10.0.0.3"));
    EXPECT_EQ(storedNames(), (QStringList{"Den", "Studio"}));
    EXPECT_EQ(storedOnDisk()[1].toObject().value("Ip").toString(), "10.0.0.3");

    swipeToDelete(0);
    swipeToDelete(0);
    EXPECT_TRUE(registeredRows().isEmpty());
    ASSERT_TRUE(QJsonDocument::fromJson(settings.fileContents()).object().value("RegisteredComputers").isArray());
    EXPECT_TRUE(storedOnDisk().isEmpty());
}

TEST_F(ComputerListTest, ARowWhoseNameIsNoLongerStoredStillGoes)
{
    openTab({storedComputer("Studio", "10.0.0.1", 1)});
    UserDefaults::standardUserDefaults().setObject(QVariantList{storedComputer("Other", "10.0.0.9", 9)},
                                                   "RegisteredComputers");
    swipeToDelete(0);
    EXPECT_TRUE(registeredRows().isEmpty());
    EXPECT_EQ(storedNames(), QStringList{"Other"});
    // Other editing styles change nothing.
    ConnectionTab::postRegistered("Kept", "10.0.0.4", 4);
    tab->list()->commitEditingStyle(table(), platform::TableViewCellEditingStyle::Insert, {0, 0});
    EXPECT_EQ(registeredRows(), QStringList{"Kept"});
}

TEST_F(ComputerListTest, StoredEntriesThatAreNotDictionariesAreLeftAlone)
{
    openTab({QString("junk"), storedComputer("", "10.0.0.1", 1)});
    EXPECT_EQ(registeredRows(), QStringList{""});
    swipeToDelete(0); // the computer without a name, not the junk before it
    EXPECT_TRUE(registeredRows().isEmpty());
    ASSERT_EQ(storedOnDisk().size(), 1);
    EXPECT_EQ(storedOnDisk()[0].toString(), "junk");
}

TEST_F(ComputerListTest, OnlyRegisteredRowsOfferDelete)
{
    openTab({storedComputer("Studio", "10.0.0.1", 1)});
    tab->discoveryPeer.sendTo(tab->list()->boundPort(), receiverReply("Media Box"));
    ASSERT_TRUE(waitUntilReadable(tab->list()->sockfd()));
    QCoreApplication::processEvents();
    ComputerListViewController* list = tab->list();
    EXPECT_EQ(list->editingStyleForRowAtIndexPath(table(), {0, 0}), platform::TableViewCellEditingStyle::Delete);
    EXPECT_EQ(list->editingStyleForRowAtIndexPath(table(), {1, 0}), platform::TableViewCellEditingStyle::None);
    EXPECT_EQ(list->editingStyleForRowAtIndexPath(table(), {2, 0}), platform::TableViewCellEditingStyle::None);
    for (int section : {1, 2}) {
        platform::TableViewCell* cell = table()->cellForRowAtIndexPath({section, 0});
        tab->fingers.press(0, cell, {250, 22});
        tab->fingers.move(0, cell, {140, 24});
        tab->fingers.release(0, cell, {140, 24});
        EXPECT_FALSE(table()->indexPathOfDeleteConfirmation().has_value());
    }
}

TEST_F(ComputerListTest, TappingAComputerOpensItsLoginScreen)
{
    openTab({storedComputer("Studio", "10.0.0.1", 1)});
    tab->tapRow(table(), {0, 0});
    auto* login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    EXPECT_EQ(login->computer(), tab->list()->computerList()[0]);
    EXPECT_EQ(tab->list()->selectedComputer(), tab->list()->computerList()[0].get());
    EXPECT_EQ(login->title(), "Studio");
    EXPECT_FALSE(table()->indexPathForSelectedRow().has_value());
    // The list left the screen: discovery paused until it is back.
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);
    EXPECT_FALSE(tab->list()->readsReplies());
    while (tab->discoveryPeer.receiveWaiting()) {
    }

    tab->navigation()->popViewControllerAnimated(false); // the back button
    flushDeletes();
    EXPECT_EQ(tab->top(), tab->list());
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 1u);
    EXPECT_TRUE(tab->list()->readsReplies());
    EXPECT_TRUE(tab->discoveryPeer.receive().has_value());

    // The help row leads nowhere.
    tab->tapRow(table(), {2, 0});
    EXPECT_EQ(tab->top(), tab->list());
}

TEST_F(ComputerListTest, AddPushesTheOneRegisterScreenEachTime)
{
    openTab();
    tab->list()->addItem()->trigger();
    RegisterComputerViewController* reg = tab->container->regViewController();
    EXPECT_EQ(tab->top(), reg);
    EXPECT_EQ(tab->list()->regViewController(), reg);
    tab->navigation()->popViewControllerAnimated(false);
    flushDeletes();
    tab->list()->addItem()->trigger();
    EXPECT_EQ(tab->top(), reg);
}

TEST_F(ComputerListTest, CancelGoesBackToTheTabShownBefore)
{
    openTab();
    EXPECT_EQ(tab->container->getPreviouseViewIndex(), 0);
    tab->container->cancelItem()->trigger();
    tab->container->setPreviouseViewIndex(2);
    EXPECT_EQ(tab->container->getPreviouseViewIndex(), 2);
    tab->container->cancelItem()->trigger();
    EXPECT_EQ(tab->gotoTabBar(), (std::vector<long long>{0, 2}));
}

TEST_F(ComputerListTest, TheContainerPassesAppearanceToTheTopScreen)
{
    openTab({storedComputer("Studio", "10.0.0.1", 1)});
    ComputersViewController* container = tab->container;
    container->viewWillDisappear(false);
    container->viewDidDisappear(false);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);

    // Shown again: the list reloads and discovery starts anew.
    ConnectionTab::postRegistered("Den", "10.0.0.2", 2);
    container->viewWillAppear(false);
    container->viewDidAppear(false);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 1u);
    EXPECT_TRUE(tab->list()->readsReplies());
    EXPECT_EQ(registeredRows(), (QStringList{"Studio", "Den"}));

    // With the login screen on top, the list is not the one told.
    tab->tapRow(table(), {0, 0});
    container->viewWillDisappear(false);
    container->viewDidDisappear(false);
    container->viewWillAppear(false);
    container->viewDidAppear(false);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);
    EXPECT_FALSE(tab->list()->readsReplies());
}

} // namespace
