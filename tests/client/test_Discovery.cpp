// SPDX-License-Identifier: GPL-3.0-or-later
// Discovery on loopback: the query's bytes at a UDP peer, the query timer on
// the manual clock, replies read when the run loop sees them arrive, the
// replies that make a computer and those that are dropped, the merge by
// name, the bound on one read of a flood and on the names the list holds.
#include "ComputerListViewController.h"
#include "DiscoveredComputers.h"
#include "DiscoveryMessages.h"

#include "support/platform/ManualClock.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/TableViewCell.h"
#include "platform/ViewAnimation.h"

#include "support/ConnectionTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <chrono>

using platform::Notification;
using platform::NotificationCenter;
using platform::RunLoop;

namespace {

// The query, byte for byte as the test support writes it out.
const Datagram kQuery = discoveryQuery();

std::shared_ptr<Computer> computerFrom(const Datagram& reply, const char* sender = "127.0.0.1")
{
    return discovery_computerFromReply(reply.data(), int(reply.size()), sender);
}

class DiscoveryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedDefault = ComputerListViewController::defaultDiscoveryEndpoint();
        ComputerListViewController::setDefaultDiscoveryEndpoint({"127.255.255.255", receiver.port(), 0});
        platform::ViewAnimation::setAnimationsEnabled(false);
        NotificationCenter::defaultCenter().addObserver(this, "Discovered Computer", [this](const Notification& n) {
            if (auto* computer = n.objectAs<std::shared_ptr<Computer>>())
                notified.push_back(*computer);
        });
    }
    void TearDown() override
    {
        list.reset();
        NotificationCenter::defaultCenter().removeObserver(this);
        platform::ViewAnimation::setAnimationsEnabled(true);
        ComputerListViewController::setDefaultDiscoveryEndpoint(savedDefault);
    }

    // A list whose queries go to the receiver peer by a loopback broadcast.
    void load(uint16_t destinationPort = 0, uint16_t localPort = 0)
    {
        list = std::make_unique<ComputerListViewController>();
        list->setDiscoveryEndpoint({"127.255.255.255", destinationPort ? destinationPort : receiver.port(), localPort});
        list->view();
        ASSERT_GT(list->sockfd(), 0);
        ASSERT_NE(list->boundPort(), 0);
    }
    void appear()
    {
        list->viewWillAppear(false);
        list->viewDidAppear(false);
    }
    // Each reply is waited for in the list's queue, so that a poll finds
    // every one sent before it.
    void replyFrom(const UdpPeer& peer, const Datagram& reply) const
    {
        const long before = udpReceiveQueue(list->boundPort());
        peer.sendTo(list->boundPort(), reply);
        ASSERT_TRUE(waitForUdpReceiveQueue(list->boundPort(), before + 1));
    }
    void reply(const Datagram& datagram) const { replyFrom(receiver, datagram); }
    // Waits for the first reply to reach the list's socket, then lets the
    // run loop take one turn, in which it reads what waits there.
    void pollAfterReplies()
    {
        ASSERT_TRUE(waitUntilReadable(list->sockfd()));
        QCoreApplication::processEvents();
    }
    QStringList discoveredRows() const
    {
        QStringList names;
        platform::TableView* table = list->tableView();
        for (int row = 0; row < table->numberOfRowsInSection(1); ++row)
            names.append(table->cellForRowAtIndexPath({1, row})->text());
        return names;
    }
    int queriesWaiting()
    {
        int count = 0;
        while (auto datagram = receiver.receiveWaiting()) {
            EXPECT_EQ(datagram->bytes, kQuery);
            ++count;
        }
        return count;
    }

    platform::ScopedManualClock clock;
    TemporarySettings settings;
    UdpPeer receiver;
    std::unique_ptr<ComputerListViewController> list;
    std::vector<std::shared_ptr<Computer>> notified;
    DiscoveryEndpoint savedDefault;
};

