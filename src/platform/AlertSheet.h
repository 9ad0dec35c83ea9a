// SPDX-License-Identifier: GPL-3.0-or-later
// The in-window sheet of one alert: the window dimmed, a rounded card with
// the title, the message and the button.
#pragma once

#include "platform/Alert.h"

#include <QWidget>

namespace platform {

class Button;

class AlertSheet : public QWidget {
    Q_OBJECT

public:
    AlertSheet(const AlertRecord& alert, QWidget* window);

    Button* button() const { return button_; }
    QRect cardRect() const;

signals:
    void buttonTapped();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutCard();

    AlertRecord alert_;
    Button* button_;
    int textHeight_ = 0;
};

} // namespace platform
