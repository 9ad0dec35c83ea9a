// SPDX-License-Identifier: GPL-3.0-or-later
// A screen whose content is a table; it is the table's data source and
// delegate. Without a form it makes a grouped table as its view; with a form
// it takes the first TableView in it.
#pragma once

#include "platform/TableView.h"
#include "platform/TableViewDataSource.h"
#include "platform/ViewController.h"

namespace platform {

class TableViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    explicit TableViewController(QObject* parent = nullptr);
    explicit TableViewController(const QString& nibName, QObject* parent = nullptr);

    TableView* tableView();
    void setTableView(TableView* tableView);

    // Deselect the row that led away from this screen when it comes back.
    bool clearsSelectionOnViewWillAppear() const { return clearsSelection_; }
    void setClearsSelectionOnViewWillAppear(bool clears) { clearsSelection_ = clears; }

    void loadView() override;
    // Fills the table the first time; clears a selection if asked to.
    void viewWillAppear(bool animated) override;

    int numberOfRowsInSection(TableView* tableView, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath) override;

protected:
    void viewWasLoaded() override;

private:
    QPointer<TableView> tableView_;
    bool clearsSelection_ = true;
};

} // namespace platform