TEST_F(DiscoveryTest, TheQueryIsTheSixtyFiveBytesOfTheDictionarySentAtOnceOnAppearing)
{
    ASSERT_EQ(kQuery.size(), 65u);
    EXPECT_EQ(discovery_query(), kQuery);
    load();
    EXPECT_FALSE(receiver.receiveWaiting().has_value()); // loading alone sends nothing
    appear();
    const auto query = receiver.receive();
    ASSERT_TRUE(query.has_value());
    EXPECT_EQ(query->bytes, kQuery);
    EXPECT_EQ(query->senderPort, list->boundPort());
}

TEST_F(DiscoveryTest, RepliesAreReadAsTheyArriveAndTheQueryGoesEveryThreeSecondsWhileShown)
{
    load();
    appear();
    ASSERT_TRUE(receiver.receive().has_value());
    // The query's timer is the only one: the socket wakes the run loop.
    ASSERT_EQ(RunLoop::main().scheduledTimerCount(), 1u);
    EXPECT_DOUBLE_EQ(list->broadcast_timer()->timeInterval(), 3.0);
    EXPECT_TRUE(list->broadcast_timer()->repeats());
    EXPECT_TRUE(list->readsReplies());

    reply(receiverReply("Studio"));
    EXPECT_TRUE(notified.empty()); // read by the run loop, not before
    pollAfterReplies();
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(discoveredRows(), QStringList{"Studio"});
    QCoreApplication::processEvents(); // nothing more to read: nothing happens
    EXPECT_EQ(notified.size(), 1u);

    clock.advance(2.9); // t = 2.9
    EXPECT_EQ(queriesWaiting(), 0);
    clock.advance(0.1); // t = 3
    ASSERT_TRUE(receiver.receive().has_value());
    clock.advance(3.0); // t = 6
    ASSERT_TRUE(receiver.receive().has_value());
    EXPECT_EQ(queriesWaiting(), 0);
}

TEST_F(DiscoveryTest, AppearAndDisappearInAnyOrderLeaveAtMostOnePairOfTimers)
{
    load();
    EXPECT_FALSE(list->readsReplies()); // loaded, not yet shown
    appear();
    const auto firstQuery = list->broadcast_timer();
    appear(); // again while shown: the old timer goes, one query at once
    EXPECT_FALSE(firstQuery->isValid());
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 1u);
    ASSERT_TRUE(receiver.receive().has_value());
    ASSERT_TRUE(receiver.receive().has_value());

    list->viewWillDisappear(false);
    list->viewDidDisappear(false);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);
    EXPECT_FALSE(list->readsReplies());
    list->viewWillDisappear(false);
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 0u);

    // Hidden: no queries, and a reply waits in the socket.
    reply(receiverReply("Den"));
    ASSERT_TRUE(waitUntilReadable(list->sockfd()));
    clock.advance(10);
    QCoreApplication::processEvents();
    EXPECT_EQ(queriesWaiting(), 0);
    EXPECT_TRUE(notified.empty());

    appear();
    EXPECT_EQ(RunLoop::main().scheduledTimerCount(), 1u);
    ASSERT_TRUE(receiver.receive().has_value());
    EXPECT_EQ(queriesWaiting(), 0);
    QCoreApplication::processEvents(); // the reply that waited is read at once
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(discoveredRows(), QStringList{"Den"});
}

TEST_F(DiscoveryTest, OnePollTakesEveryWaitingReplyInOrder)
{
    load();
    appear();
    UdpPeer second("127.0.0.2");
    reply(receiverReply("Office PC", "?", 25736, "Linux"));
    replyFrom(second, receiverReply("Media Box", "?", 4000, "Windows"));
    reply(receiverReply("Laptop", "192.168.1.30", 25737, "Darwin"));
    pollAfterReplies();
    ASSERT_EQ(notified.size(), 3u);
    EXPECT_EQ(discoveredRows(), (QStringList{"Office PC", "Media Box", "Laptop"}));

    const auto& found = list->discoveredComputers();
    EXPECT_EQ(found[0]->ip(), QString("127.0.0.1"));
    EXPECT_EQ(found[0]->os(), QString("Linux"));
    EXPECT_EQ(found[0]->port(), 25736);
    EXPECT_EQ(found[0]->discoverd(), true);
    EXPECT_EQ(found[1]->ip(), QString("127.0.0.2")); // "?" is the address the reply came from
    EXPECT_EQ(found[1]->port(), 4000);
    EXPECT_EQ(found[2]->ip(), QString("192.168.1.30"));
    EXPECT_EQ(found[2]->os(), QString("Darwin"));
    // Discovered rows open the login screen but cannot be deleted.
    EXPECT_FALSE(list->tableView()->cellForRowAtIndexPath({1, 0})->isEditing());
    EXPECT_FALSE(list->canEditRowAtIndexPath(list->tableView(), {1, 0}));
}

