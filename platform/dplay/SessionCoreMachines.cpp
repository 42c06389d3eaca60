// What the core does with connections and the packets of other machines, and how it finds a
// new host.
#include "SessionCore.h"

#include "PlayerName.h"

#include <algorithm>

namespace dplay {

// Connections.

TConnId TSessionCore::Accept(TAddress From, TTime Now) {
    if (Leaving)
        return 0;
    const auto fromThere = std::count_if(Conns.begin(), Conns.end(), [&](const auto& c) {
        return c.second.Incoming && c.second.Address.Ip == From.Ip;
    });
    if (static_cast<std::size_t>(fromThere) >= kMaxPerAddress)
        return 0;
    if (Conns.size() >= kMaxConns) {
        const TConnId evicted = Evictable();
        if (!evicted)
            return 0;
        Close(evicted, true);
    }
    const TConnId id = NextConn++;
    TConn c;
    c.Address = From;
    c.Incoming = true;
    c.Up = true;
    c.Deadline = Now + kHelloTime;
    c.Challenge = Identity.Draw();
    Conns.emplace(id, c);
    SendTo(id, TChallenge{c.Challenge});
    return id;
}

// Only a connection that owns no player (and carries no rejoin) may be pushed out: one being
// closed first, as it is going anyway, then the oldest (identifiers only grow), whether it said
// hello or not. Age alone, because a player's own connection is the newest while it joins: it
// says hello and asks for a player within a round trip each, so it is pushed out only if a
// whole table of newer connections came in meanwhile. Putting those that never said hello
// first would push out exactly the newcomer whenever the table is full of ones that did.
TConnId TSessionCore::Evictable() const {
    std::vector<TConnId> owners; // once, not per connection: a session may list 1024 players
    for (const auto& p : Players)
        owners.push_back(p.Owner);
    std::sort(owners.begin(), owners.end());
    TConnId oldest = 0;
    for (const auto& [id, c] : Conns) {
        if (!c.Incoming || c.HeldRejoin || std::binary_search(owners.begin(), owners.end(), id))
            continue;
        if (!c.Up)
            return id;
        if (!oldest)
            oldest = id;
    }
    return oldest;
}

void TSessionCore::Connected(TConnId Conn, TTime) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end() || it->second.Incoming)
        return;
    it->second.Up = true;
    if (Conn == HostConn && Role == TRole::Joining) {
        SendTo(Conn, THello{Application, Instance, Identity.Key(), OwnIp, OwnPort});
        return;
    }
    if (Conn == CandidateConn && Role == TRole::Migrating)
        return;         // the claim waits for the would-be host's challenge
    Close(Conn, false); // a connection this machine no longer wants
}

void TSessionCore::Disconnected(TConnId Conn, TTime Now) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end())
        return;
    const bool wasJoined = it->second.Joined;
    Conns.erase(it);
    Gone(Conn, wasJoined, Now);
    Settle(Now);
}

void TSessionCore::Gone(TConnId Conn, bool WasJoined, TTime Now) {
    if (Leaving) {
        if (Conns.empty())
            Done = true;
        return;
    }
    if (Conn == HostConn) {
        HostConn = 0;
        if (Role == TRole::Joining && !FallBack(Now))
            FinishJoin(DPERR_NOCONNECTION);
        else if (Role == TRole::Client)
            HostLost(Now);
        return;
    }
    if (Conn == CandidateConn) {
        CandidateConn = 0;
        CandidateFailed(Now);
        return;
    }
    if (Role != TRole::Host || !WasJoined)
        return;
    std::vector<DPID> gone;
    for (const auto& p : Players)
        if (p.Owner == Conn)
            gone.push_back(p.Id);
    for (const DPID id : gone) {
        RemovePlayer(id);
        Announce(TPlayerRemoved{id}, 0);
    }
}

void TSessionCore::Heard(TConnId Conn, TTime Now) {
    if (Conn && Conn == HostConn)
        HostHeard = Now;
}

