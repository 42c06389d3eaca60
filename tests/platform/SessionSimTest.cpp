// Sessions of several machines on a simulated network, a hundred seeds a scenario: joins,
// leaves, a host lost at each step of a join, two machines lost at once, a change of host with
// four players, a would-be host that goes quiet and a cut that heals. After every run the
// machines must agree on who is in the session, the host must be the machine of the lowest
// identifier, every message must come from the machine that sent it, once and in order, and
// every guaranteed message must reach every machine that stays.
#include "tests/platform/SessionSim.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace sessionsim;
using namespace std::chrono_literals;

namespace {

constexpr int kSeeds = 100;

// The game's traffic: every machine tells all the others, guaranteed, and also plainly.
// Payload: sender machine, 1 for guaranteed, then a running number.
struct TTraffic {
    std::map<int, std::uint32_t> Next;
    // Each machine's guaranteed messages that its core took, with when.
    std::map<int, std::vector<std::pair<TTime, long>>> Guaranteed;
    void Round(TSim& Sim) {
        for (std::size_t i = 0; i < Sim.Count(); ++i) {
            TMachine& m = Sim.At(static_cast<int>(i));
            if (!m.Alive || m.Muted || m.Own().empty())
                continue;
            for (const bool guaranteed : {true, false}) {
                const std::uint32_t n = Next[m.Index]++;
                const HRESULT hr =
                    Sim.Send(m.Index, m.Own().front(), DPID_ALLPLAYERS, guaranteed,
                             {static_cast<std::uint8_t>(m.Index), guaranteed, std::uint8_t(n),
                              std::uint8_t(n >> 8), std::uint8_t(n >> 16)});
                if (guaranteed && hr == DP_OK)
                    Guaranteed[m.Index].push_back({Sim.Now(), n});
            }
        }
    }
    void For(TSim& Sim, TMs Span) {
        for (TMs t{0}; t < Span; t += 250ms) {
            Round(Sim);
            Sim.Run(250ms);
        }
    }
};

bool Joined(TSim& Sim, int Machine, int Host) {
    Sim.Join(Machine, Host);
    if (!Sim.RunUntil([&] { return Sim.At(Machine).JoinResult.has_value(); }, 7s) ||
        *Sim.At(Machine).JoinResult != DP_OK)
        return false;
    const auto request = Sim.CreatePlayer(Machine, "p" + std::to_string(Machine));
    Sim.At(Machine).Since = Sim.Now();
    return Sim.RunUntil([&] { return Sim.At(Machine).Players.count(request); }, 7s) &&
           Sim.At(Machine).Players[request].first == DP_OK;
}

void Host(TSim& Sim, int Machine) {
    Sim.Create(Machine, 8);
    Sim.CreatePlayer(Machine, "host");
    Sim.At(Machine).Since = Sim.Now();
    Sim.Run(10ms);
}

bool Playing(const TMachine& M) {
    return M.Alive && !M.Left && !M.Muted && !M.Own().empty();
}

// Every machine in the run: who owned which identifier.
std::map<DPID, int> Owners(TSim& Sim) {
    std::map<DPID, int> owners;
    for (std::size_t i = 0; i < Sim.Count(); ++i)
        for (const auto& [request, result] : Sim.At(static_cast<int>(i)).Players)
            if (result.first == DP_OK)
                owners[result.second] = static_cast<int>(i);
    return owners;
}

// Messages: each from its true sender, never back to it, guaranteed ones once and in order.
testing::AssertionResult HonestMessages(TSim& Sim) {
    if (Sim.Echoes() > 0)
        return testing::AssertionFailure() << Sim.Echoes() << " messages relayed to their sender";
    const auto owners = Owners(Sim);
    for (std::size_t i = 0; i < Sim.Count(); ++i) {
        std::map<int, long> last;
        for (const auto& s : Sim.At(static_cast<int>(i)).Seen) {
            if (s.SysType != 0)
                continue;
            if (s.Data.size() != 5)
                return testing::AssertionFailure() << "machine " << i << " got a foreign message";
            const int sender = s.Data[0];
            const auto owner = owners.find(s.From);
            if (owner == owners.end() || owner->second != sender)
                return testing::AssertionFailure() << "machine " << i << " got machine " << sender
                                                   << "'s message as player " << s.From;
            if (sender == static_cast<int>(i))
                return testing::AssertionFailure() << "machine " << i << " got its own message";
            if (s.Data[1]) {
                const long n = s.Data[2] | (s.Data[3] << 8) | (s.Data[4] << 16);
                if (last.count(sender) && n <= last[sender])
                    return testing::AssertionFailure()
                           << "machine " << i << " got " << n << " from " << sender << " after "
                           << last[sender];
                last[sender] = n;
            }
        }
    }
    return testing::AssertionSuccess();
}

// Between every two machines that play on together, every guaranteed message of one, from the
// time the other came on, has reached the other: exactly once, in order, none missing.
testing::AssertionResult Complete(TSim& Sim, const TTraffic& Traffic) {
    for (const auto& [sender, sent] : Traffic.Guaranteed) {
        const TMachine& from = Sim.At(sender);
        if (!Playing(from))
            continue;
        const DPID player = from.Own().front();
        for (std::size_t i = 0; i < Sim.Count(); ++i) {
            const TMachine& to = Sim.At(static_cast<int>(i));
            if (to.Index == sender || !Playing(to) ||
                std::none_of(to.Shown.begin(), to.Shown.end(),
                             [&](const auto& p) { return p.Id == player; }))
                continue;
            std::vector<long> got;
            for (const auto& s : to.Seen)
                if (s.SysType == 0 && s.Data.size() == 5 && s.Data[0] == sender && s.Data[1])
                    got.push_back(s.Data[2] | (s.Data[3] << 8) | (s.Data[4] << 16));
            auto first = std::find_if(sent.begin(), sent.end(),
                                      [&](const auto& e) { return e.first >= to.Since; });
            if (!got.empty()) {
                const auto at = std::find_if(sent.begin(), sent.end(),
                                             [&](const auto& e) { return e.second == got[0]; });
                first = std::min(first, at);
            }
            std::vector<long> expected;
            for (auto e = first; e != sent.end(); ++e)
                expected.push_back(e->second);
            if (got != expected)
                return testing::AssertionFailure()
                       << "machine " << i << " got " << got.size() << " of the " << expected.size()
                       << " guaranteed messages machine " << sender << " sent since it came";
        }
    }
    return testing::AssertionSuccess();
}

// The machines that still play agree, in groups that can reach each other: the same players,
// each owned by one of them, and one host, the machine of the lowest identifier.
testing::AssertionResult Agreement(TSim& Sim) {
    std::map<std::vector<DPID>, std::vector<int>> groups;
    for (std::size_t i = 0; i < Sim.Count(); ++i) {
        const TMachine& m = Sim.At(static_cast<int>(i));
        if (!Playing(m))
            continue;
        std::vector<DPID> ids;
        for (const auto& p : m.Shown) {
            if (!dplay::ValidPlayerId(p.Id))
                return testing::AssertionFailure() << "identifier " << p.Id;
            ids.push_back(p.Id);
        }
        std::sort(ids.begin(), ids.end());
        if (std::adjacent_find(ids.begin(), ids.end()) != ids.end())
            return testing::AssertionFailure() << "machine " << i << " lists a player twice";
        groups[ids].push_back(static_cast<int>(i));
    }
    std::set<DPID> claimed;
    for (const auto& [ids, members] : groups) {
        int hosts = 0;
        for (const int i : members) {
            if (Sim.At(i).Core->IsHost()) {
                ++hosts;
                if (Sim.At(i).Own().front() != ids.front())
                    return testing::AssertionFailure() << "machine " << i << " hosts without "
                                                       << "the lowest identifier";
            }
            for (const DPID own : Sim.At(i).Own())
                if (!std::binary_search(ids.begin(), ids.end(), own))
                    return testing::AssertionFailure() << "machine " << i << " lost its player";
        }
        std::size_t owned = 0;
        for (const int i : members)
            owned += Sim.At(i).Own().size();
        if (hosts != 1 || owned != ids.size())
            return testing::AssertionFailure()
                   << members.size() << " machines, " << hosts << " hosts, " << owned << " of "
                   << ids.size() << " players owned";
        for (const DPID id : ids)
            if (!claimed.insert(id).second && groups.size() == 1)
                return testing::AssertionFailure() << "player " << id << " in two groups";
    }
    return testing::AssertionSuccess();
}

// Departures heard by machine M of players whose machines never left.
int FalseDepartures(TSim& Sim, const std::set<int>& Left) {
    const auto owners = Owners(Sim);
    int wrong = 0;
    for (std::size_t i = 0; i < Sim.Count(); ++i)
        for (const auto& s : Sim.At(static_cast<int>(i)).Seen)
            if (s.SysType == DPSYS_DESTROYPLAYERORGROUP && owners.count(s.PlayerId) &&
                !Left.count(owners.at(s.PlayerId)))
                ++wrong;
    return wrong;
}

// Machines 0 .. Machines - 1, of which 0 hosts and 1 .. Playing - 1 have joined.
testing::AssertionResult Gather(TSim& Sim, int Machines, int Playing) {
    for (int i = 0; i < Machines; ++i)
        Sim.Add();
    Host(Sim, 0);
    for (int i = 1; i < Playing; ++i)
        if (!Joined(Sim, i, 0))
            return testing::AssertionFailure() << "machine " << i << " could not join";
    return testing::AssertionSuccess();
}

// Whether every one of Watchers stops listing Player within Limit.
bool GoneWithin(TSim& Sim, DPID Player, std::initializer_list<int> Watchers, TMs Limit) {
    return Sim.RunUntil(
        [&] {
            for (const int i : Watchers)
                for (const auto& p : Sim.At(i).Shown)
                    if (p.Id == Player)
                        return false;
            return true;
        },
        Limit);
}

#define EXPECT_RUN(Seed, Sim, Check) EXPECT_TRUE(Check) << "seed " << Seed << '\n' << Sim.Describe()

} // namespace

