// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComputerListViewController.h"

#include "LoginViewController.h"
#include "NotificationNames.h"
#include "RegisterComputerViewController.h"
#include "SettingsKeys.h"
#include "ui_ComputersView.h"

#include "platform/NavigationController.h"
#include "platform/TableViewCell.h"
#include "platform/Theme.h"
#include "platform/UserDefaults.h"


using platform::IndexPath;
using platform::NotificationCenter;
using platform::TableView;
using platform::TableViewCell;
using platform::TableViewCellEditingStyle;
using platform::Timer;
using platform::UserDefaults;

namespace {

const QString kCellIdentifier = QStringLiteral("ComputerListIdentifier");

enum Section { RegisteredSection = 0, DiscoveredSection = 1, HelpSection = 2 };

DiscoveryEndpoint& sharedDefaultEndpoint()
{
    static DiscoveryEndpoint endpoint;
    return endpoint;
}

std::shared_ptr<Computer> computerFrom(const platform::Notification& notification)
{
    const auto* computer = notification.objectAs<std::shared_ptr<Computer>>();
    return computer ? *computer : nullptr;
}

bool isDictionary(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantMap;
}

QString nameOf(const Computer& computer)
{
    return computer.computerName().value_or(QString());
}

} // namespace

ComputerListViewController::ComputerListViewController(QObject* parent)
    : platform::TableViewController(QStringLiteral("ComputersView"), parent), endpoint_(sharedDefaultEndpoint())
{
}

ComputerListViewController::~ComputerListViewController()
{
    stopDiscovery();
    close_socket();
}

void ComputerListViewController::setDefaultDiscoveryEndpoint(const DiscoveryEndpoint& endpoint)
{
    sharedDefaultEndpoint() = endpoint;
}

DiscoveryEndpoint ComputerListViewController::defaultDiscoveryEndpoint()
{
    return sharedDefaultEndpoint();
}

// ---------------------------------------------------------------- lifecycle

void ComputerListViewController::loadView()
{
    Ui::ComputersView form;
    loadViewFromForm(form);
    helpCell_ = form.helpCell;
    helpLabel_ = form.helpLabel;
    addItem_ = form.addItem;
}

void ComputerListViewController::viewDidLoad()
{
    platform::TableViewController::viewDidLoad();
    setUpLoadedView();
    // Should the view ever load again, the socket, the observers and the
    // lists of the first load stay; a second set would answer twice.
    if (loaded_)
        return;
    loaded_ = true;

    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(this, notification::kDiscoveredComputer,
                       [this](const platform::Notification& notification) { discoveredComputer(notification); });
    center.addObserver(this, notification::kRegisterComputer,
                       [this](const platform::Notification& notification) { registerComputer(notification); });

    computerList_.clear();
    computerList_.reserve(10);
    for (const QVariant& entry : UserDefaults::standardUserDefaults().arrayForKey(settingsKey::kRegisteredComputers)) {
        if (!isDictionary(entry))
            continue; // a hand-edited file may hold other things; they stay as they are
        auto computer = Computer::initWithDictionary(entry.toMap());
        computer->setDiscoverd(std::nullopt);
        computerList_.append(computer);
    }

    initialize_socket();
}

void ComputerListViewController::setUpLoadedView()
{
    setTitle(tr("Computers"));
    navigationItem()->setRightBarButtonItem(addItem_);
    connect(addItem_, &QAction::triggered, this, [this] { addComputer(addItem_); });
    helpCell_->setSelectionStyle(platform::TableViewCellSelectionStyle::None);
    QPalette palette = helpLabel_->palette();
    palette.setColor(QPalette::WindowText, platform::theme::secondaryLabel());
    helpLabel_->setPalette(palette);
    helpLabel_->setFont(platform::theme::font(14));
    helpLabelHeight_ = -1; // measured at the first layout
}

void ComputerListViewController::viewWillAppear(bool animated)
{
    platform::TableViewController::viewWillAppear(animated);
    tableView()->reloadData();
}

void ComputerListViewController::viewDidAppear(bool animated)
{
    platform::TableViewController::viewDidAppear(animated);
    onScreen_ = true;
    startDiscovery();
}

void ComputerListViewController::viewWillDisappear(bool animated)
{
    platform::TableViewController::viewWillDisappear(animated);
    onScreen_ = false;
    stopDiscovery();
}

void ComputerListViewController::startDiscovery()
{
    // At most one query timer: one from an earlier appearance goes first.
    stopDiscovery();
    boradcastQuery();
    broadcast_timer_ =
        Timer::scheduledTimer(queryInterval, true, [this](Timer& timer) { broadcast_timer_handler(timer); });
    // Replies that came while the list was hidden waited in the socket: the
    // run loop finds them at once.
    if (replyNotifier_)
        replyNotifier_->setEnabled(true);
}