TEST_F(DiscoveryTest, RepliesMissingAKeyOrCarryingTheWrongKindAreDropped)
{
    const std::vector<std::pair<std::string, ReplyValue>> complete{
        {"Name", "Good"}, {"Ip", "?"}, {"Port", 25736}, {"Os", "Linux"}, {"ReceiverName", "r"}, {"ReceiverVer", "1"}};
    auto without = [&](const std::string& key) {
        auto entries = complete;
        entries.erase(std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; }));
        return encodeDictionary(entries);
    };
    auto with = [&](const std::string& key, ReplyValue value) {
        auto entries = complete;
        std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.first == key; })->second = value;
        return encodeDictionary(entries);
    };
    const Datagram cut = receiverReply("Cut");
    auto entriesWithDevice = complete;
    entriesWithDevice.push_back({"Device", "iPhone"});

    const std::vector<std::pair<const char*, Datagram>> dropped{
        {"no Name", without("Name")},
        {"no Port", without("Port")},
        {"no Ip", without("Ip")},
        {"no Os", without("Os")},
        {"no ReceiverName", without("ReceiverName")},
        {"no ReceiverVer", without("ReceiverVer")},
        {"a query", encodeDictionary(entriesWithDevice)},
        {"Port as text", with("Port", std::string("25736"))},
        {"Name as a number", with("Name", 7)},
        {"Os as a number", with("Os", 7)},
        {"Name not UTF-8", with("Name", std::string("Bad\xff\xfe"))},
        {"Ip of 64 characters", with("Ip", std::string(64, '1'))},
        {"not a value tree", Datagram{'h', 'e', 'l', 'l', 'o'}},
        {"a truncated tree", Datagram(cut.begin(), cut.end() - 3)},
        {"an empty datagram", Datagram{}},
    };
    for (const auto& [what, datagram] : dropped) {
        SCOPED_TRACE(what);
        EXPECT_EQ(computerFrom(datagram), nullptr);
    }

    load();
    appear();
    for (const auto& entry : dropped)
        reply(entry.second);
    // The secure session's offer is a hint the list does not act on.
    auto kept = complete;
    kept[0].second = std::string("Kept");
    kept.push_back({"Secure", 1});
    reply(encodeDictionary(kept));
    pollAfterReplies();
    // Every dropped datagram was read and passed over; the good one made the row.
    ASSERT_EQ(notified.size(), 1u);
    EXPECT_EQ(discoveredRows(), QStringList{"Kept"});
}

