// SPDX-License-Identifier: GPL-3.0-or-later
// A screen: a QObject that owns a view. The view loads on first access
// (loadView, then viewDidLoad once); whoever shows or hides the view makes
// the appearance calls (viewWillAppear and the rest).
//
// A screen with a Designer form loads it in its loadView:
//
//     void loadView() override { loadViewFromForm(ui); }   // Ui::LoginView ui;
#pragma once

#include "platform/InterfaceOrientation.h"
#include "platform/NavigationItem.h"
#include "platform/View.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace platform {

class NavigationController;

class ViewController : public QObject {
    Q_OBJECT

public:
    explicit ViewController(QObject* parent = nullptr);
    // The name of the interface file the screen is made from.
    explicit ViewController(const QString& nibName, QObject* parent = nullptr);
    ~ViewController() override;

    QString nibName() const { return nibName_; }

    // Loads the view the first time it is asked for.
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }
    void setView(QWidget* view);

    QString title() const { return navigationItem()->title(); }
    void setTitle(const QString& title) { navigationItem()->setTitle(title); }
    NavigationItem* navigationItem() const { return navigationItem_; }
    // The navigation stack this screen is on, if any.
    NavigationController* navigationController() const;

    virtual void loadView();
    virtual void viewDidLoad() {}
    virtual void viewWillAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidAppear(bool animated) { Q_UNUSED(animated); }
    virtual void viewWillDisappear(bool animated) { Q_UNUSED(animated); }
    virtual void viewDidDisappear(bool animated) { Q_UNUSED(animated); }
    virtual bool shouldAutorotateToInterfaceOrientation(InterfaceOrientation orientation)
    {
        return orientation == InterfaceOrientation::Portrait;
    }
    virtual void didReceiveMemoryWarning() {}

protected:
    // Builds the view from a uic form (anything with setupUi(QWidget*)) and
    // wakes the platform views in it.
    template <class Form>
    void loadViewFromForm(Form& form)
    {
        auto* root = new QWidget;
        form.setupUi(root);
        setView(root);
        View::awakeAllFromNib(root);
    }
    // Runs between loadView and viewDidLoad; base classes find their parts here.
    virtual void viewWasLoaded() {}

private:
    friend class NavigationController;
    QString nibName_;
    QPointer<QWidget> view_;
    NavigationItem* navigationItem_;
    QPointer<NavigationController> navigationController_;
    bool loading_ = false;
};

} // namespace platform
