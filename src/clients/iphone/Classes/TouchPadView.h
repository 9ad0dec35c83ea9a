// SPDX-License-Identifier: GPL-3.0-or-later
// TouchPadView: the surface of the touch pad. It keeps no state and draws
// nothing of its own (the screen's backdrop gives it its look); its touch
// events go to the touch pad controller's handlers through target-action.
// Like any control it follows its first finger; besides, it takes every
// further finger and reports each finger that comes down, moves or lifts
// with events of its own, so that the controller can tell two fingers.
#pragma once

#include "platform/Control.h"

class TouchPadView : public platform::Control {
    Q_OBJECT

public:
    // Sent after the control's own events, with every finger of the event.
    static constexpr platform::ControlEvents ControlEventFingerDown = 0x01000000u;
    static constexpr platform::ControlEvents ControlEventFingerMoved = 0x02000000u;
    static constexpr platform::ControlEvents ControlEventFingerUp = 0x04000000u;
    // The system took the fingers away.
    static constexpr platform::ControlEvents ControlEventFingersCancelled = 0x08000000u;

    explicit TouchPadView(QWidget* parent = nullptr);

    void touchesBegan(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesMoved(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesEnded(const platform::TouchSet& touches, platform::Event* event) override;
    void touchesCancelled(const platform::TouchSet& touches, platform::Event* event) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Runs the control's own handling of the touches, then sends `report`.
    template <typename ControlHandler>
    void thenReport(ControlHandler handle, platform::ControlEvents report, platform::Event* event);
};