TEST_F(DiscoveryTest, TheAddressComesFromIpOrFromTheSender)
{
    auto computerFor = [](const ReplyValue& ip) {
        return computerFrom(encodeDictionary({{"Name", "N"},
                                              {"Ip", ip},
                                              {"Port", 1},
                                              {"Os", "Linux"},
                                              {"ReceiverName", "r"},
                                              {"ReceiverVer", "1"}}),
                            "127.0.0.9");
    };
    EXPECT_EQ(computerFor(std::string("?"))->ip(), QString("127.0.0.9"));
    EXPECT_EQ(computerFor(int32_t(17))->ip(), QString("127.0.0.9"));
    EXPECT_EQ(computerFor(std::string(""))->ip(), QString(""));
    EXPECT_EQ(computerFor(std::string("??"))->ip(), QString("??"));
    EXPECT_EQ(computerFor(std::string(63, '2'))->ip(), QString(63, '2'));
    EXPECT_EQ(computerFor(std::string("10.1.2.3"))->ip(), QString("10.1.2.3"));
    // A name in any script, and a port as sent.
    const auto computer = computerFrom(receiverReply("Γραφείο", "?", -1, "Linux"));
    ASSERT_NE(computer, nullptr);
    EXPECT_EQ(computer->computerName(), QString("Γραφείο"));
    EXPECT_EQ(computer->port(), -1);

    // A forged name is shown as text; one with nothing visible in it makes no row.
    EXPECT_EQ(computerFrom(receiverReply("Desk\u202Egnp.exe", "?", 1, "Linux"))->computerName(),
              QString("Deskgnp.exe"));
    EXPECT_EQ(computerFrom(receiverReply("\u200B\u2060\uFEFF", "?", 1, "Linux")), nullptr);
}

TEST_F(DiscoveryTest, TheListsOwnQueryAndOtherPhonesQueriesMakeNoEntry)
{
    // As on a phone, the query goes to the port the list listens on, so the
    // broadcast comes back to the list's own socket.
    const uint16_t port = freeUdpPort();
    load(port, port);
    appear();
    ASSERT_TRUE(waitUntilReadable(list->sockfd())); // the list's own query, back
    UdpPeer otherPhone("127.0.0.3");
    replyFrom(otherPhone, kQuery);
    pollAfterReplies();
    EXPECT_TRUE(notified.empty());
    EXPECT_TRUE(list->discoveredComputers().isEmpty());
    reply(receiverReply("Studio"));
    pollAfterReplies();
    EXPECT_EQ(notified.size(), 1u);
}

TEST_F(DiscoveryTest, RepliesMergeByExactNameAndTheFirstRecordStays)
{
    load();
    appear();
    UdpPeer second("127.0.0.2");
    replyFrom(second, receiverReply("Studio", "?", 25736, "Linux"));
    reply(receiverReply("Studio", "10.0.0.9", 4000, "Windows")); // same name, new address
    reply(receiverReply("studio", "?"));                          // differs in case only
    reply(receiverReply("Den", "?"));                             // another name, same address
    pollAfterReplies();
    EXPECT_EQ(notified.size(), 4u); // one notification per reply
    EXPECT_EQ(discoveredRows(), (QStringList{"Studio", "studio", "Den"}));
    const auto& first = list->discoveredComputers()[0];
    EXPECT_EQ(first->ip(), QString("127.0.0.2"));
    EXPECT_EQ(first->port(), 25736);
    EXPECT_EQ(first->os(), QString("Linux"));

    // The same receiver answering every query keeps one row.
    reply(receiverReply("Studio", "?"));
    pollAfterReplies();
    EXPECT_EQ(notified.size(), 5u);
    EXPECT_EQ(discoveredRows().size(), 3);
}

TEST_F(DiscoveryTest, AFloodIsTakenAtMostSixtyFourDatagramsASecond)
{
    load();
    appear();
    constexpr int kFlood = ComputerListViewController::maxDatagramsPerPoll + 6;
    for (int i = 0; i < kFlood; ++i)
        reply(receiverReply(QString("Flood %1").arg(i, 2, 10, QChar('0')).toStdString()));
    QCoreApplication::processEvents();
    EXPECT_EQ(int(notified.size()), ComputerListViewController::maxDatagramsPerPoll);
    EXPECT_EQ(discoveredRows().size(), ComputerListViewController::maxDatagramsPerPoll);
    // The rest wait out the pause, however often the run loop turns.
    EXPECT_FALSE(list->readsReplies());
    QCoreApplication::processEvents();
    clock.advance(ComputerListViewController::floodPause - 0.01);
    QCoreApplication::processEvents();
    EXPECT_EQ(int(notified.size()), ComputerListViewController::maxDatagramsPerPoll);
    clock.advance(0.01);
    EXPECT_TRUE(list->readsReplies());
    QCoreApplication::processEvents();
    EXPECT_EQ(int(notified.size()), kFlood);
    EXPECT_TRUE(list->readsReplies()); // fewer than the bound: no pause
    EXPECT_EQ(udpReceiveQueue(list->boundPort()), 0);
    // The list was full: the six newest names took the rows of the six heard
    // from longest ago (each name was heard once).
    const QStringList rows = discoveredRows();
    ASSERT_EQ(rows.size(), ComputerListViewController::maxDiscoveredComputers);
    EXPECT_EQ(rows.mid(0, 6), (QStringList{"Flood 64", "Flood 65", "Flood 66", "Flood 67", "Flood 68", "Flood 69"}));
    EXPECT_EQ(rows[6], "Flood 06");
    EXPECT_EQ(rows.last(), "Flood 63");
}

