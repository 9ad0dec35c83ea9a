// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TableViewDataSource.h"

#include "platform/TableView.h"

namespace platform {

int TableViewDataSource::numberOfSectionsInTableView(TableView*) { return 1; }
QString TableViewDataSource::titleForHeaderInSection(TableView*, int) { return {}; }
QString TableViewDataSource::titleForFooterInSection(TableView*, int) { return {}; }
bool TableViewDataSource::canEditRowAtIndexPath(TableView*, const IndexPath&) { return false; }
void TableViewDataSource::commitEditingStyle(TableView*, TableViewCellEditingStyle, const IndexPath&) {}

void TableViewDelegate::didSelectRowAtIndexPath(TableView*, const IndexPath&) {}
TableViewCellEditingStyle TableViewDelegate::editingStyleForRowAtIndexPath(TableView*, const IndexPath&)
{
    return TableViewCellEditingStyle::Delete;
}
void TableViewDelegate::willBeginEditingRowAtIndexPath(TableView*, const IndexPath&) {}
void TableViewDelegate::didEndEditingRowAtIndexPath(TableView*, const IndexPath&) {}
int TableViewDelegate::heightForRowAtIndexPath(TableView* tableView, const IndexPath&)
{
    return tableView->rowHeight();
}

} // namespace platform
