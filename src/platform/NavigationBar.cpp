// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/NavigationBar.h"

#include "platform/BarButtonItem.h"
#include "platform/Button.h"
#include "platform/Theme.h"

#include <QPainter>
#include <QtMath>

namespace platform {

namespace {
constexpr int kSideMargin = 8;

Button* makeBarButton(QWidget* parent)
{
    auto* button = new Button(Button::Custom, parent);
    button->setFont(theme::font(16));
    button->setTitleColor(theme::tint());
    button->setTitleColor(theme::tint().lighter(160), ControlStateHighlighted);
    button->setTitleColor(theme::secondaryLabel(), ControlStateDisabled);
    button->setAdjustsImageWhenHighlighted(false);
    button->setTouchMargin(12);
    button->hide();
    return button;
}
} // namespace

NavigationBar::NavigationBar(QWidget* parent)
    : QWidget(parent), back_(makeBarButton(this)), left_(makeBarButton(this)), right_(makeBarButton(this))
{
    back_->addTarget(this, Control::Action([this](Control*, Event*) { emit backTapped(); }), ControlEventTouchUpInside);
    left_->addTarget(this, Control::Action([this](Control*, Event*) {
        if (leftAction_ && leftAction_->isEnabled())
            leftAction_->trigger();
    }), ControlEventTouchUpInside);
    right_->addTarget(this, Control::Action([this](Control*, Event*) {
        if (rightAction_ && rightAction_->isEnabled())
            rightAction_->trigger();
    }), ControlEventTouchUpInside);
}

QSize NavigationBar::sizeHint() const
{
    return {phone::kScreenWidth, phone::kNavigationBarHeight};
}

void NavigationBar::showItem(NavigationItem* item, const QString& backTitle)
{
    if (itemConnection_)
        disconnect(itemConnection_);
    item_ = item;
    backTitle_ = backTitle;
    if (item)
        itemConnection_ = connect(item, &NavigationItem::changed, this, &NavigationBar::refresh);
    refresh();
}

QString NavigationBar::title() const
{
    return item_ ? item_->title() : QString();
}

void NavigationBar::bindButton(Button* button, QAction* action)
{
    if (!action) {
        button->hide();
        return;
    }
    button->setTitle(action->text());
    button->setImage(action->icon().pixmap(22, 22));
    button->setFont(theme::font(16, BarButtonItem::styleOf(action) == BarButtonItem::Done ? QFont::DemiBold : QFont::Normal));
    button->setEnabled(action->isEnabled());
    button->show();
}

void NavigationBar::refresh()
{
    QAction* left = item_ ? item_->leftBarButtonItem() : nullptr;
    QAction* right = item_ ? item_->rightBarButtonItem() : nullptr;
    for (QAction* action : {leftAction_.data(), rightAction_.data()})
        if (action)
            disconnect(action, &QAction::changed, this, &NavigationBar::refresh);
    leftAction_ = left;
    rightAction_ = right;
    for (QAction* action : {left, right})
        if (action)
            connect(action, &QAction::changed, this, &NavigationBar::refresh, Qt::UniqueConnection);

    bindButton(left_, left);
    bindButton(right_, right);
    const bool showBack = !left && !backTitle_.isEmpty() && !(item_ && item_->hidesBackButton());
    // A long title of the screen below gives way to a plain "Back".
    QString backTitle = backTitle_;
    const int titleWidth = QFontMetrics(theme::font(17, QFont::DemiBold)).horizontalAdvance(title());
    const int room = (width() - titleWidth) / 2 - kSideMargin;
    if (QFontMetrics(back_->font()).horizontalAdvance(QStringLiteral("\u2039 ") + backTitle) + 4 > room)
        backTitle = tr("Back");
    back_->setTitle(QStringLiteral("\u2039 ") + backTitle);
    back_->setVisible(showBack);
    layoutParts();
    update();
}

void NavigationBar::layoutParts()
{
    const int h = height();
    auto place = [h](Button* button, int x, bool fromRight, int maxWidth) {
        const int width = qMin(button->sizeHint().width(), maxWidth);
        button->setGeometry(fromRight ? x - width : x, 0, width, h);
    };
    const int maxSide = width() / 3;
    place(back_, kSideMargin / 2, false, qMax(maxSide, (width() - QFontMetrics(theme::font(17, QFont::DemiBold)).horizontalAdvance(title())) / 2 - kSideMargin));
    place(left_, kSideMargin / 2, false, maxSide);
    place(right_, width() - kSideMargin / 2, true, maxSide);
}

void NavigationBar::resizeEvent(QResizeEvent*)
{
    refresh();
}

void NavigationBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), theme::barBackground());
    painter.fillRect(QRect(0, height() - 1, width(), 1), theme::separator());
    painter.setFont(theme::font(17, QFont::DemiBold));
    painter.setPen(theme::label());
    painter.drawText(titleRect(), Qt::AlignCenter, displayedTitle());
}

QRect NavigationBar::titleRect() const
{
    // The title keeps to the middle of the bar when it fits between the
    // buttons shown, and moves aside (or shortens) when it does not.
    int left = kSideMargin;
    int right = width() - kSideMargin;
    for (const Button* button : {back_, left_})
        if (button->isVisibleTo(this))
            left = qMax(left, button->geometry().right() + 4);
    if (right_->isVisibleTo(this))
        right = qMin(right, right_->geometry().left() - 4);
    // Rounded up: a width rounded down would shorten a title that fits.
    const int textWidth = qCeil(QFontMetricsF(theme::font(17, QFont::DemiBold)).horizontalAdvance(title()));
    QRect area((width() - textWidth) / 2, 0, textWidth, height() - 1);
    if (area.left() < left || area.right() > right)
        area = QRect(left, 0, qMax(0, right - left), height() - 1);
    return area;
}

QString NavigationBar::displayedTitle() const
{
    return QFontMetricsF(theme::font(17, QFont::DemiBold)).elidedText(title(), Qt::ElideRight, titleRect().width());
}

} // namespace platform