TEST_F(DiscoveryTest, AThousandForgedNamesLeaveTheListAtItsCapAndAReceiverThatAnswersKeepsItsRow)
{
    load();
    appear();
    reply(receiverReply("Studio"));
    pollAfterReplies();
    UdpPeer forger("127.0.0.9");
    auto longestPoll = std::chrono::steady_clock::duration::zero();
    for (int sent = 0; sent < 1000;) {
        for (int i = 0; i < ComputerListViewController::maxDatagramsPerPoll - 1 && sent < 1000; ++i, ++sent)
            replyFrom(forger, receiverReply("Forged " + std::to_string(sent)));
        reply(receiverReply("Studio")); // the real receiver goes on answering
        const auto start = std::chrono::steady_clock::now();
        QCoreApplication::processEvents();
        longestPoll = std::max(longestPoll, std::chrono::steady_clock::now() - start);
        clock.advance(ComputerListViewController::floodPause);
    }
    const QStringList rows = discoveredRows();
    EXPECT_EQ(rows.size(), ComputerListViewController::maxDiscoveredComputers);
    EXPECT_EQ(rows[0], "Studio");
    EXPECT_TRUE(rows.contains("Forged 999"));
    EXPECT_FALSE(rows.contains("Forged 0"));
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(2), 1) << "the help row stays last";
    // A failure guard, not a speed check: each poll inserted into a table of
    // every name ever heard, 22 s at the end of this flood.
    EXPECT_LT(longestPoll, std::chrono::seconds(2));
}

TEST(DiscoveredComputersList, ANewNameTakesTheRowOfANameHeardOnceAndHeardFromLongestAgo)
{
    DiscoveredComputers list(3);
    const auto named = [](const char* name) { return Computer::initWithInfo(name, "Linux"); };
    using Kind = DiscoveredComputers::Change::Kind;
    EXPECT_EQ(list.merge(named("A")).kind, Kind::Appended);
    EXPECT_EQ(list.merge(named("B")).row, 1);
    EXPECT_EQ(list.merge(named("C")).row, 2);
    const auto again = named("A");
    again->setPort(9);
    EXPECT_EQ(list.merge(again).kind, Kind::None) << "heard again, kept as first found";
    EXPECT_NE(list.computers()[0]->port(), 9);

    const auto names = [&list] {
        QStringList all;
        for (const auto& computer : list.computers())
            all.append(computer->computerName().value_or(QString()));
        return all;
    };
    // B was heard longest ago of the names heard once: D takes its row; then
    // C's goes to E, and E's to F. A, heard twice, stays through the flood.
    auto change = list.merge(named("D"));
    EXPECT_EQ(change.kind, Kind::Replaced);
    EXPECT_EQ(change.row, 1);
    EXPECT_EQ(list.merge(named("E")).row, 2);
    EXPECT_EQ(list.merge(named("F")).row, 1);
    EXPECT_EQ(names(), (QStringList{"A", "F", "E"}));

    // When every name was heard again, the stalest of all goes.
    list.merge(named("E"));
    list.merge(named("F"));
    EXPECT_EQ(list.merge(named("G")).row, 0);
    EXPECT_EQ(names(), (QStringList{"G", "F", "E"}));
}

