// SPDX-License-Identifier: GPL-3.0-or-later
// The register screen: a computer's name, address and port entered by hand.
// Saving hands the new computer to the list with "Register Computer" and
// goes back to the list; the fields keep what was typed for the next visit.
#pragma once

#include "UITextFieldCell.h"

#include "platform/BarButtonItem.h"
#include "platform/TableViewController.h"

#include <QLineEdit>
#include <QPointer>

#include <optional>


class RegisterComputerViewController : public platform::TableViewController {
    Q_OBJECT

public:
    // How far the view shrinks while a field is edited, to make room for the keyboard.
    static constexpr int keyboardHeight = 160;

    explicit RegisterComputerViewController(QObject* parent = nullptr);

    UITextFieldCell* nameCell() const { return nameCell_; }
    UITextFieldCell* ipCell() const { return ipCell_; }
    UITextFieldCell* portCell() const { return portCell_; }
    platform::BarButtonItem* saveButtonItem() const { return saveButtonItem_; }
    QLineEdit* nameField() const { return nameField_; }
    QLineEdit* ipField() const { return ipField_; }
    QLineEdit* portField() const { return portField_; }

    void loadView() override;
    void viewDidLoad() override;

    int numberOfSectionsInTableView(platform::TableView* tableView) override;
    int numberOfRowsInSection(platform::TableView* tableView, int section) override;
    platform::TableViewCell* cellForRowAtIndexPath(platform::TableView* tableView,
                                                   const platform::IndexPath& indexPath) override;

    // Text-field delegate.
    bool textFieldShouldReturn(QLineEdit* textField);
    void textFieldDidBeginEditing(QLineEdit* textField);
    void textFieldDidEndEditing(QLineEdit* textField);

    // Registers the computer and returns to the list; a port that is no
    // port is refused with an "Invalid Port" alert and nothing is stored.
    void save(QObject* sender);

    // The port the field asks for: the receivers' default port when it is
    // empty, else the integer at its start when that is a port (1 to 65535);
    // nothing otherwise.
    static std::optional<int> portOfText(const QString& text);
    // The integer at the start of `text`: leading white space skipped, an
    // optional sign, the decimal digits up to the first other character;
    // 0 when the text does not begin with a number. Saturates at the int range.
    static int integerValueOfText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resizeViewBy(int heightChange);

    QPointer<UITextFieldCell> nameCell_;
    QPointer<UITextFieldCell> ipCell_;
    QPointer<UITextFieldCell> portCell_;
    QPointer<platform::BarButtonItem> saveButtonItem_;
    QPointer<QLineEdit> nameField_;
    QPointer<QLineEdit> ipField_;
    QPointer<QLineEdit> portField_;
    // The frame an unfinished resize is heading for.
    std::optional<QRect> plannedFrame_;
    int resizeGeneration_ = 0;
};
