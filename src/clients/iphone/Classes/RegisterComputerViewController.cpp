// SPDX-License-Identifier: GPL-3.0-or-later
#include "RegisterComputerViewController.h"

#include "Computer.h"
#include "NotificationNames.h"
#include "UITextFieldCell.h"
#include "ui_RegisterComputerView.h"

#include "platform/Alert.h"
#include "platform/NavigationController.h"
#include "platform/NotificationCenter.h"
#include "platform/ViewAnimation.h"

#include <QKeyEvent>

#include <climits>
#include <cstdint>
#include <limits>

using platform::IndexPath;
using platform::TableView;
using platform::TableViewCell;

namespace {

// The keyboard's slide: 0.3 s as a single-precision value, widened.
const double kResizeDuration = double(0.3f);

} // namespace

RegisterComputerViewController::RegisterComputerViewController(QObject* parent)
    : platform::TableViewController(QStringLiteral("RegisterComputerView"), parent)
{
}

void RegisterComputerViewController::loadView()
{
    Ui::RegisterComputerView form;
    loadViewFromForm(form);
    nameCell_ = form.nameCell;
    ipCell_ = form.ipCell;
    portCell_ = form.portCell;
    nameField_ = nameCell_->textField();
    ipField_ = ipCell_->textField();
    portField_ = portCell_->textField();
    saveButtonItem_ = new platform::BarButtonItem(tr("Save"), platform::BarButtonItem::Done, this);

    nameField_->setInputMethodHints(Qt::ImhNoPredictiveText);
    ipField_->setInputMethodHints(Qt::ImhPreferNumbers | Qt::ImhNoPredictiveText | Qt::ImhNoAutoUppercase);
    portField_->setInputMethodHints(Qt::ImhDigitsOnly);
    for (QLineEdit* field : {nameField_.data(), ipField_.data(), portField_.data()}) {
        // Editing starts with a tap: focus passed on when another screen
        // hides must not shrink the view as if the keyboard had come up.
        field->setFocusPolicy(Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::returnPressed, this, [this, field] { textFieldShouldReturn(field); });
    }
}

void RegisterComputerViewController::viewDidLoad()
{
    platform::TableViewController::viewDidLoad();
    setTitle(QStringLiteral("Add a computer"));
    navigationItem()->setRightBarButtonItem(saveButtonItem_);
    connect(saveButtonItem_, &QAction::triggered, this, [this] { save(saveButtonItem_); });
}

int RegisterComputerViewController::numberOfSectionsInTableView(TableView*)
{
    return 1;
}

int RegisterComputerViewController::numberOfRowsInSection(TableView*, int)
{
    return 3;
}

TableViewCell* RegisterComputerViewController::cellForRowAtIndexPath(TableView*, const IndexPath& indexPath)
{
    switch (indexPath.row) {
    case 0:
        return nameCell_;
    case 1:
        return ipCell_;
    case 2:
        return portCell_;
    default:
        return nullptr;
    }
}

bool RegisterComputerViewController::eventFilter(QObject* watched, QEvent* event)
{
    auto* field = qobject_cast<QLineEdit*>(watched);
    const QList<QLineEdit*> fields{nameField_.data(), ipField_.data(), portField_.data()};
    if (field && fields.contains(field)) {
        if (event->type() == QEvent::FocusIn) {
            textFieldDidBeginEditing(field);
        } else if (event->type() == QEvent::FocusOut) {
            textFieldDidEndEditing(field);
        } else if (event->type() == QEvent::KeyPress) {
            // A hardware keyboard's Tab still steps through the three fields.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
                const int step = key == Qt::Key_Tab ? 1 : int(fields.size()) - 1;
                fields[(fields.indexOf(field) + step) % fields.size()]->setFocus(Qt::TabFocusReason);
                return true;
            }
        }
    }
    return platform::TableViewController::eventFilter(watched, event);
}

bool RegisterComputerViewController::textFieldShouldReturn(QLineEdit* textField)
{
    textField->clearFocus();
    return true;
}

void RegisterComputerViewController::textFieldDidBeginEditing(QLineEdit*)
{
    resizeViewBy(-keyboardHeight);
}

void RegisterComputerViewController::textFieldDidEndEditing(QLineEdit*)
{
    resizeViewBy(keyboardHeight);
}

void RegisterComputerViewController::resizeViewBy(int heightChange)
{
    QWidget* root = view();
    // Start from where an unfinished resize is heading, not from where it has
    // got to, so that leaving one field for another ends at the same height.
    const QRect from = plannedFrame_.value_or(root->geometry());
    const QRect to(from.x(), from.y(), from.width(), from.height() + heightChange);
    const int generation = ++resizeGeneration_;
    plannedFrame_ = to;
    QPointer<RegisterComputerViewController> self(this);
    platform::ViewAnimation(kResizeDuration)
        .setFrame(root, to)
        .whenFinished([self, generation] {
            if (self && self->resizeGeneration_ == generation)
                self->plannedFrame_.reset();
        })
        .commit();
}

void RegisterComputerViewController::save(QObject*)
{
    // A computer stored with a port it can never be reached on would only
    // fail later, at the login, without saying why.
    const std::optional<int> port = portOfText(portField_->text());
    if (!port) {
        platform::Alert::show(QStringLiteral("Invalid Port"),
                              QStringLiteral("The port is a number from 1 to 65535. Leave the field empty for %1.")
                                  .arg(Computer::defaultPort),
                              QStringLiteral("OK"));
        return;
    }
    auto computer = Computer::initWithInfo(nameField_->text(), QStringLiteral("Unknown"));
    computer->setPort(*port);
    computer->setIp(ipField_->text());
    computer->setDiscoverd(std::nullopt);
    platform::NotificationCenter::defaultCenter().postNotification(notification::kRegisterComputer, computer);
    if (platform::NavigationController* navigation = navigationController())
        navigation->popToRootViewControllerAnimated(true);
}

std::optional<int> RegisterComputerViewController::portOfText(const QString& text)
{
    if (text.trimmed().isEmpty())
        return Computer::defaultPort;
    const int value = integerValueOfText(text);
    if (value < 1 || value > std::numeric_limits<uint16_t>::max())
        return std::nullopt;
    return value;
}

int RegisterComputerViewController::integerValueOfText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Counted past the int range only as far as needed to saturate.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        value = qMin(limit, value * 10 + (text[i].unicode() - u'0'));
    return int(negative ? -value : value);
}
