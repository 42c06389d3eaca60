#include "platform/dplay/SessionNode.h"

#include "platform/dplay/QueryLimiter.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <random>

namespace dplay {

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kHelloTime = 3s;    // a connected machine must introduce itself by then
constexpr auto kJoinTime = 5s;     // Open(join) gives up after this
constexpr auto kRequestTime = 5s;  // CreatePlayer gives up after this
constexpr auto kGraceTime = 4s;    // a new host waits this long for the others to come back
constexpr auto kTargetTime = 4s;   // how long a machine tries one candidate for new host
constexpr auto kRetryTime = 300ms; // between two tries at the same candidate
constexpr auto kLeaveTime = 500ms; // to say goodbye on Close
constexpr auto kBindRetry = 500ms; // the old host may still hold the query port
constexpr std::size_t kMaxPeers = 64;
constexpr std::size_t kMaxQueuedBytes = 64u << 20; // unread messages kept at most
constexpr std::size_t kMaxHeldBytes = 4u << 20;    // sends kept while the host changes
constexpr enet_uint8 kReliableChannel = 0;
constexpr enet_uint8 kUnreliableChannel = 1;
constexpr enet_uint8 kChannels = 2;
// A vanished machine is dropped within about 3 s: pings every 500 ms, and an unanswered one
// ends the connection after 1.5 to 2.5 s.
constexpr enet_uint32 kPingInterval = 500;
constexpr enet_uint32 kTimeoutMin = 1500;
constexpr enet_uint32 kTimeoutMax = 2500;

bool IsLoopback(std::uint32_t Ip) {
    return (ntohl(Ip) >> 24) == 127;
}

void InitializeEnet() {
    static const int result = enet_initialize();
    (void)result;
}

enum class TRole { Idle, Host, Joining, Client, Migrating, Lost };

struct TPeerInfo {
    bool Joined = false;
    bool Expired = false;
    TClock::time_point Deadline;
    std::optional<TRejoin> HeldRejoin; // came before this machine knew it was the new host
};

TPeerInfo* Info(ENetPeer* Peer) {
    return static_cast<TPeerInfo*>(Peer->data);
}

struct TNodePlayer {
    DPID Id = 0;
    std::string ShortName;
    std::string LongName;
    bool Local = false;
    std::uint32_t Ip = 0; // the player's machine, network order
    std::uint16_t Port = 0;
    ENetPeer* Owner = nullptr; // host only: the machine that owns it (none: this one)
    bool Confirmed = true;     // host only, after taking over: its machine has come back
};

} // namespace

void TSessionShared::Post(TQueuedMessage Message) {
    if (Message.SysType == 0 && QueuedBytes + Message.Data.size() > kMaxQueuedBytes)
        return; // nobody reads: keep memory bounded rather than everything
    QueuedBytes += Message.Data.size();
    Queue.push_back(std::move(Message));
    SignalAll();
}

void TSessionShared::SignalAll() {
    for (const auto& e : Events)
        SetEvent(e.second);
}

const TPlayerView* TSessionShared::Find(DPID Id) const {
    for (const auto& p : Players)
        if (p.Id == Id)
            return &p;
    return nullptr;
}

struct TSessionNode::TState {
    TState(TSessionShared& AShared, const TConnectionData& AConnection)
        : Shared(AShared), Connection(AConnection) {}

    TSessionShared& Shared;
    TConnectionData Connection;
    ENetHost* Host = nullptr;
    std::uint16_t OwnPort = 0;
    int QueryFd = -1;
    TRole Role = TRole::Idle;
    bool Stop = false;
    bool Leaving = false;
    TClock::time_point LeaveDeadline;

    GUID Application{};
    GUID Instance{};
    DWORD Flags = 0;
    DWORD MaxPlayers = 0;
    std::string Name;
    std::vector<TNodePlayer> Players;
    DPID NextId = DPID_FIRSTPLAYER;

    // Client side.
    ENetPeer* HostPeer = nullptr;
    std::uint32_t HostIp = 0;
    std::uint16_t HostPort = 0;
    std::optional<std::promise<HRESULT>> JoinReply;
    TClock::time_point JoinDeadline;
    struct TRequest {
        std::promise<std::pair<HRESULT, DPID>> Reply;
        HANDLE Event = nullptr;
        std::string ShortName;
        std::string LongName;
        TClock::time_point Deadline;
    };
    std::map<std::uint32_t, TRequest> Requests;
    std::uint32_t NextNonce = 1;

    // While the host changes.
    ENetPeer* MigrationPeer = nullptr;
    std::uint32_t TargetIp = 0;
    std::uint16_t TargetPort = 0;
    TClock::time_point TargetDeadline;
    std::optional<TClock::time_point> RetryAt;
    std::vector<std::pair<bool, std::vector<std::uint8_t>>> Held;
    std::size_t HeldBytes = 0;