void ComputerListViewController::stopDiscovery()
{
    for (std::shared_ptr<Timer>* timer : {&broadcast_timer_, &floodPauseTimer_}) {
        if (*timer)
            (*timer)->invalidate();
        timer->reset();
    }
    if (replyNotifier_)
        replyNotifier_->setEnabled(false);
}

bool ComputerListViewController::readsReplies() const
{
    return replyNotifier_ && replyNotifier_->isEnabled();
}

// ---------------------------------------------------------------- table

int ComputerListViewController::numberOfSectionsInTableView(TableView*)
{
    return 3;
}

QString ComputerListViewController::titleForHeaderInSection(TableView*, int section)
{
    switch (section) {
    case RegisteredSection:
        return QStringLiteral("Registered Computers");
    case DiscoveredSection:
        return QStringLiteral("Discovered Computers");
    default:
        return QString();
    }
}

int ComputerListViewController::numberOfRowsInSection(TableView*, int section)
{
    switch (section) {
    case RegisteredSection:
        return int(computerList_.size());
    case DiscoveredSection:
        return int(discovered_.computers().size());
    case HelpSection:
        return 1;
    default:
        return 0;
    }
}

TableViewCell* ComputerListViewController::cellForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath)
{
    if (indexPath.section == HelpSection)
        return helpCell_;
    const auto& computers = indexPath.section == RegisteredSection ? computerList_ : discovered_.computers();
    if (indexPath.row < 0 || indexPath.row >= computers.size())
        return nullptr;
    TableViewCell* cell = tableView->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = new TableViewCell(QRect(), kCellIdentifier);
    cell->setAccessoryType(platform::TableViewCellAccessoryType::DisclosureIndicator);
    cell->setText(nameOf(*computers[indexPath.row]));
    cell->setEditing(indexPath.section == RegisteredSection);
    return cell;
}

int ComputerListViewController::heightForRowAtIndexPath(TableView* tableView, const IndexPath& indexPath)
{
    if (indexPath.section != HelpSection || !helpLabel_)
        return platform::TableViewDelegate::heightForRowAtIndexPath(tableView, indexPath);
    // The help text wraps to the width of the grouped row. Laying out its
    // paragraphs is most of what the list's first layout costs: it is
    // measured once for each width the table is laid out at.
    const int margin = helpLabel_->x();
    const int rowWidth = tableView->viewport()->width() - 2 * platform::phone::kGroupInset;
    const int labelWidth = qMax(100, rowWidth - 2 * margin);
    if (labelWidth != helpLabel_->width() || helpLabelHeight_ < 0) {
        helpLabelHeight_ = helpLabel_->heightForWidth(labelWidth);
        helpLabel_->setGeometry(margin, helpLabel_->y(), labelWidth, helpLabelHeight_);
    }
    return helpLabelHeight_ + 2 * helpLabel_->y();
}

void ComputerListViewController::didSelectRowAtIndexPath(TableView* tableView, const IndexPath& indexPath)
{
    if (indexPath.section == HelpSection)
        return;
    const auto& computers = indexPath.section == RegisteredSection ? computerList_ : discovered_.computers();
    if (indexPath.row < 0 || indexPath.row >= computers.size())
        return;
    const std::shared_ptr<Computer> computer = computers[indexPath.row];
    selectedComputer_ = computer.get();
    tableView->deselectRowAtIndexPath(indexPath, true);

    auto* login = new LoginViewController; // no parent: the navigation stack owns it
    login->setComputer(computer);
    login->setTitle(nameOf(*computer));
    platform::NavigationController* navigation = navigationController();
    if (!navigation) {
        delete login;
        return;
    }
    // While the list is on screen the stack tells the screens it pushes of
    // their appearance itself; otherwise the calls are made here.
    const bool stackTellsAppearance = onScreen_;
    if (!stackTellsAppearance)
        login->viewWillAppear(true);
    navigation->pushViewController(login, true);
    if (!stackTellsAppearance)
        login->viewDidAppear(true);
}

bool ComputerListViewController::canEditRowAtIndexPath(TableView*, const IndexPath& indexPath)
{
    return indexPath.section == RegisteredSection;
}

TableViewCellEditingStyle ComputerListViewController::editingStyleForRowAtIndexPath(TableView*,
                                                                                    const IndexPath& indexPath)
{
    return indexPath.section == RegisteredSection ? TableViewCellEditingStyle::Delete : TableViewCellEditingStyle::None;
}

void ComputerListViewController::willBeginEditingRowAtIndexPath(TableView*, const IndexPath&) {}

