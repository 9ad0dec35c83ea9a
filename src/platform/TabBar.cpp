// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TabBar.h"

#include "platform/Control.h"
#include "platform/Theme.h"

#include <QPainter>

namespace platform {

namespace {
// One tab: draws its item's icon and title, tinted when selected.
class TabButton : public Control {
public:
    TabButton(TabBar* bar, QAction* item) : Control(bar), bar_(bar), item_(item) { setTouchMargin(0); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!item_)
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const bool selected = bar_->selectedItem() == item_;
        QColor color = selected ? theme::tint() : theme::secondaryLabel();
        if (!item_->isEnabled())
            color.setAlpha(90);
        if (isHighlighted())
            color = color.darker(130);
        const QRectF iconArea(0, 4, width(), height() - 20);
        const QIcon icon = item_->icon();
        if (!icon.isNull()) {
            const QSize size(26, 26);
            QPixmap pixmap = icon.pixmap(size, devicePixelRatioF());
            // Icons are drawn as shapes in the bar's tint, whatever their colour.
            QPainter tint(&pixmap);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(pixmap.rect(), color);
            tint.end();
            const QRectF target(QPointF(iconArea.center().x() - 13, iconArea.center().y() - 13), QSizeF(size));
            painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
        }
        painter.setPen(color);
        painter.setFont(theme::font(10, QFont::Medium));
        const QRect textArea(0, height() - 17, width(), 14);
        painter.drawText(textArea, Qt::AlignCenter,
                         painter.fontMetrics().elidedText(item_->text(), Qt::ElideRight, width() - 4));
    }

private:
    TabBar* bar_;
    QPointer<QAction> item_;
};
} // namespace

TabBarItem::TabBarItem(QObject* parent) : QAction(parent) {}

TabBarItem::TabBarItem(const QString& title, const QIcon& image, int tag, QObject* parent)
    : QAction(image, title, parent), tag_(tag)
{
}

TabBar::TabBar(QWidget* parent) : QWidget(parent) {}

QSize TabBar::sizeHint() const
{
    return {phone::kScreenWidth, phone::kTabBarHeight};
}

int TabBar::tagOf(const QAction* item)
{
    return item ? item->property("tag").toInt() : 0;
}

QList<QAction*> TabBar::items() const
{
    QList<QAction*> list;
    for (const auto& item : items_)
        if (item)
            list.append(item);
    return list;
}

void TabBar::setItems(const QList<QAction*>& items)
{
    items_.clear();
    for (QAction* item : items) {
        items_.append(item);
        connect(item, &QAction::changed, this, qOverload<>(&QWidget::update), Qt::UniqueConnection);
    }
    if (!items.contains(selected_))
        selected_ = nullptr;
    rebuildButtons();
}

void TabBar::setSelectedItem(QAction* item)
{
    selected_ = item;
    for (QWidget* button : std::as_const(buttons_))
        button->update();
}

void TabBar::tapItem(QAction* item)
{
    if (!item || !item->isEnabled() || !items().contains(item))
        return;
    setSelectedItem(item);
    QPointer<QAction> guard(item);
    emit didSelectItem(item);
    if (guard)
        guard->trigger();
}

QRect TabBar::rectForItem(const QAction* item) const
{
    const int index = int(items().indexOf(const_cast<QAction*>(item)));
    return index >= 0 && index < buttons_.size() ? buttons_[index]->geometry() : QRect();
}

void TabBar::rebuildButtons()
{
    qDeleteAll(buttons_);
    buttons_.clear();
    for (QAction* item : items()) {
        auto* button = new TabButton(this, item);
        button->addTarget(this, Control::Action([this, guard = QPointer<QAction>(item)](Control*, Event*) {
            tapItem(guard);
        }), ControlEventTouchUpInside);
        button->show();
        buttons_.append(button);
    }
    resizeEvent(nullptr);
    update();
}

void TabBar::resizeEvent(QResizeEvent*)
{
    const int count = int(buttons_.size());
    for (int i = 0; i < count; ++i) {
        const int left = width() * i / count;
        const int right = width() * (i + 1) / count;
        buttons_[i]->setGeometry(left, 1, right - left, height() - 1);
    }
}

void TabBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), theme::barBackground());
    painter.fillRect(QRect(0, 0, width(), 1), theme::separator());
}

} // namespace platform
