#include "SessionCore.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace dplay {

namespace {

bool IsLoopback(std::uint32_t Ip) {
    return (ntohl(Ip) >> 24) == 127;
}

} // namespace

TSessionCore::TSessionCore(const TMachineKey& Seed) : Identity(Seed) {}

std::vector<TAction> TSessionCore::TakeActions() {
    return std::exchange(Actions, {});
}

std::vector<DPID> TSessionCore::PlayerIds() const {
    std::vector<DPID> ids;
    for (const auto& p : Players)
        ids.push_back(p.Id);
    return ids;
}

// Sending and the connection table.

void TSessionCore::SendTo(TConnId Conn, const TPacket& Packet, bool Reliable) {
    SendBytes(Conn, EncodePacket(Packet), Reliable);
}

void TSessionCore::SendBytes(TConnId Conn, const std::vector<std::uint8_t>& Bytes, bool Reliable,
                             TConnId Origin) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end() || !it->second.Up || Bytes.empty())
        return;
    if (Reliable && !Charge(Conn, it->second, Bytes.size(), Origin))
        return;
    it->second.Quiet = false;
    Act(TSendAction{Conn, Bytes, Reliable, Origin});
}

// A backlog past its limit is charged to whoever caused most of it. Another machine that caused
// more than half of it is flooding (a machine keeps at most kMaxHeldBytes of its own messages, half
// the limit, so an honest one never does): it is dropped, and what it left drains in its own time,
// up to twice the limit. Otherwise the receiver is not taking what it is sent, and goes.
bool TSessionCore::Charge(TConnId Conn, TConn& C, std::size_t Bytes, TConnId Origin) {
    if (C.Backlog + Bytes > kMaxBacklog) {
        auto shares = C.BacklogBy;
        shares[Origin] += Bytes;
        const auto [culprit, share] =
            *std::max_element(shares.begin(), shares.end(),
                              [](const auto& A, const auto& B) { return A.second < B.second; });
        const bool flooding = culprit != 0 && culprit != Conn && share > kMaxBacklog / 2;
        if (!flooding || C.Backlog + Bytes > 2 * kMaxBacklog) {
            Drop(Conn);
            return false;
        }
        Drop(culprit);
    }
    C.Backlog += Bytes;
    C.BacklogBy[Origin] += Bytes;
    return true;
}

void TSessionCore::Released(TConnId Conn, TConnId Origin, std::size_t Bytes) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end())
        return;
    TConn& c = it->second;
    c.Backlog -= std::min(c.Backlog, Bytes);
    if (const auto by = c.BacklogBy.find(Origin); by != c.BacklogBy.end()) {
        by->second -= std::min(by->second, Bytes);
        if (by->second == 0)
            c.BacklogBy.erase(by);
    }
}

// Dropped while the table may be being walked: it stops taking sends now and goes at Settle.
void TSessionCore::Drop(TConnId Conn) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end() || !it->second.Up)
        return;
    it->second.Up = false;
    Doomed.push_back(Conn);
}

void TSessionCore::Settle(TTime Now) {
    while (!Doomed.empty()) {
        const TConnId conn = Doomed.back();
        Doomed.pop_back();
        const auto it = Conns.find(conn);
        if (it == Conns.end())
            continue;
        const bool wasJoined = it->second.Joined;
        Conns.erase(it);
        Act(TCloseAction{conn, true});
        Gone(conn, wasJoined, Now);
    }
}

TConnId TSessionCore::Open(TAddress To) {
    const TConnId id = NextConn++;
    TConn c;
    c.Address = To;
    Conns.emplace(id, c);
    Act(TConnectAction{id, To});
    return id;
}

void TSessionCore::Close(TConnId Conn, bool Immediately) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end())
        return;
    if (Immediately || !it->second.Up) {
        Conns.erase(it);
        Act(TCloseAction{Conn, true});
        return;
    }
    it->second.Up = false;
    Act(TCloseAction{Conn, false});
}

