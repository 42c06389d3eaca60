// Session service objects talking over loopback inside one process.
#include "tests/platform/DPlayTestPeer.h"

#include "platform/dplay/DirectPlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

using namespace dplaytest;
using namespace std::chrono_literals;

namespace {

auto CountOf(DWORD SysType, DPID Player) {
    return [=](const std::vector<TArrival>& All) {
        return std::count_if(All.begin(), All.end(), [&](const TArrival& a) {
            return a.SysType == SysType && a.PlayerId == Player;
        });
    };
}

constexpr const char* kBen = "Benjamin of the foredeck, on the port watch";

// Host "Regatta" with player "Anna", and a second machine that joined as kBen: a name long enough
// that its copies hold exactly its length, so that reading past its end is an overflow the
// sanitizer sees.
struct TwoMachines : ::testing::Test {
    std::uint16_t Port = FreeUdpPort();
    TPeer Host{Port};
    TPeer Guest{Port};
    void SetUp() override {
        ASSERT_EQ(Host.Create("Regatta"), DP_OK);
        ASSERT_EQ(Host.AddPlayer("Anna"), DP_OK);
        std::vector<DPSESSIONDESC2> found;
        ASSERT_EQ(Guest.Search(found), DP_OK);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_EQ(Guest.Join(found[0]), DP_OK);
        ASSERT_EQ(Guest.AddPlayer(kBen), DP_OK);
    }
};

} // namespace

TEST_F(TwoMachines, AJoinIsAnnouncedOnceWithItsNamesAndIdentifiersAreDistinctAndValid) {
    std::vector<TArrival> got;
    ASSERT_TRUE(Host.WaitFor(
        [&](auto& a) { return CountOf(DPSYS_CREATEPLAYERORGROUP, Guest.Player)(a) >= 1; }, 3s,
        got));
    std::this_thread::sleep_for(100ms);
    for (auto& a : Host.Drain())
        got.push_back(a);
    EXPECT_EQ(CountOf(DPSYS_CREATEPLAYERORGROUP, Guest.Player)(got), 1);
    const auto it = std::find_if(got.begin(), got.end(), [](auto& a) { return a.SysType != 0; });
    EXPECT_EQ(it->ShortName, kBen);
    EXPECT_EQ(it->LongName, kBen);
    EXPECT_NE(Host.Player, Guest.Player);
    for (DPID id : {Host.Player, Guest.Player}) {
        EXPECT_GE(static_cast<std::int32_t>(id), 2);
    }
    const auto players = Guest.Players();
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0], std::make_pair(Host.Player, std::string("Anna")));
    EXPECT_EQ(players[1], std::make_pair(Guest.Player, std::string(kBen)));
}

TEST_F(TwoMachines, GuaranteedMessagesArriveWholeAndInOrderAndAreNeverEchoed) {
    std::vector<std::vector<std::uint8_t>> sent;
    for (int i = 0; i < 100; ++i)
        sent.push_back(std::vector<std::uint8_t>(28, static_cast<std::uint8_t>(i)));
    sent.push_back(std::vector<std::uint8_t>(49152));
    for (std::size_t i = 0; i < sent.back().size(); ++i)
        sent.back()[i] = static_cast<std::uint8_t>(i * 7);
    for (const auto& m : sent)
        ASSERT_EQ(Guest.SendTo(DPID_ALLPLAYERS, m), DP_OK);
    std::vector<TArrival> got;
    const auto data = [](const std::vector<TArrival>& all) {
        std::vector<std::vector<std::uint8_t>> d;
        for (auto& a : all)
            if (a.SysType == 0 && a.From != DPID_SYSMSG)
                d.push_back(a.Data);
        return d;
    };
    ASSERT_TRUE(Host.WaitFor([&](auto& a) { return data(a).size() >= sent.size(); }, 5s, got));
    EXPECT_EQ(data(got), sent);
    for (auto& a : got) {
        if (a.SysType == 0) {
            EXPECT_EQ(a.From, Guest.Player);
        }
    }
    std::vector<TArrival> echoed;
    Guest.WaitFor([](auto&) { return false; }, 200ms, echoed);
    EXPECT_TRUE(data(echoed).empty());
}