TEST(SessionSim, JoinsAndLeavesUnderLossDuplicationAndReorderingAgree) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.1, .Duplicate = 0.05});
        ASSERT_TRUE(Gather(sim, 5, 4)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, 10s);
        const DPID leaver = sim.At(2).Own().front();
        sim.Leave(2);
        // A goodbye is heard at once, not after the time-out that finds a vanished machine.
        EXPECT_TRUE(GoneWithin(sim, leaver, {0, 1, 3}, 1s)) << "seed " << seed;
        traffic.For(sim, 3s);
        ASSERT_TRUE(Joined(sim, 4, 0)) << "seed " << seed;
        traffic.For(sim, 3s);
        sim.Run(3s);
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, HonestMessages(sim));
        EXPECT_RUN(seed, sim, Complete(sim, traffic));
        EXPECT_EQ(FalseDepartures(sim, {2}), 0) << "seed " << seed;
        for (const int i : {0, 1, 3})
            EXPECT_EQ(std::count_if(
                          sim.At(i).Seen.begin(), sim.At(i).Seen.end(),
                          [](const TSeen& s) { return s.SysType == DPSYS_DESTROYPLAYERORGROUP; }),
                      1)
                << "seed " << seed << ", machine " << i;
    }
}

TEST(SessionSim, AHostLostAtAnyStepOfAJoinLeavesNoMachineHangingOrInTwoMinds) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.05});
        ASSERT_TRUE(Gather(sim, 3, 2)) << "seed " << seed;
        sim.Join(2, 0);
        // Steps of a join are a few milliseconds apart: sweep the host's end across them.
        sim.Run(TMs(seed % 45));
        if (seed % 2)
            sim.Vanish(0);
        else
            sim.Leave(0);
        std::optional<std::uint32_t> request;
        sim.RunUntil([&] { return sim.At(2).JoinResult.has_value(); }, 7s);
        ASSERT_TRUE(sim.At(2).JoinResult) << "seed " << seed << ": the join hangs";
        if (*sim.At(2).JoinResult == DP_OK)
            request = sim.CreatePlayer(2, "late");
        sim.Run(15s);
        if (request) {
            EXPECT_TRUE(sim.At(2).Players.count(*request)) << "seed " << seed;
        }
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_TRUE(sim.At(1).Core->IsHost() || !sim.At(1).Shown.empty()) << "seed " << seed;
    }
}

