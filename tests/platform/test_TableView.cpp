// SPDX-License-Identifier: GPL-3.0-or-later
// The sectioned table: what it asks its data source, selection by a tap,
// swipe-to-delete committing the right row, and row inserts and deletes.
#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/TableView.h"
#include "platform/TableViewCell.h"
#include "platform/ViewAnimation.h"

#include "support/platform/WindowSystemMouse.h"

#include <QLabel>
#include <QLineEdit>
#include <gtest/gtest.h>

using namespace platform;

namespace {

// A list shaped like the computer list: an editable section, a read-only
// one, and a help row without a header.
class ComputerList : public TableViewDataSource, public TableViewDelegate {
public:
    QStringList registered{"Office PC", "Studio", "Laptop"};
    QStringList discovered{"Media Box"};
    QPointer<TableViewCell> helpCell = new TableViewCell; // the table takes it into its view
    std::vector<IndexPath> selected;
    std::vector<IndexPath> committed;
    std::vector<IndexPath> cellsAsked;
    bool deleteWithAnimation = true;
    QString footer = "Computers that answered the broadcast.";

    ~ComputerList() override { delete helpCell.data(); }

    int numberOfSectionsInTableView(TableView*) override { return 3; }
    QString titleForHeaderInSection(TableView*, int section) override
    {
        return section == 0 ? "Registered Computers" : section == 1 ? "Discovered Computers" : QString();
    }
    QString titleForFooterInSection(TableView*, int section) override
    {
        return section == 1 ? footer : QString();
    }
    int numberOfRowsInSection(TableView*, int section) override
    {
        return section == 0 ? int(registered.size()) : section == 1 ? int(discovered.size()) : 1;
    }
    TableViewCell* cellForRowAtIndexPath(TableView* table, const IndexPath& indexPath) override
    {
        cellsAsked.push_back(indexPath);
        if (indexPath.section == 2)
            return helpCell;
        TableViewCell* cell = table->dequeueReusableCellWithIdentifier("ComputerListIdentifier");
        if (!cell)
            cell = new TableViewCell(QRect(), "ComputerListIdentifier");
        cell->setAccessoryType(TableViewCellAccessoryType::DisclosureIndicator);
        cell->setText((indexPath.section == 0 ? registered : discovered).at(indexPath.row));
        cell->setEditing(indexPath.section == 0);
        return cell;
    }
    bool canEditRowAtIndexPath(TableView*, const IndexPath& indexPath) override { return indexPath.section == 0; }
    void commitEditingStyle(TableView* table, TableViewCellEditingStyle style, const IndexPath& indexPath) override
    {
        if (style != TableViewCellEditingStyle::Delete)
            return;
        committed.push_back(indexPath);
        registered.removeAt(indexPath.row);
        table->beginUpdates();
        table->deleteRowsAtIndexPaths({indexPath}, TableViewRowAnimation::Top);
        table->endUpdates();
    }
    void didSelectRowAtIndexPath(TableView*, const IndexPath& indexPath) override { selected.push_back(indexPath); }
};

class TableViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ViewAnimation::setAnimationsEnabled(false);
        table = new TableView(&window);
        table->setGeometry(0, 0, 320, 460);
        table->setDataSource(&list);
        table->setDelegate(&list);
        window.resize(320, 460);
        window.show();
        table->reloadData();
    }
    void TearDown() override { ViewAnimation::setAnimationsEnabled(true); }

    TableViewCell* cell(int section, int row) { return table->cellForRowAtIndexPath({section, row}); }
    QStringList texts(int section)
    {
        QStringList result;
        for (int row = 0; row < table->numberOfRowsInSection(section); ++row)
            result.append(cell(section, row)->text());
        return result;
    }
    void swipeLeft(TableViewCell* target)
    {
        fingers.press(0, target, {250, 22});
        fingers.move(0, target, {220, 23});
        fingers.move(0, target, {150, 24});
        fingers.release(0, target, {150, 24});
    }

    ScopedManualClock clock;
    ComputerList list;
    QWidget window;
    TableView* table = nullptr;
    FingerSimulator fingers;
};