TEST_F(TwoMachines, ReceiveTellsTheSizeItNeedsAndThatNothingWaits) {
    const std::vector<std::uint8_t> m(300, 9);
    ASSERT_EQ(Host.SendTo(Guest.Player, m), DP_OK);
    ASSERT_EQ(WaitForSingleObject(Guest.Event, 3000), WAIT_OBJECT_0);
    DPID from = 0, to = 0;
    DWORD size = 10;
    std::vector<std::uint8_t> small(10);
    // Let the arrivals before it (none are system messages for the guest's own player) pass.
    for (;;) {
        size = 10;
        ASSERT_EQ(Guest.Play->Receive(&from, &to, DPRECEIVE_ALL, small.data(), &size),
                  DPERR_BUFFERTOOSMALL);
        if (size == 300)
            break;
        std::vector<std::uint8_t> other(size);
        ASSERT_EQ(Guest.Play->Receive(&from, &to, DPRECEIVE_ALL, other.data(), &size), DP_OK);
    }
    std::vector<std::uint8_t> buffer(size);
    ASSERT_EQ(Guest.Play->Receive(&from, &to, DPRECEIVE_ALL, buffer.data(), &size), DP_OK);
    EXPECT_EQ(buffer, m);
    EXPECT_EQ(from, Host.Player);
    EXPECT_EQ(to, Guest.Player);
    size = 0;
    EXPECT_EQ(Guest.Play->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size), DPERR_NOMESSAGES);
}

TEST_F(TwoMachines, ALeavingMachineIsAnnouncedOnce) {
    const DPID ben = Guest.Player;
    ASSERT_EQ(Guest.Play->Close(), DP_OK);
    std::vector<TArrival> got;
    ASSERT_TRUE(Host.WaitFor(
        [&](auto& a) { return CountOf(DPSYS_DESTROYPLAYERORGROUP, ben)(a) >= 1; }, 3s, got));
    std::this_thread::sleep_for(100ms);
    for (auto& a : Host.Drain())
        got.push_back(a);
    EXPECT_EQ(CountOf(DPSYS_DESTROYPLAYERORGROUP, ben)(got), 1);
    EXPECT_EQ(Host.Players().size(), 1u);
}

TEST_F(TwoMachines, SendingAsSomeoneElsesPlayerOrToNobodyIsRefused) {
    std::uint8_t one = 1;
    EXPECT_EQ(Guest.Play->Send(Host.Player, DPID_ALLPLAYERS, DPSEND_GUARANTEED, &one, 1),
              DPERR_INVALIDPLAYER);
    EXPECT_EQ(Guest.Play->Send(Guest.Player, 12345, 0, &one, 1), DPERR_INVALIDPLAYER);
    std::vector<std::uint8_t> big(dplay::kMaxMessageSize + 1);
    EXPECT_EQ(Guest.Play->Send(Guest.Player, DPID_ALLPLAYERS, 0, big.data(),
                               static_cast<DWORD>(big.size())),
              DPERR_SENDTOOBIG);
}

TEST_F(TwoMachines, NamesThatAreNotWholeShiftJisAreRefusedBeforeTheyAreSent) {
    const DPID ben = Guest.Player;
    // The host's machine has no one else to ask, so its own check is all there is.
    for (const std::string& name : {std::string("\x82"), std::string("ok\xFF"),
                                    std::string("\x82\x0A"), std::string(256, 'a')}) {
        EXPECT_EQ(Guest.AddPlayer(name), DPERR_INVALIDPARAMS) << name;
        EXPECT_EQ(Host.AddPlayer(name), DPERR_INVALIDPARAMS) << name;
        EXPECT_EQ(Host.AddPlayer("ok", name.c_str()), DPERR_INVALIDPARAMS) << name;
    }
    EXPECT_EQ(Guest.Player, ben);
    EXPECT_EQ(Guest.AddPlayer("\x83\x41\x83\x93\x83\x69 \xB1\xDD\xC5"), DP_OK);
    EXPECT_EQ(Guest.AddPlayer(std::string(dplay::kMaxNameSize, 'a')), DP_OK); // at the limit
    EXPECT_EQ(Guest.Players().size(), 4u);
}

