// Any packets, from any machine, at any time: neither a host nor a client core may crash, list
// a player twice or under an identifier outside 2 .. 2^31 - 1, or let a session grow past its
// limit. The input is a script: an operation byte, then for packets a length byte and bytes.
// Sends, acknowledgements of the transport and the clock run in between, so that what is kept
// for delivery, and let go, is exercised by whatever the packets say.
#include "platform/dplay/SessionCore.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;

void Check(const dplay::TSessionCore& Core, std::size_t Limit) {
    auto ids = Core.PlayerIds();
    std::sort(ids.begin(), ids.end());
    if (ids.size() > Limit || std::adjacent_find(ids.begin(), ids.end()) != ids.end() ||
        std::any_of(ids.begin(), ids.end(), [](DPID id) { return !dplay::ValidPlayerId(id); }))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const GUID app{}, instance{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    dplay::TTime now{};
    dplay::TSessionCore host(dplay::TMachineKey{1});
    host.Create({app, instance, DPSESSION_MIGRATEHOST, 4, "fuzz"}, 5000, now);
    host.CreatePlayer(1, "h", "h", now);
    const dplay::TConnId machines[] = {host.Accept({htonl(0x0A000001), 6000}, now),
                                       host.Accept({htonl(0x0A000002), 6000}, now)};
    dplay::TSessionCore client(dplay::TMachineKey{2});
    client.Join({htonl(0x7F000001), 5000}, {htonl(0x7F000001), 5001}, app, instance, now);
    client.Connected(1, now);
    std::size_t at = 0;
    while (at < Size) {
        const std::uint8_t op = Data[at++];
        if (op % 7 >= 5) {
            for (const DPID id : host.PlayerIds())
                host.Send(id, DPID_ALLPLAYERS, op & 0x80, {op}, now);
            for (const DPID id : client.PlayerIds())
                client.Send(id, DPID_ALLPLAYERS, op & 0x80, {op}, now);
            host.Released(machines[op & 1], op & 0x40 ? machines[1] : 0, op * 97u);
        } else if (op % 5 < 3) {
            std::size_t n = 0;
            if (at < Size) {
                n = std::min<std::size_t>(Data[at], Size - at - 1);
                ++at;
            }
            const std::span<const std::uint8_t> bytes(Data + at, n);
            at += n;
            if (op % 5 == 2)
                client.Received(1, bytes, now);
            else
                host.Received(machines[op % 5], bytes, now);
        } else if (op % 5 == 3) {
            now += std::chrono::milliseconds(op * 10);
            host.Tick(now);
            client.Tick(now);
        } else {
            client.Disconnected(1, now);
            host.Disconnected(machines[op & 1], now);
        }
        host.TakeActions();
        client.TakeActions();
        Check(host, 4);
        Check(client, dplay::kMaxListedPlayers);
    }
    return 0;
}
