// A member that sends large guaranteed messages as fast as the host takes them, while another
// player sits on a link that loses a tenth of what reaches it. The backlog that piles up for
// that player is the flooder's doing: the flooder goes, and the player plays on.
#include "tests/platform/DPlayRawMachine.h"
#include "tests/platform/DPlayTestPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace dplaytest;
using namespace std::chrono_literals;

namespace {

bool Lists(TPeer& Peer, DPID Player) {
    const auto players = Peer.Players();
    return std::any_of(players.begin(), players.end(),
                       [&](const auto& p) { return p.first == Player; });
}

bool Hears(TPeer& Peer, DPID From, std::uint8_t Mark) {
    std::vector<TArrival> got;
    return Peer.WaitFor(
        [&](const std::vector<TArrival>& A) {
            return std::any_of(A.begin(), A.end(), [&](const TArrival& a) {
                return a.SysType == 0 && a.From == From && a.Data == std::vector{Mark};
            });
        },
        15s, got);
}

} // namespace

TEST(DPlayFlood, AMemberThatFloodsIsDroppedAndAPlayerOnAPoorLinkPlaysOn) {
    const auto port = FreeUdpPort();
    TPeer host(port), poor(port);
    ASSERT_EQ(host.Create("flooded", 4), DP_OK);
    ASSERT_EQ(host.AddPlayer("H"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    ASSERT_EQ(poor.Search(found), DP_OK);
    ASSERT_EQ(found.size(), 1u);
    ::setenv("MAREVO_DPLAY_LOSS", "10", 1);
    const HRESULT joined = poor.Join(found[0]);
    ::unsetenv("MAREVO_DPLAY_LOSS");
    ASSERT_EQ(joined, DP_OK);
    ASSERT_EQ(poor.AddPlayer("P"), DP_OK);

    TRawMachine flooder(found[0]);
    ASSERT_NE(flooder.Player, 0u);
    // Twice what the host may have on its way to one machine, in messages of 1 MiB.
    flooder.Flood(dplay::kMaxMessageSize - 128, 16, 2);
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (Lists(host, flooder.Player) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(Lists(host, flooder.Player));
    EXPECT_TRUE(Lists(host, poor.Player));

    ASSERT_EQ(poor.SendTo(DPID_ALLPLAYERS, {7}), DP_OK);
    EXPECT_TRUE(Hears(host, poor.Player, 7));
    ASSERT_EQ(host.SendTo(DPID_ALLPLAYERS, {8}), DP_OK);
    EXPECT_TRUE(Hears(poor, host.Player, 8));
    EXPECT_TRUE(Lists(poor, host.Player));
    EXPECT_TRUE(Lists(host, poor.Player));
}
