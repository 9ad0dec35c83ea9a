// SPDX-License-Identifier: GPL-3.0-or-later
// What a table asks of its screen: the content (data source) and what to do
// when the user acts on a row (delegate). A screen usually is both.
#pragma once

#include "platform/IndexPath.h"
#include "platform/TableViewTypes.h"

#include <QString>

namespace platform {

class TableView;
class TableViewCell;

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    virtual int numberOfSectionsInTableView(TableView* tableView);
    virtual int numberOfRowsInSection(TableView* tableView, int section) = 0;
    // The table takes the cell into its view; a cell it already shows, or one
    // from dequeueReusableCellWithIdentifier, may be returned again.
    virtual TableViewCell* cellForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath) = 0;
    virtual QString titleForHeaderInSection(TableView* tableView, int section);
    // A note below the section's rows; empty for none.
    virtual QString titleForFooterInSection(TableView* tableView, int section);
    // Only rows that can be edited offer the swipe-to-delete button.
    virtual bool canEditRowAtIndexPath(TableView* tableView, const IndexPath& indexPath);
    virtual void commitEditingStyle(TableView* tableView, TableViewCellEditingStyle style, const IndexPath& indexPath);
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;

    virtual void didSelectRowAtIndexPath(TableView* tableView, const IndexPath& indexPath);
    virtual TableViewCellEditingStyle editingStyleForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath);
    virtual void willBeginEditingRowAtIndexPath(TableView* tableView, const IndexPath& indexPath);
    virtual void didEndEditingRowAtIndexPath(TableView* tableView, const IndexPath& indexPath);
    // Defaults to the table's row height.
    virtual int heightForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath);
};

} // namespace platform
