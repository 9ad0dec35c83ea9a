// SPDX-License-Identifier: GPL-3.0-or-later
// What the computer list costs the screen: its first layout and paint with
// 0, 8 and 64 computers registered (start-up waits for it; the summary at
// the end gives each over the empty list's: the rows below the screen must
// cost nothing), the table's
// insert of one row at the end of 10, 100 and 1,000 rows (the cost must not
// grow with the table), and the computer list taking 1,000 replies with
// distinct names from loopback, 64 per read of the socket as the run loop
// takes them: the longest read (with the paint that follows it) is how long
// the screen stalls. As in the app, a read that takes 64 is followed by the
// flood's pause of a second: each row animation of one read has ended before
// the next.
//
//     build/release/bench/bench_computer_list
#include "ComputerListViewController.h"
#include "ComputersViewController.h"
#include "Mojo.h"

#include "support/platform/ManualClock.h"
#include "platform/TableView.h"
#include "platform/TableViewCell.h"
#include "platform/TableViewDataSource.h"
#include "platform/UserDefaults.h"
#include "platform/ViewAnimation.h"

#include "support/LatencySamples.h"
#include "support/LoopbackSockets.h"
#include "support/OffscreenBenchmarkMain.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QWidget>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using bench::Clock;

class Rows : public platform::TableViewDataSource {
public:
    int count = 0;
    int numberOfRowsInSection(platform::TableView*, int) override { return count; }
    platform::TableViewCell* cellForRowAtIndexPath(platform::TableView* table, const platform::IndexPath& at) override
    {
        platform::TableViewCell* cell = table->dequeueReusableCellWithIdentifier(QStringLiteral("row"));
        if (!cell)
            cell = new platform::TableViewCell(QRect(), QStringLiteral("row"));
        cell->setText(QStringLiteral("Computer %1").arg(at.row));
        return cell;
    }
};

void BM_TableInsertRowAtTheEnd(benchmark::State& state)
{
    platform::ViewAnimation::setAnimationsEnabled(false);
    QWidget window;
    window.resize(320, 460);
    platform::TableView table(&window);
    table.resize(320, 460);
    Rows rows;
    rows.count = int(state.range(0));
    table.setDataSource(&rows);
    table.reloadData();
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        const platform::IndexPath last{0, rows.count};
        ++rows.count;
        const auto start = Clock::now();
        table.beginUpdates();
        table.insertRowsAtIndexPaths({last}, platform::TableViewRowAnimation::Top);
        table.endUpdates();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        --rows.count;
        table.deleteRowsAtIndexPaths({last}, platform::TableViewRowAnimation::None);
    }
    platform::ViewAnimation::setAnimationsEnabled(true);
}
BENCHMARK(BM_TableInsertRowAtTheEnd)->Arg(10)->Arg(100)->Arg(1000)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Each iteration of the connection tab's first layout, in microseconds, by
// the number of computers registered.
std::map<int, std::vector<double>> gFirstLayouts;

