// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ViewController.h"

#include "platform/NavigationController.h"

namespace platform {

ViewController::ViewController(QObject* parent) : ViewController(QString(), parent) {}

ViewController::ViewController(const QString& nibName, QObject* parent)
    : QObject(parent), nibName_(nibName), navigationItem_(new NavigationItem(this))
{
}

ViewController::~ViewController()
{
    // The screen's view goes with the screen, wherever it has been placed.
    delete view_.data();
}

QWidget* ViewController::view()
{
    if (view_ || loading_)
        return view_;
    loading_ = true;
    loadView();
    if (!view_)
        setView(new QWidget);
    loading_ = false;
    viewWasLoaded();
    viewDidLoad();
    return view_;
}

void ViewController::setView(QWidget* view)
{
    view_ = view;
}

void ViewController::loadView()
{
    setView(new QWidget);
}

NavigationController* ViewController::navigationController() const
{
    return navigationController_.data();
}

} // namespace platform
