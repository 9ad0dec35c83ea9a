// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsSheet.h"

#include "SettingsKeys.h"

#include "platform/Button.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>

namespace theme = platform::theme;

SettingsSheet::SettingsSheet(QWidget* window)
    : QWidget(window), card_(new QWidget(this)), soundSwitch_(new SettingSwitch(card_)),
      doneButton_(new platform::Button(card_))
{
    setObjectName(QStringLiteral("SettingsSheet"));
    card_->setObjectName(QStringLiteral("settingsCard"));
    card_->setStyleSheet(QStringLiteral("QWidget#settingsCard { background: %1; border-radius: 14px; }")
                             .arg(theme::groupedBackground().name()));

    auto* title = new QLabel(QStringLiteral("Settings"), card_);
    title->setFont(theme::font(17, QFont::DemiBold));
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(0, 14, 280, 24);

    auto* row = new QWidget(card_);
    row->setObjectName(QStringLiteral("settingsRow"));
    row->setStyleSheet(QStringLiteral("QWidget#settingsRow { background: %1; border-radius: 10px; }")
                           .arg(theme::cellBackground().name()));
    row->setGeometry(12, 52, 256, 44);
    auto* rowTitle = new QLabel(QStringLiteral("Sound Effects"), row);
    rowTitle->setFont(theme::font(17));
    rowTitle->setGeometry(14, 0, 170, 44);
    soundSwitch_->setParent(row);
    soundSwitch_->move(256 - 51 - 10, 6);

    auto* footnote = new QLabel(QStringLiteral("Clicks and key sounds while you use the pad and the keys. "
                                               "A change takes effect the next time Quillon starts."),
                                card_);
    footnote->setObjectName(QStringLiteral("settingsFootnote"));
    footnote->setWordWrap(true);
    footnote->setFont(theme::font(13));
    footnote->setStyleSheet(QStringLiteral("color: %1;").arg(theme::color(platform::phone::kTertiaryLabel).name()));
    footnote->setGeometry(24, 102, 232, 68);

    doneButton_->setTitle(QStringLiteral("Done"));
    doneButton_->setGeometry(12, 180, 256, 44);

    card_->resize(280, 238);
    soundSwitch_->addTarget(this, &SettingsSheet::soundSwitchChanged, platform::ControlEventValueChanged);
    doneButton_->addTarget(this, &SettingsSheet::dismiss, platform::ControlEventTouchUpInside);
    if (window)
        window->installEventFilter(this);
    hide();
}

void SettingsSheet::present()
{
    soundSwitch_->setOn(platform::UserDefaults::standardUserDefaults().boolForKey(settingsKey::kSoundEffects));
    layOut();
    show();
    raise();
}

void SettingsSheet::dismiss()
{
    hide();
}

void SettingsSheet::soundSwitchChanged()
{
    auto& defaults = platform::UserDefaults::standardUserDefaults();
    defaults.setBool(soundSwitch_->isOn(), settingsKey::kSoundEffects);
    defaults.synchronize();
}

void SettingsSheet::layOut()
{
    if (QWidget* window = parentWidget())
        setGeometry(window->rect());
    card_->move((width() - card_->width()) / 2, (height() - card_->height()) / 2);
}

bool SettingsSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        layOut();
    return false;
}

void SettingsSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), theme::shade(platform::phone::kDimmingAlpha)); // dims the screen below
}
