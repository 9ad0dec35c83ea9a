// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NavigationController.h"

#include "platform/NavigationBar.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <QResizeEvent>

namespace platform {

// The navigation view: the bar above, the top screen's view below it.
class NavigationController::StackView : public QWidget {
public:
    explicit StackView(NavigationController* owner) : owner_(owner) {}

protected:
    void resizeEvent(QResizeEvent*) override { owner_->layoutContent(); }

private:
    NavigationController* owner_;
};

NavigationController::NavigationController(ViewController* rootViewController, QObject* parent)
    : ViewController(parent)
{
    if (rootViewController)
        pushViewController(rootViewController, false);
}

void NavigationController::loadView()
{
    auto* root = new StackView(this);
    root->resize(phone::kScreenWidth, phone::kContentHeight);
    content_ = new QWidget(root);
    bar_ = new NavigationBar(root);
    connect(bar_, &NavigationBar::backTapped, this, [this] { popViewControllerAnimated(true); });
    setView(root);
    layoutContent();
    showTop(nullptr, false, true);
}

NavigationBar* NavigationController::navigationBar()
{
    view();
    return bar_;
}

void NavigationController::setNavigationBarHidden(bool hidden)
{
    barHidden_ = hidden;
    if (isViewLoaded())
        layoutContent();
}

QRect NavigationController::contentRect() const
{
    return QRect(QPoint(0, 0), content_->size());
}

void NavigationController::layoutContent()
{
    QWidget* root = content_ ? content_->parentWidget() : nullptr;
    if (!root)
        return;
    const int top = barHidden_ ? 0 : phone::kNavigationBarHeight;
    bar_->setGeometry(0, 0, root->width(), phone::kNavigationBarHeight);
    bar_->setVisible(!barHidden_);
    content_->setGeometry(0, top, root->width(), qMax(0, root->height() - top));
    if (ViewController* top = topViewController(); top && top->isViewLoaded())
        top->view()->setGeometry(contentRect());
}

ViewController* NavigationController::topViewController() const
{
    for (int i = int(stack_.size()) - 1; i >= 0; --i)
        if (stack_[i])
            return stack_[i];
    return nullptr;
}

QList<ViewController*> NavigationController::viewControllers() const
{
    QList<ViewController*> list;
    for (const auto& entry : stack_)
        if (entry)
            list.append(entry);
    return list;
}

void NavigationController::pushViewController(ViewController* viewController, bool animated)
{
    if (!viewController || viewControllers().contains(viewController))
        return;
    ViewController* previous = topViewController();
    if (!viewController->parent()) {
        viewController->setParent(this);
        owned_.append(viewController);
    }
    viewController->navigationController_ = this;
    stack_.append(viewController);
    if (isViewLoaded())
        showTop(previous, animated, true);
}

ViewController* NavigationController::popViewControllerAnimated(bool animated)
{
    if (viewControllers().size() <= 1)
        return nullptr;
    ViewController* popped = topViewController();
    stack_.removeAll(QPointer<ViewController>(popped));
    if (isViewLoaded())
        showTop(popped, animated, false);
    else
        release(popped);
    return popped;
}

QList<ViewController*> NavigationController::popToRootViewControllerAnimated(bool animated)
{
    QList<ViewController*> popped;
    const QList<ViewController*> all = viewControllers();
    if (all.size() <= 1)
        return popped;
    ViewController* top = all.last();
    // The screens between the root and the top go at once; only the top one slides.
    for (int i = 1; i < int(all.size()) - 1; ++i) {
        popped.append(all[i]);
        stack_.removeAll(QPointer<ViewController>(all[i]));
        if (all[i]->isViewLoaded())
            all[i]->view()->hide();
        release(all[i]);
    }
    stack_.removeAll(QPointer<ViewController>(top));
    popped.append(top);
    if (isViewLoaded())
        showTop(top, animated, false);
    else
        release(top);
    return popped;
}

void NavigationController::release(ViewController* viewController)
{
    if (!viewController)
        return;
    if (viewController->navigationController_ == this)
        viewController->navigationController_ = nullptr;
    if (owned_.removeAll(viewController) > 0)
        viewController->deleteLater();
}

void NavigationController::refreshBar()
{
    const QList<ViewController*> all = viewControllers();
    QString backTitle;
    if (all.size() > 1) {
        NavigationItem* below = all[all.size() - 2]->navigationItem();
        backTitle = !below->backButtonTitle().isEmpty() ? below->backButtonTitle()
                  : !below->title().isEmpty()           ? below->title()
                                                        : tr("Back");
    }
    bar_->showItem(all.isEmpty() ? nullptr : all.last()->navigationItem(), backTitle);
}

void NavigationController::showTop(ViewController* previous, bool animated, bool forward)
{
    ViewController* top = topViewController();
    refreshBar();
    if (top == previous)
        return;
    const bool tellAppearance = onScreen_;
    // On a pop the screen that goes away is no longer on the stack.
    const bool previousLeaves = !forward;
    if (tellAppearance) {
        if (previous)
            previous->viewWillDisappear(animated);
        if (top)
            top->viewWillAppear(animated);
    }
    const QRect area = contentRect();
    QWidget* incoming = top ? top->view() : nullptr;
    QWidget* outgoing = previous && previous->isViewLoaded() ? previous->view() : nullptr;
    if (incoming) {
        incoming->setParent(content_);
        incoming->setGeometry(area);
        incoming->show();
        incoming->raise();
    }
    QPointer<ViewController> previousGuard(previous);
    QPointer<ViewController> topGuard(top);
    QPointer<QWidget> outgoingGuard(outgoing);
    auto finish = [this, previousGuard, topGuard, outgoingGuard, tellAppearance, animated, previousLeaves] {
        if (outgoingGuard && topViewController() != previousGuard)
            outgoingGuard->hide();
        if (tellAppearance) {
            if (previousGuard)
                previousGuard->viewDidDisappear(animated);
            if (topGuard)
                topGuard->viewDidAppear(animated);
        }
        if (previousLeaves)
            release(previousGuard);
    };
    if (!animated || !incoming || !outgoing || !ViewAnimation::animationsEnabled()) {
        finish();
        return;
    }
    const int width = area.width();
    ViewAnimation animation;
    if (forward) {
        incoming->setGeometry(area.translated(width, 0));
        animation.setFrame(incoming, area).setFrame(outgoing, area.translated(-width / 3, 0));
    } else {
        outgoing->raise();
        incoming->setGeometry(area.translated(-width / 3, 0));
        animation.setFrame(incoming, area).setFrame(outgoing, area.translated(width, 0));
    }
    animation.whenFinished([finish, outgoingGuard, area] {
        if (outgoingGuard)
            outgoingGuard->setGeometry(area);
        finish();
    });
    animation.commit();
}

void NavigationController::viewWillAppear(bool animated)
{
    if (ViewController* top = topViewController())
        top->viewWillAppear(animated);
}

void NavigationController::viewDidAppear(bool animated)
{
    onScreen_ = true;
    if (ViewController* top = topViewController())
        top->viewDidAppear(animated);
}

void NavigationController::viewWillDisappear(bool animated)
{
    if (ViewController* top = topViewController())
        top->viewWillDisappear(animated);
}

void NavigationController::viewDidDisappear(bool animated)
{
    onScreen_ = false;
    if (ViewController* top = topViewController())
        top->viewDidDisappear(animated);
}

} // namespace platform
