// SPDX-License-Identifier: GPL-3.0-or-later
#include "LoginViewController.h"

#include "ComputerSession.h"
#include "NotificationNames.h"
#include "SettingsKeys.h"
#include "ui_LoginView.h"

#include "platform/NavigationController.h"
#include "platform/NotificationCenter.h"
#include "platform/TableViewCell.h"
#include "platform/UserDefaults.h"

using platform::IndexPath;
using platform::TableView;
using platform::TableViewCell;
using platform::TableViewCellAccessoryType;

LoginViewController::LoginViewController(QObject* parent)
    : platform::TableViewController(QStringLiteral("LoginView"), parent)
{
}

void LoginViewController::loadView()
{
    Ui::LoginView form;
    loadViewFromForm(form);
    passwordCell_ = form.passwordCell;
    saveCell_ = form.saveCell;
    plainOnlyCell_ = form.plainOnlyCell;
    passwordField_ = form.passwordField;
    connectItem_ = new platform::BarButtonItem(tr("Connect"), platform::BarButtonItem::Done, this);

    passwordCell_->setSelectionStyle(platform::TableViewCellSelectionStyle::None);
    // The save row stays chosen; its check mark is all it shows.
    saveCell_->setSelectionStyle(platform::TableViewCellSelectionStyle::None);
    plainOnlyCell_->setSelectionStyle(platform::TableViewCellSelectionStyle::None);
    passwordField_->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData | Qt::ImhNoPredictiveText
                                        | Qt::ImhNoAutoUppercase);
    connect(passwordField_, &QLineEdit::returnPressed, this, [this] { textFieldShouldReturn(passwordField_); });
}

void LoginViewController::viewDidLoad()
{
    platform::TableViewController::viewDidLoad();
    navigationItem()->setRightBarButtonItem(connectItem_);
    connect(connectItem_, &QAction::triggered, this, [this] { selectedConnect(connectItem_); });
    // The mark is set by a tap on the login's alert, after the connect returned.
    platform::NotificationCenter::defaultCenter().addObserver(
        this, notification::kPlainOnlyMarkChanged, [this](const platform::Notification& changed) {
            const QString* name = changed.objectAs<QString>();
            if (name && *name == computerName())
                showPlainOnlyMark();
        });
}

QString LoginViewController::computerName() const
{
    return computer_ ? computer_->computerName().value_or(QString()) : QString();
}

void LoginViewController::showPlainOnlyMark()
{
    const bool marked = ComputerSession::isMarkedPlainOnly(computerName());
    showsPlainOnlyRow_ = showsPlainOnlyRow_ || marked;
    plainOnlyCell_->setAccessoryType(marked ? TableViewCellAccessoryType::Checkmark : TableViewCellAccessoryType::None);
    tableView()->reloadData();
}

void LoginViewController::viewWillAppear(bool animated)
{
    platform::TableViewController::viewWillAppear(animated);
    const std::optional<QString> saved = loadPassword(computerName());
    passwordField_->setText(saved.value_or(QString()));
    saveCell_->setAccessoryType(saved ? TableViewCellAccessoryType::Checkmark : TableViewCellAccessoryType::None);
    showsPlainOnlyRow_ = false;
    showPlainOnlyMark();
}

std::optional<QString> LoginViewController::savedPassword(const QString& name)
{
    const QVariantMap passwords = platform::UserDefaults::standardUserDefaults().dictionaryForKey(settingsKey::kPasswords);
    const auto found = passwords.constFind(name);
    if (found == passwords.constEnd())
        return std::nullopt;
    return found->toString();
}

int LoginViewController::numberOfSectionsInTableView(TableView*)
{
    return 1;
}

QString LoginViewController::titleForHeaderInSection(TableView*, int)
{
    return computerName();
}

QString LoginViewController::titleForFooterInSection(TableView*, int)
{
    if (!ComputerSession::isMarkedPlainOnly(computerName()))
        return QString();
    return tr("Marked as an old receiver without protection: the passcode and every key cross the network "
              "readable. Untick to log in securely.");
}

int LoginViewController::numberOfRowsInSection(TableView*, int)
{
    return showsPlainOnlyRow_ ? 3 : 2;
}

TableViewCell* LoginViewController::cellForRowAtIndexPath(TableView*, const IndexPath& indexPath)
{
    switch (indexPath.row) {
    case 0:
        return passwordCell_;
    case 1:
        return saveCell_;
    case 2:
        return showsPlainOnlyRow_ ? plainOnlyCell_.data() : nullptr;
    default:
        return nullptr;
    }
}

void LoginViewController::didSelectRowAtIndexPath(TableView*, const IndexPath& indexPath)
{
    if (indexPath.row == 2 && showsPlainOnlyRow_) {
        // Taken away at once; ticked again within the same visit, it comes back.
        ComputerSession::setMarkedPlainOnly(computerName(), !ComputerSession::isMarkedPlainOnly(computerName()));
        showPlainOnlyMark();
        return;
    }
    if (indexPath.row != 1)
        return;
    const bool saving = saveCell_->accessoryType() == TableViewCellAccessoryType::Checkmark;
    saveCell_->setAccessoryType(saving ? TableViewCellAccessoryType::None : TableViewCellAccessoryType::Checkmark);
}

bool LoginViewController::textFieldShouldReturn(QLineEdit* textField)
{
    if (textField == passwordField_)
        textField->clearFocus();
    return true;
}

void LoginViewController::selectedConnect(QObject*)
{
    if (!computer_)
        return;
    passwordField_->clearFocus();
    const QString passcode = passwordField_->text();
    const QString name = computerName();

    // The choice is stored before the connect is tried, whatever comes of it.
    platform::UserDefaults& defaults = platform::UserDefaults::standardUserDefaults();
    QVariantMap passwords = defaults.dictionaryForKey(settingsKey::kPasswords);
    if (saveCell_->accessoryType() == TableViewCellAccessoryType::Checkmark)
        passwords.insert(name, passcode);
    else
        passwords.remove(name);
    defaults.setObject(passwords, settingsKey::kPasswords);
    defaults.synchronize();

    // Once logged in, at once or after a tap on the login's alert (this
    // screen may be gone by then).
    const QPointer<LoginViewController> screen(this);
    ComputerSession::logIn(*computer_, passcode, ComputerSession::Origin::LoginScreen, [screen] {
        if (platform::NavigationController* navigation = screen ? screen->navigationController() : nullptr)
            navigation->popToRootViewControllerAnimated(false);
        platform::NotificationCenter::defaultCenter().postNotification(notification::kGotoTabBar, 0);
    });
}