TEST_F(TableViewTest, SectionsHeadersAndRowsComeFromTheDataSource)
{
    ASSERT_EQ(table->numberOfSections(), 3);
    EXPECT_EQ(table->headerTitleForSection(0), "Registered Computers");
    EXPECT_EQ(table->headerTitleForSection(1), "Discovered Computers");
    EXPECT_EQ(table->headerTitleForSection(2), "");
    EXPECT_EQ(texts(0), (QStringList{"Office PC", "Studio", "Laptop"}));
    EXPECT_EQ(texts(1), (QStringList{"Media Box"}));
    EXPECT_EQ(cell(2, 0), list.helpCell);
    EXPECT_EQ(cell(0, 1)->accessoryType(), TableViewCellAccessoryType::DisclosureIndicator);
    EXPECT_EQ(cell(0, 1)->tableView(), table);
    // Rows lie one under another, sections in order.
    EXPECT_LT(table->rectForRowAtIndexPath({0, 0}).bottom(), table->rectForRowAtIndexPath({0, 1}).top());
    EXPECT_LT(table->rectForRowAtIndexPath({0, 2}).bottom(), table->rectForRowAtIndexPath({1, 0}).top());
}

TEST_F(TableViewTest, AFooterSitsUnderItsSectionAndMovesWithTheRowsAbove)
{
    EXPECT_EQ(table->footerTitleForSection(1), list.footer);
    EXPECT_EQ(table->footerViewForSection(0), nullptr);
    QLabel* footer = table->footerViewForSection(1);
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->text(), list.footer);
    EXPECT_GT(footer->geometry().top(), table->rectForRowAtIndexPath({1, 0}).bottom());
    EXPECT_LT(footer->geometry().bottom(), table->rectForRowAtIndexPath({2, 0}).top());
    EXPECT_TRUE(footer->testAttribute(Qt::WA_TransparentForMouseEvents)); // a drag on it scrolls the table

    const int top = footer->geometry().top();
    list.commitEditingStyle(table, TableViewCellEditingStyle::Delete, {0, 0});
    EXPECT_EQ(footer->geometry().top(), top - table->rectForRowAtIndexPath({0, 0}).height());

    list.footer.clear();
    table->reloadData();
    EXPECT_EQ(table->footerViewForSection(1), nullptr);
}

TEST_F(TableViewTest, TappingARowSelectsItAndTellsTheDelegate)
{
    fingers.tap(cell(1, 0), {100, 20});
    ASSERT_EQ(list.selected.size(), 1u);
    EXPECT_EQ(list.selected[0], (IndexPath{1, 0}));
    EXPECT_EQ(table->indexPathForSelectedRow(), (IndexPath{1, 0}));
    EXPECT_TRUE(cell(1, 0)->isSelected());
    table->deselectRowAtIndexPath({1, 0}, true);
    EXPECT_FALSE(table->indexPathForSelectedRow().has_value());

    // A finger that drags is scrolling, not choosing.
    fingers.press(0, cell(0, 0), {100, 20});
    fingers.move(0, cell(0, 0), {100, 60});
    fingers.release(0, cell(0, 0), {100, 60});
    EXPECT_EQ(list.selected.size(), 1u);
}

TEST_F(TableViewTest, SwipeToDeleteCommitsTheSwipedRowAndTheRowsBelowMoveUp)
{
    swipeLeft(cell(0, 1));
    ASSERT_EQ(table->indexPathOfDeleteConfirmation(), (IndexPath{0, 1}));
    Button* remove = cell(0, 1)->deleteButton();
    EXPECT_EQ(remove->currentTitle(), "Delete");
    EXPECT_TRUE(list.selected.empty());

    fingers.tap(remove, {20, 20});
    ASSERT_EQ(list.committed.size(), 1u);
    EXPECT_EQ(list.committed[0], (IndexPath{0, 1}));
    EXPECT_EQ(texts(0), (QStringList{"Office PC", "Laptop"}));
    EXPECT_FALSE(table->indexPathOfDeleteConfirmation().has_value());
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}).top(), table->rectForRowAtIndexPath({0, 0}).bottom() + 1);
}

