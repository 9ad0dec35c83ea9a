// SPDX-License-Identifier: GPL-3.0-or-later
// A sectioned, scrolling table in the light grouped style: header titles,
// rows of cells, selection, swipe-to-delete, and animated row inserts and
// deletes. The data source and the delegate are not owned. A row's cell is
// asked for when the row first comes on screen (or is asked for itself):
// a long table costs what its screenful costs.
#pragma once

#include "platform/IndexPath.h"
#include "platform/TableViewDataSource.h"
#include "platform/TableViewTypes.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QScrollArea>
#include <memory>
#include <optional>

class QLabel;

namespace platform {

class TableViewCell;

class TableView : public QScrollArea {
    Q_OBJECT
    Q_PROPERTY(int rowHeight READ rowHeight WRITE setRowHeight)

public:
    explicit TableView(QWidget* parent = nullptr);
    explicit TableView(TableViewStyle style, QWidget* parent = nullptr);

    TableViewStyle style() const { return style_; }
    void setStyle(TableViewStyle style);

    TableViewDataSource* dataSource() const { return dataSource_; }
    void setDataSource(TableViewDataSource* dataSource) { dataSource_ = dataSource; }
    TableViewDelegate* delegate() const { return delegate_; }
    void setDelegate(TableViewDelegate* delegate) { delegate_ = delegate; }

    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);

    // Asks the data source for everything again.
    void reloadData();
    bool hasLoadedData() const { return loaded_; }

    int numberOfSections() const { return int(sections_.size()); }
    int numberOfRowsInSection(int section) const;
    QString headerTitleForSection(int section) const;
    QString footerTitleForSection(int section) const;
    // The label that shows a section's footer, or null when it has none.
    QLabel* footerViewForSection(int section) const;
    // The cell the table shows for a row (asked of the data source now if
    // the row has not been on screen yet), or null for no such row.
    TableViewCell* cellForRowAtIndexPath(const IndexPath& indexPath);
    std::optional<IndexPath> indexPathForCell(const TableViewCell* cell) const;
    // A cell that left the table and waits to be used again, or null.
    TableViewCell* dequeueReusableCellWithIdentifier(const QString& identifier);

    void selectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    void deselectRowAtIndexPath(const IndexPath& indexPath, bool animated);
    std::optional<IndexPath> indexPathForSelectedRow() const;

    // Changes between beginUpdates and endUpdates are applied together:
    // deletions by the old row numbers, insertions by the new ones. The data
    // source must already hold the new content.
    void beginUpdates();
    void endUpdates();
    void insertRowsAtIndexPaths(const QList<IndexPath>& indexPaths, TableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const QList<IndexPath>& indexPaths, TableViewRowAnimation animation);

    // The row whose delete button is shown, if any.
    std::optional<IndexPath> indexPathOfDeleteConfirmation() const;
    void hideDeleteConfirmation();

    // Where a row lies in the table's content (tests, scrolling to a row).
    QRect rectForRowAtIndexPath(const IndexPath& indexPath) const;
    void scrollBy(int dy);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class TableViewCell;
    struct Section {
        QString title;
        QString footerTitle;
        QLabel* header = nullptr;
        QLabel* footer = nullptr;
        QList<QPointer<TableViewCell>> cells; // null for a row not yet on screen
        QList<QRect> frames;                   // each row's place in the content; empty until laid out
        int top = 0; // where the section (its header, else its first row) begins in the content
    };
    struct RowChange {
        IndexPath indexPath;
        TableViewRowAnimation animation;
    };

    // True when the touch only put a shown delete button away.
    bool cellTouchBegan(TableViewCell* cell);
    void cellTapped(TableViewCell* cell);
    void cellSwiped(TableViewCell* cell);
    void commitDeleteOfCell(TableViewCell* cell);

    TableViewCell* fetchCell(const IndexPath& indexPath);
    // The row's cell, if it has been made.
    TableViewCell* madeCell(const IndexPath& indexPath) const;
    // Makes the row's cell and puts it in the row's place.
    TableViewCell* makeCell(int section, int row);
    // Makes the cells of the rows that lie on screen and have none yet.
    void makeCellsOnScreen();
    void adopt(TableViewCell* cell);
    void retire(TableViewCell* cell);
    void clearSections();
    void applyUpdates();
    // Places the headers and rows from `from` down; the rows above it have
    // not moved, so a change costs what lies below it, not the whole table.
    void layoutRows(bool animated, IndexPath from = IndexPath{0, 0});
    // Places the section's footer label at `y` (made or dropped as its
    // title asks) and returns the height it takes.
    int layoutFooter(Section& section, int y);
    int heightOfRow(const IndexPath& indexPath);
    bool consistentWithDataSource();

    TableViewStyle style_ = TableViewStyle::Grouped;
    TableViewDataSource* dataSource_ = nullptr;
    TableViewDelegate* delegate_ = nullptr;
    QWidget* content_;
    QList<Section> sections_;
    QHash<QString, QList<QPointer<TableViewCell>>> reusable_;
    QPointer<TableViewCell> selectedCell_;
    QPointer<TableViewCell> deleteConfirmation_;
    QList<RowChange> pendingDeletes_;
    QList<RowChange> pendingInserts_;
    int updateDepth_ = 0;
    int rowHeight_ = 44;
    bool loaded_ = false;
    // Gone before the widget's children: an animation of a leaving row that
    // ends because the table is being destroyed finds it expired.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace platform