void ComputerListViewController::commitEditingStyle(TableView*, TableViewCellEditingStyle style,
                                                    const IndexPath& indexPath)
{
    if (indexPath.section != RegisteredSection || indexPath.row < 0 || indexPath.row >= computerList_.size())
        return;
    const QString name = nameOf(*computerList_[indexPath.row]);
    if (style != TableViewCellEditingStyle::Delete)
        return;

    // Matched by name: of two registered computers with one name, the first goes.
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    QVariantList stored = defaults.arrayForKey(settingsKey::kRegisteredComputers);
    for (int i = 0; i < stored.size(); ++i) {
        if (isDictionary(stored[i]) && nameOf(*Computer::initWithDictionary(stored[i].toMap())) == name) {
            stored.removeAt(i);
            defaults.setObject(stored, settingsKey::kRegisteredComputers);
            defaults.synchronize();
            break;
        }
    }
    removeComputer(name);
}

void ComputerListViewController::removeComputer(const QString& name)
{
    for (int row = 0; row < computerList_.size(); ++row) {
        if (nameOf(*computerList_[row]) != name)
            continue;
        computerList_.removeAt(row);
        TableView* table = tableView();
        table->beginUpdates();
        table->deleteRowsAtIndexPaths({IndexPath::indexPathForRow(row, RegisteredSection)},
                                      platform::TableViewRowAnimation::Top);
        table->endUpdates();
        return;
    }
}

void ComputerListViewController::registerComputer(const platform::Notification& notification)
{
    const std::shared_ptr<Computer> computer = computerFrom(notification);
    if (!computer)
        return;
    UserDefaults& defaults = UserDefaults::standardUserDefaults();
    QVariantList stored = defaults.arrayForKey(settingsKey::kRegisteredComputers);
    stored.append(computer->encodeWithDictionary());
    defaults.setObject(stored, settingsKey::kRegisteredComputers);
    defaults.synchronize();

    computerList_.append(computer);
    tableView()->reloadData();
}

void ComputerListViewController::addComputer(QObject*)
{
    if (platform::NavigationController* navigation = navigationController(); navigation && regViewController_)
        navigation->pushViewController(regViewController_, true);
}

// ---------------------------------------------------------------- discovery

bool ComputerListViewController::initialize_socket()
{
    replyNotifier_.reset();
    if (!discovery_.open(endpoint_.localPort))
        return false;
    // The socket wakes the run loop when a datagram arrives, so that no
    // timer polls it; read only while the list is on screen.
    replyNotifier_ = std::make_unique<QSocketNotifier>(discovery_.fd(), QSocketNotifier::Read);
    replyNotifier_->setEnabled(onScreen_);
    connect(replyNotifier_.get(), &QSocketNotifier::activated, this, [this] { handleReplies(); });
    return true;
}

bool ComputerListViewController::boradcastQuery()
{
    discovery_.sendQuery(endpoint_);
    return true;
}

void ComputerListViewController::close_socket()
{
    replyNotifier_.reset(); // before its descriptor closes
    discovery_.close();
}

void ComputerListViewController::broadcast_timer_handler(Timer&)
{
    boradcastQuery();
}

void ComputerListViewController::handleReplies()
{
    const int taken = discovery_.poll(maxDatagramsPerPoll, [](const std::shared_ptr<Computer>& computer) {
        NotificationCenter::defaultCenter().postNotification(notification::kDiscoveredComputer, computer);
    });
    if (taken < maxDatagramsPerPoll || !replyNotifier_ || !onScreen_)
        return;
    // As many as one read takes: a flood, perhaps. The rest wait their turn.
    replyNotifier_->setEnabled(false);
    floodPauseTimer_ = Timer::scheduledTimer(floodPause, false, [this] {
        floodPauseTimer_.reset();
        if (replyNotifier_ && onScreen_)
            replyNotifier_->setEnabled(true);
    });
}

void ComputerListViewController::discoveredComputer(const platform::Notification& notification)
{
    const std::shared_ptr<Computer> computer = computerFrom(notification);
    if (!computer)
        return;
    // The first record of a name stays as it was found; a new name fills a
    // row, or takes the row of the name heard from longest ago.
    const DiscoveredComputers::Change change = discovered_.merge(computer);
    if (change.kind == DiscoveredComputers::Change::Kind::None)
        return;
    const IndexPath row = IndexPath::indexPathForRow(change.row, DiscoveredSection);
    TableView* table = tableView();
    table->beginUpdates();
    if (change.kind == DiscoveredComputers::Change::Kind::Replaced) {
        // Only a full list has rows replaced, which takes a flood of new
        // names: they change in place, without an animation each.
        table->deleteRowsAtIndexPaths({row}, platform::TableViewRowAnimation::None);
        table->insertRowsAtIndexPaths({row}, platform::TableViewRowAnimation::None);
    } else {
        table->insertRowsAtIndexPaths({row}, platform::TableViewRowAnimation::Top);
    }
    table->endUpdates();
}
