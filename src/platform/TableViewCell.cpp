// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TableViewCell.h"

#include "platform/Button.h"
#include "platform/TableView.h"
#include "platform/Theme.h"
#include "platform/TouchTracker.h"
#include "platform/ViewAnimation.h"

#include <QPainter>
#include <QPainterPath>

namespace platform {

namespace {
constexpr int kTextInset = 16;
constexpr int kAccessorySpace = 34;
constexpr int kDeleteWidth = 82;
// A sideways swipe this long shows the delete button.
constexpr qreal kSwipeDistance = 30;
} // namespace

TableViewCell::TableViewCell(QWidget* parent)
    : View(parent)
    , contentView_(new QWidget(this))
    , textLabel_(new QLabel(contentView_))
    , deleteButton_(new Button(Button::Custom, this))
{
    textLabel_->setFont(theme::font(17));
    QPalette palette = textLabel_->palette();
    palette.setColor(QPalette::WindowText, theme::label());
    textLabel_->setPalette(palette);
    textLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);

    deleteButton_->setTitle(tr("Delete"));
    deleteButton_->setTitleColor(Qt::white);
    deleteButton_->setFont(theme::font(16, QFont::DemiBold));
    // The cell paints the button's red, inside its own rounded card.
    deleteButton_->installEventFilter(this);
    deleteButton_->setTouchMargin(0);
    deleteButton_->hide();
    deleteButton_->addTarget(this, Control::Action([this](Control*, Event*) {
        if (tableView_)
            tableView_->commitDeleteOfCell(this);
    }), ControlEventTouchUpInside);
    resize(phone::kScreenWidth, phone::kRowHeight);
    layoutParts();
}

TableViewCell::TableViewCell(const QRect& frame, const QString& reuseIdentifier, QWidget* parent)
    : TableViewCell(parent)
{
    reuseIdentifier_ = reuseIdentifier;
    if (!frame.isEmpty())
        setGeometry(frame);
}

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type)
{
    accessory_ = type;
    layoutParts();
    update();
}

void TableViewCell::setSelectionStyle(TableViewCellSelectionStyle style)
{
    selectionStyle_ = style;
    update();
}

void TableViewCell::setSelected(bool selected, bool)
{
    selected_ = selected;
    update();
}

void TableViewCell::setHighlighted(bool highlighted)
{
    highlighted_ = highlighted;
    update();
}

bool TableViewCell::showingDeleteConfirmation() const
{
    return deleteButton_->isVisibleTo(this);
}

void TableViewCell::setShowingDeleteConfirmation(bool showing, bool animated)
{
    if (showing == showingDeleteConfirmation())
        return;
    const QRect shown(width() - kDeleteWidth, 0, kDeleteWidth, height());
    if (showing) {
        deleteButton_->setGeometry(shown.translated(kDeleteWidth, 0));
        deleteButton_->show();
        deleteButton_->raise();
        ViewAnimation animation(animated ? 0.2 : 0);
        animation.setFrame(deleteButton_, shown).commit();
    } else {
        deleteButton_->hide();
    }
}