TEST_F(TableViewTest, ReadOnlyRowsOfferNoDeleteAndATapElsewherePutsTheButtonAway)
{
    swipeLeft(cell(1, 0));
    EXPECT_FALSE(table->indexPathOfDeleteConfirmation().has_value());
    swipeLeft(cell(2, 0));
    EXPECT_FALSE(table->indexPathOfDeleteConfirmation().has_value());

    swipeLeft(cell(0, 0));
    ASSERT_TRUE(table->indexPathOfDeleteConfirmation().has_value());
    fingers.tap(cell(0, 2), {60, 20});
    EXPECT_FALSE(table->indexPathOfDeleteConfirmation().has_value());
    EXPECT_TRUE(list.committed.empty());
    EXPECT_TRUE(list.selected.empty()); // that tap only put the button away
    EXPECT_EQ(texts(0).size(), 3);
}

TEST_F(TableViewTest, DeletingTheLastRowLeavesAnEmptySectionAndCellsAreReused)
{
    TableViewCell* first = cell(0, 0);
    for (int i = 0; i < 3; ++i)
        list.commitEditingStyle(table, TableViewCellEditingStyle::Delete, {0, 0});
    EXPECT_EQ(table->numberOfRowsInSection(0), 0);
    EXPECT_EQ(table->numberOfRowsInSection(1), 1);
    EXPECT_FALSE(first->isVisible());
    list.registered.append("New");
    table->insertRowsAtIndexPaths({{0, 0}}, TableViewRowAnimation::Fade);
    EXPECT_EQ(texts(0), (QStringList{"New"}));
    EXPECT_TRUE(cell(0, 0) == first || cell(0, 0)->reuseIdentifier() == "ComputerListIdentifier");
}

TEST_F(TableViewTest, AnimatedInsertsAndDeletesEndWithTheRowsInPlace)
{
    ViewAnimation::setAnimationsEnabled(true);
    QPointer<TableViewCell> leaving = cell(0, 0);
    list.commitEditingStyle(table, TableViewCellEditingStyle::Delete, {0, 0});
    list.registered.insert(1, "Den");
    table->insertRowsAtIndexPaths({{0, 1}}, TableViewRowAnimation::Fade);
    EXPECT_TRUE(leaving->isVisible()); // still sliding away
    ViewAnimation::finishAll();
    EXPECT_FALSE(leaving->isVisible());
    EXPECT_EQ(texts(0), (QStringList{"Studio", "Den", "Laptop"}));
    EXPECT_EQ(ViewAnimation::alpha(cell(0, 1)), 1.0);
    EXPECT_EQ(table->rectForRowAtIndexPath({0, 1}).top(), table->rectForRowAtIndexPath({0, 0}).bottom() + 1);
}