TEST(SessionSim, TwoMachinesLostAtOnceLeaveTheRestWithTheNextLowestAsHost) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.05, .Duplicate = 0.02});
        ASSERT_TRUE(Gather(sim, 5, 5)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, 2s);
        // Either the next in line goes too, or one the new host then waits for in vain.
        const int other = seed % 2 ? 1 : 4;
        const int next = other == 1 ? 2 : 1;
        sim.Vanish(0);
        sim.Vanish(other);
        traffic.For(sim, 15s);
        sim.Run(3s);
        EXPECT_TRUE(sim.At(next).Core->IsHost()) << "seed " << seed << '\n' << sim.Describe();
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, HonestMessages(sim));
        EXPECT_RUN(seed, sim, Complete(sim, traffic));
        EXPECT_EQ(sim.At(3).Shown.size(), 3u) << "seed " << seed;
        // What was held for the machine that never came back is let go with it.
        EXPECT_EQ(sim.At(next).Core->HeldBytes(), 0u) << "seed " << seed;
    }
}

TEST(SessionSim, FourPlayersLoseTheirHostWithinThreeSecondsAndCarryOnUnderTheLowest) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.1, .Duplicate = 0.05});
        ASSERT_TRUE(Gather(sim, 5, 4)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, TMs(1000 + seed * 37 % 1000));
        const DPID hostPlayer = sim.At(0).Own().front();
        sim.Vanish(0);
        EXPECT_TRUE(GoneWithin(sim, hostPlayer, {1, 2, 3}, 3s)) << "seed " << seed;
        sim.Run(6s);
        EXPECT_TRUE(sim.At(1).Core->IsHost()) << "seed " << seed << '\n' << sim.Describe();
        const std::size_t before[] = {0, sim.At(1).Seen.size(), sim.At(2).Seen.size(),
                                      sim.At(3).Seen.size()};
        traffic.For(sim, 2s);
        sim.Run(1s);
        for (int i = 1; i < 4; ++i) // 8 rounds from each of the two others, guaranteed
            EXPECT_GE(std::count_if(sim.At(i).Seen.begin() + static_cast<long>(before[i]),
                                    sim.At(i).Seen.end(),
                                    [](const TSeen& s) { return s.SysType == 0 && s.Data[1]; }),
                      16)
                << "seed " << seed << ", machine " << i;
        EXPECT_TRUE(Joined(sim, 4, 1)) << "seed " << seed;
        sim.Run(2s);
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, HonestMessages(sim));
        EXPECT_RUN(seed, sim, Complete(sim, traffic));
        EXPECT_EQ(sim.At(4).Shown.size(), 4u) << "seed " << seed;
        // Identifiers only grow: no newcomer can become the next host by the identifier it gets.
        EXPECT_GT(sim.At(4).Own().front(), sim.At(3).Own().front()) << "seed " << seed;
    }
}