void TSessionCore::Refuse(TConnId Conn, HRESULT Code) {
    SendTo(Conn, TRefuse{static_cast<std::uint32_t>(Code)});
    Close(Conn, false);
}

bool TSessionCore::OwnsPlayers(TConnId Conn) const {
    return std::any_of(Players.begin(), Players.end(),
                       [&](const TPlayer& p) { return p.Owner == Conn; });
}

void TSessionCore::Announce(const TPacket& Packet, TConnId Except) {
    const auto bytes = EncodePacket(Packet);
    ForJoined([&](TConnId c) {
        if (c != Except)
            SendBytes(c, bytes, true);
    });
}

// Players.

TSessionCore::TPlayer* TSessionCore::FindPlayer(DPID Id) {
    for (auto& p : Players)
        if (p.Id == Id)
            return &p;
    return nullptr;
}

void TSessionCore::Learn(DPID Id) {
    if (Id >= NextId && Id < DPID_LASTPLAYER)
        NextId = Id + 1;
}

// Identifiers only grow: one handed out again after a wrap would be the lowest, and whoever got
// it would host after the next change.
DPID TSessionCore::AllocateId() {
    for (; ValidPlayerId(NextId); ++NextId)
        if (!FindPlayer(NextId))
            return NextId++;
    return 0;
}

bool TSessionCore::CanAddPlayer() const {
    const std::size_t limit = MaxPlayers == 0 ? kMaxListedPlayers : MaxPlayers;
    return Role == TRole::Host && !Leaving && !(Flags & DPSESSION_NEWPLAYERSDISABLED) &&
           Players.size() < std::min<std::size_t>(limit, kMaxListedPlayers);
}

// "Joining disabled" keeps other machines out; the machines already in may still add players.
bool TSessionCore::Joinable() const {
    return CanAddPlayer() && !(Flags & DPSESSION_JOINDISABLED);
}

void TSessionCore::AddPlayer(TPlayer Player, bool AnnounceIt) {
    Learn(Player.Id);
    Act(TShowPlayerAction{{Player.Id, Player.ShortName, Player.LongName, Player.Local}});
    if (AnnounceIt) {
        TQueuedMessage m;
        m.SysType = DPSYS_CREATEPLAYERORGROUP;
        m.PlayerId = Player.Id;
        m.CurrentPlayers = static_cast<DWORD>(Players.size() + 1);
        m.ShortName = Player.ShortName;
        m.LongName = Player.LongName;
        Act(TPostAction{std::move(m)});
    }
    Players.push_back(std::move(Player));
}

void TSessionCore::RemovePlayer(DPID Id) {
    const auto it =
        std::find_if(Players.begin(), Players.end(), [&](const TPlayer& p) { return p.Id == Id; });
    if (it == Players.end())
        return;
    TQueuedMessage m;
    m.SysType = DPSYS_DESTROYPLAYERORGROUP;
    m.PlayerId = Id;
    m.ShortName = it->ShortName;
    m.LongName = it->LongName;
    Players.erase(it);
    Act(THidePlayerAction{Id});
    Act(TPostAction{std::move(m)});
}

void TSessionCore::RemoveMachine(TAddress Machine) {
    std::vector<DPID> gone;
    for (const auto& p : Players)
        if (!p.Local && p.Machine == Machine)
            gone.push_back(p.Id);
    for (const DPID id : gone)
        RemovePlayer(id);
}

void TSessionCore::RemoveAllRemote() {
    std::vector<DPID> gone;
    for (const auto& p : Players)
        if (!p.Local)
            gone.push_back(p.Id);
    for (const DPID id : gone)
        RemovePlayer(id);
}

void TSessionCore::PostSystem(DWORD Type) {
    TQueuedMessage m;
    m.SysType = Type;
    Act(TPostAction{std::move(m)});
}

void TSessionCore::Deliver(DPID From, DPID To, const std::vector<std::uint8_t>& Data) {
    for (const auto& p : Players) {
        if (!p.Local || p.Id == From || (To != DPID_ALLPLAYERS && To != p.Id))
            continue;
        TQueuedMessage m;
        m.From = From;
        m.To = p.Id;
        m.Data = Data;
        Act(TPostAction{std::move(m)});
    }
}

