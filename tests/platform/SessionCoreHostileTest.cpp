// Machines that do not play by the rules, at the protocol core: rejoins from nowhere, claims on
// other machines' players while the host changes, idle connections from one address. Each
// gets nowhere, and the honest machines carry on.
#include "platform/dplay/MachineIdentity.h"
#include "tests/platform/SessionSim.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

using namespace sessionsim;
using namespace std::chrono_literals;

namespace {

const GUID kApp{0x5EA5, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
const GUID kInstance{0x1A57, 0xB, 0xC, {1, 1, 2, 3, 5, 8, 13, 21}};

TAddress Stranger(std::uint32_t N) {
    return {htonl(0x0A000000 + N), 7000};
}

bool Joined(TSim& Sim, int Machine, int Host) {
    Sim.Join(Machine, Host);
    Sim.RunUntil([&] { return Sim.At(Machine).JoinResult.has_value(); }, 7s);
    if (Sim.At(Machine).JoinResult != DP_OK)
        return false;
    const auto request = Sim.CreatePlayer(Machine, "p");
    Sim.RunUntil([&] { return Sim.At(Machine).Players.count(request); }, 7s);
    return Sim.At(Machine).Players.count(request) &&
           Sim.At(Machine).Players[request].first == DP_OK;
}

// A claim signed with a key of the stranger's own, not the owner's.
dplay::TRejoin Claim(std::vector<DPID> Ids) {
    dplay::TRejoin r{kApp, kInstance, {}, {}, {}};
    r.Proof.fill(0x66);
    for (const DPID id : Ids)
        r.Own.push_back({id, 0, 7000, {}, 0, "intruder", "intruder"});
    return r;
}

bool Refused(const TSim::TRaw& Raw) {
    return Raw.Closed || std::any_of(Raw.Got.begin(), Raw.Got.end(), [](const auto& P) {
               return std::holds_alternative<dplay::TRefuse>(P);
           });
}

} // namespace

TEST(SessionCoreHostile, RejoinsFromFreshConnectionsAddNoPlayerToAFullOrClosedSession) {
    const struct {
        const char* What;
        DWORD MaxPlayers;
        DWORD Flags;
        int Claims;
    } cases[] = {
        {"full at two", 2, DPSESSION_MIGRATEHOST, 100},
        {"new players disabled", 4, DPSESSION_MIGRATEHOST | DPSESSION_NEWPLAYERSDISABLED, 20},
        {"unlimited", 0, DPSESSION_MIGRATEHOST, 1000},
    };
    for (const auto& c : cases) {
        TSim sim(7, {});
        sim.Add();
        sim.Add();
        // A session that takes no new players takes none from the start: not even the host's.
        const bool open = !(c.Flags & DPSESSION_NEWPLAYERSDISABLED);
        const std::size_t players = open ? 2 : 0;
        sim.Create(0, c.MaxPlayers, c.Flags);
        sim.CreatePlayer(0, "host");
        ASSERT_EQ(Joined(sim, 1, 0), open) << c.What;
        std::vector<TSim::TRaw*> raws;
        for (int i = 0; i < 20; ++i) {
            auto& raw = sim.RawConnect(0, Stranger(static_cast<std::uint32_t>(i)));
            std::vector<DPID> ids;
            for (int k = 0; k < c.Claims; ++k)
                ids.push_back(static_cast<DPID>(100 + i * 2000 + k));
            sim.RawSend(raw, dplay::EncodePacket(Claim(ids)));
            raws.push_back(&raw);
        }
        sim.Run(1s);
        EXPECT_EQ(sim.At(0).Shown.size(), players) << c.What;
        EXPECT_EQ(sim.At(1).Shown.size(), players) << c.What;
        for (auto* raw : raws)
            EXPECT_TRUE(Refused(*raw)) << c.What;
    }
}

TEST(SessionCoreHostile, AClaimPlantedOnTheNextHostCannotTakeAnotherMachinesPlayer) {
    TSim sim(11, {});
    for (int i = 0; i < 3; ++i)
        sim.Add();
    sim.Create(0);
    sim.CreatePlayer(0, "host");
    ASSERT_TRUE(Joined(sim, 1, 0));
    ASSERT_TRUE(Joined(sim, 2, 0));
    const DPID victim = sim.At(2).Own().front();
    // Before the host goes, a stranger asks machine 1 (the next host) for machine 2's player.
    auto& thief = sim.RawConnect(1, Stranger(1));
    sim.RawSend(thief, dplay::EncodePacket(Claim({victim})));
    sim.Run(100ms);
    sim.Vanish(0);
    sim.Run(8s);
    ASSERT_TRUE(sim.At(1).Core->IsHost()) << sim.Describe();
    EXPECT_TRUE(Refused(thief));
    // The stranger speaks as the victim: nobody hears it. The victim still speaks for itself.
    sim.RawSend(thief, dplay::EncodePacket(dplay::TData{victim, DPID_ALLPLAYERS, 9, 1, {}, {'F'}}));
    sim.Send(2, victim, DPID_ALLPLAYERS, true, {'R'});
    sim.Run(1s);
    std::vector<std::vector<std::uint8_t>> heard;
    for (const auto& s : sim.At(1).Seen)
        if (s.SysType == 0)
            heard.push_back(s.Data);
    EXPECT_EQ(heard, (std::vector<std::vector<std::uint8_t>>{{'R'}}));
    EXPECT_EQ(sim.At(1).Shown.size(), 2u) << sim.Describe();
    EXPECT_EQ(sim.At(2).Shown.size(), 2u) << sim.Describe();
    // Identifiers handed out after the change stay valid.
    sim.Add();
    ASSERT_TRUE(Joined(sim, 3, 1));
    for (const auto& p : sim.At(3).Shown)
        EXPECT_TRUE(dplay::ValidPlayerId(p.Id)) << p.Id;
}

// Machine 1 is elected host and misbehaves: it speaks to machine 2 in the name of machine 3's
// player (with its own key, with the player's key changed to its own, by replaying what the
// player said, and by passing on what the player said to machine 1's player alone), then vanishes
// and shows machine 2, the next host, the claim machine 3 made to it. Machine 2 hears the player
// only when it speaks itself, and machine 3 keeps its player.
TEST(SessionCoreHostile, AHostThatMisbehavesCanNeitherReuseAClaimNorSpeakForAnotherMachinesPlayer) {
    for (std::uint32_t seed = 1; seed <= 100; ++seed) {
        TSim sim(seed, {.Loss = 0.05});
        for (int i = 0; i < 4; ++i)
            sim.Add();
        sim.Create(0);
        sim.CreatePlayer(0, "host");
        for (int i = 1; i < 4; ++i)
            ASSERT_TRUE(Joined(sim, i, 0)) << "seed " << seed;
        const DPID victim = sim.At(3).Own().front();
        std::optional<dplay::TRejoin> claim;
        std::optional<dplay::TData> said, toldOne;
        sim.Tap = [&](int From, int To, const dplay::TPacket& P) {
            if (const auto* r = std::get_if<dplay::TRejoin>(&P); r && From == 3 && To == 1)
                claim = *r;
            if (const auto* d = std::get_if<dplay::TData>(&P); d && d->From == victim && To == 1)
                (d->To == DPID_ALLPLAYERS ? said : toldOne) = *d;
        };
        sim.Send(3, victim, DPID_ALLPLAYERS, true, {'1'});
        sim.Send(3, victim, sim.At(1).Own().front(), true, {'P'});
        sim.Run(1s);
        sim.Vanish(0);
        sim.Run(6s);
        ASSERT_TRUE(sim.At(1).Core->IsHost() && claim && said && toldOne) << "seed " << seed;

        dplay::TMachineIdentity own(dplay::TMachineKey{0xE7});
        const auto signedByOwn = [&] {
            dplay::TData d{victim, DPID_ALLPLAYERS, said->Seq + 100, 1, {}, {'F'}};
            d.Signature = own.Sign(dplay::SignedData(kInstance, d));
            return dplay::EncodePacket(d);
        };
        sim.Inject(1, 2, signedByOwn());
        sim.Inject(1, 2, dplay::EncodePacket(*said));
        sim.Inject(1, 2, dplay::EncodePacket(*toldOne));
        // Once more, for a player machine 2 no longer knows.
        sim.Inject(1, 2, dplay::EncodePacket(dplay::TPlayerRemoved{toldOne->To}));
        sim.Inject(1, 2, dplay::EncodePacket(*toldOne));
        sim.Inject(
            1, 2,
            dplay::EncodePacket(dplay::TPlayerAdded{{victim, 0, 7000, own.Key(), 0, "p", "p"}}));
        sim.Inject(1, 2, signedByOwn());
        sim.Run(1s);

        sim.Vanish(1);
        auto& thief = sim.RawConnect(2, Stranger(1));
        sim.RawSend(thief, dplay::EncodePacket(*claim));
        sim.Run(8s);
        ASSERT_TRUE(sim.At(2).Core->IsHost()) << "seed " << seed << '\n' << sim.Describe();
        EXPECT_TRUE(Refused(thief)) << "seed " << seed;
        EXPECT_EQ(sim.At(3).Own(), std::vector<DPID>{victim}) << "seed " << seed;
        EXPECT_EQ(sim.At(2).Shown.size(), 2u) << "seed " << seed << '\n' << sim.Describe();
        sim.Send(3, victim, DPID_ALLPLAYERS, true, {'2'});
        sim.Run(1s);
        std::vector<std::vector<std::uint8_t>> heard;
        for (const auto& s : sim.At(2).Seen)
            if (s.SysType == 0 && s.From == victim)
                heard.push_back(s.Data);
        EXPECT_EQ(heard, (std::vector<std::vector<std::uint8_t>>{{'1'}, {'2'}})) << "seed " << seed;
    }
}

// Machine 2 takes nothing, so what the host sends it piles up. Past the limit, a member that
// caused more than half of it goes, as flooding; when honest members caused it (each keeps at
// most its own limit), the machine that takes nothing goes.
TEST(SessionCoreHostile, ABacklogPastItsLimitDropsTheFlooderOrElseTheMachineThatTakesNothing) {
    const std::size_t size = dplay::kMaxMessageSize - 100;
    for (const bool flood : {true, false}) {
        TSim sim(17, {});
        for (int i = 0; i < 5; ++i)
            sim.Add();
        sim.Create(0, 8);
        sim.CreatePlayer(0, "host");
        for (int i = 1; i < 5; ++i)
            ASSERT_TRUE(Joined(sim, i, 0));
        sim.At(2).Stalled = true;
        DPID flooder = 0;
        if (flood) {
            const dplay::TMachineIdentity key(dplay::TMachineKey{0xF1});
            auto& raw = sim.RawConnect(0, Stranger(5));
            sim.RawSend(raw, dplay::EncodePacket(dplay::THello{kApp, kInstance, key.Key()}));
            sim.RawSend(raw, dplay::EncodePacket(dplay::TCreatePlayer{1, "f", "f"}));
            sim.Run(100ms);
            for (const auto& p : raw.Got)
                if (const auto* c = std::get_if<dplay::TPlayerCreated>(&p))
                    flooder = c->Id;
            ASSERT_NE(flooder, 0u);
            for (std::uint32_t n = 1; n <= 12; ++n) {
                dplay::TData d{flooder, DPID_ALLPLAYERS, n, 1, {}, std::vector<std::uint8_t>(size)};
                d.Signature = key.Sign(dplay::SignedData(kInstance, d));
                sim.RawSend(raw, dplay::EncodePacket(d));
            }
        } else {
            for (int n = 0; n < 5; ++n)
                for (const int m : {1, 3, 4})
                    sim.Send(m, sim.At(m).Own().front(), DPID_ALLPLAYERS, true,
                             std::vector<std::uint8_t>(size));
        }
        sim.Run(2s);
        std::set<DPID> listed;
        for (const auto& p : sim.At(0).Shown)
            listed.insert(p.Id);
        EXPECT_EQ(listed.count(sim.At(2).Own().front()), flood ? 1u : 0u) << flood;
        EXPECT_EQ(listed.count(flooder), 0u) << flood;
        for (const int m : {1, 3, 4})
            EXPECT_EQ(listed.count(sim.At(m).Own().front()), 1u) << flood << ", machine " << m;
    }
}

TEST(SessionCoreHostile, SeventyIdleConnectionsFromOneAddressNeitherBlockJoinsNorStay) {
    TSim sim(3, {});
    sim.Add();
    sim.Add();
    sim.Create(0);
    sim.CreatePlayer(0, "host");
    const TAddress flooder = Stranger(9);
    std::vector<TSim::TRaw*> raws;
    int accepted = 0;
    for (int i = 0; i < 70; ++i) {
        auto& raw = sim.RawConnect(0, {flooder.Ip, static_cast<std::uint16_t>(8000 + i)});
        if (raw.Conn) {
            ++accepted;
            sim.RawSend(raw, dplay::EncodePacket(dplay::THello{kApp, kInstance, {}}));
        }
        raws.push_back(&raw);
    }
    EXPECT_EQ(accepted, static_cast<int>(dplay::TSessionCore::kMaxPerAddress));
    EXPECT_TRUE(Joined(sim, 1, 0));
    sim.Run(dplay::TSessionCore::kIdleTime + 1s);
    for (auto* raw : raws)
        EXPECT_TRUE(raw->Closed);
    // Gone, they make room for the same address again.
    EXPECT_NE(sim.RawConnect(0, {flooder.Ip, 9000}).Conn, 0u);
    EXPECT_EQ(sim.At(0).Shown.size(), 2u);
}

TEST(SessionCoreHostile, AMachineThatNeverSaysHelloIsClosedAndEmptyMessagesAreHarmless) {
    TSim sim(5, {});
    sim.Add();
    sim.Add();
    sim.Create(0);
    sim.CreatePlayer(0, "host");
    ASSERT_TRUE(Joined(sim, 1, 0));
    auto& mute = sim.RawConnect(0, Stranger(2));
    sim.Send(1, sim.At(1).Own().front(), DPID_ALLPLAYERS, true, {});
    sim.Send(1, sim.At(1).Own().front(), DPID_ALLPLAYERS, true, {'x'});
    sim.Run(dplay::TSessionCore::kHelloTime + 1s);
    EXPECT_TRUE(mute.Closed);
    std::vector<std::vector<std::uint8_t>> heard;
    for (const auto& s : sim.At(0).Seen)
        if (s.SysType == 0)
            heard.push_back(s.Data);
    EXPECT_EQ(heard, (std::vector<std::vector<std::uint8_t>>{{}, {'x'}}));
}

TEST(SessionCoreHostile, TheHostRefusesPlayerNamesThatAreNotWholeShiftJis) {
    const struct {
        std::string ShortName, LongName;
        HRESULT Answer;
    } cases[] = {
        {"\x83\x41\x83\x93", "\xB1\xDD\xC5 a\nB", DP_OK}, // controls: the screen shows them
        {"", "", DP_OK},
        {"ok", "\x82", DPERR_INVALIDPARAMS},
        {"\x82\x0A", "ok", DPERR_INVALIDPARAMS},
        {"ok", "\xFF\xFE", DPERR_INVALIDPARAMS},
        {"ok", std::string("an\0na", 5), DPERR_INVALIDPARAMS},
    };
    for (const auto& c : cases) {
        TSim sim(13, {});
        sim.Add();
        sim.Add();
        sim.Create(0);
        sim.CreatePlayer(0, "host");
        ASSERT_TRUE(Joined(sim, 1, 0)) << c.LongName;
        auto& raw = sim.RawConnect(0, Stranger(3));
        sim.RawSend(raw, dplay::EncodePacket(dplay::THello{kApp, kInstance, {}}));
        sim.RawSend(raw, dplay::EncodePacket(dplay::TCreatePlayer{77, c.ShortName, c.LongName}));
        sim.Run(1s);
        const auto created = std::find_if(raw.Got.begin(), raw.Got.end(), [](const auto& P) {
            return std::holds_alternative<dplay::TPlayerCreated>(P);
        });
        ASSERT_NE(created, raw.Got.end()) << c.LongName;
        const auto* answer = std::get_if<dplay::TPlayerCreated>(&*created);
        ASSERT_EQ(answer->Nonce, 77u) << c.LongName;
        EXPECT_EQ(static_cast<HRESULT>(answer->Code), c.Answer) << c.LongName;
        for (int m = 0; m < 2; ++m)
            EXPECT_EQ(sim.At(m).Shown.size(), c.Answer == DP_OK ? 3u : 2u) << c.LongName;
    }
}
