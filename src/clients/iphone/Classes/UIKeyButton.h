// SPDX-License-Identifier: GPL-3.0-or-later
// UIKeyButton: one key of the keyboard screen. It knows its label, shifted
// label and key codes, whether its label follows shift (static flag) and
// whether a held key repeats. All key buttons follow the shift state together
// through the "Shift Down" and "Shift Up" notifications; a key sends nothing
// itself: the keyboard controller asks the pressed key for its code.
#pragma once

#include "platform/Button.h"

#include <cstdint>

namespace platform {
class Notification;
}

class UIKeyButton : public platform::Button {
    Q_OBJECT

public:
    explicit UIKeyButton(QWidget* parent = nullptr);
    ~UIKeyButton() override;

    // Run once the interface file has set the button up: the title becomes
    // the label, the codes start at 0, and the button starts to follow shift.
    void awakeFromNib() override;

    // Sets label, key code, shifted label and shifted key code; the title on
    // screen stays until the next shift change.
    void setKeyCode(const QString& text, uint32_t value, const QString& shiftText, uint32_t shiftValue);
    QString getCurrentLabel() const;
    uint32_t getCurrentKeyValue() const;
    // The title for the normal, highlighted, disabled and selected states.
    void setAllStateLabel(const QString& label);

    void shiftDown(const platform::Notification& notification);
    void shiftUp(const platform::Notification& notification);

    bool beginTrackingWithTouch(platform::Touch* touch, platform::Event* event) override;
    void endTrackingWithTouch(platform::Touch* touch, platform::Event* event) override;

    // A null string is "none".
    QString text() const { return text_; }
    void setText(const QString& text) { text_ = text; }
    QString shiftText() const { return shiftText_; }
    void setShiftText(const QString& shiftText) { shiftText_ = shiftText; }
    uint32_t value() const { return value_; }
    void setValue(uint32_t value) { value_ = value; }
    uint32_t shiftValue() const { return shiftValue_; }
    void setShiftValue(uint32_t shiftValue) { shiftValue_ = shiftValue; }
    bool staticButton() const { return staticButton_; }
    void setStaticButton(bool staticButton) { staticButton_ = staticButton; }
    bool isEnableRepeat() const { return enableRepeat_; }
    void setEnableRepeat(bool enableRepeat) { enableRepeat_ = enableRepeat; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Characters get a large face, words a smaller one that fits the cap.
    void fitFontToTitle();
    bool looksLikeWordKey() const;

    QString text_;
    QString shiftText_;
    uint32_t value_ = 0;
    uint32_t shiftValue_ = 0;
    bool staticButton_ = false;
    bool shiftPressed_ = false;
    bool enableRepeat_ = true;
};
