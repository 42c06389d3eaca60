#include "SessionCore.h"

#include "Sha256.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>

namespace dplay {

namespace {

bool IsLoopback(std::uint32_t Ip) {
    return (ntohl(Ip) >> 24) == 127;
}

} // namespace

TSessionCore::TSessionCore(const TMachineKey& ASeed) : Seed(ASeed) {
    Secret = NextSecret();
}

TMachineKey TSessionCore::NextSecret() {
    std::uint8_t material[sizeof(TMachineKey) + sizeof SecretsDrawn];
    std::memcpy(material, Seed.data(), Seed.size());
    std::memcpy(material + Seed.size(), &SecretsDrawn, sizeof SecretsDrawn);
    ++SecretsDrawn;
    return Sha256(material);
}

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

void TSessionCore::SendBytes(TConnId Conn, const std::vector<std::uint8_t>& Bytes, bool Reliable) {
    const auto it = Conns.find(Conn);
    if (it == Conns.end() || !it->second.Up || Bytes.empty())
        return;
    Act(TSendAction{Conn, Bytes, Reliable});
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

template <class F> void TSessionCore::ForJoined(F&& Do) {
    for (auto& [id, c] : Conns)
        if (c.Up && c.Joined)
            Do(id);
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

DPID TSessionCore::AllocateId() {
    for (std::size_t tries = 0; tries <= Players.size(); ++tries) {
        const DPID id = ValidPlayerId(NextId) ? NextId : DPID_FIRSTPLAYER;
        NextId = id >= DPID_LASTPLAYER ? DPID_FIRSTPLAYER : id + 1;
        if (!FindPlayer(id))
            return id;
    }
    return 0;
}

bool TSessionCore::Joinable() const {
    const std::size_t limit = MaxPlayers == 0 ? kMaxListedPlayers : MaxPlayers;
    return Role == TRole::Host && !Leaving &&
           !(Flags & (DPSESSION_NEWPLAYERSDISABLED | DPSESSION_JOINDISABLED)) &&
           Players.size() < std::min<std::size_t>(limit, kMaxListedPlayers);
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
            P.Local ? Sha256(Secret) : P.KeyHash,
            P.ShortName,
            P.LongName};
}

TSessionCore::TPlayer TSessionCore::PlayerOf(const TPlayerEntry& E) const {
    TPlayer p;
    p.Id = E.Id;
    p.ShortName = E.ShortName;
    p.LongName = E.LongName;
    p.Machine = {E.MachineIp == 0 ? HostAddress.Ip : E.MachineIp, E.MachinePort};
    p.KeyHash = E.KeyHash;
    return p;
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

// Routes an application message that this machine sends or, as host, relays. Source is the
// connection it came from (0: this machine). A machine never gets its own message back.
void TSessionCore::Route(DPID From, DPID To, bool Reliable, const std::vector<std::uint8_t>& Bytes,
                         const std::vector<std::uint8_t>& Payload, TConnId Source) {
    Deliver(From, To, Payload);
    if (Role == TRole::Host) {
        if (To == DPID_ALLPLAYERS) {
            ForJoined([&](TConnId c) {
                if (c != Source && OwnsPlayers(c))
                    SendBytes(c, Bytes, Reliable);
            });
        } else if (const TPlayer* to = FindPlayer(To); to && to->Owner && to->Owner != Source) {
            SendBytes(to->Owner, Bytes, Reliable);
        }
        return;
    }
    if (Source)
        return; // a client relays nothing
    if (To != DPID_ALLPLAYERS) {
        const TPlayer* to = FindPlayer(To);
        if (!to || to->Local)
            return;
    }
    if (Role == TRole::Client) {
        SendBytes(HostConn, Bytes, Reliable);
    } else if (Role == TRole::Migrating && HeldBytes + Bytes.size() <= kMaxHeldBytes) {
        HeldBytes += Bytes.size();
        Held.emplace_back(Reliable, Bytes);
    }
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

void TSessionCore::Join(TAddress Host, std::uint16_t AOwnPort, const GUID& App, const GUID& Inst,
                        TTime Now) {
    Application = App;
    Instance = Inst;
    OwnPort = AOwnPort;
    HostAddress = Host;
    HostConn = Open(Host);
    Role = TRole::Joining;
    JoinDeadline = Now + kJoinTime;
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
        const DPID id = Joinable() ? AllocateId() : 0;
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
        return;
    }
    if (Role != TRole::Client || Requests.count(Request)) {
        Act(TPlayerDoneAction{Request, DPERR_NOCONNECTION, 0});
        return;
    }
    SendTo(HostConn, TCreatePlayer{Request, ShortName, LongName});
    Requests[Request] = {std::move(ShortName), std::move(LongName), Now + kRequestTime};
}

void TSessionCore::Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data) {
    TData d{From, To, std::move(Data)};
    const auto bytes = EncodePacket(d);
    Route(From, To, Guaranteed, bytes, d.Payload, 0);
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
    if (GraceEnd && Now >= *GraceEnd) {
        GraceEnd.reset();
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
}

std::optional<TSessionReply> TSessionCore::AnswerQuery(const TSessionQuery& Query,
                                                       std::uint32_t SourceIp, TTime Now) {
    if (!(Query.Application == Application) || !Joinable() ||
        !Limiter.Allow(SourceIp, Query.Nonce, Now))
        return std::nullopt;
    TSessionReply reply;
    reply.Nonce = Query.Nonce;
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
