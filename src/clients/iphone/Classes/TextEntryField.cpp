// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextEntryField.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

TextEntryField::TextEntryField(QWidget* parent) : QLineEdit(parent)
{
    // A remote terminal or form gets what the person typed, not a word the
    // input method capitalised on its own.
    setInputMethodHints(Qt::ImhNoAutoUppercase);
    setAcceptDrops(false);
    setFocusPolicy(Qt::ClickFocus);
    connect(this, &QLineEdit::cursorPositionChanged, this, &TextEntryField::keepCursorAtEnd);
    connect(this, &QLineEdit::selectionChanged, this, &TextEntryField::keepCursorAtEnd);
}

void TextEntryField::showSent(const QString& text)
{
    if (text != this->text())
        setText(text);
    keepCursorAtEnd();
}

// A tap or a drag in the field must not place the cursor or select: the
// text before the cursor is what the computer has.
void TextEntryField::keepCursorAtEnd()
{
    if (hasSelectedText())
        deselect();
    if (cursorPosition() != int(text().size()))
        setCursorPosition(int(text().size()));
}

void TextEntryField::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    if (event->matches(QKeySequence::Paste)) {
        emit pasted(QGuiApplication::clipboard()->text());
        return;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
        emit typed(1, QString());
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit typed(0, QStringLiteral("\n"));
        return;
    default:
        break;
    }
    // Shortcuts and the cursor keys would edit the field in place: ignored.
    const Qt::KeyboardModifiers commands = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (!(event->modifiers() & commands) && !event->text().isEmpty())
        emit typed(0, event->text());
}

void TextEntryField::inputMethodEvent(QInputMethodEvent* event)
{
    // The commit may replace text before the cursor (an autocorrected word):
    // that text is erased at the computer and typed again as replaced,
    // with whatever stood after the replaced part.
    const QString shown = text();
    const qsizetype length = shown.size();
    if (!event->commitString().isEmpty() || event->replacementLength() > 0) {
        const qsizetype start = std::clamp<qsizetype>(length + event->replacementStart(), 0, length);
        const qsizetype end = std::min<qsizetype>(length, start + std::max(event->replacementLength(), 0));
        const int erased = int(QStringView(shown).mid(start).toUcs4().size());
        const QString retyped = event->commitString() + shown.mid(end);
        if (erased > 0 || !retyped.isEmpty())
            emit typed(erased, retyped);
    }
    // What is still being composed is shown, as the input method expects.
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QLineEdit::inputMethodEvent(&composing);
    event->accept();
}

void TextEntryField::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    const QString clipboard = QGuiApplication::clipboard()->text();
    QAction* paste = menu.addAction(tr("Paste"));
    paste->setEnabled(!clipboard.isEmpty());
    if (menu.exec(event->globalPos()) == paste)
        emit pasted(clipboard);
}

bool TextEntryField::focusNextPrevChild(bool)
{
    return false;
}
