// SPDX-License-Identifier: GPL-3.0-or-later
// The computer list of the connection tab: the computers registered by hand,
// those found on the network, and a help row. It also runs discovery: a
// query broadcast every 3 s while the list is on screen, replies read from a
// non-blocking socket (DiscoveryClient) as the run loop sees them arrive, at
// most 64 names shown (DiscoveredComputers).
#pragma once

#include "Computer.h"
#include "DiscoveredComputers.h"
#include "DiscoveryClient.h"
#include "DiscoveryEndpoint.h"
#include "RegisterComputerViewController.h"

#include "platform/NotificationCenter.h"
#include "platform/TableViewCell.h"
#include "platform/TableViewController.h"
#include "platform/Timer.h"

#include <QLabel>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>

#include <memory>

class ComputerListViewController : public platform::TableViewController {
    Q_OBJECT

public:
    // One read of the socket takes at most this many datagrams; a read that
    // takes that many leaves the rest for floodPause later, so that a host
    // flooding the port gets no more than that many a second and cannot
    // freeze the screen.
    static constexpr int maxDatagramsPerPoll = 64;
    static constexpr double floodPause = 1.0;
    // Discovered names shown at most; a new one then replaces the name heard from longest ago.
    static constexpr int maxDiscoveredComputers = DiscoveredComputers::defaultCapacity;
    static constexpr double queryInterval = 3.0;

    // Made from the interface file "ComputersView".
    explicit ComputerListViewController(QObject* parent = nullptr);
    ~ComputerListViewController() override;

    // The endpoint newly created lists use (the app's command line sets it).
    static void setDefaultDiscoveryEndpoint(const DiscoveryEndpoint& endpoint);
    static DiscoveryEndpoint defaultDiscoveryEndpoint();
    // The local port is taken when the socket opens (the view loads), the
    // destination at each query.
    void setDiscoveryEndpoint(const DiscoveryEndpoint& endpoint) { endpoint_ = endpoint; }
    const DiscoveryEndpoint& discoveryEndpoint() const { return endpoint_; }
    // The local port the discovery socket is bound to; 0 when it is not bound.
    uint16_t boundPort() const { return discovery_.boundPort(); }

    const QList<std::shared_ptr<Computer>>& computerList() const { return computerList_; }
    const QList<std::shared_ptr<Computer>>& discoveredComputers() const { return discovered_.computers(); }
    Computer* selectedComputer() const { return selectedComputer_; }
    int sockfd() const { return discovery_.fd(); }
    const std::shared_ptr<platform::Timer>& broadcast_timer() const { return broadcast_timer_; }
    // Whether the run loop reads replies as they arrive: while the list is
    // on screen, except for the pause after a flood.
    bool readsReplies() const;
    RegisterComputerViewController* regViewController() const { return regViewController_; }
    void setRegViewController(RegisterComputerViewController* controller) { regViewController_ = controller; }
    platform::TableViewCell* helpCell() const { return helpCell_; }
    // The add button at the right of the navigation bar.
    QAction* addItem() const { return addItem_; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    int numberOfSectionsInTableView(platform::TableView* tableView) override;
    QString titleForHeaderInSection(platform::TableView* tableView, int section) override;
    int numberOfRowsInSection(platform::TableView* tableView, int section) override;
    platform::TableViewCell* cellForRowAtIndexPath(platform::TableView* tableView,
                                                   const platform::IndexPath& indexPath) override;
    int heightForRowAtIndexPath(platform::TableView* tableView, const platform::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(platform::TableView* tableView, const platform::IndexPath& indexPath) override;
    bool canEditRowAtIndexPath(platform::TableView* tableView, const platform::IndexPath& indexPath) override;
    platform::TableViewCellEditingStyle editingStyleForRowAtIndexPath(platform::TableView* tableView,
                                                                      const platform::IndexPath& indexPath) override;
    void willBeginEditingRowAtIndexPath(platform::TableView* tableView, const platform::IndexPath& indexPath) override;
    void commitEditingStyle(platform::TableView* tableView, platform::TableViewCellEditingStyle style,
                            const platform::IndexPath& indexPath) override;

    void removeComputer(const QString& name);
    void registerComputer(const platform::Notification& notification);
    void addComputer(QObject* sender);

    // Discovery.
    bool initialize_socket();
    bool boradcastQuery();
    void close_socket();
    void broadcast_timer_handler(platform::Timer& timer);
    // Reads the replies waiting (at most maxDatagramsPerPoll): the run loop
    // calls it when the socket has something to read.
    void handleReplies();
    void discoveredComputer(const platform::Notification& notification);

private:
    void setUpLoadedView();
    void startDiscovery();
    void stopDiscovery();

    DiscoveryEndpoint endpoint_;
    QList<std::shared_ptr<Computer>> computerList_;
    DiscoveredComputers discovered_;
    Computer* selectedComputer_ = nullptr;
    DiscoveryClient discovery_;
    std::unique_ptr<QSocketNotifier> replyNotifier_; // while the socket is open
    std::shared_ptr<platform::Timer> broadcast_timer_;
    std::shared_ptr<platform::Timer> floodPauseTimer_;
    QPointer<RegisterComputerViewController> regViewController_;
    QPointer<platform::TableViewCell> helpCell_;
    QPointer<QLabel> helpLabel_;
    int helpLabelHeight_ = -1; // at the label's width; -1 until measured
    QPointer<QAction> addItem_;
    bool loaded_ = false;   // the view-load steps ran (they run once per controller)
    bool onScreen_ = false; // between did-appear and will-disappear
};
