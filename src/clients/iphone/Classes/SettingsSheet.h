// SPDX-License-Identifier: GPL-3.0-or-later
// SettingsSheet: the stand-in for the app's page in the phone's settings. A
// sheet over the window with the sound-effects switch, which writes the
// stored setting "enabled_soundeffect" at once. The sound module reads the
// setting once at start-up, so the sheet says the change applies then.
#pragma once

#include "SettingSwitch.h"

#include <QWidget>

namespace platform {
class Button;
}

class SettingsSheet : public QWidget {
    Q_OBJECT

public:
    explicit SettingsSheet(QWidget* window);

    // Shows the sheet over its whole window with the stored switch position.
    void present();
    void dismiss();

    SettingSwitch* soundSwitch() const { return soundSwitch_; }
    platform::Button* doneButton() const { return doneButton_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void soundSwitchChanged();
    void layOut();

    QWidget* card_;
    SettingSwitch* soundSwitch_;
    platform::Button* doneButton_;
};