TEST_F(DiscoveryTest, TheViewLoadStepsRunOncePerController)
{
    load();
    const int socket = list->sockfd();
    const std::size_t observers = NotificationCenter::defaultCenter().observerCount();
    delete list->view(); // the view goes; the next access loads it again
    list->view();
    EXPECT_EQ(list->sockfd(), socket);
    EXPECT_EQ(NotificationCenter::defaultCenter().observerCount(), observers);
    appear();
    reply(receiverReply("Once"));
    pollAfterReplies();
    EXPECT_EQ(notified.size(), 1u);
    EXPECT_EQ(discoveredRows(), QStringList{"Once"}); // merged once, shown in the new table
}

TEST_F(DiscoveryTest, TheSocketSharesItsPortAndIsClosedWithTheList)
{
    load();
    const uint16_t port = list->boundPort();
    // quillon-receiver on the same computer binds the same port beside it.
    EXPECT_NO_THROW(UdpPeer("0.0.0.0", port));
    list.reset();
    // Closed: a socket without address reuse can take the port now.
    EXPECT_TRUE(boundUdpSocket("0.0.0.0", port).valid());
}

// Lowers the limit of open descriptors to those open now, so the next socket fails.
class NoMoreDescriptors {
public:
    NoMoreDescriptors()
    {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        // A new descriptor takes the lowest free number: that is the limit.
        const int lowestFree = ::dup(STDERR_FILENO);
        ::close(lowestFree);
        rlimit lowered = saved_;
        lowered.rlim_cur = rlim_t(lowestFree);
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~NoMoreDescriptors() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

TEST_F(DiscoveryTest, WithoutASocketTheListWorksAndFindsNothing)
{
    list = std::make_unique<ComputerListViewController>();
    list->setDiscoveryEndpoint({"127.255.255.255", receiver.port(), 0});
    {
        NoMoreDescriptors limit;
        EXPECT_FALSE(list->initialize_socket());
        EXPECT_EQ(list->sockfd(), -1);
        list->view();
    }
    EXPECT_EQ(list->sockfd(), -1);
    EXPECT_EQ(list->boundPort(), 0);
    appear();
    EXPECT_FALSE(list->readsReplies());
    clock.advance(10);
    QCoreApplication::processEvents();
    EXPECT_TRUE(notified.empty());
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(1), 0);
    EXPECT_EQ(list->tableView()->numberOfRowsInSection(2), 1);
    list.reset(); // nothing to close
}

TEST_F(DiscoveryTest, NewListsTakeTheDefaultEndpoint)
{
    const DiscoveryEndpoint standard;
    EXPECT_EQ(standard.address, "255.255.255.255");
    EXPECT_EQ(standard.destinationPort, 25736);
    EXPECT_EQ(standard.localPort, 25736);

    // The fixture made a loopback endpoint the default.
    ComputerListViewController fromDefault;
    EXPECT_EQ(fromDefault.discoveryEndpoint().address, "127.255.255.255");
    ComputerListViewController::setDefaultDiscoveryEndpoint({"127.255.255.255", 9, 0});
    EXPECT_EQ(fromDefault.discoveryEndpoint().destinationPort, receiver.port()); // taken when made
    fromDefault.view();
    fromDefault.viewDidAppear(false);
    const auto query = receiver.receive();
    ASSERT_TRUE(query.has_value());
    EXPECT_EQ(query->senderPort, fromDefault.boundPort());
    fromDefault.viewWillDisappear(false);
}

} // namespace

// Every client test program starts with discovery aimed at the loopback
// broadcast address, so that no test can query a real network by accident.
TEST(DiscoveryInTests, TheDefaultEndpointIsOnLoopbackBeforeAnyTestChangesIt)
{
    const DiscoveryEndpoint endpoint = ComputerListViewController::defaultDiscoveryEndpoint();
    in_addr address{};
    ASSERT_EQ(inet_pton(AF_INET, endpoint.address.c_str(), &address), 1);
    EXPECT_EQ(ntohl(address.s_addr) >> 24, 127u) << endpoint.address;
}
