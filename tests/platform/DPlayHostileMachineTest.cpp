// A machine that does not play by the rules: garbage, packets before saying hello, and messages
// in another machine's name. The host drops them and carries on.
#include "tests/platform/DPlayTestPeer.h"

#include "platform/dplay/Wire.h"

#include <enet/enet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace dplaytest;
using namespace std::chrono_literals;

namespace {

// A raw ENet client under the test's control.
struct THostileMachine {
    ENetHost* Host = nullptr;
    ENetPeer* Peer = nullptr;
    THostileMachine(std::uint32_t Ip, std::uint16_t Port) {
        enet_initialize();
        ENetAddress local{};
        enet_address_set_host_ip(&local, "127.0.0.1");
        Host = enet_host_create(&local, 1, 2, 0, 0);
        ENetAddress to{Ip, Port};
        Peer = enet_host_connect(Host, &to, 2, 0);
    }
    ~THostileMachine() { enet_host_destroy(Host); }
    // Services until an event of Type comes (its packet's bytes for a receive).
    bool Await(ENetEventType Type, std::vector<std::uint8_t>* Bytes = nullptr) {
        const auto end = std::chrono::steady_clock::now() + 3s;
        ENetEvent e;
        while (std::chrono::steady_clock::now() < end) {
            if (enet_host_service(Host, &e, 20) <= 0)
                continue;
            const bool match = e.type == Type;
            if (e.type == ENET_EVENT_TYPE_RECEIVE) {
                if (Bytes)
                    Bytes->assign(e.packet->data, e.packet->data + e.packet->dataLength);
                enet_packet_destroy(e.packet);
            }
            if (match)
                return true;
        }
        return false;
    }
    void Send(const std::vector<std::uint8_t>& Bytes) {
        enet_peer_send(Peer, 0,
                       enet_packet_create(Bytes.data(), Bytes.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(Host);
    }
};

} // namespace

TEST(DPlayHostileMachine, GarbageAndMessagesInAnotherMachinesNameAreDropped) {
    const auto port = FreeUdpPort();
    TPeer host(port), guest(port);
    ASSERT_EQ(host.Create("guarded"), DP_OK);
    ASSERT_EQ(host.AddPlayer("H"), DP_OK);
    std::vector<DPSESSIONDESC2> found;
    ASSERT_EQ(guest.Search(found), DP_OK);
    ASSERT_EQ(found.size(), 1u);
    ASSERT_EQ(guest.Join(found[0]), DP_OK);
    ASSERT_EQ(guest.AddPlayer("G"), DP_OK);

    THostileMachine evil(found[0].dwReserved1, static_cast<std::uint16_t>(found[0].dwReserved2));
    ASSERT_TRUE(evil.Await(ENET_EVENT_TYPE_CONNECT));
    const dplay::TData forged{guest.Player, DPID_ALLPLAYERS, 1, 1, {}, {6, 6, 6}};
    // Before saying hello, and as garbage of every length.
    evil.Send(dplay::EncodePacket(forged));
    for (std::size_t n = 0; n < 64; ++n)
        evil.Send(std::vector<std::uint8_t>(n, static_cast<std::uint8_t>(n * 37)));
    // After a proper hello: still not its player to speak for.
    evil.Send(dplay::EncodePacket(dplay::THello{GUID{}, found[0].guidInstance}));
    std::vector<std::uint8_t> welcome;
    while (evil.Await(ENET_EVENT_TYPE_RECEIVE, &welcome) &&
           std::holds_alternative<dplay::TChallenge>(*dplay::DecodePacket(welcome))) {
    }
    ASSERT_TRUE(std::holds_alternative<dplay::TWelcome>(*dplay::DecodePacket(welcome)));
    evil.Send(dplay::EncodePacket(forged));
    evil.Send(dplay::EncodePacket(dplay::TData{host.Player, DPID_ALLPLAYERS, 1, 1, {}, {6}}));

    // The real guest's message still arrives, and it is the only one.
    ASSERT_EQ(guest.SendTo(DPID_ALLPLAYERS, {1}), DP_OK);
    std::vector<TArrival> got;
    host.WaitFor(
        [](auto& a) {
            return std::any_of(a.begin(), a.end(), [](auto& x) { return x.SysType == 0; });
        },
        3s, got);
    std::this_thread::sleep_for(200ms);
    for (auto& a : host.Drain())
        got.push_back(a);
    std::vector<std::vector<std::uint8_t>> data;
    for (auto& a : got)
        if (a.SysType == 0)
            data.push_back(a.Data);
    EXPECT_EQ(data, (std::vector<std::vector<std::uint8_t>>{{1}}));
    EXPECT_EQ(host.Players().size(), 2u);
}
