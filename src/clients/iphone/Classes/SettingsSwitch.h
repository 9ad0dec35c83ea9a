// SPDX-License-Identifier: GPL-3.0-or-later
// An on/off switch: a tap turns it over and reports a value change.
#pragma once

#include "platform/Control.h"

class SettingsSwitch : public platform::Control {
    Q_OBJECT

public:
    explicit SettingsSwitch(QWidget* parent = nullptr);

    bool isOn() const { return isSelected(); }
    void setOn(bool on) { setSelected(on); }

    QSize sizeHint() const override { return {51, 31}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};