void TSessionCore::Received(TConnId Conn, std::span<const std::uint8_t> Bytes, TTime Now) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end() || !it->second.Up || Leaving)
        return;
    auto decoded = DecodePacket(Bytes);
    if (!decoded)
        return; // malformed: dropped
    if (Conn == HostConn) {
        HostHeard = Now;
        FromHost(*decoded, Now);
    } else if (Conn == CandidateConn) {
        FromCandidate(Conn, *decoded, Now);
    } else if (it->second.Incoming) {
        FromMachine(Conn, it->second, *decoded, Bytes, Now);
    }
    Settle(Now);
}

// Packets from the host to this client.
void TSessionCore::FromHost(TPacket& Packet, TTime Now) {
    if (auto* w = std::get_if<TWelcome>(&Packet); w && Role == TRole::Joining) {
        if (!(w->Instance == Instance))
            return FinishJoin(DPERR_NOSESSIONS);
        Flags = w->Flags;
        MaxPlayers = w->MaxPlayers;
        Name = w->Name;
        NextId = std::max<DPID>(NextId, w->NextId);
        Role = TRole::Client;
        HostHeard = Now;
        SeenIp = w->SeenIp;
        for (const auto& e : w->Players)
            if (!FindPlayer(e.Id))
                AddPlayer(PlayerOf(e), false);
        if (OwnPublic.Ip)
            SendTo(HostConn, TReachable{OwnPublic.Ip, OwnPublic.Port});
        return FinishJoin(DP_OK);
    }
    if (auto* r = std::get_if<TRefuse>(&Packet); r && Role == TRole::Joining)
        return FinishJoin(r->Code == 0 ? DPERR_NOSESSIONS : static_cast<HRESULT>(r->Code));
    if (Role != TRole::Client)
        return;
    if (auto* c = std::get_if<TPlayerCreated>(&Packet)) {
        const auto it = Requests.find(c->Nonce);
        if (it == Requests.end())
            return;
        auto request = std::move(it->second);
        Requests.erase(it);
        if (c->Code != 0 || FindPlayer(c->Id)) {
            const HRESULT failure = c->Code ? static_cast<HRESULT>(c->Code) : DPERR_CANTADDPLAYER;
            Act(TPlayerDoneAction{c->Nonce, failure, 0});
            return;
        }
        TPlayer p;
        p.Id = c->Id;
        p.ShortName = std::move(request.ShortName);
        p.LongName = std::move(request.LongName);
        p.Local = true;
        AddPlayer(p, false);
        Act(TPlayerDoneAction{c->Nonce, DP_OK, c->Id});
    } else if (auto* a = std::get_if<TPlayerAdded>(&Packet)) {
        // A player's key never changes: a host that could change it could speak for it.
        if (TPlayer* known = FindPlayer(a->Player.Id)) {
            if (!known->Local)
                Relocate(*known, PlayerOf(a->Player));
            return;
        }
        AddPlayer(PlayerOf(a->Player), true);
    } else if (auto* r = std::get_if<TPlayerRemoved>(&Packet)) {
        if (const TPlayer* p = FindPlayer(r->Id); p && !p->Local)
            RemovePlayer(r->Id);
    } else if (auto* d = std::get_if<TData>(&Packet)) {
        TPlayer* from = FindPlayer(d->From);
        if (!from || from->Local)
            return; // nobody speaks for this machine's players
        if (d->To != DPID_ALLPLAYERS) {
            const TPlayer* to = FindPlayer(d->To);
            if (!to || !to->Local)
                return;
        }
        if (Authentic(*from, *d) && Take(*from, *d))
            Deliver(d->From, d->To, d->Payload);
    } else if (auto* st = std::get_if<TStable>(&Packet)) {
        Trim(*st);
    } else if (std::holds_alternative<THostLeaving>(Packet)) {
        HostLost(Now);
    }
}

