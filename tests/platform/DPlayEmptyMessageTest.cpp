// Empty messages: nobody may send one, and one that a machine sends anyway by hand neither
// blocks the queue nor what comes after it.
#include "tests/platform/DPlayRawMachine.h"
#include "tests/platform/DPlayTestPeer.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace dplaytest;
using namespace std::chrono_literals;

TEST(DPlayEmptyMessage, IsRefusedToTheSenderAndDeliveredHarmlesslyWhenItArrivesAnyway) {
    const auto port = FreeUdpPort();
    TPeer host(port), guest(port);
    ASSERT_EQ(host.Create("open water"), DP_OK);
    ASSERT_EQ(host.AddPlayer("H"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    ASSERT_EQ(guest.Search(found), DP_OK);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(guest.Join(found[0]), DP_OK);
    ASSERT_EQ(guest.AddPlayer("G"), DP_OK);

    std::uint8_t byte = 1;
    EXPECT_EQ(guest.Play->Send(guest.Player, DPID_ALLPLAYERS, DPSEND_GUARANTEED, &byte, 0),
              DPERR_INVALIDPARAMS);
    EXPECT_EQ(guest.SendTo(DPID_ALLPLAYERS, {}), DPERR_INVALIDPARAMS);

    TRawMachine raw(found[0].dwReserved1, static_cast<std::uint16_t>(found[0].dwReserved2));
    const DPID rawPlayer = raw.JoinAsPlayer(GUID{}, found[0].guidInstance, "R");
    ASSERT_NE(rawPlayer, 0u);
    raw.Send(dplay::TData{rawPlayer, DPID_ALLPLAYERS, {}});
    raw.Send(dplay::TData{rawPlayer, DPID_ALLPLAYERS, {}});
    raw.Send(dplay::TData{rawPlayer, DPID_ALLPLAYERS, {2}});
    ASSERT_EQ(guest.SendTo(DPID_ALLPLAYERS, {3}), DP_OK);

    // Both the host and the guest (which the host relays to) read on past the empty ones.
    for (TPeer* reader : {&host, &guest}) {
        std::vector<TArrival> got;
        const auto fromRaw = [&](const std::vector<TArrival>& all) {
            std::vector<std::vector<std::uint8_t>> d;
            for (const auto& a : all)
                if (a.SysType == 0 && a.From == rawPlayer)
                    d.push_back(a.Data);
            return d;
        };
        EXPECT_TRUE(reader->WaitFor(
            [&](const std::vector<TArrival>& all) { return fromRaw(all).size() >= 3; }, 3s, got));
        EXPECT_EQ(fromRaw(got), (std::vector<std::vector<std::uint8_t>>{{}, {}, {2}}));
        if (reader == &host) {
            EXPECT_TRUE(reader->WaitFor(
                [&](const std::vector<TArrival>& all) {
                    return std::any_of(all.begin(), all.end(), [&](const TArrival& a) {
                        return a.From == guest.Player && a.Data == std::vector<std::uint8_t>{3};
                    });
                },
                3s, got));
        }
    }
}
