// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextEntryController.h"

#include "RemoteProtocol.h"
#include "RemoteProtocolUtils.h"
#include "TextEntryField.h"

#include "platform/Alert.h"
#include "platform/Button.h"

#include <QGuiApplication>
#include <QInputMethod>
#include <X11/keysym.h>

namespace {

enum KeyState { KeyUp = 0, KeyDown = 1 };

// The field keeps the end of a long line in sight; older text goes.
constexpr qsizetype kShownLength = 2000;

} // namespace

TextEntryController::TextEntryController(platform::Button* textKey, QWidget* bar, TextEntryField* field,
                                         platform::Button* doneKey, std::function<void()> letGoOfShift,
                                         QObject* parent)
    : QObject(parent), bar_(bar), field_(field), letGoOfShift_(std::move(letGoOfShift))
{
    textKey->addTarget(this, &TextEntryController::toggle, platform::ControlEventTouchUpInside);
    doneKey->addTarget(this, &TextEntryController::close, platform::ControlEventTouchUpInside);
    connect(field, &TextEntryField::typed, this, &TextEntryController::type);
    connect(field, &TextEntryField::pasted, this, &TextEntryController::paste);
    bar->hide();
}

void TextEntryController::open()
{
    sent_.clear();
    showSent();
    bar_->show();
    bar_->raise();
    field_->setFocus(Qt::OtherFocusReason);
    QGuiApplication::inputMethod()->show();
}

void TextEntryController::close()
{
    if (!isOpen())
        return;
    field_->clearFocus();
    QGuiApplication::inputMethod()->hide();
    bar_->hide();
    sent_.clear();
    showSent();
}

void TextEntryController::toggle()
{
    if (isOpen())
        close();
    else
        open();
}

bool TextEntryController::isOpen() const
{
    return bar_ && bar_->isVisibleTo(bar_->parentWidget());
}

bool TextEntryController::readyToType()
{
    if (remote_is_connected() != 0)
        return true;
    RemoteProtocolUtils::checkConnection();
    return false;
}

void TextEntryController::type(int erased, const QString& text)
{
    if (!readyToType())
        return;
    letGoOfShift_();
    for (int i = 0; i < erased; ++i) {
        if (!sendStroke(XK_BackSpace, false))
            return;
        // One character, not half of a surrogate pair.
        const qsizetype last = sent_.size() - (sent_.size() > 1 && sent_.back().isLowSurrogate() ? 2 : 1);
        sent_.truncate(std::max<qsizetype>(last, 0));
        showSent();
    }
    send(keysOfText(text).keys);
}

void TextEntryController::paste(const QString& text)
{
    if (text.isEmpty() || !readyToType())
        return;
    letGoOfShift_();
    const TextKeys keys = keysOfText(text, kMaxPastedCharacters);
    if (!send(keys.keys) || keys.leftOut == 0)
        return;
    platform::Alert::show(tr("Pasted Text Cut Short"),
                          tr("The first %L1 characters were typed; the other %L2 were left out.")
                              .arg(kMaxPastedCharacters)
                              .arg(keys.leftOut));
}

bool TextEntryController::send(const std::vector<TextKey>& keys)
{
    bool sent = true;
    for (const TextKey& key : keys) {
        sent = sendStroke(key.keysym, key.shifted);
        if (!sent)
            break;
        if (key.keysym == XK_Return)
            sent_.clear();
        else
            sent_ += QString::fromUcs4(&key.character, 1);
    }
    showSent();
    return sent;
}

bool TextEntryController::sendStroke(uint32_t keysym, bool shifted)
{
    if (shifted && remote_sendKeyboardEvent(KeyDown, XK_Shift_L) != 0)
        return false;
    const bool sent = remote_sendKeyboardEvent(KeyDown, keysym) == 0 && remote_sendKeyboardEvent(KeyUp, keysym) == 0;
    if (shifted && remote_sendKeyboardEvent(KeyUp, XK_Shift_L) != 0)
        return false;
    return sent;
}

void TextEntryController::showSent()
{
    if (sent_.size() > kShownLength) {
        sent_.remove(0, sent_.size() - kShownLength);
        if (sent_.front().isLowSurrogate())
            sent_.remove(0, 1);
    }
    field_->showSent(sent_);
}
