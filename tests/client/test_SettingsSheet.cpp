// SPDX-License-Identifier: GPL-3.0-or-later
// The settings sheet with real fingers: it shows what is stored, each switch
// and slider writes its setting to the settings file at once (read back from
// the file), and the touch pad's settings keep their ranges.
#include "ComputerSession.h"
#include "PointerSettings.h"
#include "SettingsKeys.h"
#include "SettingsSheet.h"
#include "SettingsSlider.h"
#include "SettingsSwitch.h"

#include "platform/Button.h"
#include "support/platform/FingerSimulator.h"
#include "platform/TableView.h"
#include "platform/UserDefaults.h"

#include "support/AppTestEnvironment.h"

#include <QLabel>
#include <gtest/gtest.h>

using namespace platform;

namespace {

class SettingsSheetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        host.resize(320, 460);
        host.show();
    }

    SettingsSheet* present()
    {
        sheet->present();
        return sheet;
    }
    // A finger on the knob, slid to where the slider shows `value`, lifted.
    void slide(SettingsSlider* slider, double value)
    {
        sheet->tableView()->ensureWidgetVisible(slider);
        const double before = slider->value();
        slider->setValue(value);
        const QPointF to(slider->knobCenterX(), slider->height() / 2.0);
        slider->setValue(before);
        const QPointF from(slider->knobCenterX(), slider->height() / 2.0);
        fingers.press(0, slider, from);
        fingers.move(0, slider, (from + to) / 2);
        fingers.move(0, slider, to);
        fingers.release(0, slider, to);
    }
    void tap(SettingsSwitch* control)
    {
        sheet->tableView()->ensureWidgetVisible(control);
        fingers.tap(control, QRectF(control->rect()).center());
    }

    AppTestEnvironment env{false};
    QWidget host;
    SettingsSheet* sheet = new SettingsSheet(&host);
    FingerSimulator fingers;
};

TEST_F(SettingsSheetTest, ItShowsTheDefaultsWhenNothingIsStored)
{
    present();
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->geometry(), host.rect());
    EXPECT_EQ(sheet->pointerSpeedSlider()->value(), 1.0);
    EXPECT_EQ(sheet->pointerSpeedLabel()->text(), QStringLiteral("1.0×"));
    EXPECT_FALSE(sheet->accelerationSwitch()->isOn());
    EXPECT_EQ(sheet->scrollSpeedSlider()->value(), 1.0);
    EXPECT_FALSE(sheet->naturalScrollingSwitch()->isOn());
    EXPECT_FALSE(sheet->soundSwitch()->isOn());
    EXPECT_FALSE(sheet->connectAtStartSwitch()->isOn());
    EXPECT_EQ(sheet->tableView()->numberOfSections(), int(SettingsSheet::SectionCount));
    EXPECT_EQ(sheet->tableView()->numberOfRowsInSection(SettingsSheet::TouchPadSection), 4);
}

TEST_F(SettingsSheetTest, EachControlWritesItsSettingToTheFileAtOnce)
{
    present();
    slide(sheet->pointerSpeedSlider(), 2.0);
    EXPECT_EQ(sheet->pointerSpeedLabel()->text(), QStringLiteral("2.0×"));
    tap(sheet->accelerationSwitch());
    slide(sheet->scrollSpeedSlider(), 0.5);
    tap(sheet->naturalScrollingSwitch());
    tap(sheet->soundSwitch());
    tap(sheet->connectAtStartSwitch());

    UserDefaults::resetStandardUserDefaults(); // read back from the file
    const PointerSettings stored = PointerSettings::current();
    EXPECT_DOUBLE_EQ(stored.pointerSpeed, 2.0);
    EXPECT_TRUE(stored.acceleration);
    EXPECT_DOUBLE_EQ(stored.scrollSpeed, 0.5);
    EXPECT_TRUE(stored.naturalScrolling);
    EXPECT_TRUE(UserDefaults::standardUserDefaults().boolForKey(settingsKey::kSoundEffects));
    EXPECT_TRUE(ComputerSession::connectsAtStart());

    // Shown again, the sheet reads what is stored; a second tap turns a switch off.
    fingers.tap(sheet->doneButton(), QRectF(sheet->doneButton()->rect()).center());
    EXPECT_FALSE(sheet->isVisible());
    UserDefaults::standardUserDefaults().setObject(1.5, settingsKey::kScrollSpeed);
    present();
    EXPECT_EQ(sheet->scrollSpeedLabel()->text(), QStringLiteral("1.5×"));
    EXPECT_TRUE(sheet->connectAtStartSwitch()->isOn());
    tap(sheet->connectAtStartSwitch());
    UserDefaults::resetStandardUserDefaults();
    EXPECT_FALSE(ComputerSession::connectsAtStart());
}

TEST_F(SettingsSheetTest, TheSlidersStayWithinTheirRangeInWholeSteps)
{
    present();
    SettingsSlider* speed = sheet->pointerSpeedSlider();
    slide(speed, PointerSettings::kMaximumSpeed);
    fingers.press(0, speed, {speed->knobCenterX(), 10});
    fingers.move(0, speed, {speed->width() + 200.0, 10}); // far past the end
    fingers.release(0, speed, {speed->width() + 200.0, 10});
    EXPECT_EQ(speed->value(), PointerSettings::kMaximumSpeed);
    slide(speed, 0.0);
    EXPECT_EQ(speed->value(), PointerSettings::kMinimumSpeed);
    speed->setValue(1.26);
    EXPECT_DOUBLE_EQ(speed->value(), 1.3);
}

} // namespace
