// SPDX-License-Identifier: GPL-3.0-or-later
#include "UITextFieldCell.h"

#include "platform/Theme.h"

namespace {

const QRect kTitleFrame(20, 2, 100, 40);
// The field starts at x 100, y 8; it is kept inside the row (right inset 12,
// the row's height less 8 above and below) so its text stays in sight.
constexpr int kFieldX = 100;
constexpr int kFieldY = 8;
constexpr int kFieldRightInset = 12;

} // namespace

UITextFieldCell::UITextFieldCell(QWidget* parent) : UITextFieldCell(QRect(), QString(), parent) {}

UITextFieldCell::UITextFieldCell(const QRect& frame, const QString& reuseIdentifier, QWidget* parent)
    : platform::TableViewCell(frame, reuseIdentifier, parent)
{
    auto* title = new QLabel(contentView());
    title->setGeometry(kTitleFrame);
    title->setFont(platform::theme::font(17, QFont::Medium));
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, platform::theme::label());
    title->setPalette(palette);
    title->setAttribute(Qt::WA_TransparentForMouseEvents);

    auto* field = new QLineEdit(contentView());
    field->setFrame(false);
    field->setFont(platform::theme::font(17));
    field->setClearButtonEnabled(true);

    setTitle(title);
    setTextField(field);
    setSelectionStyle(platform::TableViewCellSelectionStyle::None);
}

void UITextFieldCell::setTitle(QLabel* title)
{
    title_ = title;
}

void UITextFieldCell::setTextField(QLineEdit* textField)
{
    textField_ = textField;
    layoutField();
}

QString UITextFieldCell::titleText() const
{
    return title_ ? title_->text() : QString();
}

void UITextFieldCell::setTitleText(const QString& text)
{
    if (title_)
        title_->setText(text);
}

QString UITextFieldCell::placeholderText() const
{
    return textField_ ? textField_->placeholderText() : QString();
}

void UITextFieldCell::setPlaceholderText(const QString& text)
{
    if (textField_)
        textField_->setPlaceholderText(text);
}

void UITextFieldCell::setSelected(bool selected, bool animated)
{
    platform::TableViewCell::setSelected(selected, animated);
}

void UITextFieldCell::resizeEvent(QResizeEvent* event)
{
    platform::TableViewCell::resizeEvent(event);
    layoutField();
}

void UITextFieldCell::layoutField()
{
    if (!textField_ || textField_->parentWidget() != contentView())
        return;
    const int width = qMax(0, contentView()->width() - kFieldX - kFieldRightInset);
    const int height = qMax(0, contentView()->height() - 2 * kFieldY);
    textField_->setGeometry(kFieldX, kFieldY, width, height);
}
