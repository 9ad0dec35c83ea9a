// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AlertSheet.h"

#include "platform/Button.h"
#include "platform/Theme.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace platform {

namespace {
constexpr int kCardWidth = 270;
constexpr int kPadding = 18;
constexpr int kButtonHeight = 44;
} // namespace

AlertSheet::AlertSheet(const AlertRecord& alert, QWidget* window) : QWidget(window), alert_(alert)
{
    setAttribute(Qt::WA_AcceptTouchEvents); // the sheet swallows touches meant for the screen below
    const QStringList titles = QStringList{alert.buttonTitle} + alert.otherButtonTitles;
    for (int index = 0; index < titles.size(); ++index) {
        auto* button = new Button(Button::Custom, this);
        button->setTitle(titles[index]);
        // The first button is the one that only puts the alert away: bold, as the phone draws it.
        button->setFont(theme::font(17, index == 0 ? QFont::DemiBold : QFont::Normal));
        button->setTitleColor(theme::tint());
        button->setAdjustsImageWhenHighlighted(true);
        button->setTouchMargin(0);
        button->addTarget(this, Control::Action([this, index](Control*, Event*) { emit buttonTapped(index); }),
                          ControlEventTouchUpInside);
        buttons_.push_back(button);
    }
    window->installEventFilter(this);
    setGeometry(window->rect());
    raise();
    // Return or Escape answer the alert from a keyboard, as its one button would.
    setFocusPolicy(Qt::StrongFocus);
}

void AlertSheet::showEvent(QShowEvent*)
{
    setFocus(Qt::OtherFocusReason);
}

void AlertSheet::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        emit buttonTapped(0);
        break;
    default:
        event->accept(); // the screen below does not take keys while an alert is up
    }
}

bool AlertSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

Button* AlertSheet::buttonAt(int index) const
{
    return index >= 0 && index < buttonCount() ? buttons_[size_t(index)] : nullptr;
}

int AlertSheet::buttonsHeight() const
{
    return buttonsSideBySide() ? kButtonHeight : kButtonHeight * buttonCount();
}

QRect AlertSheet::cardRect() const
{
    const int width = qMin(kCardWidth, this->width() - 40);
    const int height = textHeight_ + buttonsHeight();
    return QRect((this->width() - width) / 2, (this->height() - height) / 2, width, height);
}

void AlertSheet::layoutCard()
{
    const int width = qMin(kCardWidth, this->width() - 40) - 2 * kPadding;
    const QFontMetrics title(theme::font(17, QFont::DemiBold));
    const QFontMetrics message(theme::font(13));
    const int titleHeight = title.boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, alert_.title).height();
    const int messageHeight = alert_.message.isEmpty()
        ? 0
        : message.boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, alert_.message).height();
    textHeight_ = kPadding + titleHeight + (messageHeight ? 6 + messageHeight : 0) + kPadding;
    const QRect card = cardRect();
    const int top = card.bottom() + 1 - buttonsHeight();
    if (buttonsSideBySide()) {
        const int half = card.width() / 2;
        buttons_[0]->setGeometry(card.left(), top, half, kButtonHeight);
        buttons_[1]->setGeometry(card.left() + half, top, card.width() - half, kButtonHeight);
        return;
    }
    for (int index = 0; index < buttonCount(); ++index)
        buttons_[size_t(index)]->setGeometry(card.left(), top + index * kButtonHeight, card.width(), kButtonHeight);
}

void AlertSheet::resizeEvent(QResizeEvent*)
{
    layoutCard();
}

void AlertSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), theme::shade(phone::kDimmingAlpha));
    const QRect card = cardRect();
    QPainterPath path;
    path.addRoundedRect(QRectF(card), 14, 14);
    painter.fillPath(path, theme::barBackground());
    // Hairlines above the buttons and between them.
    for (const Button* button : buttons_)
        painter.fillRect(QRectF(card.left(), button->geometry().top(), card.width(), 0.7), theme::separator());
    if (buttonsSideBySide())
        painter.fillRect(QRectF(buttons_[1]->geometry().left(), buttons_[1]->geometry().top(), 0.7, kButtonHeight),
                         theme::separator());

    const QRect text = card.adjusted(kPadding, kPadding, -kPadding, -buttonsHeight() - kPadding);
    painter.setPen(theme::label());
    painter.setFont(theme::font(17, QFont::DemiBold));
    QRect used;
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, alert_.title, &used);
    painter.setFont(theme::font(13));
    painter.drawText(text.adjusted(0, used.height() + 6, 0, 0), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                     alert_.message);
}

} // namespace platform
