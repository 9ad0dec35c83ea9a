// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/StatusBarView.h"

#include "platform/StatusBar.h"
#include "platform/Theme.h"
#include "platform/ViewAnimation.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTime>
#include <QTimer>

#include <algorithm>

namespace platform {

namespace {
constexpr int kEdgeMargin = 8;
constexpr int kClockGap = 8;
constexpr qreal kLockWidth = 7;
constexpr qreal kLockHeight = 10;
constexpr qreal kLockGap = 4;
constexpr double kLowBattery = 20; // per cent
} // namespace

StatusBarView::StatusBarView(QWidget* window) : QWidget(window)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (window)
        window->installEventFilter(this);
    StatusBar& bar = StatusBar::shared();
    connect(&bar, &StatusBar::hiddenChanged, this, &StatusBarView::follow);
    connect(&bar, &StatusBar::orientationChanged, this, [this] { placeInWindow(); });
    connect(&bar, &StatusBar::connectionChanged, this, qOverload<>(&QWidget::update));
    connect(&battery_, &Battery::changed, this, qOverload<>(&QWidget::update));
    placeInWindow();
    setVisible(!bar.isHidden());
    waitForNextMinute();
}

void StatusBarView::waitForNextMinute()
{
    constexpr int kMinuteMs = 60 * 1000;
    constexpr int kPastTheMinuteMs = 20; // so that the new minute has begun when it is read
    const int sinceMinute = QTime::currentTime().msecsSinceStartOfDay() % kMinuteMs;
    minuteTimer_.start(kMinuteMs - sinceMinute + kPastTheMinuteMs, Qt::PreciseTimer, this);
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

void StatusBarView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != minuteTimer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (clockText_.isEmpty())
        update();
    waitForNextMinute();
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
    if (!batteryAsked_) {
        batteryAsked_ = true;
        QTimer::singleShot(0, this, [this] { battery_.start(); });
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), theme::barBackground());
    painter.setPen(theme::label());
    painter.setFont(theme::font(11, QFont::DemiBold));
    const QString clock = clockText_.isEmpty() ? QTime::currentTime().toString(QStringLiteral("HH:mm")) : clockText_;
    painter.drawText(rect(), Qt::AlignCenter, clock);
    const int clockLeft = (width() - painter.fontMetrics().horizontalAdvance(clock)) / 2;

    // The computer's name, with the lock before it, up to the clock.
    const StatusBar& bar = StatusBar::shared();
    qreal x = kEdgeMargin;
    if (bar.isSessionSecure()) {
        paintLock(painter, QRectF(x, (height() - kLockHeight) / 2.0, kLockWidth, kLockHeight));
        x += kLockWidth + kLockGap;
    }
    if (!bar.connectionName().isEmpty()) {
        painter.setPen(theme::label());
        painter.setFont(theme::font(11));
        const int room = std::max(0, clockLeft - kClockGap - int(x));
        // A name comes from the network: one line, whatever it holds.
        QString name = bar.connectionName();
        for (QChar& c : name)
            if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line
                || c.category() == QChar::Separator_Paragraph)
                c = QLatin1Char(' ');
        const QString shown = painter.fontMetrics().elidedText(name, Qt::ElideRight, room);
        painter.drawText(QRectF(x, 0, room, height()), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }

    if (battery_.isPresent())
        paintBattery(painter, QRectF(width() - 34, (height() - 10) / 2.0, 22, 10));
}

void StatusBarView::paintLock(QPainter& painter, const QRectF& area) const
{
    // A shackle over a body.
    const qreal bodyTop = area.top() + area.height() * 0.45;
    painter.setPen(QPen(theme::label(), 1.3));
    painter.setBrush(Qt::NoBrush);
    const qreal inset = area.width() * 0.2;
    QPainterPath shackle;
    shackle.moveTo(area.left() + inset, bodyTop);
    shackle.lineTo(area.left() + inset, area.top() + area.width() / 2 - inset);
    const qreal bend = area.width() - 2 * inset;
    shackle.arcTo(QRectF(area.left() + inset, area.top(), bend, bend), 180, -180);
    shackle.lineTo(area.right() - inset, bodyTop);
    painter.drawPath(shackle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(theme::label());
    painter.drawRoundedRect(QRectF(area.left(), bodyTop, area.width(), area.bottom() - bodyTop), 1.2, 1.2);
}

void StatusBarView::paintBattery(QPainter& painter, const QRectF& body) const
{
    // An outlined body, a tip, and a fill as full as the charge: green while
    // charging, red when low.
    painter.setPen(QPen(theme::label(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(body, 2.5, 2.5);
    painter.fillRect(QRectF(body.right() + 1.5, body.top() + 3, 1.5, 4), theme::label());
    const QRectF room = body.adjusted(2, 2, -2, -2);
    const qreal filled = room.width() * battery_.level() / 100.0;
    if (filled <= 0)
        return;
    QColor fill = theme::label();
    if (battery_.isCharging())
        fill = theme::color(phone::kSwitchOn);
    else if (battery_.level() <= kLowBattery)
        fill = theme::destructive();
    painter.fillRect(QRectF(room.topLeft(), QSizeF(std::max<qreal>(1, filled), room.height())), fill);
}

} // namespace platform
