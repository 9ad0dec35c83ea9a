// SPDX-License-Identifier: GPL-3.0-or-later
// The connection screens as a user sees them, rendered offscreen: the list
// with a registered and a discovered computer, the login screen and the
// register screen. With QUILLON_SCREENSHOT_DIR set the pictures are written
// there (docs/screenshots holds the committed ones).
#include "ComputerSession.h"
#include "LoginViewController.h"
#include "RegisterComputerViewController.h"

#include "platform/Alert.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/TableViewCell.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"

#include "support/ConnectionTab.h"
#include "support/ReceiverDouble.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ConnectionScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::UserDefaults::standardUserDefaults().setObject(QVariantMap{{"Office PC", "hunter2"}}, "Passwords");
        tab = std::make_unique<ConnectionTab>();
        platform::StatusBar::shared().setHidden(false, false);
        tab->window.setAutoFillBackground(true);
        QPalette palette = tab->window.palette();
        palette.setColor(QPalette::Window, platform::theme::groupedBackground());
        tab->window.setPalette(palette);
        auto* strip = new platform::StatusBarView(&tab->window);
        strip->setClockText("9:41");
        strip->show();
        strip->raise();

        ConnectionTab::postRegistered("Office PC", "192.168.1.20", 25736);
        tab->discoveryPeer.sendTo(tab->list()->boundPort(), receiverReply("Living Room", "?", 25736, "Linux"));
        ASSERT_TRUE(waitUntilReadable(tab->list()->sockfd()));
        QCoreApplication::processEvents();
        ASSERT_EQ(tab->list()->discoveredComputers().size(), 1);
    }

    QImage shoot(const char* name)
    {
        QCoreApplication::processEvents();
        const QImage image = tab->window.grab().toImage();
        const QString dir = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            image.save(QDir(dir).filePath(QStringLiteral("connection-%1.png").arg(QLatin1String(name))));
        }
        return image;
    }
    // Where a row's middle lies in the window.
    QPoint centreOfRow(platform::TableView* table, const platform::IndexPath& indexPath) const
    {
        platform::TableViewCell* cell = table->cellForRowAtIndexPath(indexPath);
        return cell->mapTo(&tab->window, cell->rect().center());
    }

    platform::ScopedManualClock clock;
    TemporarySettings settings;
    std::unique_ptr<ConnectionTab> tab;
};

TEST_F(ConnectionScreenshotTest, ListWithARegisteredAndADiscoveredComputer)
{
    platform::TableView* table = tab->list()->tableView();
    const QImage image = shoot("list");
    ASSERT_EQ(image.size(), QSize(320, 480));
    // Both rows and the help row lie on screen, on white cards.
    for (const platform::IndexPath& row : {platform::IndexPath{0, 0}, {1, 0}, {2, 0}}) {
        const QPoint centre = centreOfRow(table, row);
        EXPECT_TRUE(QRect(0, 64, 320, 416).contains(centre));
        EXPECT_EQ(image.pixelColor(centre.x() + 100, centre.y()), platform::theme::cellBackground());
    }
    const QRect help = table->cellForRowAtIndexPath({2, 0})->geometry();
    EXPECT_GE(help.height(), tab->list()->helpCell()->findChild<QLabel*>("helpLabel")->sizeHint().height());
}

TEST_F(ConnectionScreenshotTest, LoginScreenWithASavedPasscode)
{
    tab->tapRow(tab->list()->tableView(), {0, 0});
    auto* login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    login->passwordField()->clearFocus();
    const QImage image = shoot("login");
    EXPECT_EQ(login->passwordField()->text(), "hunter2");
    EXPECT_EQ(login->passwordField()->displayText().size(), 7);
    EXPECT_FALSE(login->passwordField()->displayText().contains("hunter2")); // hidden
    const QPoint check = centreOfRow(login->tableView(), {0, 1});
    bool tinted = false; // the check mark at the right of the save row
    for (int x = 240; x < 310 && !tinted; ++x)
        for (int y = check.y() - 8; y <= check.y() + 8 && !tinted; ++y)
            tinted = image.pixelColor(x, y).blue() > 200 && image.pixelColor(x, y).red() < 100;
    EXPECT_TRUE(tinted);
}

// The offer to mark a receiver without protection, and the mark on the login
// screen with its warning whole below the rows.
TEST_F(ConnectionScreenshotTest, LoginScreenOfAReceiverWithoutProtection)
{
    ReceiverDouble plain(ReceiverScript::plain({loginReply(1)}));
    ConnectionTab::postRegistered("Old Laptop", "127.0.0.1", plain.port());
    tab->tapRow(tab->list()->tableView(), {0, 1});
    auto* login = qobject_cast<LoginViewController*>(tab->top());
    ASSERT_NE(login, nullptr);
    QTest::keyClicks(login->passwordField(), "hunter2");
    login->connectItem()->trigger();
    ASSERT_EQ(platform::Alert::current().value_or(platform::AlertRecord()).title, ComputerSession::kUnprotectedTitle);
    shoot("login-unprotected-offer");

    platform::Alert::dismissAll();
    ComputerSession::setMarkedPlainOnly("Old Laptop", true);
    shoot("login-unprotected");
    QLabel* warning = login->tableView()->footerViewForSection(0);
    ASSERT_NE(warning, nullptr);
    const QRect shown = QRect(warning->mapTo(&tab->window, QPoint(0, 0)), warning->size());
    EXPECT_TRUE(QRect(0, 64, 320, 416).contains(shown));
    EXPECT_GE(shown.height(), warning->heightForWidth(warning->width()));
}

TEST_F(ConnectionScreenshotTest, RegisterScreenWithItsFields)
{
    tab->list()->addItem()->trigger();
    auto* reg = tab->container->regViewController();
    ASSERT_EQ(tab->top(), reg);
    QTest::keyClicks(reg->nameField(), "Studio iMac");
    QTest::keyClicks(reg->ipField(), "192.168.1.42");
    const QImage image = shoot("register");
    // The typed text is drawn inside the row, beside its caption.
    const QRect field = QRect(reg->nameField()->mapTo(&tab->window, QPoint(0, 0)), reg->nameField()->size());
    EXPECT_TRUE(QRect(0, 64, 320, 416).contains(field));
    bool inked = false;
    for (int x = field.left(); x < field.left() + 60 && !inked; ++x)
        inked = image.pixelColor(x, field.center().y()).lightness() < 100;
    EXPECT_TRUE(inked);
}

// A port that is no port is refused on the screen, before anything is stored.
TEST_F(ConnectionScreenshotTest, RegisterScreenRefusingAPortThatIsNoPort)
{
    tab->list()->addItem()->trigger();
    auto* reg = tab->container->regViewController();
    QTest::keyClicks(reg->nameField(), "Studio iMac");
    QTest::keyClicks(reg->ipField(), "192.168.1.42");
    QTest::keyClicks(reg->portField(), "70000");
    reg->saveButtonItem()->trigger();
    const QImage image = shoot("register-invalid-port");
    ASSERT_TRUE(platform::Alert::current());
    EXPECT_EQ(platform::Alert::current()->title, "Invalid Port");
    EXPECT_EQ(tab->top(), reg);
    // The sheet dims the screen behind its card.
    EXPECT_LT(image.pixelColor(10, 470).lightness(), platform::theme::groupedBackground().lightness() - 40);
}

} // namespace