    // Host side.
    std::optional<TClock::time_point> GraceEnd;
    std::optional<TClock::time_point> BindRetryAt;
    TQueryLimiter Limiter;

    ~TState() { Shutdown(); }

    // Setting up.

    bool MakeHost(std::uint16_t Port) {
        InitializeEnet();
        ENetAddress address{};
        address.host = ENET_HOST_ANY;
        if (!Connection.BindAddress.empty() &&
            ::inet_pton(AF_INET, Connection.BindAddress.c_str(), &address.host) != 1)
            return false;
        address.port = Port;
        Host = enet_host_create(&address, kMaxPeers, kChannels, 0, 0);
        if (!Host)
            return false;
        Host->maximumPacketSize = kMaxMessageSize + 64;
        ENetAddress bound{};
        if (enet_socket_get_address(Host->socket, &bound) == 0)
            OwnPort = bound.port;
        return true;
    }

    void ConfigurePeer(ENetPeer* Peer) {
        enet_peer_timeout(Peer, ENET_PEER_TIMEOUT_LIMIT, kTimeoutMin, kTimeoutMax);
        enet_peer_ping_interval(Peer, kPingInterval);
    }

    bool OpenQuerySocket() {
        if (QueryFd >= 0)
            return true;
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd < 0)
            return false;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(Connection.QueryPort);
        a.sin_addr.s_addr = htonl(INADDR_ANY);
        if (!Connection.BindAddress.empty())
            ::inet_pton(AF_INET, Connection.BindAddress.c_str(), &a.sin_addr);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return false;
        }
        QueryFd = fd;
        BindRetryAt.reset();
        return true;
    }

    void CloseQuerySocket() {
        if (QueryFd >= 0)
            ::close(QueryFd);
        QueryFd = -1;
        BindRetryAt.reset();
    }

    void Shutdown() {
        CloseQuerySocket();
        if (Host) {
            for (ENetPeer* p = Host->peers; p < Host->peers + Host->peerCount; ++p) {
                delete Info(p);
                p->data = nullptr;
            }
            enet_host_destroy(Host);
            Host = nullptr;
        }
        if (JoinReply) {
            JoinReply->set_value(DPERR_NOCONNECTION);
            JoinReply.reset();
        }
        for (auto& r : Requests)
            r.second.Reply.set_value({DPERR_NOCONNECTION, 0});
        Requests.clear();
    }

    // Players.

    TNodePlayer* FindPlayer(DPID Id) {
        for (auto& p : Players)
            if (p.Id == Id)
                return &p;
        return nullptr;
    }

    void Learn(DPID Id) {
        if (Id >= NextId && Id < DPID_LASTPLAYER)
            NextId = Id + 1;
    }

    DPID AllocateId() {
        for (std::size_t tries = 0; tries <= Players.size(); ++tries) {
            const DPID id = NextId;
            NextId = NextId >= DPID_LASTPLAYER ? DPID_FIRSTPLAYER : NextId + 1;
            if (!FindPlayer(id))
                return id;
        }
        return 0;
    }

    bool Joinable() const {
        const std::size_t limit = MaxPlayers == 0 ? kMaxListedPlayers : MaxPlayers;
        return Role == TRole::Host && !Leaving &&
               !(Flags & (DPSESSION_NEWPLAYERSDISABLED | DPSESSION_JOINDISABLED)) &&
               Players.size() < std::min<std::size_t>(limit, kMaxListedPlayers);
    }

    void AddPlayer(TNodePlayer Player, bool Announce, HANDLE Event = nullptr) {
        Learn(Player.Id);
        std::lock_guard<std::mutex> g(Shared.Lock);
        Shared.Players.push_back({Player.Id, Player.ShortName, Player.LongName, Player.Local});
        if (Player.Local && Event) {
            Shared.Events[Player.Id] = Event;
            if (!Shared.Queue.empty())
                SetEvent(Event);
        }
        if (Announce) {
            TQueuedMessage m;
            m.SysType = DPSYS_CREATEPLAYERORGROUP;
            m.PlayerId = Player.Id;
            m.CurrentPlayers = static_cast<DWORD>(Players.size() + 1);
            m.ShortName = Player.ShortName;
            m.LongName = Player.LongName;
            Shared.Post(std::move(m));
        }
        Players.push_back(std::move(Player));
    }

    void RemovePlayer(DPID Id) {
        const auto it = std::find_if(Players.begin(), Players.end(),
                                     [&](const TNodePlayer& p) { return p.Id == Id; });
        if (it == Players.end())
            return;
        TQueuedMessage m;
        m.SysType = DPSYS_DESTROYPLAYERORGROUP;
        m.PlayerId = Id;
        m.ShortName = it->ShortName;
        m.LongName = it->LongName;
        Players.erase(it);
        std::lock_guard<std::mutex> g(Shared.Lock);
        std::erase_if(Shared.Players, [&](const TPlayerView& p) { return p.Id == Id; });
        Shared.Events.erase(Id);
        Shared.Post(std::move(m));
    }

    void PostSystem(DWORD Type) {
        std::lock_guard<std::mutex> g(Shared.Lock);
        TQueuedMessage m;
        m.SysType = Type;
        Shared.Post(std::move(m));
    }

    void Deliver(DPID From, DPID To, const std::vector<std::uint8_t>& Data) {
        std::lock_guard<std::mutex> g(Shared.Lock);
        for (const auto& p : Players) {
            if (!p.Local || p.Id == From || (To != DPID_ALLPLAYERS && To != p.Id))
                continue;
            TQueuedMessage m;
            m.From = From;
            m.To = p.Id;
            m.Data = Data;
            Shared.Post(std::move(m));
        }
    }

    // Entries as machines tell each other: 0 stands for the host's own address, which the
    // receiver knows better than the host does.
    TPlayerEntry EntryOf(const TNodePlayer& P) const {
        const bool hostSide = P.Local || IsLoopback(P.Ip) || P.Ip == 0;
        return {P.Id, hostSide ? 0u : P.Ip, P.Local ? OwnPort : P.Port, P.ShortName, P.LongName};
    }

    TNodePlayer PlayerOf(const TPlayerEntry& E) const {
        TNodePlayer p;
        p.Id = E.Id;
        p.ShortName = E.ShortName;
        p.LongName = E.LongName;
        p.Ip = E.MachineIp == 0 ? HostIp : E.MachineIp;
        p.Port = E.MachinePort;
        return p;
    }

    // Sending.

    void SendTo(ENetPeer* Peer, const TPacket& Packet, bool Reliable = true) {
        SendBytes(Peer, EncodePacket(Packet), Reliable);
    }

    void SendBytes(ENetPeer* Peer, const std::vector<std::uint8_t>& Bytes, bool Reliable) {
        if (!Peer || Bytes.empty())
            return;
        ENetPacket* packet = enet_packet_create(Bytes.data(), Bytes.size(),
                                                Reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
        if (enet_peer_send(Peer, Reliable ? kReliableChannel : kUnreliableChannel, packet) != 0)
            enet_packet_destroy(packet);
    }

    template <class F> void ForJoinedPeers(F&& Do) {
        if (!Host)
            return;
        for (ENetPeer* p = Host->peers; p < Host->peers + Host->peerCount; ++p)
            if (p->state == ENET_PEER_STATE_CONNECTED && Info(p) && Info(p)->Joined)
                Do(p);
    }

    bool OwnsPlayers(ENetPeer* Peer) const {
        return std::any_of(Players.begin(), Players.end(),
                           [&](const TNodePlayer& p) { return p.Owner == Peer; });
    }

    void Announce(const TPacket& Packet, ENetPeer* Except) {
        const auto bytes = EncodePacket(Packet);
        ForJoinedPeers([&](ENetPeer* p) {
            if (p != Except)
                SendBytes(p, bytes, true);
        });
    }

    TWelcome Snapshot() const {
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
    // machine it came from (none: this one).
    void Route(DPID From, DPID To, bool Reliable, const std::vector<std::uint8_t>& Bytes,
               const std::vector<std::uint8_t>& Payload, ENetPeer* Source) {
        Deliver(From, To, Payload);
        if (Role == TRole::Host) {
            if (To == DPID_ALLPLAYERS) {
                ForJoinedPeers([&](ENetPeer* p) {
                    if (p != Source && OwnsPlayers(p))
                        SendBytes(p, Bytes, Reliable);
                });
            } else if (const TNodePlayer* to = FindPlayer(To); to && to->Owner) {
                SendBytes(to->Owner, Bytes, Reliable);
            }
            return;
        }
        if (Source)
            return; // a client relays nothing
        if (To != DPID_ALLPLAYERS) {
            const TNodePlayer* to = FindPlayer(To);
            if (!to || to->Local)
                return;
        }
        if (Role == TRole::Client) {
            SendBytes(HostPeer, Bytes, Reliable);
        } else if (Role == TRole::Migrating && HeldBytes + Bytes.size() <= kMaxHeldBytes) {
            HeldBytes += Bytes.size();
            Held.emplace_back(Reliable, Bytes);
        }
    }

    // Commands.

    HRESULT Create(const TCreateConfig& Config) {
        if (!MakeHost(Connection.SessionPort))
            return DPERR_CANNOTCREATESERVER;
        if (!OpenQuerySocket()) {
            enet_host_destroy(Host);
            Host = nullptr;
            return DPERR_CANNOTCREATESERVER;
        }
        Application = Config.Application;
        Instance = Config.Instance;
        Flags = Config.Flags;
        MaxPlayers = Config.MaxPlayers;
        Name = Config.Name;
        Role = TRole::Host;
        return DP_OK;
    }

    void Join(std::uint32_t Ip, std::uint16_t Port, const GUID& App, const GUID& Inst,
              std::promise<HRESULT> Reply) {
        if (!MakeHost(0)) {
            Reply.set_value(DPERR_NOCONNECTION);
            return;
        }
        Application = App;
        Instance = Inst;
        HostIp = Ip;
        HostPort = Port;
        ENetAddress a{Ip, Port};
        HostPeer = enet_host_connect(Host, &a, kChannels, 0);
        if (!HostPeer) {
            Reply.set_value(DPERR_NOCONNECTION);
            return;
        }
        ConfigurePeer(HostPeer);
        Role = TRole::Joining;
        JoinReply = std::move(Reply);
        JoinDeadline = TClock::now() + kJoinTime;
    }

    void FinishJoin(HRESULT Result) {
        if (JoinReply) {
            JoinReply->set_value(Result);
            JoinReply.reset();
        }
        if (Result != DP_OK) {
            Role = TRole::Lost;
            if (HostPeer)
                enet_peer_reset(HostPeer);
            HostPeer = nullptr;
        }
    }

    void CreatePlayer(std::string ShortName, std::string LongName, HANDLE Event,
                      std::promise<std::pair<HRESULT, DPID>> Reply) {
        if (Role == TRole::Host) {
            const DPID id = Joinable() ? AllocateId() : 0;
            if (id == 0) {
                Reply.set_value({DPERR_CANTADDPLAYER, 0});
                return;
            }
            TNodePlayer p;
            p.Id = id;
            p.ShortName = std::move(ShortName);
            p.LongName = std::move(LongName);
            p.Local = true;
            AddPlayer(p, false, Event);
            Announce(TPlayerAdded{EntryOf(p)}, nullptr);
            Reply.set_value({DP_OK, id});
            return;
        }
        if (Role != TRole::Client) {
            Reply.set_value({DPERR_NOCONNECTION, 0});
            return;
        }
        const std::uint32_t nonce = NextNonce++;
        SendTo(HostPeer, TCreatePlayer{nonce, ShortName, LongName});
        TRequest r;
        r.Reply = std::move(Reply);
        r.Event = Event;
        r.ShortName = std::move(ShortName);
        r.LongName = std::move(LongName);
        r.Deadline = TClock::now() + kRequestTime;
        Requests.emplace(nonce, std::move(r));
    }

    void Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data) {
        TData d{From, To, std::move(Data)};
        const auto bytes = EncodePacket(d);
        Route(From, To, Guaranteed, bytes, d.Payload, nullptr);
    }

    void Leave() {
        if (Leaving)
            return;
        Leaving = true;
        LeaveDeadline = TClock::now() + kLeaveTime;
        CloseQuerySocket();
        if (!Host) {
            Stop = true;
            return;
        }
        if (Role == TRole::Host && (Flags & DPSESSION_MIGRATEHOST))
            Announce(THostLeaving{}, nullptr);
        for (ENetPeer* p = Host->peers; p < Host->peers + Host->peerCount; ++p)
            if (p->state == ENET_PEER_STATE_CONNECTED)
                enet_peer_disconnect_later(p, 0);
            else if (p->state != ENET_PEER_STATE_DISCONNECTED)
                enet_peer_reset(p);
        Role = TRole::Lost;
    }

    // Events from the network.

    void OnConnect(ENetPeer* Peer) {
        ConfigurePeer(Peer);
        if (Peer == HostPeer && Role == TRole::Joining) {
            SendTo(Peer, THello{Application, Instance});
            return;
        }
        if (Peer == MigrationPeer && Role == TRole::Migrating) {
            TRejoin r{Application, Instance, NextId, {}};
            for (const auto& p : Players)
                if (p.Local)
                    r.Own.push_back(EntryOf(p));
            SendTo(Peer, r);
            return;
        }
        if (Leaving) {
            enet_peer_disconnect_now(Peer, 0);
            return;
        }
        auto* info = new TPeerInfo;
        info->Deadline = TClock::now() + kHelloTime;
        Peer->data = info;
    }

    void OnDisconnect(ENetPeer* Peer) {
        TPeerInfo* info = Info(Peer);
        Peer->data = nullptr;
        const bool expired = info && info->Expired;
        delete info;
        if (Leaving)
            return;
        if (Peer == HostPeer) {
            HostPeer = nullptr;
            if (Role == TRole::Joining)
                FinishJoin(DPERR_NOCONNECTION);
            else if (Role == TRole::Client)
                HostLost();
            return;
        }
        if (Peer == MigrationPeer) {
            MigrationPeer = nullptr;
            CandidateFailed();
            return;
        }
        if (Role != TRole::Host || expired)
            return;
        std::vector<DPID> gone;
        for (const auto& p : Players)
            if (p.Owner == Peer)
                gone.push_back(p.Id);
        for (const DPID id : gone) {
            RemovePlayer(id);
            Announce(TPlayerRemoved{id}, nullptr);
        }
    }

    void OnReceive(ENetPeer* Peer, const ENetPacket* Packet) {
        const std::span<const std::uint8_t> bytes(Packet->data, Packet->dataLength);
        auto decoded = DecodePacket(bytes);
        if (!decoded)
            return; // malformed: dropped
        const bool reliable = (Packet->flags & ENET_PACKET_FLAG_RELIABLE) != 0;
        if (Peer == HostPeer)
            return FromHost(*decoded, bytes, reliable);
        if (Peer == MigrationPeer)
            return FromCandidate(Peer, *decoded);
        if (TPeerInfo* info = Info(Peer))
            FromMachine(Peer, *info, *decoded, bytes, reliable);
    }

    // Packets from the host to this client.
    void FromHost(TPacket& Packet, std::span<const std::uint8_t> Bytes, bool Reliable) {
        if (auto* w = std::get_if<TWelcome>(&Packet); w && Role == TRole::Joining) {
            if (!(w->Instance == Instance))
                return FinishJoin(DPERR_NOSESSIONS);
            Flags = w->Flags;
            MaxPlayers = w->MaxPlayers;
            Name = w->Name;
            NextId = std::max<DPID>(NextId, w->NextId);
            Role = TRole::Client;
            for (const auto& e : w->Players)
                if (!FindPlayer(e.Id))
                    AddPlayer(PlayerOf(e), false);
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
                request.Reply.set_value(
                    {c->Code ? static_cast<HRESULT>(c->Code) : DPERR_CANTADDPLAYER, 0});
                return;
            }
            TNodePlayer p;
            p.Id = c->Id;
            p.ShortName = request.ShortName;
            p.LongName = request.LongName;
            p.Local = true;
            AddPlayer(p, false, request.Event);
            request.Reply.set_value({DP_OK, c->Id});
        } else if (auto* a = std::get_if<TPlayerAdded>(&Packet)) {
            if (TNodePlayer* known = FindPlayer(a->Player.Id)) {
                if (!known->Local) {
                    const TNodePlayer fresh = PlayerOf(a->Player);
                    known->Ip = fresh.Ip;
                    known->Port = fresh.Port;
                }
                return;
            }
            AddPlayer(PlayerOf(a->Player), true);
        } else if (auto* r = std::get_if<TPlayerRemoved>(&Packet)) {
            if (const TNodePlayer* p = FindPlayer(r->Id); p && !p->Local)
                RemovePlayer(r->Id);
        } else if (auto* d = std::get_if<TData>(&Packet)) {
            const TNodePlayer* from = FindPlayer(d->From);
            if (from && from->Local)
                return; // nobody speaks for this machine's players
            if (d->To != DPID_ALLPLAYERS) {
                const TNodePlayer* to = FindPlayer(d->To);
                if (!to || !to->Local)
                    return;
            }
            (void)Bytes;
            (void)Reliable;
            Deliver(d->From, d->To, d->Payload);
        } else if (std::holds_alternative<THostLeaving>(Packet)) {
            HostLost();
        }
    }

    // Packets that reach the host from a machine (or a held rejoin on a would-be host).
    void FromMachine(ENetPeer* Peer, TPeerInfo& Info, TPacket& Packet,
                     std::span<const std::uint8_t> Bytes, bool Reliable) {
        if (auto* h = std::get_if<THello>(&Packet)) {
            if (Info.Joined)
                return;
            HRESULT refusal = DP_OK;
            if (Role != TRole::Host || !(h->Application == Application) ||
                !(h->Instance == Instance))
                refusal = DPERR_NOSESSIONS;
            else if (!Joinable())
                refusal = DPERR_NONEWPLAYERS;
            if (refusal != DP_OK) {
                SendTo(Peer, TRefuse{static_cast<std::uint32_t>(refusal)});
                Info.Expired = true;
                enet_peer_disconnect_later(Peer, 0);
                return;
            }
            Info.Joined = true;
            SendTo(Peer, Snapshot());
            return;
        }
        if (auto* r = std::get_if<TRejoin>(&Packet)) {
            if (Info.Joined || !(r->Application == Application) || !(r->Instance == Instance))
                return;
            if (Role != TRole::Host) {
                // It noticed the old host's end before this machine did: answer once this
                // machine has taken over, or refuse when the hold runs out.
                Info.HeldRejoin = std::move(*r);
                Info.Deadline = TClock::now() + kGraceTime;
                return;
            }
            return AcceptRejoin(Peer, Info, *r);
        }
        if (!Info.Joined || Role != TRole::Host)
            return;
        if (auto* c = std::get_if<TCreatePlayer>(&Packet)) {
            const DPID id = Joinable() ? AllocateId() : 0;
            if (id == 0) {
                SendTo(Peer, TPlayerCreated{c->Nonce,
                                            static_cast<std::uint32_t>(DPERR_CANTADDPLAYER), 0});
                return;
            }
            TNodePlayer p;
            p.Id = id;
            p.ShortName = c->ShortName;
            p.LongName = c->LongName;
            p.Ip = Peer->address.host;
            p.Port = Peer->address.port;
            p.Owner = Peer;
            AddPlayer(p, true);
            SendTo(Peer, TPlayerCreated{c->Nonce, 0, id});
            Announce(TPlayerAdded{EntryOf(p)}, Peer);
        } else if (auto* d = std::get_if<TData>(&Packet)) {
            const TNodePlayer* from = FindPlayer(d->From);
            if (!from || from->Owner != Peer)
                return; // a machine speaks only for its own players
            if (d->To != DPID_ALLPLAYERS && !FindPlayer(d->To))
                return;
            Route(d->From, d->To, Reliable, {Bytes.begin(), Bytes.end()}, d->Payload, Peer);
        }
    }

    void AcceptRejoin(ENetPeer* Peer, TPeerInfo& Info, const TRejoin& R) {
        Info.Joined = true;
        Info.HeldRejoin.reset();
        NextId = std::max<DPID>(NextId, R.NextId);
        for (const auto& e : R.Own) {
            TNodePlayer* known = FindPlayer(e.Id);
            if (known && (known->Local || (known->Owner && known->Owner != Peer)))
                continue; // not that machine's to claim
            if (known) {
                known->Owner = Peer;
                known->Confirmed = true;
                known->Ip = Peer->address.host;
                known->Port = Peer->address.port;
                Announce(TPlayerAdded{EntryOf(*known)}, Peer);
                continue;
            }
            TNodePlayer p;
            p.Id = e.Id;
            p.ShortName = e.ShortName;
            p.LongName = e.LongName;
            p.Ip = Peer->address.host;
            p.Port = Peer->address.port;
            p.Owner = Peer;
            AddPlayer(p, true);
            Announce(TPlayerAdded{EntryOf(p)}, Peer);
        }
        SendTo(Peer, Snapshot());
    }

    // Packets from the machine this one hopes is the new host.
    void FromCandidate(ENetPeer* Peer, TPacket& Packet) {
        if (Role != TRole::Migrating)
            return;
        if (auto* w = std::get_if<TWelcome>(&Packet)) {
            if (!(w->Instance == Instance))
                return;
            MigrationPeer = nullptr;
            HostPeer = Peer;
            HostIp = TargetIp;
            HostPort = TargetPort;
            Role = TRole::Client;
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
                TNodePlayer* known = FindPlayer(e.Id);
                const TNodePlayer fresh = PlayerOf(e);
                if (!known)
                    AddPlayer(fresh, true);
                else if (!known->Local) {
                    known->Ip = fresh.Ip;
                    known->Port = fresh.Port;
                }
            }
            for (auto& h : Held)
                SendBytes(HostPeer, h.second, h.first);
            Held.clear();
            HeldBytes = 0;
        } else if (std::holds_alternative<TRefuse>(Packet)) {
            // Not host (yet): the candidate may not have noticed the old host's end.
            enet_peer_disconnect_now(Peer, 0);
            MigrationPeer = nullptr;
            CandidateFailed();
        }
    }

    // The host went.

    void HostLost() {
        if (Leaving || Role != TRole::Client)
            return;
        HostPeer = nullptr;
        RemoveMachine(HostIp, HostPort);
        for (auto& r : Requests)
            r.second.Reply.set_value({DPERR_NOCONNECTION, 0});
        Requests.clear();
        if (!(Flags & DPSESSION_MIGRATEHOST)) {
            std::vector<DPID> gone;
            for (const auto& p : Players)
                if (!p.Local)
                    gone.push_back(p.Id);
            for (const DPID id : gone)
                RemovePlayer(id);
            Role = TRole::Lost;
            PostSystem(DPSYS_SESSIONLOST);
            return;
        }
        Elect();
    }

    void RemoveMachine(std::uint32_t Ip, std::uint16_t Port) {
        std::vector<DPID> gone;
        for (const auto& p : Players)
            if (!p.Local && p.Ip == Ip && p.Port == Port)
                gone.push_back(p.Id);
        for (const DPID id : gone)
            RemovePlayer(id);
    }

    void Elect() {
        const TNodePlayer* lowest = nullptr;
        for (const auto& p : Players)
            if (!lowest || p.Id < lowest->Id)
                lowest = &p;
        if (!lowest) {
            Role = TRole::Lost;
            PostSystem(DPSYS_SESSIONLOST);
            return;
        }
        if (lowest->Local)
            return BecomeHost();
        Role = TRole::Migrating;
        TargetIp = lowest->Ip;
        TargetPort = lowest->Port;
        TargetDeadline = TClock::now() + kTargetTime;
        ConnectToCandidate();
    }

    void ConnectToCandidate() {
        RetryAt.reset();
        ENetAddress a{TargetIp, TargetPort};
        MigrationPeer = enet_host_connect(Host, &a, kChannels, 0);
        if (MigrationPeer)
            ConfigurePeer(MigrationPeer);
        else
            RetryAt = TClock::now() + kRetryTime;
    }

    void CandidateFailed() {
        if (Role != TRole::Migrating)
            return;
        if (TClock::now() < TargetDeadline) {
            RetryAt = TClock::now() + kRetryTime;
            return;
        }
        RemoveMachine(TargetIp, TargetPort);
        Elect();
    }

    void BecomeHost() {
        Role = TRole::Host;
        HostPeer = nullptr;
        for (auto& p : Players) {
            Learn(p.Id);
            if (!p.Local) {
                p.Owner = nullptr;
                p.Confirmed = false;
            }
        }
        GraceEnd = TClock::now() + kGraceTime;
        if (!OpenQuerySocket())
            BindRetryAt = TClock::now() + kBindRetry;
        PostSystem(DPSYS_HOST);
        for (ENetPeer* p = Host->peers; p < Host->peers + Host->peerCount; ++p)
            if (p->state == ENET_PEER_STATE_CONNECTED && Info(p) && Info(p)->HeldRejoin) {
                const TRejoin r = *Info(p)->HeldRejoin;
                AcceptRejoin(p, *Info(p), r);
            }
    }

    // Clocks.

    void Tick() {
        const auto now = TClock::now();
        if (Leaving) {
            if (!Host || Host->connectedPeers == 0 || now >= LeaveDeadline)
                Stop = true;
            return;
        }
        if (Role == TRole::Joining && now >= JoinDeadline)
            FinishJoin(DPERR_TIMEOUT);
        for (auto it = Requests.begin(); it != Requests.end();) {
            if (now >= it->second.Deadline) {
                it->second.Reply.set_value({DPERR_TIMEOUT, 0});
                it = Requests.erase(it);
            } else {
                ++it;
            }
        }
        if (Role == TRole::Migrating && RetryAt && now >= *RetryAt)
            ConnectToCandidate();
        if (BindRetryAt && now >= *BindRetryAt && Role == TRole::Host && !OpenQuerySocket())
            BindRetryAt = now + kBindRetry;
        if (GraceEnd && now >= *GraceEnd) {
            GraceEnd.reset();
            std::vector<DPID> gone;
            for (const auto& p : Players)
                if (!p.Local && !p.Confirmed)
                    gone.push_back(p.Id);
            for (const DPID id : gone) {
                RemovePlayer(id);
                Announce(TPlayerRemoved{id}, nullptr);
            }
        }
        if (!Host)
            return;
        for (ENetPeer* p = Host->peers; p < Host->peers + Host->peerCount; ++p) {
            TPeerInfo* info = Info(p);
            if (!info || info->Joined || info->Expired || now < info->Deadline)
                continue;
            info->Expired = true;
            if (info->HeldRejoin)
                SendTo(p, TRefuse{static_cast<std::uint32_t>(DPERR_NOSESSIONS)});
            enet_peer_disconnect_later(p, 0);
        }
    }

    void AnswerQueries() {
        for (int i = 0; i < 16 && QueryFd >= 0; ++i) {
            std::uint8_t buffer[kQuerySize + 1];
            sockaddr_in from{};
            socklen_t fromLen = sizeof from;
            const ssize_t n = ::recvfrom(QueryFd, buffer, sizeof buffer, 0,
                                         reinterpret_cast<sockaddr*>(&from), &fromLen);
            if (n < 0)
                return;
            const auto query = DecodeQuery({buffer, static_cast<std::size_t>(n)});
            if (!query || !(query->Application == Application) || !Joinable())
                continue;
            if (!Limiter.Allow(from.sin_addr.s_addr, TClock::now()))
                continue;
            TSessionReply reply;
            reply.Nonce = query->Nonce;
            reply.Application = Application;
            reply.Instance = Instance;
            reply.Flags = Flags;
            reply.MaxPlayers = MaxPlayers;
            reply.CurrentPlayers = static_cast<std::uint32_t>(Players.size());
            reply.SessionPort = OwnPort;
            reply.Name = Name;
            const auto bytes = EncodeReply(reply);
            ::sendto(QueryFd, bytes.data(), bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&from), fromLen);
        }
    }

    void Service() {
        if (!Host)
            return;
        ENetEvent event;
        while (Host && enet_host_service(Host, &event, 0) > 0) {
            switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                OnConnect(event.peer);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                OnDisconnect(event.peer);
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                OnReceive(event.peer, event.packet);
                enet_packet_destroy(event.packet);
                break;
            case ENET_EVENT_TYPE_NONE:
                break;
            }
        }
        if (Host)
            enet_host_flush(Host);
    }
};