TEST_F(TableViewTest, RowChangesLayOutTheRowsAsAFullReloadWould)
{
    // Only the rows from the first change down are placed again; the result
    // must be what placing every row from the top gives.
    const auto frames = [this] {
        std::vector<QRect> all;
        for (int section = 0; section < table->numberOfSections(); ++section)
            for (int row = 0; row < table->numberOfRowsInSection(section); ++row)
                all.push_back(table->rectForRowAtIndexPath({section, row}));
        return all;
    };
    const auto expectSameAsReload = [&](const char* what) {
        const std::vector<QRect> incremental = frames();
        table->reloadData();
        EXPECT_EQ(incremental, frames()) << what;
    };
    for (int i = 0; i < 20; ++i) {
        list.discovered.append(QString("Found %1").arg(i));
        table->insertRowsAtIndexPaths({{1, int(list.discovered.size()) - 1}}, TableViewRowAnimation::Top);
    }
    expectSameAsReload("appended at the end of a section");
    list.discovered.insert(0, "First");
    table->insertRowsAtIndexPaths({{1, 0}}, TableViewRowAnimation::Top);
    expectSameAsReload("inserted at the top of a section");
    list.registered.removeAt(2);
    list.discovered[5] = "Replaced";
    table->beginUpdates();
    table->deleteRowsAtIndexPaths({{0, 2}, {1, 5}}, TableViewRowAnimation::None);
    table->insertRowsAtIndexPaths({{1, 5}}, TableViewRowAnimation::None);
    table->endUpdates();
    expectSameAsReload("a row replaced, one deleted above it");
    EXPECT_EQ(cell(1, 5)->text(), "Replaced");
    EXPECT_TRUE(cell(1, 20)->isVisible());
}

TEST_F(TableViewTest, RowChangesThatDoNotMatchTheDataSourceReloadEverything)
{
    list.registered = QStringList{"A", "B", "C", "D"};
    table->deleteRowsAtIndexPaths({{0, 0}}, TableViewRowAnimation::None); // the source grew instead
    EXPECT_EQ(texts(0), (QStringList{"A", "B", "C", "D"}));
    table->deleteRowsAtIndexPaths({{0, 9}}, TableViewRowAnimation::None); // no such row
    EXPECT_EQ(table->numberOfRowsInSection(0), 4);
}

TEST_F(TableViewTest, ALongTableAsksForTheCellsOfTheRowsOnScreenOnlyAndTheOthersWhenTheyCome)
{
    for (int i = 0; i < 100; ++i)
        list.registered.append(QStringLiteral("Computer %1").arg(i));
    const auto askedFor = [this] {
        std::vector<IndexPath> asked;
        asked.swap(list.cellsAsked);
        return asked;
    };
    const auto onScreen = [this](const IndexPath& row, int top) {
        const QRect frame = table->rectForRowAtIndexPath(row);
        return frame.bottom() >= top && frame.top() < top + table->viewport()->height();
    };
    askedFor();
    table->reloadData();
    std::vector<IndexPath> asked = askedFor();
    EXPECT_GE(asked.size(), 9u);
    EXPECT_LE(asked.size(), 11u) << "a screenful of 44-point rows, not 104";
    for (const IndexPath& row : asked)
        EXPECT_TRUE(onScreen(row, 0)) << row.row;

    table->scrollBy(460);
    asked = askedFor();
    EXPECT_GE(asked.size(), 9u);
    EXPECT_LE(asked.size(), 11u);
    for (const IndexPath& row : asked)
        EXPECT_TRUE(onScreen(row, 460)) << row.row;

    // A row below the screen is there when asked for, in its place.
    TableViewCell* far = cell(0, 90);
    ASSERT_NE(far, nullptr);
    EXPECT_EQ(far->text(), "Computer 87");
    EXPECT_EQ(far->geometry(), table->rectForRowAtIndexPath({0, 90}));
    askedFor();
    // One deleted before it came on screen goes without asking for anything.
    list.registered.removeAt(50);
    table->deleteRowsAtIndexPaths({{0, 50}}, TableViewRowAnimation::Top);
    EXPECT_TRUE(askedFor().empty());
    EXPECT_EQ(cell(0, 50)->text(), "Computer 48");
    EXPECT_EQ(cell(0, 101)->text(), "Computer 99");
}