// Packets that reach the host from a machine (or a rejoin held on a would-be host).
void TSessionCore::FromMachine(TConnId Conn, TConn& C, TPacket& Packet,
                               std::span<const std::uint8_t> Bytes, TTime Now) {
    if (auto* h = std::get_if<THello>(&Packet)) {
        if (!C.Joined && !C.HeldRejoin)
            Welcome(Conn, C, *h, Now);
        return;
    }
    if (auto* r = std::get_if<TRejoin>(&Packet)) {
        if (C.Joined || C.HeldRejoin || !(r->Application == Application) ||
            !(r->Instance == Instance))
            return;
        if (Role == TRole::Client || Role == TRole::Migrating) {
            // It noticed the old host's end before this machine did: answer once this machine
            // has taken over, or refuse when the hold runs out.
            C.HeldRejoin = std::move(*r);
            C.Deadline = Now + kGraceTime;
            return;
        }
        if (Role == TRole::Host && GraceEnd)
            return AcceptRejoin(Conn, C, *r);
        return Refuse(Conn, DPERR_NOSESSIONS);
    }
    if (!C.Joined || Role != TRole::Host)
        return;
    if (auto* c = std::get_if<TCreatePlayer>(&Packet)) {
        // Every machine must read the same name; the game's own machines refuse such a name
        // before sending it, so one that arrives here comes from a stranger.
        if (!ValidPlayerName(c->ShortName) || !ValidPlayerName(c->LongName)) {
            SendTo(Conn,
                   TPlayerCreated{c->Nonce, static_cast<std::uint32_t>(DPERR_INVALIDPARAMS), 0});
            return;
        }
        const DPID id = CanAddPlayer() ? AllocateId() : 0;
        if (id == 0) {
            SendTo(Conn,
                   TPlayerCreated{c->Nonce, static_cast<std::uint32_t>(DPERR_CANTADDPLAYER), 0});
            return;
        }
        TPlayer p;
        p.Id = id;
        p.ShortName = c->ShortName;
        p.LongName = c->LongName;
        p.Machine = C.Address;
        p.Inside = C.Inside;
        p.Public = C.Public;
        p.Key = C.Key;
        p.Owner = Conn;
        AddPlayer(p, true);
        SendTo(Conn, TPlayerCreated{c->Nonce, 0, id});
        Announce(TPlayerAdded{EntryOf(p)}, Conn);
    } else if (auto* d = std::get_if<TData>(&Packet)) {
        TPlayer* from = FindPlayer(d->From);
        if (!from || from->Owner != Conn)
            return; // a machine speaks only for its own players
        if (d->To != DPID_ALLPLAYERS && !FindPlayer(d->To))
            return;
        if (!Authentic(*from, *d))
            return;
        // What this machine has seen already is relayed all the same: a machine sends its
        // messages again after a change of host for those that missed them.
        if (Take(*from, *d))
            Deliver(d->From, d->To, d->Payload);
        Route(*d, {Bytes.begin(), Bytes.end()}, Conn);
    } else if (auto* a = std::get_if<TAck>(&Packet)) {
        Acknowledge(Conn, C, *a);
    } else if (auto* r = std::get_if<TReachable>(&Packet)) {
        C.Public = {r->Ip, r->Port};
        for (auto& p : Players)
            if (p.Owner == Conn) {
                p.Public = C.Public;
                Announce(TPlayerAdded{EntryOf(p)}, Conn);
            }
    }
}

void TSessionCore::Welcome(TConnId Conn, TConn& C, const THello& Hello, TTime Now) {
    HRESULT refusal = DP_OK;
    if (Role != TRole::Host || !(Hello.Application == Application) || !(Hello.Instance == Instance))
        refusal = DPERR_NOSESSIONS;
    else if (!Joinable())
        refusal = DPERR_NONEWPLAYERS;
    if (refusal != DP_OK)
        return Refuse(Conn, refusal);
    C.Joined = true;
    C.Key = Hello.Key;
    C.Inside = {Hello.InsideIp, Hello.InsidePort};
    C.Deadline = Now + kIdleTime;
    // A newcomer takes only what is sent from now on, so it holds back no one's log.
    for (const auto& p : Players)
        C.Acked[p.Id] = p.Got;
    TWelcome w = Snapshot();
    w.SeenIp = C.Address.Ip;
    SendTo(Conn, w);
}

