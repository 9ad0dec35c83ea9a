// SPDX-License-Identifier: GPL-3.0-or-later
// The in-window sheet of one alert: the window dimmed, a rounded card with
// the title, the message and its buttons: side by side when there are two,
// one above the other otherwise.
#pragma once

#include "platform/Alert.h"

#include <QWidget>

#include <vector>

namespace platform {

class Button;

class AlertSheet : public QWidget {
    Q_OBJECT

public:
    AlertSheet(const AlertRecord& alert, QWidget* window);

    // The first button, which only puts the alert away.
    Button* button() const { return buttons_.front(); }
    // The button of that index (0 the first), or null.
    Button* buttonAt(int index) const;
    int buttonCount() const { return int(buttons_.size()); }
    QRect cardRect() const;

signals:
    void buttonTapped(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutCard();

    bool buttonsSideBySide() const { return buttons_.size() == 2; }
    int buttonsHeight() const;

    AlertRecord alert_;
    std::vector<Button*> buttons_;
    int textHeight_ = 0;
};

} // namespace platform
