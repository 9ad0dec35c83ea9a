// SPDX-License-Identifier: GPL-3.0-or-later
// The bar of tabs at the bottom of the main view. Its items are QActions
// carrying a tag (TabBarItem, or any action with a "tag" property, so that
// they can come from a Designer form); tapping one selects it and triggers it.
#pragma once

#include <QAction>
#include <QList>
#include <QPointer>
#include <QWidget>

namespace platform {

class TabBarItem : public QAction {
    Q_OBJECT
    Q_PROPERTY(int tag READ tag WRITE setTag)

public:
    explicit TabBarItem(QObject* parent = nullptr);
    TabBarItem(const QString& title, const QIcon& image, int tag, QObject* parent = nullptr);

    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }

private:
    int tag_ = 0;
};

class TabBar : public QWidget {
    Q_OBJECT

public:
    explicit TabBar(QWidget* parent = nullptr);

    QList<QAction*> items() const;
    void setItems(const QList<QAction*>& items);
    QAction* selectedItem() const { return selected_; }
    void setSelectedItem(QAction* item);
    // The tag of an item, from its "tag" property.
    static int tagOf(const QAction* item);
    // Acts as a tap on the item: selects it, reports it and triggers it.
    void tapItem(QAction* item);
    QRect rectForItem(const QAction* item) const;

    QSize sizeHint() const override;

signals:
    void didSelectItem(QAction* item);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuildButtons();

    QList<QPointer<QAction>> items_;
    QList<QWidget*> buttons_;
    QPointer<QAction> selected_;
};

} // namespace platform
