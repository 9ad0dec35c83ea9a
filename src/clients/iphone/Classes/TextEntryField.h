// SPDX-License-Identifier: GPL-3.0-or-later
// TextEntryField: the keyboard screen's one-line text field, which brings up
// the phone's own keyboard (its input method). Nothing is edited in place:
// what a person types there (keys, the text an input method commits, a
// paste) is handed on as the characters to erase before the cursor and the
// text to type, and the field shows only what its owner says was sent. So
// the cursor always stays at the end, and the input method's text under
// composition (pinyin, an accent waiting for its letter) is shown but sent
// only once committed.
#pragma once

#include <QLineEdit>

class TextEntryField : public QLineEdit {
    Q_OBJECT

public:
    explicit TextEntryField(QWidget* parent = nullptr);

    // Shows `text`, the cursor at its end.
    void showSent(const QString& text);

signals:
    // Erase `erased` characters before the cursor (BackSpace), then type
    // `text` ("\n" for Return).
    void typed(int erased, const QString& text);
    // Text pasted from the clipboard.
    void pasted(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    // Tab is typed, not a move to the next control.
    bool focusNextPrevChild(bool next) override;

private:
    void keepCursorAtEnd();
};