TEST(SessionSim, ACutThatHealsLeavesEachSideWholeAndOpenToNewcomers) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.05});
        ASSERT_TRUE(Gather(sim, 6, 4)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, 1s);
        sim.Cut({2, 3});
        // Short cuts are ridden out; long ones split the session.
        traffic.For(sim, TMs(seed % 3 == 0 ? 1000 : 8000));
        sim.Heal();
        traffic.For(sim, 8s);
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, HonestMessages(sim));
        if (seed % 3 == 0) {
            EXPECT_EQ(sim.At(3).Shown.size(), 4u) << "seed " << seed << '\n' << sim.Describe();
        }
        EXPECT_TRUE(Joined(sim, 4, 0)) << "seed " << seed;
        const int otherHost = sim.At(2).Core->IsHost() ? 2 : 0;
        EXPECT_TRUE(Joined(sim, 5, otherHost)) << "seed " << seed;
        sim.Run(2s);
        EXPECT_RUN(seed, sim, Agreement(sim));
    }
}

TEST(SessionSim,
     AMinuteAtTenPercentLossTakesNobodyForGoneAndAVanishedClientGoesWithinThreeSeconds) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.1, .Duplicate = 0.05, .Jitter = TMs(30)});
        ASSERT_TRUE(Gather(sim, 4, 4)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, 60s);
        sim.Run(2s);
        EXPECT_EQ(FalseDepartures(sim, {}), 0) << "seed " << seed;
        EXPECT_RUN(seed, sim, Complete(sim, traffic));
        // What every machine has is let go: the senders keep no more than the last moments.
        for (int i = 0; i < 4; ++i)
            EXPECT_LT(sim.At(i).Core->KeptBytes(), 2000u) << "seed " << seed << ", machine " << i;
        const DPID gone = sim.At(3).Own().front();
        sim.Vanish(3);
        EXPECT_TRUE(GoneWithin(sim, gone, {0, 1, 2}, 3s)) << "seed " << seed;
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, HonestMessages(sim));
    }
}

