// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TableViewController.h"

namespace platform {

TableViewController::TableViewController(QObject* parent) : ViewController(parent) {}

TableViewController::TableViewController(const QString& nibName, QObject* parent) : ViewController(nibName, parent) {}

TableView* TableViewController::tableView()
{
    if (!tableView_)
        view();
    return tableView_;
}

void TableViewController::setTableView(TableView* tableView)
{
    tableView_ = tableView;
    if (tableView) {
        tableView->setDataSource(this);
        tableView->setDelegate(this);
    }
}

void TableViewController::loadView()
{
    setView(new TableView(TableViewStyle::Grouped));
}

void TableViewController::viewWasLoaded()
{
    if (tableView_)
        return;
    QWidget* root = view();
    auto* table = qobject_cast<TableView*>(root);
    if (!table)
        table = root->findChild<TableView*>();
    setTableView(table);
}

void TableViewController::viewWillAppear(bool animated)
{
    TableView* table = tableView();
    if (!table)
        return;
    if (!table->hasLoadedData())
        table->reloadData();
    else if (clearsSelection_)
        if (auto selected = table->indexPathForSelectedRow())
            table->deselectRowAtIndexPath(*selected, animated);
}

int TableViewController::numberOfRowsInSection(TableView*, int)
{
    return 0;
}

TableViewCell* TableViewController::cellForRowAtIndexPath(TableView*, const IndexPath&)
{
    return nullptr;
}

} // namespace platform