TSessionNode::TSessionNode(TSessionShared& AShared, const TConnectionData& Connection)
    : Shared(AShared), State(std::make_unique<TState>(AShared, Connection)) {
    WakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Thread = std::thread([this] { Run(); });
}

TSessionNode::~TSessionNode() {
    Close();
    if (WakeFd >= 0)
        ::close(WakeFd);
}

void TSessionNode::Post(std::function<void(TState&)> Command) {
    {
        std::lock_guard<std::mutex> g(CommandLock);
        Commands.push_back(std::move(Command));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(WakeFd, &one, sizeof one);
}

template <class R> R TSessionNode::Ask(std::function<void(TState&, std::promise<R>)> Command) {
    auto promise = std::make_shared<std::promise<R>>();
    auto future = promise->get_future();
    Post([Command, promise](TState& S) { Command(S, std::move(*promise)); });
    return future.get();
}

HRESULT TSessionNode::Create(const TCreateConfig& Config) {
    return Ask<HRESULT>(
        [Config](TState& S, std::promise<HRESULT> Reply) { Reply.set_value(S.Create(Config)); });
}

HRESULT TSessionNode::Join(std::uint32_t Ip, std::uint16_t Port, const GUID& Application,
                           const GUID& Instance) {
    return Ask<HRESULT>([=](TState& S, std::promise<HRESULT> Reply) {
        S.Join(Ip, Port, Application, Instance, std::move(Reply));
    });
}

HRESULT TSessionNode::CreatePlayer(const std::string& ShortName, const std::string& LongName,
                                   HANDLE Event, DPID& Id) {
    const auto [hr, id] =
        Ask<std::pair<HRESULT, DPID>>([=](TState& S, std::promise<std::pair<HRESULT, DPID>> Reply) {
            S.CreatePlayer(ShortName, LongName, Event, std::move(Reply));
        });
    Id = id;
    return hr;
}

void TSessionNode::Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data) {
    auto shared = std::make_shared<std::vector<std::uint8_t>>(std::move(Data));
    Post([=](TState& S) { S.Send(From, To, Guaranteed, std::move(*shared)); });
}

