// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e/AppLayout.h"

#include "ComputerListViewController.h"
#include "ComputersViewController.h"
#include "MainViewController.h"

#include "platform/Alert.h"
#include "platform/AlertSheet.h"
#include "platform/Button.h"
#include "platform/NavigationBar.h"
#include "platform/NavigationController.h"
#include "platform/StatusBar.h"
#include "platform/TabBar.h"
#include "platform/TableView.h"
#include "platform/TableViewCell.h"

#include <QCoreApplication>
#include <QLabel>
#include <QScrollBar>

namespace e2e {

namespace {

// Landmarks are looked for on a grid this fine, each with this much flat
// colour around it.
constexpr int kLandmarkGrid = 12;
constexpr int kFlatRadius = 2;

// Discovery of the in-process app sends its query to the discard port of
// this computer and listens on a port of the system's choice: it must not
// take the replies meant for the app under test.
DiscoveryEndpoint nowhere()
{
    DiscoveryEndpoint endpoint;
    endpoint.address = "127.0.0.1";
    endpoint.destinationPort = 9;
    endpoint.localPort = 0;
    return endpoint;
}

class InertDiscovery {
public:
    InertDiscovery() : saved_(ComputerListViewController::defaultDiscoveryEndpoint())
    {
        ComputerListViewController::setDefaultDiscoveryEndpoint(nowhere());
    }
    ~InertDiscovery() { ComputerListViewController::setDefaultDiscoveryEndpoint(saved_); }

private:
    DiscoveryEndpoint saved_;
};

bool flatAround(const QImage& image, const QPoint& at)
{
    const QRgb color = image.pixel(at);
    for (int dy = -kFlatRadius; dy <= kFlatRadius; ++dy)
        for (int dx = -kFlatRadius; dx <= kFlatRadius; ++dx)
            if (image.pixel(at + QPoint(dx, dy)) != color)
                return false;
    return true;
}

} // namespace

AppLayout::AppLayout(const QByteArray& settings)
{
    const InertDiscovery inert;
    app_.writeSettings(settings);
    app_.launch();
}

AppLayout::~AppLayout() = default;

QPoint AppLayout::centerOf(const QWidget* widget) const
{
    return pointOf(widget, widget->rect().center());
}

QPoint AppLayout::pointOf(const QWidget* widget, const QPoint& local) const
{
    return widget->mapTo(window(), local);
}

QPoint AppLayout::alertButton() const
{
    auto* sheet = qobject_cast<platform::AlertSheet*>(platform::Alert::sheet());
    return sheet && sheet->isVisible() ? centerOf(sheet->button()) : QPoint(-1, -1);
}

void AppLayout::dismissAlert()
{
    platform::Alert::dismissCurrent();
    QCoreApplication::processEvents();
}

void AppLayout::showTab(int tab)
{
    main()->selectTabView(tab);
    QCoreApplication::processEvents();
}

void AppLayout::scrollComputerList(int offset)
{
    app_.computerList()->tableView()->verticalScrollBar()->setValue(offset);
}

int AppLayout::computerListScrollRange() const
{
    return app_.computerList()->tableView()->verticalScrollBar()->maximum();
}

QPoint AppLayout::computerRow(int section, int row) const
{
    platform::TableView* table = app_.computerList()->tableView();
    return centerOf(table->cellForRowAtIndexPath({section, row}));
}

QRect AppLayout::computerListHelpText() const
{
    const auto* label = app_.computerList()->helpCell()->findChild<QLabel*>(QStringLiteral("helpLabel"));
    return label ? QRect(pointOf(label, QPoint(0, 0)), label->size()) : QRect();
}

void AppLayout::showLoginOfRegistered(int row)
{
    ComputerListViewController* list = app_.computerList();
    list->didSelectRowAtIndexPath(list->tableView(), {0, row});
    QCoreApplication::processEvents();
}

QPoint AppLayout::connectButton() const
{
    return centerOf(main()->computerViewController()->naviController()->navigationBar()->rightButton());
}

void AppLayout::showTabBar()
{
    if (main()->tabbar()->isHidden())
        main()->toggleTabBar();
    QCoreApplication::processEvents();
}

void AppLayout::hideTabBar()
{
    if (!main()->tabbar()->isHidden())
        main()->toggleTabBar();
    QCoreApplication::processEvents();
}

QPoint AppLayout::tabBarItem(QAction* item) const
{
    platform::TabBar* bar = main()->tabbar();
    return pointOf(bar, bar->rectForItem(item).center());
}

QRect AppLayout::tabBarRect() const
{
    platform::TabBar* bar = main()->tabbar();
    return QRect(pointOf(bar, QPoint(0, 0)), bar->size());
}

std::vector<Landmark> AppLayout::landmarks() const
{
    const QImage image = window()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    std::vector<Landmark> marks;
    const int top = platform::StatusBar::kHeight + kFlatRadius;
    for (int y = top; y < image.height() - kFlatRadius; y += kLandmarkGrid)
        for (int x = kFlatRadius; x < image.width() - kFlatRadius; x += kLandmarkGrid)
            if (flatAround(image, {x, y}))
                marks.push_back({{x, y}, image.pixel(x, y)});
    return marks;
}

} // namespace e2e
