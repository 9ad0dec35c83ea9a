// SPDX-License-Identifier: GPL-3.0-or-later
// SettingsSheet: the stand-in for the app's page in the phone's settings, a
// page over the screens in the grouped-table look: the touch pad's pointer
// speed, acceleration, scroll speed and direction, the sound effects, and
// connecting at start. Each change is stored at once; the touch pad reads
// its settings at the next touch, the sound module only at the next start,
// which the sheet says.
#pragma once

#include "SettingsSlider.h"
#include "SettingsSwitch.h"

#include "platform/TableViewDataSource.h"

#include <QWidget>

#include <vector>

class QLabel;
namespace platform {
class Button;
class NavigationBar;
class NavigationItem;
class TableView;
class TableViewCell;
} // namespace platform

class SettingsSheet : public QWidget, public platform::TableViewDataSource {
    Q_OBJECT

public:
    enum Section { TouchPadSection, SoundSection, ConnectionSection, SectionCount };

    // Covers `window` (the screens' area) while it is shown.
    explicit SettingsSheet(QWidget* window);

    // Shows the sheet over its whole window with the stored settings.
    void present();
    void dismiss();

    SettingsSwitch* soundSwitch() const { return soundSwitch_; }
    SettingsSlider* pointerSpeedSlider() const { return pointerSpeedSlider_; }
    SettingsSwitch* accelerationSwitch() const { return accelerationSwitch_; }
    SettingsSlider* scrollSpeedSlider() const { return scrollSpeedSlider_; }
    SettingsSwitch* naturalScrollingSwitch() const { return naturalScrollingSwitch_; }
    SettingsSwitch* connectAtStartSwitch() const { return connectAtStartSwitch_; }
    // The value shown beside a slider ("1.0×").
    QLabel* pointerSpeedLabel() const { return pointerSpeedLabel_; }
    QLabel* scrollSpeedLabel() const { return scrollSpeedLabel_; }
    platform::Button* doneButton() const { return doneButton_; }
    platform::TableView* tableView() const { return tableView_; }

    int numberOfSectionsInTableView(platform::TableView* tableView) override;
    int numberOfRowsInSection(platform::TableView* tableView, int section) override;
    platform::TableViewCell* cellForRowAtIndexPath(platform::TableView* tableView,
                                                   const platform::IndexPath& indexPath) override;
    QString titleForHeaderInSection(platform::TableView* tableView, int section) override;
    QString titleForFooterInSection(platform::TableView* tableView, int section) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // A row with a title and a switch, or a slider and its value.
    platform::TableViewCell* switchRow(const QString& title, SettingsSwitch* control);
    platform::TableViewCell* sliderRow(const QString& title, SettingsSlider* control, QLabel* value);
    void storeSwitch(const SettingsSwitch* control, const QString& key);
    void storeSlider(const SettingsSlider* control, const QString& key);
    void showValues();
    void layOut();

    platform::NavigationBar* navigationBar_;
    platform::NavigationItem* navigationItem_;
    platform::TableView* tableView_;
    platform::Button* doneButton_;
    SettingsSwitch* soundSwitch_;
    SettingsSlider* pointerSpeedSlider_;
    QLabel* pointerSpeedLabel_;
    SettingsSwitch* accelerationSwitch_;
    SettingsSlider* scrollSpeedSlider_;
    QLabel* scrollSpeedLabel_;
    SettingsSwitch* naturalScrollingSwitch_;
    SettingsSwitch* connectAtStartSwitch_;
    std::vector<std::vector<platform::TableViewCell*>> rows_;
};
