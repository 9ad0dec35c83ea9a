// SPDX-License-Identifier: GPL-3.0-or-later
// A stack of screens under a navigation bar. Pushing slides the new screen
// in from the right; the back button and the pops slide it out again.
//
// A pushed screen without a QObject parent is owned by the stack and deleted
// once it is popped; a screen with a parent (kept by someone for reuse) is
// only taken off the stack.
//
// The stack passes appearance calls to the screens it pushes and pops only
// while it is itself on screen, as told by its own appearance calls.
#pragma once

#include "platform/ViewController.h"

#include <QList>

namespace platform {

class NavigationBar;

class NavigationController : public ViewController {
    Q_OBJECT

public:
    explicit NavigationController(ViewController* rootViewController, QObject* parent = nullptr);

    void pushViewController(ViewController* viewController, bool animated);
    // Returns the screen taken off, or null at the root.
    ViewController* popViewControllerAnimated(bool animated);
    QList<ViewController*> popToRootViewControllerAnimated(bool animated);

    ViewController* topViewController() const;
    QList<ViewController*> viewControllers() const;

    NavigationBar* navigationBar();
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden);

    void loadView() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidDisappear(bool animated) override;

private:
    class StackView;
    void showTop(ViewController* previous, bool animated, bool forward);
    void refreshBar();
    QRect contentRect() const;
    void layoutContent();
    void release(ViewController* viewController);

    QList<QPointer<ViewController>> stack_;
    QList<ViewController*> owned_;
    NavigationBar* bar_ = nullptr;
    QWidget* content_ = nullptr;
    bool onScreen_ = false;
    bool barHidden_ = false;
};

} // namespace platform