// Entries as machines tell each other: 0 stands for the host's own address, which the
// receiver knows better than the host does.
TPlayerEntry TSessionCore::EntryOf(const TPlayer& P) const {
    const bool hostSide = P.Local || IsLoopback(P.Machine.Ip) || P.Machine.Ip == 0;
    return {P.Id,
            hostSide ? 0u : P.Machine.Ip,
            P.Local ? OwnPort : P.Machine.Port,
            P.Local ? Identity.Key() : P.Key,
            P.Got,
            P.ShortName,
            P.LongName,
            P.Local ? OwnIp : P.Inside.Ip,
            P.Local ? OwnPort : P.Inside.Port,
            P.Local ? OwnPublic.Ip : P.Public.Ip,
            P.Local ? OwnPublic.Port : P.Public.Port};
}

TSessionCore::TPlayer TSessionCore::PlayerOf(const TPlayerEntry& E) const {
    TPlayer p;
    p.Id = E.Id;
    p.ShortName = E.ShortName;
    p.LongName = E.LongName;
    p.Machine = {E.MachineIp == 0 ? HostAddress.Ip : E.MachineIp, E.MachinePort};
    p.Inside = {E.InsideIp, E.InsidePort};
    p.Public = {E.PublicIp, E.PublicPort};
    p.Key = E.Key;
    p.Got = p.GotPlain = E.Seq;
    return p;
}

// Where a known player's machine is now, as the host says. Its key stays: a host that could
// change it could speak for the player.
void TSessionCore::Relocate(TPlayer& Known, const TPlayer& Fresh) {
    Known.Machine = Fresh.Machine;
    Known.Inside = Fresh.Inside;
    Known.Public = Fresh.Public;
}

TWelcome TSessionCore::Snapshot() const {
    TWelcome w;
    w.Instance = Instance;
    w.Flags = Flags;
    w.MaxPlayers = MaxPlayers;
    w.NextId = NextId;
    w.Name = Name;
    for (const auto& p : Players)
        w.Players.push_back(EntryOf(p));
    return w;
}

// Passes on an application message that this machine sends or, as host, relays. Source is the
// connection it came from (0: this machine). A machine never gets its own message back.
void TSessionCore::Route(const TData& Data, const std::vector<std::uint8_t>& Bytes,
                         TConnId Source) {
    const bool reliable = Data.Guaranteed != 0;
    if (Role == TRole::Host) {
        const auto send = [&](TConnId C) {
            SendBytes(C, Bytes, reliable, Source);
            if (reliable) {
                auto& sent = Conns[C].SentUpTo[Data.From];
                sent = std::max(sent, Data.Seq);
            }
        };
        if (Data.To == DPID_ALLPLAYERS) {
            ForJoined([&](TConnId c) {
                if (c != Source && OwnsPlayers(c))
                    send(c);
            });
        } else if (const TPlayer* to = FindPlayer(Data.To);
                   to && to->Owner && to->Owner != Source) {
            send(to->Owner);
        }
        if (reliable && GraceEnd && Source)
            Hold(Data, Bytes);
        return;
    }
    if (Source)
        return; // a client relays nothing
    if (Data.To != DPID_ALLPLAYERS) {
        const TPlayer* to = FindPlayer(Data.To);
        if (!to || to->Local)
            return;
    }
    // While the host changes, guaranteed messages wait in the log for the new host, and plain
    // ones are not worth waiting for.
    if (Role == TRole::Client)
        SendBytes(HostConn, Bytes, reliable);
}

// Commands.

void TSessionCore::Create(const TCreateConfig& Config, std::uint16_t AOwnPort, TTime) {
    Application = Config.Application;
    Instance = Config.Instance;
    Flags = Config.Flags;
    MaxPlayers = Config.MaxPlayers;
    Name = Config.Name;
    OwnPort = AOwnPort;
    Role = TRole::Host;
}

