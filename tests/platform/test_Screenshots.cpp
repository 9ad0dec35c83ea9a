// SPDX-License-Identifier: GPL-3.0-or-later
// Renders the platform's views offscreen as a screen would show them: a
// grouped table under a navigation bar, a pushed screen with back and right
// buttons, swipe-to-delete, the tab bar and an alert. With
// QUILLON_SCREENSHOT_DIR set, the pictures are written there as PNG files
// (docs/screenshots holds the committed ones).
#include "platform/Alert.h"
#include "platform/AlertSheet.h"
#include "platform/BarButtonItem.h"
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationController.h"
#include "platform/StatusBar.h"
#include "platform/StatusBarView.h"
#include "platform/TabBar.h"
#include "platform/TableViewCell.h"
#include "platform/TableViewController.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class SampleList : public TableViewController {
public:
    QStringList registered{"Office PC", "Studio iMac"};
    QStringList discovered{"Living Room", "Build Server"};

    int numberOfSectionsInTableView(TableView*) override { return 3; }
    QString titleForHeaderInSection(TableView*, int section) override
    {
        return section == 0 ? "Registered Computers" : section == 1 ? "Discovered Computers" : QString();
    }
    int numberOfRowsInSection(TableView*, int section) override
    {
        return section == 0 ? int(registered.size()) : section == 1 ? int(discovered.size()) : 1;
    }
    TableViewCell* cellForRowAtIndexPath(TableView* table, const IndexPath& indexPath) override
    {
        TableViewCell* cell = table->dequeueReusableCellWithIdentifier("row");
        if (!cell)
            cell = new TableViewCell(QRect(), "row");
        if (indexPath.section == 2) {
            cell->setText("How to connect");
            cell->setAccessoryType(TableViewCellAccessoryType::DetailDisclosureButton);
            return cell;
        }
        cell->setText((indexPath.section == 0 ? registered : discovered).at(indexPath.row));
        cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
        return cell;
    }
    bool canEditRowAtIndexPath(TableView*, const IndexPath& indexPath) override { return indexPath.section == 0; }
};

class SampleLogin : public TableViewController {
public:
    SampleLogin()
    {
        passwordCell = new TableViewCell;
        auto* field = new QLineEdit(passwordCell);
        field->setPlaceholderText("Passcode");
        field->setText("hunter2");
        field->setEchoMode(QLineEdit::Password);
        field->setFrame(false);
        field->setFont(theme::font(17));
        field->setGeometry(16, 6, 250, 32);
        passwordCell->setSelectionStyle(TableViewCellSelectionStyle::None);
        saveCell = new TableViewCell;
        saveCell->setText("Save passcode");
        saveCell->setAccessoryType(TableViewCellAccessoryType::Checkmark);
    }
    TableViewCell* passwordCell;
    TableViewCell* saveCell;
    QString titleForHeaderInSection(TableView*, int) override { return "Office PC"; }
    int numberOfRowsInSection(TableView*, int) override { return 2; }
    TableViewCell* cellForRowAtIndexPath(TableView*, const IndexPath& indexPath) override
    {
        return indexPath.row == 0 ? passwordCell : saveCell;
    }
};

// Simple line icons for the tab bar, drawn here so the picture needs no files.
QIcon drawnIcon(int kind)
{
    QPixmap pixmap(52, 52);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    switch (kind) {
    case 0: // touch pad
        painter.drawRoundedRect(QRectF(8, 8, 36, 36), 7, 7);
        painter.drawLine(QPointF(8, 34), QPointF(44, 34));
        painter.drawLine(QPointF(26, 34), QPointF(26, 44));
        break;
    case 1: // keyboard
        painter.drawRoundedRect(QRectF(4, 14, 44, 26), 5, 5);
        for (int x = 12; x <= 40; x += 9)
            painter.drawPoint(QPointF(x, 23));
        painter.drawLine(QPointF(16, 32), QPointF(36, 32));
        break;
    case 2: // remote
        painter.drawRoundedRect(QRectF(16, 4, 20, 44), 8, 8);
        painter.drawEllipse(QPointF(26, 16), 5, 5);
        painter.drawPoint(QPointF(26, 32));
        painter.drawPoint(QPointF(26, 40));
        break;
    default: // computer
        painter.drawRoundedRect(QRectF(4, 8, 44, 28), 4, 4);
        painter.drawLine(QPointF(18, 44), QPointF(34, 44));
        painter.drawLine(QPointF(26, 36), QPointF(26, 44));
        break;
    }
    painter.end();
    return QIcon(pixmap);
}

class ScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewAnimation::setAnimationsEnabled(false);
        StatusBar::shared().setHidden(false, false);
        window.resize(320, 480);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, theme::groupedBackground());
        window.setPalette(palette);
        strip = new StatusBarView(&window);
        strip->setClockText("9:41");

        list = new SampleList;
        list->setTitle("Computers");
        list->navigationItem()->setLeftBarButtonItem(new BarButtonItem("Cancel", BarButtonItem::Plain, list));
        list->navigationItem()->setRightBarButtonItem(new BarButtonItem("Add", BarButtonItem::Done, list));
        navigation = new NavigationController(list, &window);
        navigation->view()->setParent(&window);
        navigation->view()->setGeometry(0, 20, 320, 460);
        window.show();
        list->viewWillAppear(false);
        strip->raise();
    }
    void TearDown() override
    {
        Alert::dismissAll();
        Alert::setHostWindow(nullptr);
        ViewAnimation::setAnimationsEnabled(true);
    }

    QImage shoot(const char* name)
    {
        QCoreApplication::processEvents();
        const QImage image = window.grab().toImage();
        const QString dir = qEnvironmentVariable("QUILLON_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QDir().mkpath(dir);
            image.save(QDir(dir).filePath(QStringLiteral("platform-%1.png").arg(QLatin1String(name))));
        }
        return image;
    }

    QWidget window;
    StatusBarView* strip = nullptr;
    SampleList* list = nullptr;
    NavigationController* navigation = nullptr;
    FingerSimulator fingers;
};

bool isTint(const QColor& color)
{
    return color.blue() > 200 && color.red() < 80 && color.green() > 90 && color.green() < 160;
}

bool hasTintIn(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (isTint(image.pixelColor(x, y)))
                return true;
    return false;
}

TEST_F(ScreenshotTest, GroupedTableUnderANavigationBar)
{
    const QImage image = shoot("table");
    ASSERT_EQ(image.size(), QSize(320, 480));
    EXPECT_EQ(image.pixelColor(2, 200), theme::groupedBackground());            // the grouped background
    EXPECT_EQ(image.pixelColor(160, list->tableView()->rectForRowAtIndexPath({0, 0}).center().y() + 64),
              theme::cellBackground());                                          // a row's card
    EXPECT_TRUE(hasTintIn(image, QRect(0, 20, 80, 44)));                         // the tinted bar button
}

TEST_F(ScreenshotTest, PushedScreenWithBackAndRightButtons)
{
    auto* login = new SampleLogin;
    login->setTitle("Office PC");
    login->navigationItem()->setRightBarButtonItem(new BarButtonItem("Connect", BarButtonItem::Done, login));
    navigation->pushViewController(login, false);
    login->viewWillAppear(false);
    const QImage image = shoot("navigation");
    EXPECT_TRUE(navigation->navigationBar()->backButton()->isVisibleTo(navigation->navigationBar()));
    EXPECT_TRUE(hasTintIn(image, QRect(0, 20, 90, 44)));
    EXPECT_TRUE(hasTintIn(image, QRect(230, 20, 90, 44)));
}

TEST_F(ScreenshotTest, SwipeToDelete)
{
    TableViewCell* cell = list->tableView()->cellForRowAtIndexPath({0, 1});
    fingers.press(0, cell, {250, 22});
    fingers.move(0, cell, {150, 22});
    fingers.release(0, cell, {150, 22});
    ASSERT_TRUE(list->tableView()->indexPathOfDeleteConfirmation().has_value());
    const QImage image = shoot("delete");
    const QPoint inButton = cell->deleteButton()->mapTo(&window, QPoint(4, 4));
    EXPECT_EQ(image.pixelColor(inButton), theme::destructive());
}

TEST_F(ScreenshotTest, TabBarWithTaggedItems)
{
    auto* buttons = new QWidget(&window);
    buttons->setGeometry(0, 20, 320, 411);
    buttons->setAutoFillBackground(true);
    const QStringList titles{"Normal", "Selected", "Pressed", "Disabled"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new Button(buttons);
        button->setTitle(titles[i]);
        button->setGeometry(40, 60 + i * 64, 240, 44);
    }
    auto shown = buttons->findChildren<Button*>();
    shown[1]->setSelected(true);
    shown[2]->setHighlighted(true);
    shown[3]->setEnabled(false);

    auto* bar = new TabBar(&window);
    bar->setGeometry(0, 431, 320, 49);
    const QStringList items{"Touch Pad", "Keyboard", "Remote", "Computers"};
    QList<QAction*> actions;
    for (int i = 0; i < 4; ++i)
        actions.append(new TabBarItem(items[i], drawnIcon(i), i, bar));
    bar->setItems(actions);
    bar->setSelectedItem(actions[2]);
    buttons->show();
    bar->show();
    const QImage image = shoot("tabbar");
    EXPECT_TRUE(hasTintIn(image, bar->rectForItem(actions[2]).translated(0, 431)));
    EXPECT_FALSE(hasTintIn(image, bar->rectForItem(actions[0]).translated(0, 431)));
}

TEST_F(ScreenshotTest, AlertOverTheList)
{
    Alert::setHostWindow(&window);
    Alert::show("Connection Error", "Please, connect to your computer before use the functions.", "OK");
    auto* sheet = qobject_cast<AlertSheet*>(Alert::sheet());
    ASSERT_NE(sheet, nullptr);
    const QImage image = shoot("alert");
    EXPECT_TRUE(hasTintIn(image, sheet->button()->geometry()));
    // The window behind is dimmed.
    EXPECT_LT(image.pixelColor(2, 200).lightness(), theme::groupedBackground().lightness());
}

} // namespace