// A machine claims its players back from this new host. It gets those the roster holds for the
// key that signed this connection's challenge, and nothing else: no new players, nobody else's.
void TSessionCore::AcceptRejoin(TConnId Conn, TConn& C, const TRejoin& R) {
    C.HeldRejoin.reset();
    const auto open = [&](const TPlayerEntry& E) -> TPlayer* {
        TPlayer* known = FindPlayer(E.Id);
        return known && !known->Local && !known->Confirmed && !known->Owner ? known : nullptr;
    };
    const TPlayer* first = nullptr;
    for (const auto& e : R.Own)
        if ((first = open(e)))
            break;
    if (!first || !TMachineIdentity::Verify(first->Key, R.Proof,
                                            SignedClaim(Instance, C.Challenge, first->Key, R.Own)))
        return Refuse(Conn, DPERR_NOSESSIONS);
    const TMachineKey key = first->Key;
    C.Joined = true;
    C.Key = key;
    for (const auto& e : R.Own)
        if (TPlayer* p = open(e); p && p->Key == key) {
            p->Owner = Conn;
            p->Confirmed = true;
            p->Machine = C.Address;
            p->Inside = {e.InsideIp, e.InsidePort};
            p->Public = {e.PublicIp, e.PublicPort};
        }
    // What it has, as it says; anything this machine has seen might have been meant for it.
    for (const auto& p : Players)
        C.SentUpTo[p.Id] = p.Got;
    for (const auto& m : R.Received)
        if (const TPlayer* p = FindPlayer(m.Player))
            C.Acked[m.Player] = std::min(m.Seq, p->Got);
    TWelcome w = Snapshot();
    w.SeenIp = C.Address.Ip;
    SendTo(Conn, w);
    Resend(Conn);
    if (const auto waiting = Waiting.find(key); waiting != Waiting.end()) {
        for (const auto& bytes : waiting->second.Messages)
            SendBytes(Conn, bytes, true);
        Waiting.erase(waiting);
    }
    for (const auto& p : Players)
        if (p.Owner == Conn)
            Announce(TPlayerAdded{EntryOf(p)}, Conn);
}

// Packets from the machine this one hopes is the new host.
void TSessionCore::FromCandidate(TConnId Conn, TPacket& Packet, TTime Now) {
    if (Role != TRole::Migrating)
        return;
    if (auto* c = std::get_if<TChallenge>(&Packet)) {
        Claim(Conn, *c);
    } else if (auto* w = std::get_if<TWelcome>(&Packet)) {
        if (!(w->Instance == Instance))
            return;
        CandidateConn = 0;
        HostConn = Conn;
        HostAddress = Target;
        Role = TRole::Client;
        HostHeard = Now;
        SeenIp = w->SeenIp;
        RetryAt.reset();
        NextId = std::max<DPID>(NextId, w->NextId);
        std::vector<DPID> gone;
        for (const auto& p : Players)
            if (!p.Local && std::none_of(w->Players.begin(), w->Players.end(),
                                         [&](const TPlayerEntry& e) { return e.Id == p.Id; }))
                gone.push_back(p.Id);
        for (const DPID id : gone)
            RemovePlayer(id);
        for (const auto& e : w->Players) {
            TPlayer* known = FindPlayer(e.Id);
            const TPlayer fresh = PlayerOf(e);
            if (!known)
                AddPlayer(fresh, true);
            else if (!known->Local)
                Relocate(*known, fresh);
        }
        // The old host may have passed on only some of them, or none.
        Resend(HostConn);
        AckDue = true;
        if (OwnPublic.Ip)
            SendTo(HostConn, TReachable{OwnPublic.Ip, OwnPublic.Port});
    } else if (std::holds_alternative<TRefuse>(Packet)) {
        // Not host (yet): the candidate may not have noticed the old host's end.
        Close(Conn, true);
        CandidateConn = 0;
        CandidateFailed(Now);
    }
}