// The machine that should host next takes the others' claims and then says nothing more, or says
// nothing at all: the others pass it over as if it had vanished, and lose no message.
TEST(SessionSim, AWouldBeHostThatGoesQuietIsPassedOverWithinFiveSeconds) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.05, .Duplicate = 0.02});
        ASSERT_TRUE(Gather(sim, 4, 4)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, 1s);
        const bool afterClaims = seed % 2;
        sim.Vanish(0);
        if (afterClaims) {
            traffic.For(sim, 4s);
            ASSERT_TRUE(sim.At(1).Core->IsHost()) << "seed " << seed << '\n' << sim.Describe();
        }
        sim.Mute(1);
        const TTime quiet = sim.Now();
        const auto carriedOn = [&] {
            return sim.At(2).Core->IsHost() && sim.At(3).Shown.size() == 2 &&
                   sim.At(2).Shown.size() == 2;
        };
        bool carried = false;
        for (TMs t{0}; !carried && t < (afterClaims ? 5s : 8s); t += 250ms) {
            traffic.Round(sim);
            carried = sim.RunUntil(carriedOn, 250ms);
        }
        EXPECT_TRUE(carried) << "seed " << seed << " after "
                             << std::chrono::duration_cast<TMs>(sim.Now() - quiet).count()
                             << " ms\n"
                             << sim.Describe();
        traffic.For(sim, 2s);
        sim.Run(2s);
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, HonestMessages(sim));
        EXPECT_RUN(seed, sim, Complete(sim, traffic));
        // Nothing is kept open towards the hosts that went, quiet or gone.
        EXPECT_EQ(sim.Connections(3), 1u) << "seed " << seed << '\n' << sim.Describe();
    }
}

// Machine 3 takes nothing for a while, so the host has passed machine 1's messages on without
// machine 3 having them; then the host vanishes with them. Machine 1 kept them, as machine 3
// had not acknowledged them, and machine 3 gets them from the next host.
TEST(SessionSim, MessagesAMachineHasNotAcknowledgedSurviveTheHostThatPassedThemOn) {
    for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
        TSim sim(seed, {.Loss = 0.05});
        ASSERT_TRUE(Gather(sim, 4, 4)) << "seed " << seed;
        TTraffic traffic;
        traffic.For(sim, 1s);
        sim.At(3).Stalled = true;
        traffic.For(sim, 2s);
        EXPECT_GT(sim.At(1).Core->KeptBytes(), 0u) << "seed " << seed;
        sim.Vanish(0);
        sim.At(3).Stalled = false;
        traffic.For(sim, 8s);
        sim.Run(2s);
        EXPECT_TRUE(sim.At(1).Core->IsHost()) << "seed " << seed << '\n' << sim.Describe();
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_RUN(seed, sim, Complete(sim, traffic));
    }
}

