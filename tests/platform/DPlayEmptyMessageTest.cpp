// Nobody may send an empty message; one that a machine sends anyway by hand neither blocks the
// queue nor what comes after it.
#include "tests/platform/DPlayRawMachine.h"
#include "tests/platform/DPlayTestPeer.h"

#include <gtest/gtest.h>

using namespace dplaytest;
using namespace std::chrono_literals;

TEST(DPlayEmptyMessage, IsRefusedToTheSenderAndDeliveredHarmlesslyWhenItArrivesAnyway) {
    const auto port = FreeUdpPort();
    TPeer host(port), guest(port);
    ASSERT_EQ(host.Create("open water"), DP_OK);
    ASSERT_EQ(host.AddPlayer("H"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    ASSERT_EQ(guest.Search(found), DP_OK);
    ASSERT_EQ(guest.Join(found.at(0)), DP_OK);
    ASSERT_EQ(guest.AddPlayer("G"), DP_OK);
    std::uint8_t byte = 1;
    EXPECT_EQ(guest.Play->Send(guest.Player, DPID_ALLPLAYERS, 0, &byte, 0), DPERR_INVALIDPARAMS);

    TRawMachine raw(found[0]);
    ASSERT_NE(raw.Player, 0u);
    raw.SendData(DPID_ALLPLAYERS, {});
    raw.SendData(DPID_ALLPLAYERS, {});
    raw.SendData(DPID_ALLPLAYERS, {2});
    // The host reads on past the empty ones, and so does the guest it relays them to.
    for (TPeer* reader : {&host, &guest}) {
        std::vector<std::vector<std::uint8_t>> got;
        std::vector<TArrival> all;
        reader->WaitFor(
            [&](const std::vector<TArrival>& a) {
                got.clear();
                for (const auto& x : a)
                    if (x.SysType == 0 && x.From == raw.Player)
                        got.push_back(x.Data);
                return got.size() >= 3;
            },
            3s, all);
        EXPECT_EQ(got, (std::vector<std::vector<std::uint8_t>>{{}, {}, {2}}));
    }
}
