// SPDX-License-Identifier: GPL-3.0-or-later
// The login screen: the passcode of one computer, the choice to save it,
// and the connect that opens the receiver session. For a computer marked as
// an old receiver without protection, a third row shows the mark and takes
// it away.
#pragma once

#include "Computer.h"

#include "platform/BarButtonItem.h"
#include "platform/TableViewCell.h"
#include "platform/TableViewController.h"

#include <QLineEdit>
#include <QPointer>

#include <memory>
#include <optional>

class LoginViewController : public platform::TableViewController {
    Q_OBJECT

public:
    // Made from the interface file "LoginView".
    explicit LoginViewController(QObject* parent = nullptr);

    const std::shared_ptr<Computer>& computer() const { return computer_; }
    void setComputer(std::shared_ptr<Computer> computer) { computer_ = std::move(computer); }

    platform::TableViewCell* passwordCell() const { return passwordCell_; }
    platform::TableViewCell* saveCell() const { return saveCell_; }
    // Ticked while the computer is marked as an old receiver without
    // protection; shown only for a computer that is or was so marked.
    platform::TableViewCell* plainOnlyCell() const { return plainOnlyCell_; }
    QLineEdit* passwordField() const { return passwordField_; }
    platform::BarButtonItem* connectItem() const { return connectItem_; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // The passcode saved for a computer of that name, if any.
    std::optional<QString> loadPassword(const QString& name) const { return savedPassword(name); }
    static std::optional<QString> savedPassword(const QString& name);

    int numberOfSectionsInTableView(platform::TableView* tableView) override;
    QString titleForHeaderInSection(platform::TableView* tableView, int section) override;
    QString titleForFooterInSection(platform::TableView* tableView, int section) override;
    int numberOfRowsInSection(platform::TableView* tableView, int section) override;
    platform::TableViewCell* cellForRowAtIndexPath(platform::TableView* tableView,
                                                   const platform::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(platform::TableView* tableView, const platform::IndexPath& indexPath) override;

    // Text-field delegate: return only hides the keyboard.
    bool textFieldShouldReturn(QLineEdit* textField);

    // Saves or forgets the passcode, then connects and logs in.
    void selectedConnect(QObject* sender);

private:
    QString computerName() const;
    void showPlainOnlyMark();

    std::shared_ptr<Computer> computer_;
    // Whether the screen shows the mark's row: the computer was marked when
    // the screen appeared, or has been since.
    bool showsPlainOnlyRow_ = false;
    QPointer<platform::TableViewCell> passwordCell_;
    QPointer<platform::TableViewCell> saveCell_;
    QPointer<platform::TableViewCell> plainOnlyCell_;
    QPointer<QLineEdit> passwordField_;
    QPointer<platform::BarButtonItem> connectItem_;
};