// Machine 1's router gives its connections an outside address nobody can connect to, but
// forwards its session port from its own. Told where, the others reach it as the next host;
// not told, they would pass it over.
TEST(SessionSim, ANewHostIsReachedWhereItsRouterForwardsItsSessionPort) {
    for (const bool told : {true, false})
        for (std::uint32_t seed = 1; seed <= 20; ++seed) {
            TSim sim(seed, {.Loss = 0.05});
            for (int i = 0; i < 4; ++i)
                sim.Add();
            sim.At(1).SeenAs = TAddress{htonl(0x0B00000C), 40000};
            Host(sim, 0);
            for (int i = 1; i < 4; ++i)
                ASSERT_TRUE(Joined(sim, i, 0)) << "seed " << seed;
            if (told)
                sim.Forwarded(1);
            TTraffic traffic;
            traffic.For(sim, 1s);
            sim.Vanish(0);
            traffic.For(sim, 10s);
            EXPECT_TRUE(sim.At(1).Core->IsHost()) << "seed " << seed;
            EXPECT_EQ(sim.At(2).Shown.size(), told ? 3u : 2u) << "seed " << seed << '\n'
                                                              << sim.Describe();
            EXPECT_RUN(seed, sim, Agreement(sim));
        }
}

// Through the lobby, a joiner tries the host's own address and, when that does not answer in
// time, the host's relay; with neither, it is told within the time of both tries. One that came
// through the relay still knows the host by its own address, and so knows its players gone with
// it when it vanishes.
TEST(SessionSim, AJoinerTriesTheHostsRelayOnlyWhenItsOwnAddressDoesNotAnswer) {
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        TSim sim(seed, {.Loss = 0.05});
        for (int i = 0; i < 4; ++i)
            sim.Add();
        Host(sim, 0);
        const TAddress host = sim.At(0).Address, nowhere{htonl(0x0B0000FE), 40000};
        // Where the host's router would be, which does not answer this joiner, and its relay.
        const TAddress outside{htonl(0x0B00000B), host.Port};
        sim.At(0).RelayAt = TAddress{htonl(0x0B000035), 49200};
        const struct {
            TAddress Direct;
            TAddress Relay;
            bool Joins;
        } cases[] = {
            {host, nowhere, true}, {outside, *sim.At(0).RelayAt, true}, {nowhere, nowhere, false}};
        for (int i = 0; i < 3; ++i) {
            const auto start = sim.Now();
            sim.JoinAt(i + 1, cases[i].Direct, cases[i].Relay);
            ASSERT_TRUE(sim.RunUntil([&] { return sim.At(i + 1).JoinResult.has_value(); },
                                     dplay::TSessionCore::kDirectTime +
                                         dplay::TSessionCore::kJoinTime + 1s))
                << "seed " << seed << " case " << i;
            EXPECT_EQ(*sim.At(i + 1).JoinResult == DP_OK, cases[i].Joins)
                << "seed " << seed << " case " << i;
            // A host that answers at its own address is joined before the relay is due.
            if (i == 0) {
                EXPECT_LT(sim.Now() - start, dplay::TSessionCore::kDirectTime) << "seed " << seed;
            }
        }
        for (int i = 1; i <= 2; ++i)
            sim.CreatePlayer(i, "p" + std::to_string(i));
        sim.Run(2s);
        sim.Vanish(0);
        sim.Run(10s);
        EXPECT_RUN(seed, sim, Agreement(sim));
        EXPECT_EQ(sim.At(1).Core->IsHost() + sim.At(2).Core->IsHost(), 1) << "seed " << seed;
    }
}

