#pragma once
// A node's part in the internet lobby: it asks the address server, from the session socket,
// where the router lets this machine in from, announces a hosted session in the lobby's room,
// and sends the punches its plan calls for. Whatever on the session socket is not ENet's (the
// address server's answers, other machines' punches) ends here and never reaches ENet.

#include "LobbyLink.h"
#include "PunchPlan.h"
#include "RelayPump.h"
#include "StunMessage.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace dplay {

class TNatTraversal {
public:
    // Binding requests, one every kAskEvery until an answer or kAskTimes have gone unanswered.
    static constexpr auto kAskEvery = std::chrono::milliseconds(250);
    static constexpr int kAskTimes = 8;
    static constexpr std::uint8_t kPunch[8] = {'M', 'V', 'P', 'U', 'N', 'C', 'H', 1};

    using TSend = std::function<void(TAddress, std::span<const std::uint8_t>)>;
    TNatTraversal(std::shared_ptr<TLobbyLink> Lobby, TSend Send);
    ~TNatTraversal();

    // EnetPort: the session socket's. While this machine hosts, it keeps a relay for joiners
    // no punch reaches, when the lobby offers one.
    void Start(TTime Now, std::uint16_t EnetPort);
    // A datagram from From on the session socket: true when it was ours, not ENet's.
    bool Take(std::span<const std::uint8_t> Bytes, TAddress From);
    // Once the address server answered (or could not be asked), and what it said.
    bool Settled() const { return Answered || Asked >= kAskTimes || !Server; }
    // Where the others can reach this machine: where its router lets it in from, or its own
    // relay once it is known that no punch reaches it.
    std::optional<TAddress> Public() const;
    // No punch reaches this machine (its router gives every destination a port of its own):
    // it keeps a relay of its own, so that it can be reached should it host, and lets the
    // session's other machines through it.
    void Unpunchable() { NeedRelay = true; }

    // A joiner's request from the lobby, for the session this machine hosts now.
    void Requested(const TPunchRequest& Request, const GUID& Hosted, TTime Now);
    // The machine behind a loopback port ENet sees, when it came through the relay.
    std::optional<TAddress> MachineAt(TAddress Seen) const;
    // This machine joins: the host is asked to punch towards it, and it punches the host.
    void Joining(TAddress Host, const GUID& Instance, TTime Now);
    // Every turn: the other machines' outside addresses, and the session to announce (none
    // when not hosting).
    void Tick(TTime Now, const std::vector<TAddress>& Members,
              const std::optional<TSessionReply>& Hosted);

private:
    std::shared_ptr<TLobbyLink> Lobby;
    TSend Send;
    TPunchPlan Plan;
    std::optional<TAddress> Server;
    TStunTransactionId Transaction{};
    int Asked = 0;
    TTime NextAsk{};
    bool Answered = false;
    std::optional<TAddress> Mapped;
    bool Announced = false;
    std::uint16_t EnetPort = 0;
    std::unique_ptr<TRelayPump> Pump;
    bool NeedRelay = false;
};

} // namespace dplay
