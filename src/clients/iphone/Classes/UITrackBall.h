// SPDX-License-Identifier: GPL-3.0-or-later
// UITrackBall: a compact pointer control that handles its own touches.
// Dragging on it moves the pointer by the finger's travel; a touch lifted
// exactly where it came down clicks the left button at once. It keeps no
// button state and never checks the connection: a send without a session is
// simply dropped by the session. It moves at the pointer speed and
// acceleration of the stored settings, read at each touch-down.
#pragma once

#include "PointerDelta.h"
#include "PointerMotion.h"

#include "platform/Button.h"

#include <cstdint>

class UITrackBall : public platform::Button {
    Q_OBJECT

public:
    explicit UITrackBall(QWidget* parent = nullptr);

    void lbuttonTouchDown();
    void lbuttonTouchUp();
    void rbuttonTouchDown();
    void rbuttonTouchUp();
    void sendMouseEvent(uint8_t buttons, int16_t dx, int16_t dy);

    void touchesBegan(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesMoved(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesEnded(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesCancelled(const platform::TouchSet& touches, platform::Event* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    FloatPoint touchDownPoint_;
    FloatPoint previousTouchPoint_;
    PointerMotion motion_;
};
