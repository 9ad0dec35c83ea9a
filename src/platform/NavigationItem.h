// SPDX-License-Identifier: GPL-3.0-or-later
// What a view controller shows in the navigation bar while it is on top:
// its title and the buttons at the left and the right.
#pragma once

#include <QAction>
#include <QObject>
#include <QPointer>

namespace platform {

class NavigationItem : public QObject {
    Q_OBJECT

public:
    explicit NavigationItem(QObject* parent = nullptr) : QObject(parent) {}

    QString title() const { return title_; }
    void setTitle(const QString& title);
    // The title of the back button that leads back to this item's screen;
    // empty means the title.
    QString backButtonTitle() const { return backButtonTitle_; }
    void setBackButtonTitle(const QString& title);

    QAction* rightBarButtonItem() const { return right_; }
    void setRightBarButtonItem(QAction* item);
    // Replaces the back button when set.
    QAction* leftBarButtonItem() const { return left_; }
    void setLeftBarButtonItem(QAction* item);
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides);

signals:
    void changed();

private:
    QString title_;
    QString backButtonTitle_;
    QPointer<QAction> right_;
    QPointer<QAction> left_;
    bool hidesBackButton_ = false;
};

} // namespace platform
