// SPDX-License-Identifier: GPL-3.0-or-later
// The register screen: the port read from the start of its text (empty is
// the default port, a number that is no port is refused), saving a
// computer into the list and the store, the fields kept for the next visit,
// and the view giving the keyboard room while a field is edited.
#include "RegisterComputerViewController.h"
#include "UITextFieldCell.h"

#include "platform/Alert.h"
#include "platform/NavigationBar.h"
#include "platform/TableViewCell.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include "support/ConnectionTab.h"

#include <QTest>
#include <climits>
#include <gtest/gtest.h>

using platform::UserDefaults;

namespace {

TEST(RegisterComputerPort, TheNumberAtTheStartOfTheTextIsThePort)
{
    const std::vector<std::pair<QString, int>> cases{
        {"25736", 25736},
        {"  42", 42},          // leading blanks skipped
        {"\t\n 7", 7},         // any white space
        {"80abc", 80},         // digits up to the first other character
        {"12 34", 12},
        {"+9", 9},
        {"-5", -5},
        {"007", 7},
        {"abc", 0},            // no number at the start
        {"", 0},
        {" - 5", 0},           // a sign must touch its digits
        {"0x1F", 0},
        {"٣", 0},              // only the digits 0 to 9 count
        {"99999999999", INT_MAX},
        {"-99999999999", INT_MIN},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
    };
    for (const auto& [text, port] : cases)
        EXPECT_EQ(RegisterComputerViewController::integerValueOfText(text), port) << text.toStdString();
}

TEST(UITextFieldCellTest, ACellMadeInCodeHasACaptionAndAFieldAndNoHighlight)
{
    UITextFieldCell cell(QRect(0, 0, 288, 44), "field");
    cell.show(); // laid out as a table shows it
    EXPECT_EQ(cell.reuseIdentifier(), "field");
    ASSERT_NE(cell.title(), nullptr);
    ASSERT_NE(cell.textField(), nullptr);
    EXPECT_EQ(cell.title()->parentWidget(), cell.contentView());
    EXPECT_EQ(cell.textField()->parentWidget(), cell.contentView());
    EXPECT_EQ(cell.title()->geometry(), QRect(20, 2, 100, 40));
    EXPECT_EQ(cell.textField()->geometry(), QRect(100, 8, 176, 28));
    EXPECT_EQ(cell.selectionStyle(), platform::TableViewCellSelectionStyle::None);
    cell.setTitleText("Port");
    cell.setPlaceholderText("25736");
    EXPECT_EQ(cell.title()->text(), "Port");
    EXPECT_EQ(cell.textField()->placeholderText(), "25736");
    cell.resize(200, 44); // the field keeps inside a narrower row
    EXPECT_EQ(cell.textField()->geometry(), QRect(100, 8, 88, 28));
}

class RegisterComputerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tab = std::make_unique<ConnectionTab>();
        tab->list()->addItem()->trigger();
        reg = tab->container->regViewController();
        ASSERT_EQ(tab->top(), reg);
        fullHeight = reg->view()->height();
    }

    void fill(const QString& name, const QString& ip, const QString& port)
    {
        for (auto [field, text] : {std::pair{reg->nameField(), name}, {reg->ipField(), ip}, {reg->portField(), port}}) {
            field->clear();
            QTest::keyClicks(field, text);
        }
    }
    void tapField(UITextFieldCell* cell) { tab->tapRow(reg->tableView(), reg->tableView()->indexPathForCell(cell).value()); }
    QVariantList stored() const { return UserDefaults::standardUserDefaults().arrayForKey("RegisteredComputers"); }

    platform::ScopedManualClock clock;
    TemporarySettings settings;
    std::unique_ptr<ConnectionTab> tab;
    RegisterComputerViewController* reg = nullptr;
    int fullHeight = 0;
};