void TSessionCore::Join(TAddress Host, TAddress Own, const GUID& App, const GUID& Inst, TTime Now,
                        std::optional<TAddress> Relay) {
    JoinRelay = Relay;
    RelayAt = Now + kDirectTime;
    Application = App;
    Instance = Inst;
    OwnPort = Own.Port;
    OwnIp = Own.Ip;
    HostAddress = Host;
    HostConn = Open(Host);
    Role = TRole::Joining;
    JoinDeadline = Now + kJoinTime;
}

// The host's own address did not answer in time: its relay is tried instead, with the time a
// join has. The host is still known by its own address, which its players' machine is.
bool TSessionCore::FallBack(TTime Now) {
    if (Role != TRole::Joining || !JoinRelay)
        return false;
    if (HostConn)
        Close(std::exchange(HostConn, 0), true);
    ThroughRelay = true;
    HostConn = Open(*std::exchange(JoinRelay, std::nullopt));
    JoinDeadline = Now + kJoinTime;
    return true;
}

void TSessionCore::FinishJoin(HRESULT Result) {
    if (JoinDeadline) {
        JoinDeadline.reset();
        Act(TJoinDoneAction{Result});
    }
    if (Result != DP_OK) {
        Role = TRole::Lost;
        Close(HostConn, true);
        HostConn = 0;
    }
}

void TSessionCore::CreatePlayer(std::uint32_t Request, std::string ShortName, std::string LongName,
                                TTime Now) {
    if (Role == TRole::Host) {
        const DPID id = CanAddPlayer() ? AllocateId() : 0;
        if (id == 0) {
            Act(TPlayerDoneAction{Request, DPERR_CANTADDPLAYER, 0});
            return;
        }
        TPlayer p;
        p.Id = id;
        p.ShortName = std::move(ShortName);
        p.LongName = std::move(LongName);
        p.Local = true;
        AddPlayer(p, false);
        Announce(TPlayerAdded{EntryOf(p)}, 0);
        Act(TPlayerDoneAction{Request, DP_OK, id});
        Settle(Now);
        return;
    }
    if (Role != TRole::Client || Requests.count(Request)) {
        Act(TPlayerDoneAction{Request, DPERR_NOCONNECTION, 0});
        return;
    }
    SendTo(HostConn, TCreatePlayer{Request, ShortName, LongName});
    Requests[Request] = {std::move(ShortName), std::move(LongName), Now + kRequestTime};
}

HRESULT TSessionCore::Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data,
                           TTime Now) {
    TPlayer* from = FindPlayer(From);
    if (!from || !from->Local)
        return DPERR_INVALIDPLAYER;
    TData d{From, To, NextSeq, Guaranteed, {}, std::move(Data)};
    d.Signature = Identity.Sign(SignedData(Instance, d));
    auto bytes = EncodePacket(d);
    if (bytes.empty())
        return DPERR_SENDTOOBIG;
    if (Guaranteed && LogBytes + bytes.size() > kMaxHeldBytes)
        return DPERR_BUSY;
    ++NextSeq;
    (Guaranteed ? from->Got : from->GotPlain) = d.Seq;
    Deliver(From, To, d.Payload);
    Route(d, bytes, 0);
    if (Guaranteed)
        Keep(*from, d, std::move(bytes));
    Settle(Now);
    return DP_OK;
}

void TSessionCore::Reachable(TAddress Public, TTime Now) {
    OwnPublic = Public;
    if (Role == TRole::Client && Public.Ip)
        SendTo(HostConn, TReachable{Public.Ip, Public.Port});
    if (Role == TRole::Host)
        for (const auto& p : Players)
            if (p.Local)
                Announce(TPlayerAdded{EntryOf(p)}, 0);
    Settle(Now);
}

