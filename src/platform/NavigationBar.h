// SPDX-License-Identifier: GPL-3.0-or-later
// The bar at the top of a navigation stack: the top screen's title in the
// middle, a back button (or the screen's left button) and its right button.
#pragma once

#include "platform/NavigationItem.h"

#include <QPointer>
#include <QWidget>

namespace platform {

class Button;

class NavigationBar : public QWidget {
    Q_OBJECT

public:
    explicit NavigationBar(QWidget* parent = nullptr);

    // The item shown and the title of the back button (empty: no back button).
    void showItem(NavigationItem* item, const QString& backTitle);
    NavigationItem* topItem() const { return item_; }

    QString title() const;
    // The title as drawn: shortened only when it does not fit beside the buttons.
    QString displayedTitle() const;
    Button* backButton() const { return back_; }
    Button* leftButton() const { return left_; }
    Button* rightButton() const { return right_; }

    QSize sizeHint() const override;

signals:
    void backTapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void layoutParts();
    QRect titleRect() const;
    void bindButton(Button* button, QAction* action);

    QPointer<NavigationItem> item_;
    QMetaObject::Connection itemConnection_;
    QString backTitle_;
    Button* back_;
    Button* left_;
    Button* right_;
    QPointer<QAction> leftAction_;
    QPointer<QAction> rightAction_;
};

} // namespace platform