TEST_F(RegisterComputerTest, TheScreenIsThreeFieldRowsUnderAddAComputerWithSave)
{
    EXPECT_EQ(reg->title(), "Add a computer");
    EXPECT_EQ(tab->navigation()->navigationBar()->title(), "Add a computer");
    EXPECT_EQ(reg->navigationItem()->rightBarButtonItem(), reg->saveButtonItem());
    platform::TableView* table = reg->tableView();
    ASSERT_EQ(table->numberOfSections(), 1);
    ASSERT_EQ(table->numberOfRowsInSection(0), 3);
    EXPECT_EQ(ConnectionTab::rows(table, 0).size(), 3);
    EXPECT_EQ(reg->nameCell()->title()->text(), "Name");
    // The field sits beside its caption, inside the row.
    const QRect field = reg->portField()->geometry();
    EXPECT_EQ(field.topLeft(), QPoint(100, 8));
    EXPECT_LE(field.right(), reg->portCell()->contentView()->width());
    EXPECT_LE(field.bottom(), reg->portCell()->height());
}

TEST_F(RegisterComputerTest, SavingRegistersTheComputerReturnsToTheListAndKeepsTheFields)
{
    fill("Office PC", "192.168.1.20", " 25736 ");
    reg->saveButtonItem()->trigger();
    EXPECT_EQ(tab->top(), tab->list());
    EXPECT_EQ(ConnectionTab::rows(tab->list()->tableView(), 0), QStringList{"Office PC"});
    const auto& computer = tab->list()->computerList().last();
    EXPECT_EQ(computer->ip(), QString("192.168.1.20"));
    EXPECT_EQ(computer->port(), 25736);
    EXPECT_EQ(computer->os(), QString("Unknown"));
    EXPECT_FALSE(computer->discoverd().has_value());
    ASSERT_EQ(stored().size(), 1);
    EXPECT_EQ(stored()[0].toMap(), (QVariantMap{{"ComputerName", "Office PC"}, {"Os", "Unknown"},
                                                 {"Ip", "192.168.1.20"}, {"Port", 25736}}));

    // The same screen comes back with what was typed, and saving again adds a second row.
    tab->list()->addItem()->trigger();
    EXPECT_EQ(tab->top(), reg);
    EXPECT_EQ(reg->nameField()->text(), "Office PC");
    EXPECT_EQ(reg->ipField()->text(), "192.168.1.20");
    EXPECT_EQ(reg->portField()->text(), " 25736 ");
    reg->saveButtonItem()->trigger();
    EXPECT_EQ(ConnectionTab::rows(tab->list()->tableView(), 0), (QStringList{"Office PC", "Office PC"}));
    EXPECT_EQ(stored().size(), 2);
}

TEST_F(RegisterComputerTest, EmptyFieldsAreSavedAsTheyAreAndAnEmptyPortIsTheDefaultPort)
{
    reg->saveButtonItem()->trigger();
    ASSERT_EQ(tab->list()->computerList().size(), 1);
    const auto& computer = tab->list()->computerList()[0];
    EXPECT_EQ(computer->computerName(), QString(""));
    EXPECT_EQ(computer->ip(), QString(""));
    EXPECT_EQ(computer->port(), 25736); // what the field's placeholder promises
    EXPECT_EQ(computer->os(), QString("Unknown"));
    EXPECT_EQ(stored()[0].toMap().value("Port"), QVariant(25736));
    fill("Lab", "lab.local", "   ");
    reg->saveButtonItem()->trigger();
    EXPECT_EQ(tab->list()->computerList()[1]->port(), 25736);
    EXPECT_EQ(tab->list()->computerList()[1]->ip(), QString("lab.local"));
    EXPECT_TRUE(platform::Alert::history().empty());
}