TEST_F(TableViewTest, AFingerDraggedUpScrollsALongTable)
{
    for (int i = 0; i < 20; ++i)
        list.registered.append(QStringLiteral("Computer %1").arg(i));
    table->reloadData();
    TableViewCell* first = cell(0, 0);
    const int before = first->mapTo(table, QPoint(0, 0)).y();
    fingers.press(0, first, {100, 20});
    fingers.move(0, first, {100, 10});
    fingers.move(0, first, {100, -60});
    fingers.release(0, first, {100, -60});
    EXPECT_EQ(first->mapTo(table, QPoint(0, 0)).y(), before - 80);
    EXPECT_TRUE(list.selected.empty());
}

// A row that shows rich text (the computer list's help) must scroll under a
// dragged mouse as under a finger: the label does not keep the press.
TEST_F(TableViewTest, AMouseDraggedOverARowsRichTextScrollsTheTableAndAClickChoosesTheRow)
{
    for (int i = 0; i < 5; ++i)
        list.registered.append(QStringLiteral("Computer %1").arg(i));
    auto* label = new QLabel(QStringLiteral("<b>How to connect</b><br>Run the receiver."), list.helpCell);
    label->setGeometry(16, 2, 250, 40);
    label->show();
    table->reloadData();
    table->scrollBy(10000); // to the end, where the help row is
    ASSERT_NE(window.windowHandle(), nullptr);
    WindowSystemMouse mouse(window.windowHandle());
    const QPoint onLabel = label->mapTo(&window, QPoint(100, 20));
    ASSERT_NE(window.childAt(onLabel), label); // the label lets the pointer through to its row
    const int before = list.helpCell->mapTo(&window, QPoint()).y();

    mouse.press(onLabel);
    mouse.moveTo(onLabel + QPoint(0, 5));
    mouse.moveTo(onLabel + QPoint(0, 20));
    mouse.moveTo(onLabel + QPoint(0, 50));
    mouse.release(onLabel + QPoint(0, 50));
    EXPECT_EQ(list.helpCell->mapTo(&window, QPoint()).y(), before + 50);
    EXPECT_TRUE(list.selected.empty());

    const QPoint movedLabel = label->mapTo(&window, QPoint(100, 20));
    mouse.press(movedLabel, 1000);
    mouse.release(movedLabel);
    ASSERT_EQ(list.selected.size(), 1u);
    EXPECT_EQ(list.selected[0], (IndexPath{2, 0}));

    // A label with a link keeps its clicks.
    auto* link = new QLabel(QStringLiteral("<a href=\"help\">Help</a>"), list.helpCell);
    link->show();
    table->reloadData();
    EXPECT_FALSE(link->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(label->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(TableViewTest, ATapOnATextFieldInARowFocusesTheFieldInsteadOfChoosingTheRow)
{
    auto* field = new QLineEdit(list.helpCell);
    field->setGeometry(100, 6, 150, 32);
    field->show();
    fingers.tap(list.helpCell, {120, 20});
    EXPECT_EQ(window.focusWidget(), field);
    EXPECT_TRUE(list.selected.empty());
    fingers.tap(list.helpCell, {20, 20}); // beside the field: the row
    ASSERT_EQ(list.selected.size(), 1u);
    EXPECT_EQ(list.selected[0], (IndexPath{2, 0}));
}

} // namespace

TEST(TableViewTeardown, ATableDestroyedWhileARowSlidesAwayTouchesNothingOfItsOwn)
{
    // The leaving row's animation ends when the table's widgets go, after
    // the table itself: its end must not reach back into the table.
    ScopedManualClock clock;
    ViewAnimation::setAnimationsEnabled(true);
    ComputerList list;
    auto* window = new QWidget;
    auto* table = new TableView(window);
    table->setGeometry(0, 0, 320, 460);
    table->setDataSource(&list);
    window->show();
    table->reloadData();
    list.commitEditingStyle(table, TableViewCellEditingStyle::Delete, {0, 0});
    list.helpCell = nullptr; // goes with the table
    delete window;
    ViewAnimation::setAnimationsEnabled(false);
    EXPECT_EQ(list.registered.size(), 2);
}
