// SPDX-License-Identifier: GPL-3.0-or-later
// The look of the touch pad screen: its background, the pad's and the wheel
// strip's surfaces under their controls (TouchPadSurface, placed by
// "TouchPadView.ui") and the hint on the pad. Colours are PhoneLook.h's.
#pragma once

#include <QWidget>

namespace Ui {
class TouchPadScreen;
}

// A surface under one of the pad's controls: the pad (lit from above) or the
// wheel strip (a rounded rod, lit along its middle).
class TouchPadSurface : public QWidget {
    Q_OBJECT
    Q_PROPERTY(Kind kind READ kind WRITE setKind)

public:
    enum Kind { Pad, Wheel };
    Q_ENUM(Kind)

    explicit TouchPadSurface(QWidget* parent = nullptr);

    Kind kind() const { return kind_; }
    void setKind(Kind kind);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_ = Pad;
};

void applyTouchPadLook(Ui::TouchPadScreen& ui);