// A computer stored with port 0 (or one past the port range) could never be
// reached: the screen says so, stores nothing and stays for a correction.
TEST_F(RegisterComputerTest, APortThatIsNoPortIsRefusedWithAMessage)
{
    const platform::AlertRecord kInvalidPort{"Invalid Port",
                                             "The port is a number from 1 to 65535. Leave the field empty for 25736.",
                                             "OK"};
    for (const QString port : {"0", "port", "65536", "99999999999", "-80", " 0080x"}) {
        SCOPED_TRACE(port.toStdString());
        platform::Alert::clearHistory();
        fill("Lab", "10.0.0.7", port);
        reg->saveButtonItem()->trigger();
        if (port == " 0080x") { // 80, read from the start of the text
            EXPECT_TRUE(platform::Alert::history().empty());
            EXPECT_EQ(tab->top(), tab->list());
            continue;
        }
        ASSERT_EQ(platform::Alert::history().size(), 1u);
        EXPECT_EQ(platform::Alert::history()[0], kInvalidPort);
        platform::Alert::dismissAll();
        EXPECT_EQ(tab->top(), reg);
        EXPECT_TRUE(tab->list()->computerList().isEmpty());
        EXPECT_TRUE(stored().isEmpty());
        EXPECT_EQ(reg->portField()->text(), port); // kept for the correction
    }
    ASSERT_EQ(tab->list()->computerList().size(), 1);
    EXPECT_EQ(tab->list()->computerList()[0]->port(), 80);

    tab->list()->addItem()->trigger();
    for (const auto& [text, port] : {std::pair{"1", 1}, {"65535", 65535}}) {
        fill("Edge", "10.0.0.8", text);
        reg->saveButtonItem()->trigger();
        EXPECT_EQ(tab->list()->computerList().last()->port(), port);
        tab->list()->addItem()->trigger();
    }
}

TEST_F(RegisterComputerTest, TheViewIsShorterWhileAFieldIsEdited)
{
    tapField(reg->nameCell());
    ASSERT_TRUE(reg->nameField()->hasFocus());
    EXPECT_EQ(reg->view()->height(), fullHeight - 160);
    tapField(reg->portCell()); // straight on to another field
    ASSERT_TRUE(reg->portField()->hasFocus());
    EXPECT_EQ(reg->view()->height(), fullHeight - 160);
    QTest::keyClick(reg->portField(), Qt::Key_Tab); // round to the first field
    ASSERT_TRUE(reg->nameField()->hasFocus());
    QTest::keyClick(reg->nameField(), Qt::Key_Backtab);
    ASSERT_TRUE(reg->portField()->hasFocus());
    EXPECT_EQ(reg->view()->height(), fullHeight - 160);
    QTest::keyClick(reg->portField(), Qt::Key_Return);
    EXPECT_FALSE(reg->portField()->hasFocus());
    EXPECT_EQ(reg->view()->height(), fullHeight);
    EXPECT_EQ(tab->top(), reg); // return does not save
    EXPECT_TRUE(tab->list()->computerList().isEmpty());
}

TEST_F(RegisterComputerTest, QuickMovesBetweenFieldsEndAtTheRightHeightWhileAnimated)
{
    platform::ViewAnimation::setAnimationsEnabled(true);
    tapField(reg->nameCell());
    QTest::qWait(60);          // the slide is under way, not ended
    tapField(reg->ipCell());
    tapField(reg->portCell());
    platform::ViewAnimation::finishAll();
    EXPECT_EQ(reg->view()->height(), fullHeight - 160);
    reg->portField()->clearFocus();
    platform::ViewAnimation::finishAll();
    EXPECT_EQ(reg->view()->height(), fullHeight);
    platform::ViewAnimation::setAnimationsEnabled(false);
}

TEST_F(RegisterComputerTest, SavingWhileEditingLeavesTheViewAtFullHeight)
{
    tapField(reg->ipCell());
    QTest::keyClicks(reg->ipField(), "10.0.0.7");
    reg->saveButtonItem()->trigger();
    EXPECT_EQ(tab->list()->computerList()[0]->ip(), QString("10.0.0.7"));
    EXPECT_EQ(reg->view()->height(), fullHeight);
}

} // namespace
