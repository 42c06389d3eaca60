// Connections that never join, from hundreds of addresses and coming and going all the time:
// the host's table stays bounded, and a player who found the session joins at the first try and
// stays.
#include "tests/platform/SessionSim.h"

#include <arpa/inet.h>

#include <gtest/gtest.h>

using namespace sessionsim;
using namespace std::chrono_literals;

namespace {

const GUID kApp{0x5EA5, 0x1, 0x2, {3, 4, 5, 6, 7, 8, 9, 10}};
const GUID kInstance{0x1A57, 0xB, 0xC, {1, 1, 2, 3, 5, 8, 13, 21}};
constexpr TMs kStep{5};

struct TCrowd {
    const char* What;
    std::uint32_t Addresses;
    int PerStep;   // new connections every kStep
    bool SayHello; // and then never ask for a player
};

} // namespace

TEST(SessionCoreCrowd, APlayerJoinsAtTheFirstTryWhileHundredsOfAddressesConnectAndNeverJoin) {
    const TCrowd crowds[] = {
        {"300 addresses, 400 connections a second, never a hello", 300, 2, false},
        {"300 addresses, 400 connections a second, a hello but never a player", 300, 2, true},
        {"40 addresses at their limit of 8, 1,000 connections a second", 40, 5, false},
    };
    const std::size_t table = dplay::TSessionCore::kMaxConns;
    for (const auto& crowd : crowds) {
        for (std::uint32_t seed = 1; seed <= 2; ++seed) {
            SCOPED_TRACE(std::string(crowd.What) + ", seed " + std::to_string(seed));
            TSim sim(seed, {});
            sim.Add();
            sim.Add();
            sim.Create(0);
            sim.CreatePlayer(0, "host");
            std::size_t most = 0;
            int accepted = 0;
            const auto step = [&] {
                for (int k = 0; k < crowd.PerStep; ++k) {
                    const std::uint32_t a = 0x0B000000u + sim.Random()() % crowd.Addresses;
                    const auto port = static_cast<std::uint16_t>(1024 + sim.Random()() % 60000);
                    auto& raw = sim.RawConnect(0, {htonl(a), port});
                    accepted += raw.Conn != 0;
                    if (crowd.SayHello && raw.Conn)
                        sim.RawSend(raw, dplay::EncodePacket(dplay::THello{kApp, kInstance, {}}));
                }
                sim.Run(kStep);
                most = std::max(most, sim.Connections(0));
            };
            const auto stepUntil = [&](const std::function<bool()>& Done, TMs For) {
                for (TMs t{0}; t < For && !Done(); t += kStep)
                    step();
                return Done();
            };
            stepUntil([] { return false; }, 2s);
            EXPECT_EQ(sim.Connections(0), table) << "the crowd does not fill the table";

            sim.Join(1, 0);
            ASSERT_TRUE(stepUntil([&] { return sim.At(1).JoinResult.has_value(); }, 7s));
            ASSERT_EQ(*sim.At(1).JoinResult, DP_OK) << sim.Describe();
            const auto request = sim.CreatePlayer(1, "guest");
            ASSERT_TRUE(stepUntil([&] { return sim.At(1).Players.count(request) > 0; }, 7s));
            ASSERT_EQ(sim.At(1).Players[request].first, DP_OK) << sim.Describe();

            // Longer than any deadline: the guest, owning a player, is never pushed out.
            stepUntil([] { return false; }, dplay::TSessionCore::kIdleTime + 2s);
            EXPECT_EQ(sim.At(0).Shown.size(), 2u) << sim.Describe();
            EXPECT_EQ(sim.At(1).Shown.size(), 2u) << sim.Describe();
            EXPECT_LE(most, table);
            // The crowd was let in (each newcomer pushing out an older one), not turned away.
            EXPECT_GT(accepted, static_cast<int>(4 * table));
        }
    }
}
