// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComputersViewController.h"

#include "ComputerListViewController.h"
#include "NotificationNames.h"
#include "RegisterComputerViewController.h"

#include "platform/NotificationCenter.h"
#include "platform/PhoneLook.h"
#include "platform/Theme.h"

#include <QEvent>
#include <QPalette>

ComputersViewController::ComputersViewController(QObject* parent)
    : platform::ViewController(QStringLiteral("ComputersView"), parent)
    , listViewController_(new ComputerListViewController(this))
    , regViewController_(new RegisterComputerViewController(this))
    , naviController_(new platform::NavigationController(listViewController_, this))
    , cancelItem_(new platform::BarButtonItem(tr("Cancel"), platform::BarButtonItem::Plain, this))
{
    listViewController_->setRegViewController(regViewController_);
    listViewController_->navigationItem()->setLeftBarButtonItem(cancelItem_);
    connect(cancelItem_, &QAction::triggered, this, [this] { selectedCancel(cancelItem_); });
}

void ComputersViewController::viewDidLoad()
{
    platform::ViewController::viewDidLoad();
    QWidget* container = view();
    const QSize size(platform::phone::kScreenWidth, platform::phone::kContentHeight);
    container->resize(size);
    // Opaque: whatever lies under it is not drawn at all.
    container->setAutoFillBackground(true);
    QPalette palette = container->palette();
    palette.setColor(QPalette::Window, platform::theme::groupedBackground());
    container->setPalette(palette);
    QWidget* navigation = naviController_->view();
    navigation->setParent(container);
    navigation->setGeometry(QRect(QPoint(0, 0), size));
    navigation->show();
    container->installEventFilter(this);
    // The list loads with the stack's view above; it appears now, so that
    // discovery starts as soon as the connection screens exist.
    naviController_->viewWillAppear(false);
    naviController_->viewDidAppear(false);
}

// The stack passes each appearance call on to its top screen.
void ComputersViewController::viewWillAppear(bool animated)
{
    platform::ViewController::viewWillAppear(animated);
    naviController_->viewWillAppear(animated);
}

void ComputersViewController::viewDidAppear(bool animated)
{
    platform::ViewController::viewDidAppear(animated);
    naviController_->viewDidAppear(animated);
}

void ComputersViewController::viewWillDisappear(bool animated)
{
    platform::ViewController::viewWillDisappear(animated);
    naviController_->viewWillDisappear(animated);
}

void ComputersViewController::viewDidDisappear(bool animated)
{
    platform::ViewController::viewDidDisappear(animated);
    naviController_->viewDidDisappear(animated);
}

bool ComputersViewController::shouldAutorotateToInterfaceOrientation(platform::InterfaceOrientation)
{
    return false;
}

void ComputersViewController::selectedCancel(QObject*)
{
    platform::NotificationCenter::defaultCenter().postNotification(notification::kGotoTabBar, previousViewIndex_);
}

bool ComputersViewController::eventFilter(QObject* watched, QEvent* event)
{
    if (isViewLoaded() && watched == view() && event->type() == QEvent::Resize)
        naviController_->view()->setGeometry(view()->rect());
    return platform::ViewController::eventFilter(watched, event);
}
