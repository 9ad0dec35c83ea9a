// SPDX-License-Identifier: GPL-3.0-or-later
// Where the app's controls lie in its window, and how its screens look at
// rest: the same start-up, forms and settings as the program under test, run
// in this process on the offscreen platform. It is moved from screen to
// screen by calling its controllers, never by touches, and nothing it does
// reaches the app under test; it only answers "where is the key H" and "what
// does the touch pad look like", so that the tests follow the layout as it is.
#pragma once

#include "e2e/RunningApp.h"
#include "e2e/XAppWindow.h"

#include <QByteArray>
#include <QPoint>
#include <vector>

class QAction;
class QWidget;

namespace e2e {

class AppLayout {
public:
    // Starts the app in this process on `settings` (the contents of its
    // settings file); its discovery sends nowhere.
    explicit AppLayout(const QByteArray& settings);
    ~AppLayout();

    MainViewController* main() const { return app_.main(); }
    QWidget* window() const { return app_.window(); }

    // The centre of a control, and a point of it, in window points.
    QPoint centerOf(const QWidget* widget) const;
    QPoint pointOf(const QWidget* widget, const QPoint& local) const;

    // The button of the alert in front, and the alert put away.
    QPoint alertButton() const;
    void dismissAlert();

    // The screens, as the app shows them after these steps.
    void showTab(int tab);
    // The computer list scrolled to `offset` points from its top (clamped).
    void scrollComputerList(int offset);
    int computerListScrollRange() const;
    // The centre of a row of the computer list as it lies now, and the
    // help text's rectangle.
    QPoint computerRow(int section, int row) const;
    QRect computerListHelpText() const;
    // The login screen of the registered computer in `row`, and its connect button.
    void showLoginOfRegistered(int row);
    QPoint connectButton() const;
    // The tab bar shown over the current screen or put away, and an item of it.
    void showTabBar();
    void hideTabBar();
    QPoint tabBarItem(QAction* item) const;
    QRect tabBarRect() const;

    // The flat-coloured points of the window as drawn now, below the status
    // bar strip.
    std::vector<Landmark> landmarks() const;

private:
    RunningApp app_;
};

} // namespace e2e
