// The worst memory one flooding machine can make a host hold: it joins properly, then sends
// guaranteed messages as fast as the host acknowledges them (1 MiB ones, then empty ones)
// while the host's game reads nothing. Prints the host's growth beside the bound its limits
// promise: the unread-message cap, plus what one machine may have waiting to be put together.
#include "platform/dplay/SessionShared.h"
#include "tests/platform/DPlayTestPeer.h"

#include <enet/enet.h>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <fstream>

namespace {

using namespace std::chrono_literals;

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// A machine that joins by hand and then floods, one message in flight at a time so that its
// own memory stays small and what grows is the host's.
class TFlooder {
public:
    explicit TFlooder(const DPSESSIONDESC2& Desc) {
        enet_initialize();
        ENetAddress local{};
        enet_address_set_host_ip(&local, "127.0.0.1");
        Host = enet_host_create(&local, 1, 2, 0, 0);
        const ENetAddress to{Desc.dwReserved1, static_cast<enet_uint16>(Desc.dwReserved2)};
        Peer = enet_host_connect(Host, &to, 2, 0);
        Await([&](const ENetEvent& e) { return e.type == ENET_EVENT_TYPE_CONNECT; });
        Send(dplay::EncodePacket(dplay::THello{Desc.guidApplication, Desc.guidInstance, {}}));
        Send(dplay::EncodePacket(dplay::TCreatePlayer{1, "flood", "flood"}));
        Await([&](const ENetEvent& e) {
            if (e.type != ENET_EVENT_TYPE_RECEIVE)
                return false;
            const auto p = dplay::DecodePacket({e.packet->data, e.packet->dataLength});
            if (const auto* c = p ? std::get_if<dplay::TPlayerCreated>(&*p) : nullptr)
                Player = c->Id;
            return Player != 0;
        });
    }
    ~TFlooder() { enet_host_destroy(Host); }

    // Sends Count messages of Size bytes, Batch at a time, each batch once the last one is
    // acknowledged.
    void Flood(std::size_t Size, int Count, int Batch) {
        const auto bytes =
            dplay::EncodePacket(dplay::TData{Player, 0, std::vector<std::uint8_t>(Size, 0x55)});
        for (int i = 0; i < Count && Peer->state == ENET_PEER_STATE_CONNECTED; i += Batch) {
            for (int k = 0; k < Batch; ++k) {
                ENetPacket* packet =
                    enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE);
                packet->userData = this;
                packet->freeCallback = [](ENetPacket* P) {
                    --static_cast<TFlooder*>(P->userData)->InFlight;
                };
                ++InFlight;
                enet_peer_send(Peer, 0, packet);
            }
            Await([&](const ENetEvent&) { return InFlight == 0; });
        }
    }

    DPID Player = 0;

private:
    template <class F> void Await(F&& Done) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        ENetEvent e{};
        while (std::chrono::steady_clock::now() < end) {
            const int got = enet_host_service(Host, &e, 1);
            const bool done = got > 0 ? Done(e) : Done(ENetEvent{});
            if (got > 0 && e.type == ENET_EVENT_TYPE_RECEIVE)
                enet_packet_destroy(e.packet);
            if (done)
                return;
        }
    }
    void Send(const std::vector<std::uint8_t>& Bytes) {
        enet_peer_send(Peer, 0,
                       enet_packet_create(Bytes.data(), Bytes.size(), ENET_PACKET_FLAG_RELIABLE));
        enet_host_flush(Host);
    }
    ENetHost* Host = nullptr;
    ENetPeer* Peer = nullptr;
    int InFlight = 0;
};

void BM_FloodingMachine(benchmark::State& State) {
    const double bound =
        static_cast<double>(dplay::TSessionShared::kMaxQueuedBytes + 2 * dplay::kMaxMessageSize) /
        (1 << 20);
    double growth = 0;
    for (auto _ : State) {
        const auto port = dplaytest::FreeUdpPort();
        dplaytest::TPeer host(port);
        host.Create("flooded");
        host.AddPlayer("host");
        std::vector<DPSESSIONDESC2> found;
        dplaytest::TPeer(port).Search(found);
        if (found.empty()) {
            State.SkipWithError("no session found");
            return;
        }
        const double before = ResidentMiB();
        TFlooder flooder(found[0]);
        flooder.Flood(dplay::kMaxMessageSize, 96, 1);
        flooder.Flood(0, 600000, 2000);
        growth = std::max(growth, ResidentMiB() - before);
    }
    State.counters["host_growth_MiB"] = growth;
    State.counters["bound_MiB"] = bound;
}
BENCHMARK(BM_FloodingMachine)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
