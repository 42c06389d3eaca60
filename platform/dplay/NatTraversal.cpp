#include "NatTraversal.h"

#include <sodium.h>

#include <algorithm>
#include <cstring>

namespace dplay {

TNatTraversal::TNatTraversal(std::shared_ptr<TLobbyLink> ALobby, TSend ASend)
    : Lobby(std::move(ALobby)), Send(std::move(ASend)) {}

TNatTraversal::~TNatTraversal() {
    if (Announced)
        Lobby->Announce({});
}

void TNatTraversal::Start(TTime Now, std::uint16_t AEnetPort) {
    EnetPort = AEnetPort;
    Server = Lobby->StunServer();
    randombytes_buf(Transaction.data(), Transaction.size());
    NextAsk = Now;
}

bool TNatTraversal::Take(std::span<const std::uint8_t> Bytes, TAddress From) {
    if (Bytes.size() == sizeof kPunch && std::memcmp(Bytes.data(), kPunch, sizeof kPunch) == 0)
        return true;
    if (!IsStun(Bytes))
        return false;
    // Only the server asked may say where this machine is.
    if (Server && From == *Server && !Answered)
        if (const auto answer = DecodeStun(Bytes);
            answer && answer->Method == TStunMethod::Binding &&
            answer->Class == TStunClass::Success && answer->Id == Transaction) {
            const auto seen = answer->XorMapped ? answer->XorMapped : answer->Mapped;
            if (seen && PlausiblePeer({seen->Ip, seen->Port})) {
                Mapped = TAddress{seen->Ip, seen->Port};
                Answered = true;
            }
        }
    return true;
}

void TNatTraversal::Requested(const TPunchRequest& Request, const GUID& Hosted, TTime Now) {
    if (Request.Instance != Hosted || !Plan.Requested(Request.From, Now))
        return;
    if (Pump)
        Pump->Permit(Request.From, Now);
}

std::optional<TAddress> TNatTraversal::Public() const {
    if (NeedRelay)
        return Pump ? Pump->Relayed() : std::nullopt;
    return Mapped;
}

std::optional<TAddress> TNatTraversal::MachineAt(TAddress Seen) const {
    return Pump ? Pump->MachineAt(Seen) : std::nullopt;
}

void TNatTraversal::Joining(TAddress Host, const GUID& Instance, TTime Now) {
    if (Mapped)
        Lobby->AskPunch({Instance, *Mapped});
    Plan.Requested(Host, Now);
}

void TNatTraversal::Tick(TTime Now, const std::vector<TAddress>& Members,
                         const std::optional<TSessionReply>& Hosted) {
    if (Server && !Answered && Asked < kAskTimes && Now >= NextAsk) {
        ++Asked;
        NextAsk = Now + kAskEvery;
        TStunMessage request;
        request.Id = Transaction;
        Send(*Server, EncodeStun(request));
    }
    // The lobby hands out its relay's credentials soon after signing in.
    if ((Hosted || NeedRelay) && !Pump)
        if (const auto relay = Lobby->Relay()) {
            Pump = std::make_unique<TRelayPump>(
                relay->Server, TTurnCredentials{relay->Username, relay->Password}, EnetPort);
            Pump->Start(Now);
        }
    if (Pump && NeedRelay)
        for (const TAddress& m : Members)
            Pump->Permit(m, Now);
    if (Pump)
        Pump->Service(Now);
    Plan.Members(Members);
    for (const TAddress& to : Plan.Due(Now))
        Send(to, kPunch);
    // A host is announced once friends elsewhere can reach it, and taken back when it stops
    // hosting or taking players.
    const bool announce = Hosted && Mapped;
    if (announce)
        Lobby->Announce(EncodeLobbySession(
            *Hosted, *Mapped, Pump && Pump->Relayed() ? *Pump->Relayed() : TAddress{}));
    else if (Announced)
        Lobby->Announce({});
    Announced = announce;
}

} // namespace dplay