TEST(DPlaySession, ThreeMachinesDeliverToAllOthersAndToOneOnly) {
    const auto port = FreeUdpPort();
    TPeer a(port), b(port), c(port);
    ASSERT_EQ(a.Create("Three"), DP_OK);
    ASSERT_EQ(a.AddPlayer("A"), DP_OK);
    for (TPeer* p : {&b, &c}) {
        std::vector<DPSESSIONDESC2> found;
        ASSERT_EQ(p->Search(found), DP_OK);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_EQ(p->Join(found[0]), DP_OK);
        ASSERT_EQ(p->AddPlayer(p == &b ? "B" : "C"), DP_OK);
    }
    std::vector<TArrival> seenByB;
    ASSERT_TRUE(
        b.WaitFor([&](auto& x) { return CountOf(DPSYS_CREATEPLAYERORGROUP, c.Player)(x) == 1; }, 3s,
                  seenByB));
    ASSERT_EQ(b.SendTo(DPID_ALLPLAYERS, {1, 2, 3}), DP_OK);
    ASSERT_EQ(b.SendTo(c.Player, {4}), DP_OK);
    const auto messages = [](const std::vector<TArrival>& all) {
        std::vector<std::vector<std::uint8_t>> d;
        for (auto& x : all)
            if (x.SysType == 0)
                d.push_back(x.Data);
        return d;
    };
    std::vector<TArrival> atA, atC;
    ASSERT_TRUE(c.WaitFor([&](auto& x) { return messages(x).size() >= 2; }, 3s, atC));
    EXPECT_EQ(messages(atC), (std::vector<std::vector<std::uint8_t>>{{1, 2, 3}, {4}}));
    ASSERT_TRUE(a.WaitFor([&](auto& x) { return messages(x).size() >= 1; }, 3s, atA));
    std::this_thread::sleep_for(200ms);
    for (auto& x : a.Drain())
        atA.push_back(x);
    EXPECT_EQ(messages(atA), (std::vector<std::vector<std::uint8_t>>{{1, 2, 3}}));
    std::vector<TArrival> atB;
    b.WaitFor([](auto&) { return false; }, 100ms, atB);
    EXPECT_TRUE(messages(atB).empty());
}

