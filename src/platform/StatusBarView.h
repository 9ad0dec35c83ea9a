// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar strip along the top edge of the window: the name of the
// computer the phone is connected to (with a lock while the session is
// encrypted), the clock, and the battery where the device has one (read from
// UPower once the strip is first drawn, so that the start-up does not wait
// for the system bus). It follows StatusBar::shared(), sliding away and back
// when the change is animated, and spans the top of the window in either
// orientation.
#pragma once

#include "platform/Battery.h"

#include <QBasicTimer>
#include <QWidget>

class QPainter;

namespace platform {

class StatusBarView : public QWidget {
    Q_OBJECT

public:
    explicit StatusBarView(QWidget* window);

    // The clock text; fixed in screenshots and tests.
    void setClockText(const QString& text);
    // Places the strip at the top of its window.
    void placeInWindow();

    const Battery& battery() const { return battery_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void follow(bool hidden, bool animated);
    void paintLock(QPainter& painter, const QRectF& area) const;
    void paintBattery(QPainter& painter, const QRectF& body) const;
    QRect shownFrame() const;
    // The clock shows hours and minutes: it is drawn again when the minute
    // changes, and the app sleeps in between.
    void waitForNextMinute();

    QBasicTimer minuteTimer_;
    QString clockText_;
    Battery battery_;
    bool batteryAsked_ = false;
};

} // namespace platform
