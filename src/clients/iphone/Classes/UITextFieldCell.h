// SPDX-License-Identifier: GPL-3.0-or-later
// A table row with a caption at the left and a text field beside it, as the
// register screen's rows are. Tapping the row does not highlight it.
#pragma once

#include "platform/TableView.h"
#include "platform/TableViewCell.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>

class UITextFieldCell : public platform::TableViewCell {
    Q_OBJECT
    // For interface files: the caption and the field's placeholder.
    Q_PROPERTY(QString titleText READ titleText WRITE setTitleText)
    Q_PROPERTY(QString placeholderText READ placeholderText WRITE setPlaceholderText)

public:
    explicit UITextFieldCell(QWidget* parent = nullptr);
    UITextFieldCell(const QRect& frame, const QString& reuseIdentifier, QWidget* parent = nullptr);

    QLabel* title() const { return title_; }
    void setTitle(QLabel* title);
    QLineEdit* textField() const { return textField_; }
    void setTextField(QLineEdit* textField);

    QString titleText() const;
    void setTitleText(const QString& text);
    QString placeholderText() const;
    void setPlaceholderText(const QString& text);

    void setSelected(bool selected, bool animated) override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutField();

    QPointer<QLabel> title_;
    QPointer<QLineEdit> textField_;
};