bool TSessionNode::IsHost() {
    return Ask<bool>(
        [](TState& S, std::promise<bool> Reply) { Reply.set_value(S.Role == TRole::Host); });
}

void TSessionNode::Close() {
    if (Closed)
        return;
    Closed = true;
    Post([](TState& S) { S.Leave(); });
    if (Thread.joinable())
        Thread.join();
}

void TSessionNode::Run() {
    TState& s = *State;
    while (!s.Stop) {
        pollfd fds[3];
        nfds_t n = 0;
        fds[n++] = {WakeFd, POLLIN, 0};
        if (s.Host)
            fds[n++] = {s.Host->socket, POLLIN, 0};
        const nfds_t queryIndex = n;
        if (s.QueryFd >= 0)
            fds[n++] = {s.QueryFd, POLLIN, 0};
        ::poll(fds, n, 20);
        if (fds[0].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const auto read = ::read(WakeFd, &count, sizeof count);
        }
        std::deque<std::function<void(TState&)>> commands;
        {
            std::lock_guard<std::mutex> g(CommandLock);
            commands.swap(Commands);
        }
        for (auto& c : commands)
            c(s);
        if (queryIndex < n && (fds[queryIndex].revents & POLLIN))
            s.AnswerQueries();
        s.Service();
        s.Tick();
        if (s.Host)
            enet_host_flush(s.Host);
    }
    s.Shutdown();
    // Commands that came after the end still get their answer.
    std::lock_guard<std::mutex> g(CommandLock);
    for (auto& c : Commands)
        c(s);
    Commands.clear();
}

} // namespace dplay