// The host went.

void TSessionCore::HostLost(TTime Now) {
    if (Leaving || Role != TRole::Client)
        return;
    if (HostConn)
        Close(HostConn, true);
    HostConn = 0;
    RemoveMachine(HostAddress);
    for (const auto& r : Requests)
        Act(TPlayerDoneAction{r.first, DPERR_NOCONNECTION, 0});
    Requests.clear();
    if (!(Flags & DPSESSION_MIGRATEHOST)) {
        RemoveAllRemote();
        Role = TRole::Lost;
        PostSystem(DPSYS_SESSIONLOST);
        return;
    }
    Elect(Now);
}

// The player with the lowest identifier hosts: every machine reaches the same answer from the
// same roster without a word.
void TSessionCore::Elect(TTime Now) {
    const TPlayer* lowest = nullptr;
    for (const auto& p : Players)
        if (!lowest || p.Id < lowest->Id)
            lowest = &p;
    if (!lowest) {
        Role = TRole::Lost;
        PostSystem(DPSYS_SESSIONLOST);
        return;
    }
    if (lowest->Local)
        return BecomeHost(Now);
    Role = TRole::Migrating;
    // A would-be host seen at the same address as this machine sits behind the same router:
    // it is reached inside, as routers seldom loop back. Another is reached where its router
    // forwards from, when it has said, else where the old host saw it.
    const bool sameHome = lowest->Inside.Ip && SeenIp && lowest->Machine.Ip == SeenIp;
    Target = sameHome ? lowest->Inside : lowest->Public.Ip ? lowest->Public : lowest->Machine;
    TargetDeadline = Now + kTargetTime;
    ConnectToCandidate(Now);
}

void TSessionCore::ConnectToCandidate(TTime) {
    RetryAt.reset();
    CandidateConn = Open(Target);
}

// The claim is signed over the would-be host's challenge, so that host cannot use it anywhere
// else, and tells how far this machine has received everyone's guaranteed messages.
void TSessionCore::Claim(TConnId Conn, const TChallenge& Challenge) {
    TRejoin r{Application, Instance, {}, {}, Marks()};
    for (const auto& p : Players)
        if (p.Local)
            r.Own.push_back(EntryOf(p));
    r.Proof = Identity.Sign(SignedClaim(Instance, Challenge.Nonce, Identity.Key(), r.Own));
    SendTo(Conn, r);
}

void TSessionCore::CandidateFailed(TTime Now) {
    if (Role != TRole::Migrating)
        return;
    if (Now < TargetDeadline) {
        RetryAt = Now + kRetryTime;
        return;
    }
    RemoveMachine(Target);
    Elect(Now);
}

void TSessionCore::BecomeHost(TTime Now) {
    Role = TRole::Host;
    HostConn = 0;
    for (auto& p : Players) {
        Learn(p.Id);
        if (!p.Local) {
            p.Owner = 0;
            p.Confirmed = false;
        }
    }
    GraceEnd = Now + kGraceTime;
    NextBeat = Now;
    Act(TQuerySocketAction{true});
    PostSystem(DPSYS_HOST);
    std::vector<TConnId> holding;
    for (const auto& [id, c] : Conns)
        if (c.Up && c.HeldRejoin)
            holding.push_back(id);
    for (const TConnId id : holding) {
        TConn& c = Conns[id];
        const TRejoin r = *c.HeldRejoin;
        AcceptRejoin(id, c, r);
    }
}

std::vector<TAddress> TSessionCore::OtherPublics() const {
    std::vector<TAddress> publics;
    for (const auto& p : Players)
        if (!p.Local && p.Public.Ip &&
            std::find(publics.begin(), publics.end(), p.Public) == publics.end())
            publics.push_back(p.Public);
    return publics;
}

} // namespace dplay