void TableViewCell::passMouseThroughLabels()
{
    // A rich-text label takes mouse presses for its links even when it has
    // none; one that selects text, or has a link, keeps them.
    for (QLabel* label : findChildren<QLabel*>()) {
        const Qt::TextInteractionFlags flags = label->textInteractionFlags();
        const bool interactive = (flags & (Qt::TextSelectableByMouse | Qt::TextEditable))
                                 || ((flags & Qt::LinksAccessibleByMouse) && label->text().contains(QLatin1String("href")));
        if (!interactive)
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
}

void TableViewCell::setGroupPosition(bool first, bool last, bool grouped)
{
    first_ = first;
    last_ = last;
    grouped_ = grouped;
    update();
}

int TableViewCell::accessoryWidth() const
{
    return accessory_ == TableViewCellAccessoryType::None ? 0 : kAccessorySpace;
}

void TableViewCell::layoutParts()
{
    contentView_->setGeometry(0, 0, width() - accessoryWidth(), height());
    textLabel_->setGeometry(kTextInset, 0, qMax(0, contentView_->width() - kTextInset - 8), height());
    if (showingDeleteConfirmation())
        deleteButton_->setGeometry(width() - kDeleteWidth, 0, kDeleteWidth, height());
}

void TableViewCell::resizeEvent(QResizeEvent*)
{
    layoutParts();
}

bool TableViewCell::eventFilter(QObject* watched, QEvent* event)
{
    // The red follows the sliding delete button.
    if (watched == deleteButton_ && (event->type() == QEvent::Move || event->type() == QEvent::Show
                                     || event->type() == QEvent::Hide))
        update();
    return View::eventFilter(watched, event);
}

void TableViewCell::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    const bool lit = (highlighted_ || selected_) && selectionStyle_ != TableViewCellSelectionStyle::None;
    QColor fill = lit ? theme::cellHighlight() : theme::cellBackground();
    if (lit && selectionStyle_ == TableViewCellSelectionStyle::Blue)
        fill = theme::color(phone::kCellBlueHighlight);

    // A grouped section is one rounded card: the first and the last row carry its corners.
    QPainterPath path;
    const qreal r = grouped_ ? phone::kCornerRadius : 0;
    path.setFillRule(Qt::WindingFill);
    path.addRoundedRect(area, r, r);
    if (!first_)
        path.addRect(area.adjusted(0, 0, 0, -area.height() / 2));
    if (!last_)
        path.addRect(area.adjusted(0, area.height() / 2, 0, 0));
    painter.fillPath(path.simplified(), fill);
    if (showingDeleteConfirmation()) {
        QPainterPath button;
        button.addRect(QRectF(deleteButton_->geometry()));
        painter.fillPath(button.intersected(path.simplified()), theme::destructive());
    }

    if (!last_)
        painter.fillRect(QRectF(kTextInset, area.height() - 0.5, area.width() - kTextInset, 0.5), theme::separator());

    const QRectF accessory(area.right() - kAccessorySpace, 0, kAccessorySpace - 8, area.height());
    QPen pen(theme::separator().darker(120), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QPointF c = accessory.center();
    // The delete button takes the accessory's place.
    switch (showingDeleteConfirmation() ? TableViewCellAccessoryType::None : accessory_) {
    case TableViewCellAccessoryType::DisclosureIndicator:
        painter.setPen(pen);
        painter.drawPolyline(QPolygonF({c + QPointF(-3, -6), c + QPointF(3, 0), c + QPointF(-3, 6)}));
        break;
    case TableViewCellAccessoryType::Checkmark:
        pen.setColor(theme::tint());
        pen.setWidthF(2.5);
        painter.setPen(pen);
        painter.drawPolyline(QPolygonF({c + QPointF(-7, 0), c + QPointF(-2, 5), c + QPointF(7, -6)}));
        break;
    case TableViewCellAccessoryType::DetailDisclosureButton:
        painter.setPen(QPen(theme::tint(), 1.5));
        painter.drawEllipse(c, 10, 10);
        painter.setFont(theme::font(13, QFont::Bold));
        painter.drawText(QRectF(c.x() - 10, c.y() - 10, 20, 20), Qt::AlignCenter, QStringLiteral("i"));
        break;
    case TableViewCellAccessoryType::None:
        break;
    }
}

void TableViewCell::touchesBegan(const TouchSet& touches, Event*)
{
    Touch* touch = touches.anyObject();
    touchStart_ = touchLast_ = touch->locationInView(tableView_ ? static_cast<QWidget*>(tableView_) : this);
    swiped_ = scrolled_ = false;
    dismissedDelete_ = tableView_ && tableView_->cellTouchBegan(this);
    setHighlighted(true);
}

void TableViewCell::touchesMoved(const TouchSet& touches, Event*)
{
    Touch* touch = touches.anyObject();
    const QPointF here = touch->locationInView(tableView_ ? static_cast<QWidget*>(tableView_) : this);
    const QPointF travel = here - touchStart_;
    const qreal slop = TouchTracker::instance().tapSlop();
    if (!swiped_ && !scrolled_) {
        if (qAbs(travel.x()) > qAbs(travel.y()) && -travel.x() >= kSwipeDistance) {
            swiped_ = true;
            setHighlighted(false);
            if (tableView_)
                tableView_->cellSwiped(this);
        } else if (qAbs(travel.y()) > slop && qAbs(travel.y()) >= qAbs(travel.x())) {
            scrolled_ = true;
            touchLast_ = touchStart_; // from here the content follows the finger all the way
            setHighlighted(false);
        }
    }
    // Positions are read in the table's own coordinates, which stay put
    // while its content scrolls under the finger.
    if (scrolled_ && tableView_)
        tableView_->scrollBy(int(touchLast_.y() - here.y()));
    touchLast_ = here;
}

void TableViewCell::touchesEnded(const TouchSet& touches, Event*)
{
    Touch* touch = touches.anyObject();
    setHighlighted(false);
    if (swiped_ || scrolled_ || dismissedDelete_ || touch->tapCount() == 0)
        return;
    // A touch screen hands the whole touch to the cell, so a tap on a text
    // field in it would never reach the field: the cell gives it the focus,
    // and the row is not chosen.
    if (QWidget* child = childAt(touch->locationInView(this).toPoint());
        child && child != contentView_ && child != textLabel_ && !qobject_cast<View*>(child)
        && (child->focusPolicy() & Qt::ClickFocus)) {
        child->setFocus(Qt::MouseFocusReason);
        return;
    }
    if (tableView_)
        tableView_->cellTapped(this);
}

void TableViewCell::touchesCancelled(const TouchSet&, Event*)
{
    setHighlighted(false);
}

} // namespace platform
