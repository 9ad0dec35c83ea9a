// SPDX-License-Identifier: GPL-3.0-or-later
// The connection tab as the main view shows it: the container in a phone-
// sized window (below the status bar), its discovery pointed at a loopback
// peer, animations off, the window active so that fields take the focus.
// Create a TemporarySettings first: the list reads the store when it loads.
#pragma once

#include "ComputerListViewController.h"
#include "ComputersViewController.h"
#include "support/ConnectionTestSupport.h"

#include "support/platform/FingerSimulator.h"
#include "support/platform/ManualClock.h"
#include "platform/NavigationController.h"
#include "platform/NotificationCenter.h"
#include "platform/TableView.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class ConnectionTab {
public:
    // Discovery goes to the peer below by a loopback broadcast, or to `endpoint`.
    explicit ConnectionTab(std::optional<DiscoveryEndpoint> endpoint = std::nullopt);
    ~ConnectionTab();
    ConnectionTab(const ConnectionTab&) = delete;
    ConnectionTab& operator=(const ConnectionTab&) = delete;

    ComputerListViewController* list() const { return container->listViewController(); }
    platform::NavigationController* navigation() const { return container->naviController(); }
    platform::ViewController* top() const { return navigation()->topViewController(); }

    // A finger's tap on a row of a table on screen.
    void tapRow(platform::TableView* table, const platform::IndexPath& indexPath);
    // The texts of a section's rows.
    static QStringList rows(platform::TableView* table, int section);
    // Registers a computer as the register screen does.
    static void postRegistered(const QString& name, const QString& ip, int port);
    // The "Goto TabBar" indices posted since the tab was made.
    const std::vector<long long>& gotoTabBar() const { return gotoTabBar_; }

    UdpPeer discoveryPeer;
    QWidget window;
    ComputersViewController* container = nullptr;
    platform::FingerSimulator fingers;

private:
    std::vector<long long> gotoTabBar_;
};

// Deletes the screens a navigation stack let go of.
void flushDeletes();
