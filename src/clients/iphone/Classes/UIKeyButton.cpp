// SPDX-License-Identifier: GPL-3.0-or-later
#include "UIKeyButton.h"

#include "KeyCapLook.h"
#include "NotificationNames.h"

#include "platform/NotificationCenter.h"
#include "platform/Theme.h"

#include <QPainter>

using platform::ControlStateDisabled;
using platform::ControlStateHighlighted;
using platform::ControlStateNormal;
using platform::ControlStateSelected;
using platform::NotificationCenter;

UIKeyButton::UIKeyButton(QWidget* parent) : platform::Button(Custom, parent)
{
    // The cap is painted here, pressed look included.
    setAdjustsImageWhenHighlighted(false);
    setTitleColor(keycap::ink());
}

UIKeyButton::~UIKeyButton()
{
    NotificationCenter::defaultCenter().removeObserver(static_cast<const void*>(this));
}

void UIKeyButton::awakeFromNib()
{
    platform::Button::awakeFromNib();
    staticButton_ = false;
    shiftPressed_ = false;
    enableRepeat_ = true;
    setText(currentTitle());
    shiftText_ = QString();
    value_ = 0;
    shiftValue_ = 0;
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, notification::kShiftDown, [this](const platform::Notification& n) { shiftDown(n); });
    center.addObserver(this, notification::kShiftUp, [this](const platform::Notification& n) { shiftUp(n); });
    fitFontToTitle();
}

void UIKeyButton::setKeyCode(const QString& text, uint32_t value, const QString& shiftText, uint32_t shiftValue)
{
    setText(text);
    setShiftText(shiftText);
    setValue(value);
    setShiftValue(shiftValue);
}

QString UIKeyButton::getCurrentLabel() const
{
    if (!staticButton_ && shiftPressed_ && !shiftText_.isNull())
        return shiftText_;
    return text_;
}

uint32_t UIKeyButton::getCurrentKeyValue() const
{
    if (shiftPressed_ && shiftValue_ != 0)
        return shiftValue_;
    return value_;
}

void UIKeyButton::setAllStateLabel(const QString& label)
{
    for (platform::ControlState state :
         {ControlStateNormal, ControlStateHighlighted, ControlStateDisabled, ControlStateSelected})
        setTitle(label, state);
    fitFontToTitle();
}

void UIKeyButton::shiftDown(const platform::Notification&)
{
    shiftPressed_ = true;
    setAllStateLabel(getCurrentLabel());
}

void UIKeyButton::shiftUp(const platform::Notification&)
{
    shiftPressed_ = false;
    setAllStateLabel(getCurrentLabel());
}

bool UIKeyButton::beginTrackingWithTouch(platform::Touch* touch, platform::Event* event)
{
    return platform::Button::beginTrackingWithTouch(touch, event);
}

void UIKeyButton::endTrackingWithTouch(platform::Touch* touch, platform::Event* event)
{
    platform::Button::endTrackingWithTouch(touch, event);
}

bool UIKeyButton::looksLikeWordKey() const
{
    // Letters, digits and symbols are white caps; words, icons and the
    // modifiers are the darker special caps, as on a phone's keyboard.
    return staticButton_ ? text_ != QLatin1String(" ") : currentTitle().size() != 1;
}

void UIKeyButton::fitFontToTitle()
{
    const QString title = currentTitle();
    const qreal room = width() - 2 * keycap::kInsetX - 4;
    qreal size = title.size() == 1 ? 20 : 14;
    QFont face = platform::theme::font(size, title.size() == 1 ? QFont::Normal : QFont::Medium);
    while (size > 9 && QFontMetricsF(face).horizontalAdvance(title) > room) {
        size -= 1;
        face.setPixelSize(int(size));
    }
    if (face != font())
        setFont(face);
}

void UIKeyButton::resizeEvent(QResizeEvent* event)
{
    platform::Button::resizeEvent(event);
    fitFontToTitle();
}

void UIKeyButton::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        keycap::paint(painter, rect(), isHighlighted() ? keycap::Face::Pressed
                                       : looksLikeWordKey() ? keycap::Face::Special
                                                            : keycap::Face::Plain);
    }
    platform::Button::paintEvent(event);
}
