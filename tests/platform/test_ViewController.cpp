// SPDX-License-Identifier: GPL-3.0-or-later
// Screens: the view loads on first use, from a Designer form or in code;
// viewDidLoad runs once; platform views of the form wake after it is built.
#include "platform/Button.h"
#include "platform/TableViewCell.h"
#include "platform/TableViewController.h"
#include "platform/ViewController.h"

#include "ui_test_ViewControllerForm.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

class AwakeProbe : public View {
public:
    using View::View;
    QString titleAtAwake;
    int awakenings = 0;
    void awakeFromNib() override
    {
        ++awakenings;
        titleAtAwake = property("caption").toString();
    }
};

// A form in code, shaped as uic makes them: setupUi builds the widgets and
// sets their properties, the wake-up comes after.
struct ProbeForm {
    AwakeProbe* probe = nullptr;
    void setupUi(QWidget* root)
    {
        probe = new AwakeProbe(root);
        probe->setProperty("caption", "set by the form");
    }
};

class ProbeScreen : public ViewController {
public:
    ProbeForm ui;
    std::vector<std::string> calls;
    void loadView() override
    {
        calls.push_back("loadView");
        loadViewFromForm(ui);
    }
    void viewDidLoad() override { calls.push_back(isViewLoaded() ? "viewDidLoad" : "viewDidLoad without view"); }
};

TEST(ViewControllerTest, TheViewLoadsOnFirstUseAndViewDidLoadRunsOnce)
{
    ProbeScreen screen;
    EXPECT_FALSE(screen.isViewLoaded());
    EXPECT_TRUE(screen.calls.empty());
    QWidget* view = screen.view();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(screen.view(), view);
    EXPECT_EQ(screen.calls, (std::vector<std::string>{"loadView", "viewDidLoad"}));
    ASSERT_NE(screen.ui.probe, nullptr);
    EXPECT_EQ(screen.ui.probe->awakenings, 1);
    EXPECT_EQ(screen.ui.probe->titleAtAwake, "set by the form");
}

TEST(ViewControllerTest, AScreenWithoutAFormGetsAnEmptyViewAndItsViewGoesWithIt)
{
    QPointer<QWidget> view;
    {
        ViewController screen;
        view = screen.view();
        EXPECT_NE(view, nullptr);
        QWidget host;
        view->setParent(&host);
        view->setParent(nullptr);
    }
    EXPECT_TRUE(view.isNull());
}

class FormTableScreen : public TableViewController {
public:
    Ui::SampleView ui;
    void loadView() override { loadViewFromForm(ui); }
    int numberOfRowsInSection(TableView*, int) override { return 1; }
    TableViewCell* cellForRowAtIndexPath(TableView*, const IndexPath&) override { return ui.helpCell; }
    QString titleForHeaderInSection(TableView*, int) override { return QStringLiteral("About"); }
};

TEST(ViewControllerTest, ADesignerFormGivesTypedOutletsAndTheTableIsFoundAndFilled)
{
    FormTableScreen screen;
    screen.view();
    EXPECT_EQ(screen.ui.okButton->currentTitle(), "OK");
    EXPECT_EQ(screen.ui.okButton->tag(), 42);
    EXPECT_EQ(screen.tableView(), screen.ui.tableView);
    EXPECT_EQ(screen.tableView()->dataSource(), &screen);

    screen.viewWillAppear(false);
    ASSERT_EQ(screen.tableView()->numberOfSections(), 1);
    EXPECT_EQ(screen.tableView()->headerTitleForSection(0), "About");
    EXPECT_EQ(screen.tableView()->cellForRowAtIndexPath({0, 0}), screen.ui.helpCell);
    EXPECT_EQ(screen.ui.helpCell->text(), "Help");
}

TEST(ViewControllerTest, TheTitleIsTheNavigationItemsTitle)
{
    ViewController screen;
    int changes = 0;
    QObject::connect(screen.navigationItem(), &NavigationItem::changed, [&] { ++changes; });
    screen.setTitle("Add a computer");
    EXPECT_EQ(screen.navigationItem()->title(), "Add a computer");
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(screen.shouldAutorotateToInterfaceOrientation(InterfaceOrientation::Portrait));
    EXPECT_FALSE(screen.shouldAutorotateToInterfaceOrientation(InterfaceOrientation::LandscapeRight));
}

} // namespace
