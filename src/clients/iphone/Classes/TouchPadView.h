// SPDX-License-Identifier: GPL-3.0-or-later
// TouchPadView: the surface of the touch pad. It keeps no state and draws
// nothing of its own (the screen's backdrop gives it its look); its touch
// events go to the touch pad controller's handlers through target-action.
#pragma once

#include "platform/Control.h"

class TouchPadView : public platform::Control {
    Q_OBJECT

public:
    explicit TouchPadView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
