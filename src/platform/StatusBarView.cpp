// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StatusBarView.h"

#include "platform/StatusBar.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTime>

namespace platform {

StatusBarView::StatusBarView(QWidget* window) : QWidget(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (window)
        window->installEventFilter(this);
    StatusBar& bar = StatusBar::shared();
    connect(&bar, &StatusBar::hiddenChanged, this, &StatusBarView::follow);
    connect(&bar, &StatusBar::orientationChanged, this, [this] { placeInWindow(); });
    placeInWindow();
    setVisible(!bar.isHidden());
    startTimer(10000);
}

QSize StatusBarView::sizeHint() const
{
    return {phone::kScreenWidth, StatusBar::kHeight};
}

void StatusBarView::setClockText(const QString& text)
{
    clockText_ = text;
    update();
}

QRect StatusBarView::shownFrame() const
{
    return QRect(0, 0, parentWidget() ? parentWidget()->width() : phone::kScreenWidth, StatusBar::kHeight);
}

void StatusBarView::placeInWindow()
{
    if (StatusBar::shared().isHidden())
        setGeometry(shownFrame().translated(0, -StatusBar::kHeight));
    else
        setGeometry(shownFrame());
    raise();
}

bool StatusBarView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeInWindow();
    return false;
}

void StatusBarView::timerEvent(QTimerEvent*)
{
    if (clockText_.isEmpty())
        update();
}

void StatusBarView::follow(bool hidden, bool animated)
{
    const QRect shown = shownFrame();
    const QRect away = shown.translated(0, -StatusBar::kHeight);
    if (!animated || !ViewAnimation::animationsEnabled()) {
        // At once, and for good: a slide still under way (or the transparency
        // an earlier one left behind) must not carry the strip away again.
        ViewAnimation(0).setFrame(this, hidden ? away : shown).setAlpha(this, 1).commit();
        setVisible(!hidden);
        return;
    }
    show();
    raise();
    ViewAnimation animation;
    animation.setFrame(this, hidden ? away : shown).setAlpha(this, hidden ? 0 : 1);
    animation.whenFinished([this, hidden] {
        // A later change may already have reversed this one.
        if (StatusBar::shared().isHidden() == hidden)
            setVisible(!hidden);
    });
    animation.commit();
}

void StatusBarView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), theme::barBackground());
    painter.setPen(theme::label());
    painter.setFont(theme::font(11, QFont::DemiBold));
    const QString clock = clockText_.isEmpty() ? QTime::currentTime().toString(QStringLiteral("HH:mm")) : clockText_;
    painter.drawText(rect(), Qt::AlignCenter, clock);
    painter.setFont(theme::font(11));
    painter.drawText(rect().adjusted(8, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quillon"));

    // The battery: an outlined body, a tip and a fill.
    const QRectF body(width() - 34, (height() - 10) / 2.0, 22, 10);
    painter.setPen(QPen(theme::label(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, 2.5, 2.5);
    painter.fillRect(QRectF(body.right() + 1.5, body.top() + 3, 1.5, 4), theme::label());
    painter.fillRect(body.adjusted(2, 2, -6, -2), theme::label());
}

} // namespace platform