TEST(SessionSim, SendsHeldWhileTheHostChangesArriveUpToTheirLimitAndNoFurther) {
    TSim sim(7, {});
    for (int i = 0; i < 3; ++i)
        sim.Add();
    Host(sim, 0);
    ASSERT_TRUE(Joined(sim, 1, 0));
    ASSERT_TRUE(Joined(sim, 2, 0));
    const DPID hostPlayer = sim.At(0).Own().front(), sender = sim.At(2).Own().front();
    // Machine 2 cannot reach machine 1, the next host, until the sends are held.
    sim.Cut({2});
    sim.Vanish(0);
    ASSERT_TRUE(sim.RunUntil(
        [&] {
            return sim.At(1).Core->IsHost() &&
                   std::none_of(sim.At(2).Shown.begin(), sim.At(2).Shown.end(),
                                [&](const auto& p) { return p.Id == hostPlayer; });
        },
        5s))
        << sim.Describe();
    // Each send is kept as its packet: 83 bytes of header and signature, and the payload. Four
    // of them fill the limit exactly; the fifth, of one byte, goes past it and is refused.
    const std::size_t fill = dplay::TSessionCore::kMaxHeldBytes / 4 - 83;
    for (std::uint8_t n = 1; n <= 4; ++n)
        EXPECT_EQ(sim.Send(2, sender, DPID_ALLPLAYERS, true, std::vector<std::uint8_t>(fill, n)),
                  DP_OK);
    EXPECT_EQ(sim.Send(2, sender, DPID_ALLPLAYERS, true, {5}), DPERR_BUSY);
    sim.Heal();
    sim.Run(3s);
    std::vector<int> got;
    for (const auto& s : sim.At(1).Seen)
        if (s.SysType == 0 && s.From == sender)
            got.push_back(s.Data.empty() ? 0 : s.Data[0]);
    EXPECT_EQ(got, (std::vector<int>{1, 2, 3, 4})) << sim.Describe();
}

TEST(SessionSim, AHostNeverSendsAMachineItsOwnBroadcastBack) {
    // The receiving side would drop such an echo unseen, so only the wire can tell: every
    // broadcast would cross it twice.
    TSim sim(3, {});
    for (int i = 0; i < 3; ++i)
        sim.Add();
    Host(sim, 0);
    ASSERT_TRUE(Joined(sim, 1, 0));
    ASSERT_TRUE(Joined(sim, 2, 0));
    TTraffic traffic;
    traffic.For(sim, 1s);
    sim.Run(1s);
    EXPECT_EQ(sim.Echoes(), 0);
    for (int i = 0; i < 3; ++i) // 4 rounds from each of the two others, guaranteed
        EXPECT_EQ(std::count_if(sim.At(i).Seen.begin(), sim.At(i).Seen.end(),
                                [](const TSeen& s) { return s.SysType == 0 && s.Data[1]; }),
                  8)
            << "machine " << i;
}

TEST(SessionSim, ASessionTakesPlayersUpToItsMaximumAndNotOneMore) {
    TSim sim(5, {});
    for (int i = 0; i < 3; ++i)
        sim.Add();
    sim.Create(0, 2);
    sim.CreatePlayer(0, "host");
    sim.Run(10ms);
    EXPECT_TRUE(Joined(sim, 1, 0));
    EXPECT_FALSE(Joined(sim, 2, 0));
    const auto request = sim.CreatePlayer(0, "third");
    sim.Run(100ms);
    EXPECT_NE(sim.At(0).Players[request].first, DP_OK);
    EXPECT_EQ(sim.At(0).Shown.size(), 2u);
    // A machine already in hears its refusal at once, not when its request gives up.
    const auto more = sim.CreatePlayer(1, "more");
    sim.Run(500ms);
    ASSERT_EQ(sim.At(1).Players.count(more), 1u);
    EXPECT_EQ(sim.At(1).Players[more].first, DPERR_CANTADDPLAYER);
    EXPECT_EQ(sim.At(1).Shown.size(), 2u);
}

TEST(SessionSim, JoiningDisabledKeepsOtherMachinesOutButNotTheHostsOwnPlayers) {
    const struct {
        DWORD Flags;
        bool HostAdds, OthersJoin;
    } cases[] = {
        {DPSESSION_JOINDISABLED, true, false},
        {DPSESSION_NEWPLAYERSDISABLED, false, false},
        {0, true, true},
    };
    for (const auto& c : cases) {
        TSim sim(9, {});
        sim.Add();
        sim.Add();
        sim.Create(0, 4, c.Flags);
        const auto request = sim.CreatePlayer(0, "host");
        sim.Run(10ms);
        EXPECT_EQ(sim.At(0).Players[request].first == DP_OK, c.HostAdds) << c.Flags;
        EXPECT_EQ(Joined(sim, 1, 0), c.OthersJoin) << c.Flags;
    }
}