void TSessionCore::Leave(TTime Now) {
    if (Leaving)
        return;
    Leaving = true;
    LeaveDeadline = Now + kLeaveTime;
    if (JoinDeadline)
        FinishJoin(DPERR_NOCONNECTION);
    for (const auto& r : Requests)
        Act(TPlayerDoneAction{r.first, DPERR_NOCONNECTION, 0});
    Requests.clear();
    if (Role == TRole::Host) {
        Act(TQuerySocketAction{false});
        if (Flags & DPSESSION_MIGRATEHOST)
            Announce(THostLeaving{}, 0);
    }
    std::vector<TConnId> all;
    for (const auto& c : Conns)
        all.push_back(c.first);
    for (const TConnId c : all)
        Close(c, false);
    Role = TRole::Lost;
    if (Conns.empty())
        Done = true;
}

// Clocks.

void TSessionCore::Tick(TTime Now) {
    if (Leaving) {
        if (Conns.empty() || Now >= LeaveDeadline)
            Done = true;
        return;
    }
    if (Role == TRole::Joining && JoinRelay && Now >= RelayAt &&
        !(HostConn && Conns.contains(HostConn) && Conns.at(HostConn).Up))
        FallBack(Now);
    if (Role == TRole::Joining && JoinDeadline && Now >= *JoinDeadline)
        FinishJoin(DPERR_TIMEOUT);
    for (auto it = Requests.begin(); it != Requests.end();) {
        if (Now >= it->second.Deadline) {
            Act(TPlayerDoneAction{it->first, DPERR_TIMEOUT, 0});
            it = Requests.erase(it);
        } else {
            ++it;
        }
    }
    if (Role == TRole::Migrating && RetryAt && Now >= *RetryAt)
        ConnectToCandidate(Now);
    // A would-be host that neither welcomes nor refuses in time is passed over.
    if (Role == TRole::Migrating && CandidateConn && Now >= TargetDeadline) {
        Close(std::exchange(CandidateConn, 0), true);
        CandidateFailed(Now);
    }
    if (Role == TRole::Client && Now - HostHeard > kHostSilence)
        HostLost(Now);
    if (Role == TRole::Client && AckDue && Now >= NextAck) {
        AckDue = false;
        NextAck = Now + kAckTime;
        SendTo(HostConn, TAck{Marks()}, false); // the next one says it all again
    }
    if (GraceEnd && Now >= *GraceEnd) {
        GraceEnd.reset();
        Waiting.clear();
        std::vector<DPID> gone;
        for (const auto& p : Players)
            if (!p.Local && !p.Confirmed)
                gone.push_back(p.Id);
        for (const DPID id : gone) {
            RemovePlayer(id);
            Announce(TPlayerRemoved{id}, 0);
        }
    }
    // Machines that never said hello, or were welcomed but own no player, hold a place that
    // others may need.
    std::vector<TConnId> stale;
    for (const auto& [id, c] : Conns)
        if (c.Incoming && c.Up && Now >= c.Deadline && !OwnsPlayers(id))
            stale.push_back(id);
    for (const TConnId id : stale) {
        if (Conns[id].HeldRejoin)
            Refuse(id, DPERR_NOSESSIONS);
        else
            Close(id, false);
    }
    if (Role == TRole::Host)
        Beat(Now);
    Settle(Now);
}

std::optional<TSessionReply> TSessionCore::AnswerQuery(const TSessionQuery& Query,
                                                       std::uint32_t SourceIp, TTime Now) {
    if (!(Query.Application == Application) || !Joinable() ||
        !Limiter.Allow(SourceIp, Query.Nonce, Now))
        return std::nullopt;
    auto reply = Describe();
    if (reply)
        reply->Nonce = Query.Nonce;
    return reply;
}

std::optional<TSessionReply> TSessionCore::Describe() const {
    if (!Joinable())
        return std::nullopt;
    TSessionReply reply;
    reply.Application = Application;
    reply.Instance = Instance;
    reply.Flags = Flags;
    reply.MaxPlayers = MaxPlayers;
    reply.CurrentPlayers = static_cast<std::uint32_t>(Players.size());
    reply.SessionPort = OwnPort;
    reply.Name = Name;
    return reply;
}

} // namespace dplay
