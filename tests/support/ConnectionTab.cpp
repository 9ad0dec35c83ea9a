// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ConnectionTab.h"

#include "platform/Alert.h"
#include "platform/TableViewCell.h"
#include "platform/ViewAnimation.h"

#include <QApplication>
#include <QTest>

ConnectionTab::ConnectionTab(std::optional<DiscoveryEndpoint> endpoint)
{
    platform::ViewAnimation::setAnimationsEnabled(false);
    platform::NotificationCenter::defaultCenter().addObserver(
        this, QStringLiteral("Goto TabBar"), [this](const platform::Notification& notification) {
            gotoTabBar_.push_back(notification.integerObject().value_or(-1));
        });
    const DiscoveryEndpoint standard = ComputerListViewController::defaultDiscoveryEndpoint();
    ComputerListViewController::setDefaultDiscoveryEndpoint(
        endpoint.value_or(DiscoveryEndpoint{"127.255.255.255", discoveryPeer.port(), 0}));
    container = new ComputersViewController;
    ComputerListViewController::setDefaultDiscoveryEndpoint(standard);

    window.resize(320, 480);
    container->view()->setParent(&window);
    container->view()->setGeometry(0, 20, 320, 460);
    platform::Alert::setHostWindow(&window);
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window))
        QApplication::setActiveWindow(&window);
}

ConnectionTab::~ConnectionTab()
{
    platform::Alert::dismissAll();
    platform::Alert::clearHistory();
    platform::Alert::setHostWindow(nullptr);
    platform::NotificationCenter::defaultCenter().removeObserver(this);
    delete container;
    flushDeletes();
    platform::ViewAnimation::setAnimationsEnabled(true);
}

void ConnectionTab::tapRow(platform::TableView* table, const platform::IndexPath& indexPath)
{
    platform::TableViewCell* cell = table->cellForRowAtIndexPath(indexPath);
    if (!cell)
        return;
    fingers.tap(cell, QPointF(cell->width() / 2.0, cell->height() / 2.0));
}

QStringList ConnectionTab::rows(platform::TableView* table, int section)
{
    QStringList texts;
    for (int row = 0; row < table->numberOfRowsInSection(section); ++row)
        texts.append(table->cellForRowAtIndexPath({section, row})->text());
    return texts;
}

void ConnectionTab::postRegistered(const QString& name, const QString& ip, int port)
{
    auto computer = Computer::initWithInfo(name, QStringLiteral("Unknown"));
    computer->setIp(ip);
    computer->setPort(port);
    computer->setDiscoverd(std::nullopt);
    platform::NotificationCenter::defaultCenter().postNotification(QStringLiteral("Register Computer"), computer);
}

void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
