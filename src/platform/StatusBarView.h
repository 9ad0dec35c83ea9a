// SPDX-License-Identifier: GPL-3.0-or-later
// The status bar strip along the top edge of the window: carrier, clock and
// battery. It follows StatusBar::shared(), sliding away and back when the
// change is animated, and spans the top of the window in either orientation.
#pragma once

#include <QWidget>

namespace platform {

class StatusBarView : public QWidget {
    Q_OBJECT

public:
    explicit StatusBarView(QWidget* window);

    // The clock text; fixed in screenshots and tests.
    void setClockText(const QString& text);
    // Places the strip at the top of its window.
    void placeInWindow();

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void follow(bool hidden, bool animated);
    QRect shownFrame() const;

    QString clockText_;
};

} // namespace platform