// The connection tab as start-up makes it, with `registered` computers
// stored: from the screen's making (its list loads and appears) to its first
// paint, the one the user waits for. The help row's text is measured in it.
void BM_ConnectionTabFirstLayout(benchmark::State& state)
{
    std::vector<double>& samples = gFirstLayouts[int(state.range(0))];
    QTemporaryDir settings;
    qputenv("QUILLON_SETTINGS", settings.filePath("settings.json").toLocal8Bit());
    platform::UserDefaults::resetStandardUserDefaults();
    QVariantList stored;
    for (int i = 0; i < int(state.range(0)); ++i)
        stored.append(QVariantMap{{"ComputerName", QStringLiteral("Computer %1").arg(i)},
                                  {"Ip", QStringLiteral("192.168.1.%1").arg(i + 10)},
                                  {"Os", QStringLiteral("Linux")},
                                  {"Port", 25736}});
    platform::UserDefaults::standardUserDefaults().setObject(stored, QStringLiteral("RegisteredComputers"));
    ComputerListViewController::setDefaultDiscoveryEndpoint({"127.255.255.255", 9, 0});
    QWidget window;
    window.resize(320, 460);
    window.show();
    QApplication::processEvents();
    for (auto _ : state) {
        platform::ScopedManualClock clock;
        const auto start = Clock::now();
        ComputersViewController tab;
        QWidget* view = tab.view();
        view->setParent(&window);
        view->setGeometry(0, 0, 320, 460);
        view->show();
        window.repaint();
        bench::recordSample(state, samples, Clock::now() - start);
        tab.viewWillDisappear(false);
        delete view;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    platform::UserDefaults::resetStandardUserDefaults();
}
BENCHMARK(BM_ConnectionTabFirstLayout)->Arg(0)->Arg(8)->Arg(64)->UseManualTime()->Unit(benchmark::kMillisecond);

// A receiver's reply under `name`, as a forger sends it.
std::vector<uint8_t> replyNamed(const std::string& name)
{
    mojo_node* reply = mojo_create_with_type(MOJO_DICTIONARY);
    const auto insert = [reply](const char* key, mojo_node* value) {
        mojo_dic_insert(reply, mojo_create_pair(mojo_create_pair_value(key, value)));
    };
    insert("Name", mojo_create_string(name.c_str()));
    insert("Port", mojo_create_int(25736));
    insert("Ip", mojo_create_string("?"));
    insert("Os", mojo_create_string("Linux"));
    insert("ReceiverName", mojo_create_string("forged"));
    insert("ReceiverVer", mojo_create_string("1"));
    std::vector<uint8_t> bytes(1024);
    bytes.resize(size_t(mojo_encode(reply, bytes.data(), int(bytes.size()))));
    mojo_delete(reply);
    return bytes;
}

void BM_ThousandForgedNames(benchmark::State& state)
{
    constexpr int kNames = 1000;
    QTemporaryDir settings;
    qputenv("QUILLON_SETTINGS", settings.filePath("settings.json").toLocal8Bit());
    // Queries go to the discard port of the loopback broadcast address.
    ComputerListViewController::setDefaultDiscoveryEndpoint({"127.255.255.255", 9, 0});
    for (auto _ : state) {
        platform::ScopedManualClock clock;
        QWidget window;
        window.resize(320, 460);
        ComputerListViewController list;
        list.view()->setParent(&window);
        list.view()->resize(320, 460);
        window.show();
        list.viewWillAppear(false);
        list.viewDidAppear(false);
        QApplication::processEvents();

        const int forger = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        target.sin_port = htons(list.boundPort());
        double longest = 0;
        double total = 0;
        for (int sent = 0; sent < kNames;) {
            for (int i = 0; i < ComputerListViewController::maxDatagramsPerPoll && sent < kNames; ++i, ++sent) {
                const std::vector<uint8_t> reply = replyNamed("Forged " + std::to_string(sent));
                sendto(forger, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                       sizeof target);
            }
            waitUntilReadable(list.sockfd());
            const auto start = Clock::now();
            QApplication::processEvents(); // one read of the socket
            const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            longest = std::max(longest, took);
            total += took;
            // The next read comes after the flood's pause, when the rows'
            // animations (0.3 s) have ended and the event loop has deleted them.
            clock.advance(ComputerListViewController::floodPause);
            platform::ViewAnimation::finishAll();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        close(forger);
        state.counters["longest_poll_ms"] = longest;
        state.counters["all_polls_ms"] = total;
        state.counters["rows"] = list.tableView()->numberOfRowsInSection(1);
        list.viewWillDisappear(false);
    }
}
BENCHMARK(BM_ThousandForgedNames)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

// Rows below the screen must cost the first layout nothing: the ratio of a
// long list's to an empty one's stays near 1.
void printFirstLayoutSummary()
{
    if (gFirstLayouts.empty())
        return;
    const double empty = bench::percentile(gFirstLayouts.begin()->second, 0.5);
    std::printf("\nthe connection tab's first layout and paint, median over every timed iteration:\n");
    for (const auto& [registered, samples] : gFirstLayouts) {
        const double median = bench::percentile(samples, 0.5);
        std::printf("  %3d computers registered  %7.2f ms   ratio to %d: %5.2f\n", registered, median / 1000,
                    gFirstLayouts.begin()->first, median / empty);
    }
}

int main(int argc, char** argv)
{
    return bench::runWidgetBenchmarks(argc, argv, printFirstLayoutSummary);
}