TEST(DPlaySession, AFullSessionIsNotListedAndRefusesAJoin) {
    const auto port = FreeUdpPort();
    TPeer host(port), second(port), third(port);
    ASSERT_EQ(host.Create("Pair", 2), DP_OK);
    ASSERT_EQ(host.AddPlayer("H"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    ASSERT_EQ(second.Search(found), DP_OK);
    ASSERT_EQ(found.size(), 1u);
    const DPSESSIONDESC2 pair = found[0];
    ASSERT_EQ(second.Join(pair), DP_OK);
    ASSERT_EQ(second.AddPlayer("S"), DP_OK);
    found.clear();
    ASSERT_EQ(third.Search(found), DP_OK);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(third.Join(pair), DPERR_NONEWPLAYERS);
}

TEST(DPlaySession, PlayersCanBeListedWithoutJoiningAndTheSessionNameMayBeEmpty) {
    const auto port = FreeUdpPort();
    TPeer host(port), looker(port);
    ASSERT_EQ(host.Create(""), DP_OK);
    ASSERT_EQ(host.AddPlayer("Solo"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    std::vector<std::string> names;
    ASSERT_EQ(looker.Search(found, &names), DP_OK);
    ASSERT_EQ(names, std::vector<std::string>{""});
    ASSERT_EQ(looker.Join(found[0]), DP_OK);
    EXPECT_EQ(looker.Players(), (std::vector<std::pair<DPID, std::string>>{{host.Player, "Solo"}}));
    ASSERT_EQ(looker.Play->Close(), DP_OK);
    std::vector<TArrival> atHost;
    host.WaitFor([](auto&) { return false; }, 300ms, atHost);
    EXPECT_TRUE(std::none_of(atHost.begin(), atHost.end(), [](auto& a) { return a.SysType != 0; }));
}

TEST(DPlaySession, ASearchWithNoSessionEndsQuicklyWithNothingFound) {
    TPeer looker(FreeUdpPort());
    std::vector<DPSESSIONDESC2> found;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(looker.Search(found), DP_OK);
    EXPECT_TRUE(found.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
}

TEST(DPlaySession, OtherApplicationsSessionsAreNotListed) {
    const auto port = FreeUdpPort();
    TPeer host(port, GUID{1, 2, 3, {4}}), looker(port, GUID{9});
    ASSERT_EQ(host.Create("Other"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    ASSERT_EQ(looker.Search(found), DP_OK);
    EXPECT_TRUE(found.empty());
}

TEST(DPlaySession, WhenTheHostLeavesTheOthersCarryOnAndNewPlayersCanStillJoin) {
    const auto port = FreeUdpPort();
    auto host = std::make_unique<TPeer>(port);
    TPeer b(port), c(port), late(port);
    ASSERT_EQ(host->Create("Migrate"), DP_OK);
    ASSERT_EQ(host->AddPlayer("H"), DP_OK);
    for (TPeer* p : {&b, &c}) {
        std::vector<DPSESSIONDESC2> found;
        ASSERT_EQ(p->Search(found), DP_OK);
        ASSERT_EQ(found.size(), 1u);
        ASSERT_EQ(p->Join(found[0]), DP_OK);
        ASSERT_EQ(p->AddPlayer("P"), DP_OK);
    }
    std::vector<TArrival> atB, atC;
    ASSERT_TRUE(b.WaitFor(
        [&](auto& x) { return CountOf(DPSYS_CREATEPLAYERORGROUP, c.Player)(x) == 1; }, 3s, atB));
    const DPID gone = host->Player;
    host.reset();
    ASSERT_TRUE(b.WaitFor(
        [&](auto& x) { return CountOf(DPSYS_DESTROYPLAYERORGROUP, gone)(x) == 1; }, 5s, atB));
    ASSERT_TRUE(c.WaitFor(
        [&](auto& x) { return CountOf(DPSYS_DESTROYPLAYERORGROUP, gone)(x) == 1; }, 5s, atC));
    // b has the lower identifier, so b's machine hosts now.
    ASSERT_LT(b.Player, c.Player);
    std::vector<DPSESSIONDESC2> found;
    for (int i = 0; i < 20 && found.empty(); ++i) {
        ASSERT_EQ(late.Search(found), DP_OK);
        if (found.empty())
            std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(late.Join(found[0]), DP_OK);
    ASSERT_EQ(late.AddPlayer("L"), DP_OK);
    EXPECT_GT(late.Player, c.Player);
    ASSERT_TRUE(c.WaitFor(
        [&](auto& x) { return CountOf(DPSYS_CREATEPLAYERORGROUP, late.Player)(x) == 1; }, 3s, atC));
    ASSERT_EQ(c.SendTo(DPID_ALLPLAYERS, {7}), DP_OK);
    std::vector<TArrival> atLate;
    ASSERT_TRUE(late.WaitFor(
        [](auto& x) {
            return std::any_of(x.begin(), x.end(), [](auto& a) { return a.SysType == 0; });
        },
        3s, atLate));
    EXPECT_EQ(c.Players().size(), 3u);
    EXPECT_EQ(CountOf(DPSYS_DESTROYPLAYERORGROUP, gone)(atC), 1);
}

TEST(DPlaySession, AnyCallCanBeMadeToFailWithAChosenCode) {
    TPeer host(FreeUdpPort());
    DirectPlayFailures().Fail("IDirectPlay3A::Open", DPERR_CANTCREATESESSION);
    EXPECT_EQ(host.Create("X"), DPERR_CANTCREATESESSION);
    EXPECT_EQ(host.Create("X"), DP_OK);
    DirectPlayFailures().Clear();
}
