// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsSheet.h"

#include "ComputerSession.h"
#include "PointerSettings.h"
#include "SettingsKeys.h"

#include "platform/Button.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationItem.h"
#include "platform/TableView.h"
#include "platform/TableViewCell.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>

namespace theme = platform::theme;

namespace {

constexpr int kSideMargin = 16;
constexpr int kSliderLeft = 132; // where a slider row's title ends
constexpr int kValueWidth = 38;

// A settings row: its title at the left and its control at the right; a
// slider takes the rest of the row, its value at the end.
class SettingCell : public platform::TableViewCell {
public:
    SettingCell(const QString& title, QWidget* control, QLabel* value)
        : platform::TableViewCell(QRect(), QString()), control_(control), value_(value)
    {
        setText(title);
        setSelectionStyle(platform::TableViewCellSelectionStyle::None);
        control_->setParent(contentView());
        if (value_) {
            value_->setParent(contentView());
            value_->setFont(theme::font(15));
            value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QPalette palette = value_->palette();
            palette.setColor(QPalette::WindowText, theme::secondaryLabel());
            value_->setPalette(palette);
            value_->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
        place();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        platform::TableViewCell::resizeEvent(event);
        place();
    }

private:
    void place()
    {
        const int right = contentView()->width() - kSideMargin + 4;
        const int middle = height() / 2;
        if (!value_) {
            control_->move(right - control_->width(), middle - control_->height() / 2);
            return;
        }
        value_->setGeometry(right - kValueWidth, 0, kValueWidth, height());
        const int sliderHeight = control_->sizeHint().height();
        control_->setGeometry(kSliderLeft, middle - sliderHeight / 2, qMax(0, right - kValueWidth - 4 - kSliderLeft),
                              sliderHeight);
    }

    QWidget* control_;
    QLabel* value_;
};

QString speedText(double speed)
{
    return QString::number(speed, 'f', 1) + QChar(0x00D7); // "1.0×"
}

} // namespace

SettingsSheet::SettingsSheet(QWidget* window)
    : QWidget(window), navigationBar_(new platform::NavigationBar(this)),
      navigationItem_(new platform::NavigationItem(this)), tableView_(new platform::TableView(this)),
      doneButton_(new platform::Button(platform::Button::Custom, this)), soundSwitch_(new SettingsSwitch),
      pointerSpeedSlider_(new SettingsSlider), pointerSpeedLabel_(new QLabel),
      accelerationSwitch_(new SettingsSwitch), scrollSpeedSlider_(new SettingsSlider), scrollSpeedLabel_(new QLabel),
      naturalScrollingSwitch_(new SettingsSwitch), connectAtStartSwitch_(new SettingsSwitch)
{
    setObjectName(QStringLiteral("SettingsSheet"));
    setAttribute(Qt::WA_AcceptTouchEvents); // nothing reaches the screens below
    navigationItem_->setTitle(QStringLiteral("Settings"));
    navigationBar_->showItem(navigationItem_, QString());

    for (SettingsSlider* slider : {pointerSpeedSlider_, scrollSpeedSlider_})
        slider->setRange(PointerSettings::kMinimumSpeed, PointerSettings::kMaximumSpeed, PointerSettings::kSpeedStep);

    rows_.resize(SectionCount);
    rows_[TouchPadSection] = {sliderRow(QStringLiteral("Pointer Speed"), pointerSpeedSlider_, pointerSpeedLabel_),
                              switchRow(QStringLiteral("Acceleration"), accelerationSwitch_),
                              sliderRow(QStringLiteral("Scroll Speed"), scrollSpeedSlider_, scrollSpeedLabel_),
                              switchRow(QStringLiteral("Natural Scrolling"), naturalScrollingSwitch_)};
    rows_[SoundSection] = {switchRow(QStringLiteral("Sound Effects"), soundSwitch_)};
    rows_[ConnectionSection] = {switchRow(QStringLiteral("Connect at Start"), connectAtStartSwitch_)};
    tableView_->setDataSource(this);
    tableView_->reloadData();
    if (QLabel* footnote = tableView_->footerViewForSection(SoundSection))
        footnote->setObjectName(QStringLiteral("settingsFootnote"));

    auto storing = [this](SettingsSwitch* control, const QString& key) {
        control->addTarget(this, platform::Control::Action([this, control, key](platform::Control*, platform::Event*) {
            storeSwitch(control, key);
        }), platform::ControlEventValueChanged);
    };
    storing(soundSwitch_, settingsKey::kSoundEffects);
    storing(accelerationSwitch_, settingsKey::kPointerAcceleration);
    storing(naturalScrollingSwitch_, settingsKey::kNaturalScrolling);
    storing(connectAtStartSwitch_, settingsKey::kConnectAtStart);
    pointerSpeedSlider_->addTarget(this, platform::Control::Action([this](platform::Control*, platform::Event*) {
        storeSlider(pointerSpeedSlider_, settingsKey::kPointerSpeed);
    }), platform::ControlEventValueChanged);
    scrollSpeedSlider_->addTarget(this, platform::Control::Action([this](platform::Control*, platform::Event*) {
        storeSlider(scrollSpeedSlider_, settingsKey::kScrollSpeed);
    }), platform::ControlEventValueChanged);

    doneButton_->setTitle(QStringLiteral("Done"));
    doneButton_->setFont(theme::font(17, QFont::DemiBold));
    doneButton_->setTitleColor(theme::tint());
    doneButton_->setAdjustsImageWhenHighlighted(true);
    doneButton_->addTarget(this, &SettingsSheet::dismiss, platform::ControlEventTouchUpInside);
    if (window)
        window->installEventFilter(this);
    hide();
}

platform::TableViewCell* SettingsSheet::switchRow(const QString& title, SettingsSwitch* control)
{
    return new SettingCell(title, control, nullptr);
}

platform::TableViewCell* SettingsSheet::sliderRow(const QString& title, SettingsSlider* control, QLabel* value)
{
    return new SettingCell(title, control, value);
}

int SettingsSheet::numberOfSectionsInTableView(platform::TableView*)
{
    return SectionCount;
}

int SettingsSheet::numberOfRowsInSection(platform::TableView*, int section)
{
    return section >= 0 && section < SectionCount ? int(rows_[size_t(section)].size()) : 0;
}

platform::TableViewCell* SettingsSheet::cellForRowAtIndexPath(platform::TableView*, const platform::IndexPath& indexPath)
{
    if (indexPath.section < 0 || indexPath.section >= SectionCount)
        return nullptr;
    const auto& rows = rows_[size_t(indexPath.section)];
    return indexPath.row >= 0 && indexPath.row < int(rows.size()) ? rows[size_t(indexPath.row)] : nullptr;
}

QString SettingsSheet::titleForHeaderInSection(platform::TableView*, int section)
{
    switch (section) {
    case TouchPadSection:
        return QStringLiteral("Touch Pad");
    case SoundSection:
        return QStringLiteral("Sound");
    case ConnectionSection:
        return QStringLiteral("Connection");
    default:
        return {};
    }
}

QString SettingsSheet::titleForFooterInSection(platform::TableView*, int section)
{
    switch (section) {
    case TouchPadSection:
        return QStringLiteral("Slide two fingers on the pad to scroll; tap with two to right-click.");
    case SoundSection:
        return QStringLiteral("Clicks and key sounds while you use the pad and the keys. "
                              "A change takes effect the next time Quillon starts.");
    case ConnectionSection:
        return QStringLiteral("Quillon starts on the touch pad, logged in to the computer used last with its "
                              "saved passcode.");
    default:
        return {};
    }
}

void SettingsSheet::present()
{
    const platform::UserDefaults& defaults = platform::UserDefaults::standardUserDefaults();
    const PointerSettings pointer = PointerSettings::load(defaults);
    pointerSpeedSlider_->setValue(pointer.pointerSpeed);
    accelerationSwitch_->setOn(pointer.acceleration);
    scrollSpeedSlider_->setValue(pointer.scrollSpeed);
    naturalScrollingSwitch_->setOn(pointer.naturalScrolling);
    soundSwitch_->setOn(defaults.boolForKey(settingsKey::kSoundEffects));
    connectAtStartSwitch_->setOn(ComputerSession::connectsAtStart());
    showValues();
    tableView_->verticalScrollBar()->setValue(0);
    layOut();
    show();
    raise();
}

void SettingsSheet::dismiss()
{
    hide();
}

void SettingsSheet::storeSwitch(const SettingsSwitch* control, const QString& key)
{
    platform::UserDefaults& defaults = platform::UserDefaults::standardUserDefaults();
    defaults.setBool(control->isOn(), key);
    defaults.synchronize();
}

void SettingsSheet::storeSlider(const SettingsSlider* control, const QString& key)
{
    // The slider moves in whole steps, so a drag writes a few times at most.
    platform::UserDefaults& defaults = platform::UserDefaults::standardUserDefaults();
    defaults.setObject(control->value(), key);
    defaults.synchronize();
    showValues();
}

void SettingsSheet::showValues()
{
    pointerSpeedLabel_->setText(speedText(pointerSpeedSlider_->value()));
    scrollSpeedLabel_->setText(speedText(scrollSpeedSlider_->value()));
}

void SettingsSheet::layOut()
{
    if (QWidget* window = parentWidget())
        setGeometry(window->rect());
    const int bar = platform::phone::kNavigationBarHeight;
    navigationBar_->setGeometry(0, 0, width(), bar);
    doneButton_->setGeometry(0, height() - bar, width(), bar);
    tableView_->setGeometry(0, bar, width(), qMax(0, height() - 2 * bar));
}

bool SettingsSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        layOut();
    return false;
}

void SettingsSheet::paintEvent(QPaintEvent*)
{
    // The bar of the Done button along the bottom, as the navigation bar's at the top.
    QPainter painter(this);
    painter.fillRect(rect(), theme::groupedBackground());
    const QRect done = doneButton_->geometry();
    painter.fillRect(done, theme::barBackground());
    painter.fillRect(QRect(done.left(), done.top(), done.width(), 1), theme::separator());
}
