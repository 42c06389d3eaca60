#pragma once
// A host's relay, for joiners whose routers give a new outside port for every destination, so
// that no punch can reach them: a relay server (TURN) takes their datagrams at an address of
// its own and passes them on here. ENet never learns: each relayed machine gets a loopback
// socket of its own that hands ENet what the relay passed on and takes back what ENet answers,
// so that ENet sees it at a loopback port, which the node translates to the machine's address.

#include "SessionCore.h"
#include "TurnClient.h"

#include <map>
#include <optional>

namespace dplay {

class TRelayPump {
public:
    // EnetPort: the session socket's port, on loopback.
    TRelayPump(TAddress Server, TTurnCredentials Credentials, std::uint16_t EnetPort);
    ~TRelayPump();
    TRelayPump(const TRelayPump&) = delete;
    TRelayPump& operator=(const TRelayPump&) = delete;

    void Start(TTime Now);
    // Lets datagrams from Peer's address through the relay (by its address alone, as relays
    // do: a router that changes ports keeps the address).
    void Permit(TAddress Peer, TTime Now);
    // Every turn: carries what waits on each socket.
    void Service(TTime Now);
    // Where the relay takes datagrams for this machine, once it has said.
    std::optional<TAddress> Relayed() const;
    bool Failed() const { return Client.State() == TTurnClient::TState::Failed; }
    // The machine behind a loopback port ENet sees, if it is one of ours.
    std::optional<TAddress> MachineAt(TAddress Seen) const;

private:
    struct TProxy {
        int Fd = -1;
        std::uint16_t Port = 0;
    };
    void Flush();
    TProxy* ProxyFor(TAddress Peer, TTime Now);

    TAddress Server;
    TTurnClient Client;
    std::uint16_t EnetPort = 0;
    int Fd = -1;                                // towards the relay
    std::map<std::uint64_t, TProxy> Proxies;    // by machine
    std::map<std::uint16_t, TAddress> Machines; // by proxy port
};

} // namespace dplay
