// SPDX-License-Identifier: GPL-3.0-or-later
// TextEntryController: the keyboard screen's text entry, for what its keys
// cannot type ("é", "ß", "ж", "中", "€", emoji, whatever an input method
// composes). The "text" key opens a one-line field over the top row of keys,
// which brings up the phone's own keyboard; "done" closes it. Every
// character typed or committed there is sent at once as a key down and key
// up of its keysym (TextKeys), Return and BackSpace as those keys; a paste is
// typed the same way, its first 1,000 characters (an alert says how many
// more were left out). The field shows what was sent since it opened or
// since the last Return, as the preview strip does for the keys.
//
// A latched Shift would change the text that arrives ("é" as "É"), so it is
// let go (key up and "Shift Up", as after any typed key) before text from
// the field is sent. Keys a finger holds on the keyboard (ctrl, alt) are
// left as they are: holding them is asking for them.
#pragma once

#include "TextKeys.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QWidget;
class TextEntryField;
namespace platform {
class Button;
}

class TextEntryController : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxPastedCharacters = 1000;

    // `letGoOfShift` releases the keyboard's shift latch, if it is on.
    TextEntryController(platform::Button* textKey, QWidget* bar, TextEntryField* field, platform::Button* doneKey,
                        std::function<void()> letGoOfShift, QObject* parent = nullptr);

    // Shows the field, empty, with the focus (the input method comes up).
    void open();
    // Hides it and puts the input method away.
    void close();
    // The text key: opens the field, or closes it when it is open.
    void toggle();
    bool isOpen() const;

    // What the field reports: `erased` BackSpaces, then the keys of `text`.
    void type(int erased, const QString& text);
    // A paste: its first kMaxPastedCharacters characters are typed.
    void paste(const QString& text);

private:
    // Sends the keys in order; stops at the first that the session could
    // not take (the session is then gone). False when it stopped.
    bool send(const std::vector<TextKey>& keys);
    bool sendStroke(uint32_t keysym, bool shifted);
    // Whether there is a session to type into; warns when there is none.
    bool readyToType();
    void showSent();

    QPointer<QWidget> bar_;
    QPointer<TextEntryField> field_;
    std::function<void()> letGoOfShift_;
    QString sent_; // since the field opened or the last Return
};
