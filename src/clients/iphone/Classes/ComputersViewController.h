// SPDX-License-Identifier: GPL-3.0-or-later
// The connection tab's container: a navigation stack whose root is the
// computer list, with the login and register screens pushed on it. It passes
// its appearance calls on to the stack and remembers which tab to go back to.
#pragma once

#include "platform/BarButtonItem.h"
#include "platform/NavigationController.h"
#include "platform/ViewController.h"

#include <QPointer>

class ComputerListViewController;
class RegisterComputerViewController;

class ComputersViewController : public platform::ViewController {
    Q_OBJECT

public:
    // Made from the interface file "ComputersView" (with the list).
    explicit ComputersViewController(QObject* parent = nullptr);

    ComputerListViewController* listViewController() const { return listViewController_; }
    platform::NavigationController* naviController() const { return naviController_; }
    // The cancel button, at the left of the list's navigation bar.
    QAction* cancelItem() const { return cancelItem_; }
    RegisterComputerViewController* regViewController() const { return regViewController_; }

    // The tab that was shown before this one; cancel goes back to it.
    void setPreviouseViewIndex(int index) { previousViewIndex_ = index; }
    int getPreviouseViewIndex() const { return previousViewIndex_; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation orientation) override;

    // Posts "Goto TabBar" with the previous tab's index.
    void selectedCancel(QObject* sender);

protected:
    // The stack fills the container, as tall as the main view makes it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ComputerListViewController* listViewController_;
    RegisterComputerViewController* regViewController_;
    platform::NavigationController* naviController_;
    QAction* cancelItem_;
    int previousViewIndex_ = 0;
};
