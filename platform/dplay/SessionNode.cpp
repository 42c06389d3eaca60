#include "SessionNode.h"

#include "LinkFaults.h"
#include "NatTraversal.h"
#include "QuerySocket.h"
#include "RouterShell.h"

#include <enet/enet.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

namespace dplay {

namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kBindRetry = 500ms; // the old host may still hold the query port
// ENet keeps a peer for every handshake it has begun, and refuses new ones once its table is
// full, before the core can push anyone out; the core keeps its own table smaller, so what is
// left over is for handshakes that have not reached it yet.
constexpr std::size_t kHandshakeRoom = 64;
constexpr std::size_t kMaxPeers = TSessionCore::kMaxConns + kHandshakeRoom;
// What one machine may make this one hold while reassembling its incoming messages. What it is
// sent and has not acknowledged is the core's to count (TSessionCore::kMaxBacklog).
constexpr std::size_t kMaxWaitingData = 2 * kMaxMessageSize + 4096;
constexpr enet_uint8 kReliableChannel = 0;
constexpr enet_uint8 kUnreliableChannel = 1;
constexpr enet_uint8 kChannels = 2;
// A vanished machine is dropped within about 3 s: pings every 500 ms, and an unanswered one
// ends the connection after 1.5 to 2.5 s.
constexpr enet_uint32 kPingInterval = 500;
constexpr enet_uint32 kTimeoutMin = 1500;
constexpr enet_uint32 kTimeoutMax = 2500;

// The home router is asked to forward only what a machine elsewhere could use: not on the
// loopback provider or address, and not when the player turned it off.
bool RouterWanted(const TConnectionData& Connection) {
    if (Connection.Kind != TProviderKind::TcpIp)
        return false;
    if (const char* off = std::getenv("MAREVO_DPLAY_ROUTER"); off && std::strcmp(off, "0") == 0)
        return false;
    in_addr bind{};
    return Connection.BindAddress.empty() ||
           (::inet_pton(AF_INET, Connection.BindAddress.c_str(), &bind) == 1 &&
            (ntohl(bind.s_addr) >> 24) != 127);
}

// Tests shorten the lease to see it renewed; a player never needs to.
std::chrono::seconds RouterLease() {
    const char* text = std::getenv("MAREVO_DPLAY_ROUTER_LEASE");
    const long seconds = text ? std::strtol(text, nullptr, 10) : 0;
    return seconds > 0 ? std::chrono::seconds(seconds) : TRouterCore::kDefaultLease;
}

void InitializeEnet() {
    static const int result = enet_initialize();
    (void)result;
}

// What the node keeps of a peer, in its data field.
struct TLink {
    TConnId Conn = 0;
    std::size_t Pieces = 0; // of guaranteed messages from it, not yet whole
};

// What has come of the guaranteed messages a peer is still sending: each waiting command, and
// each fragment of one in pieces. It changes while a large message crawls over a slow link,
// which is news from that machine although no message is whole yet.
std::size_t PiecesFrom(ENetPeer* Peer) {
    std::size_t pieces = 0;
    for (std::size_t c = 0; c < Peer->channelCount; ++c) {
        ENetList& list = Peer->channels[c].incomingReliableCommands;
        for (ENetListIterator i = enet_list_begin(&list); i != enet_list_end(&list);
             i = enet_list_next(i)) {
            const auto* command = reinterpret_cast<const ENetIncomingCommand*>(i);
            pieces += 1 + command->fragmentCount - command->fragmentsRemaining;
        }
    }
    return pieces;
}

TLink* LinkOf(ENetPeer* Peer) {
    return static_cast<TLink*>(Peer->data);
}

// A guaranteed packet on its way, so that the core hears when ENet lets go of it.
struct TInFlight {
    TSessionCore* Core = nullptr;
    TConnId Conn = 0;
    TConnId Origin = 0;
};

void ReleaseInFlight(ENetPacket* Packet) {
    auto* f = static_cast<TInFlight*>(Packet->userData);
    f->Core->Released(f->Conn, f->Origin, Packet->dataLength);
    delete f;
}

} // namespace

struct TSessionNode::TState {
    TState(TSessionShared& AShared, const TConnectionData& AConnection,
           std::shared_ptr<TLobbyLink> Lobby, std::function<void()> AWakeUp)
        : Shared(AShared), Connection(AConnection), Core(TMachineIdentity::RandomSeed()),
          Faults(TLinkFaultPlan::FromEnvironment(), std::random_device{}()), Queries(AConnection),
          Router(RouterLease()), WakeUp(std::move(AWakeUp)) {
        if (!Lobby)
            return;
        Traversal = std::make_unique<TNatTraversal>(
            std::move(Lobby), [this](TAddress To, std::span<const std::uint8_t> Bytes) {
                if (!Host)
                    return;
                ENetAddress to{To.Ip, To.Port};
                ENetBuffer buffer{const_cast<std::uint8_t*>(Bytes.data()), Bytes.size()};
                enet_socket_send(Host->socket, &to, &buffer, 1);
            });
        Faults.Take(
            [this](std::span<const std::uint8_t> Bytes, std::uint32_t Ip, std::uint16_t Port) {
                return Traversal->Take(Bytes, {Ip, Port});
            });
    }

    TSessionShared& Shared;
    TConnectionData Connection;
    TSessionCore Core;
    TLinkFaults Faults;
    ENetHost* Host = nullptr;
    std::uint16_t OwnPort = 0;
    TQuerySocket Queries;
    bool Stop = false;
    std::optional<TClock::time_point> BindRetryAt;
    std::map<TConnId, ENetPeer*> Peers;

    std::optional<std::promise<HRESULT>> JoinReply;
    struct TRequest {
        std::promise<std::pair<HRESULT, DPID>> Reply;
        HANDLE Event = nullptr;
    };
    std::map<std::uint32_t, TRequest> Requests;
    std::uint32_t NextRequest = 1;

    TRouterCore Router;
    std::function<void()> WakeUp;
    std::mutex AnswerLock;
    std::vector<TRouterAnswer> RouterAnswers; // from the router's thread, under AnswerLock
    std::unique_ptr<TRouterShell> RouterShell;
    std::optional<TRouterNotice> Opened; // the router forwards, and from where

    // The internet lobby's way: a join waits for this machine's outside address, which the
    // host is asked to punch towards.
    std::unique_ptr<TNatTraversal> Traversal;
    struct TPendingJoin {
        TAddress Host;
        GUID Application{};
        GUID Instance{};
        TAddress Relay;
    };
    std::optional<TPendingJoin> PendingJoin;
    std::optional<TAddress> Told; // where the others were told this machine is reached

    ~TState() {
        Shutdown();
        FinishRouter();
    }

    // The home router.

    void StartRouter() {
        if (!RouterWanted(Connection) || RouterShell)
            return;
        RouterShell = std::make_unique<TRouterShell>([this](const TRouterAnswer& Answer) {
            {
                std::lock_guard<std::mutex> g(AnswerLock);
                RouterAnswers.push_back(Answer);
            }
            WakeUp();
        });
        Router.Start(Connection.QueryPort, OwnPort, TClock::now());
        ApplyRouter();
    }

    void RouterEvents() {
        std::vector<TRouterAnswer> answers;
        {
            std::lock_guard<std::mutex> g(AnswerLock);
            answers.swap(RouterAnswers);
        }
        const auto now = TClock::now();
        for (const auto& a : answers)
            Router.Answered(a, now);
        Router.Tick(now);
        ApplyRouter();
    }

    void ApplyRouter() {
        for (auto& a : Router.TakeActions()) {
            if (const auto* n = std::get_if<TRouterNoticeAction>(&a))
                Tell(n->Notice);
            else if (RouterShell)
                RouterShell->Carry(a);
        }
    }

    // A forwarding is news only to a host, whose friends need the address; what went wrong
    // matters to every machine, since any of them may host later.
    void Tell(const TRouterNotice& Notice) {
        if (Notice.Kind == TRouterNotice::Open) {
            Opened = Notice;
            Core.Reachable({Notice.PublicIp, Notice.SessionPort}, TClock::now());
            Apply();
            if (!Core.IsHost())
                return;
        }
        Post(Notice);
    }

    void Post(const TRouterNotice& Notice) {
        DPMSG_MAREVO_ROUTER record{DPSYS_MAREVO_ROUTER, Notice.Kind, Notice.PublicIp,
                                   Notice.QueryPort, Notice.SessionPort};
        TQueuedMessage m;
        m.SysType = DPSYS_MAREVO_ROUTER;
        m.Data.resize(sizeof record);
        std::memcpy(m.Data.data(), &record, sizeof record);
        std::lock_guard<std::mutex> g(Shared.Lock);
        Shared.Post(std::move(m));
    }

    // Takes every forwarding back before the thread ends: an attempt still on its way is
    // waited for, within the router libraries' time-outs.
    void FinishRouter() {
        if (!RouterShell)
            return;
        Router.Stop();
        ApplyRouter();
        const auto end = TClock::now() + 2 * TRouterShell::kWait + 1s;
        while (!Router.Finished() && TClock::now() < end) {
            std::this_thread::sleep_for(20ms);
            std::vector<TRouterAnswer> answers;
            {
                std::lock_guard<std::mutex> g(AnswerLock);
                answers.swap(RouterAnswers);
            }
            for (const auto& a : answers)
                Router.Answered(a, TClock::now());
            for (auto& a : Router.TakeActions())
                if (!std::holds_alternative<TRouterNoticeAction>(a))
                    RouterShell->Carry(a);
        }
        RouterShell.reset(); // carries out the queued unmaps first
    }

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
        Host->maximumWaitingData = kMaxWaitingData;
        Host->duplicatePeers = TSessionCore::kMaxPerAddress;
        if (Faults.Active()) {
            Faults.Install(Host);
            Faults.Flush(Host); // learns the port it sends held datagrams back to
        }
        ENetAddress bound{};
        if (enet_socket_get_address(Host->socket, &bound) == 0)
            OwnPort = bound.port;
        return true;
    }

    bool OpenQueries() {
        if (!Queries.Open())
            return false;
        BindRetryAt.reset();
        return true;
    }

    void CloseQueries() {
        Queries.Close();
        BindRetryAt.reset();
    }

    void Shutdown() {
        CloseQueries();
        if (Host) {
            std::vector<TLink*> links;
            for (auto& entry : Peers)
                links.push_back(LinkOf(entry.second));
            enet_host_destroy(Host); // lets every packet go before the links they count on
            Host = nullptr;
            for (TLink* link : links)
                delete link;
        }
        Peers.clear();
        if (JoinReply) {
            JoinReply->set_value(DPERR_NOCONNECTION);
            JoinReply.reset();
        }
        for (auto& r : Requests)
            r.second.Reply.set_value({DPERR_NOCONNECTION, 0});
        Requests.clear();
    }

    void Attach(ENetPeer* Peer, TConnId Conn) {
        enet_peer_timeout(Peer, ENET_PEER_TIMEOUT_LIMIT, kTimeoutMin, kTimeoutMax);
        enet_peer_ping_interval(Peer, kPingInterval);
        Peer->data = new TLink{Conn};
        Peers[Conn] = Peer;
    }

    // Forgets a peer that ENet has reset (its packets, and so their counts, are gone).
    void Detach(ENetPeer* Peer) {
        if (TLink* link = LinkOf(Peer)) {
            Peers.erase(link->Conn);
            delete link;
        }
        Peer->data = nullptr;
    }

    // Carrying out what the core decided.

    void Apply() {
        for (auto actions = Core.TakeActions(); !actions.empty(); actions = Core.TakeActions())
            for (auto& a : actions)
                std::visit([this](auto& Action) { Do(Action); }, a);
    }

    void Do(TSendAction& A) {
        const auto it = Peers.find(A.Conn);
        ENetPacket* packet = enet_packet_create(A.Bytes.data(), A.Bytes.size(),
                                                A.Reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
        if (A.Reliable) {
            packet->userData = new TInFlight{&Core, A.Conn, A.Origin};
            packet->freeCallback = ReleaseInFlight;
        }
        if (it == Peers.end() || it->second->state != ENET_PEER_STATE_CONNECTED ||
            enet_peer_send(it->second, A.Reliable ? kReliableChannel : kUnreliableChannel,
                           packet) != 0)
            enet_packet_destroy(packet);
    }

    void Do(TConnectAction& A) {
        ENetAddress a{A.To.Ip, A.To.Port};
        ENetPeer* peer = Host ? enet_host_connect(Host, &a, kChannels, 0) : nullptr;
        if (!peer) {
            Core.Disconnected(A.Conn, TClock::now());
            return;
        }
        Attach(peer, A.Conn);
    }

    void Do(TCloseAction& A) {
        const auto it = Peers.find(A.Conn);
        if (it == Peers.end())
            return;
        if (A.Immediately) {
            ENetPeer* peer = it->second;
            enet_peer_reset(peer);
            Detach(peer);
        } else {
            enet_peer_disconnect_later(it->second, 0);
        }
    }

    void Do(TShowPlayerAction& A) {
        std::lock_guard<std::mutex> g(Shared.Lock);
        Shared.Players.push_back(A.Player);
    }

    void Do(THidePlayerAction& A) {
        std::lock_guard<std::mutex> g(Shared.Lock);
        std::erase_if(Shared.Players, [&](const TPlayerView& p) { return p.Id == A.Id; });
        Shared.Events.erase(A.Id);
    }

    void Do(TPostAction& A) {
        std::lock_guard<std::mutex> g(Shared.Lock);
        Shared.Post(std::move(A.Message));
    }

    void Do(TJoinDoneAction& A) {
        // Through the lobby, a host that cannot be reached was out of reach of punches and
        // of its relay alike.
        if (Traversal && (A.Result == DPERR_NOCONNECTION || A.Result == DPERR_TIMEOUT))
            A.Result = DPERR_MAREVO_NOPATH;
        if (JoinReply) {
            JoinReply->set_value(A.Result);
            JoinReply.reset();
        }
    }

    void Do(TPlayerDoneAction& A) {
        const auto it = Requests.find(A.Request);
        if (it == Requests.end())
            return;
        if (A.Result == DP_OK && it->second.Event) {
            std::lock_guard<std::mutex> g(Shared.Lock);
            Shared.Events[A.Id] = it->second.Event;
            if (!Shared.Queue.empty())
                SetEvent(it->second.Event);
        }
        it->second.Reply.set_value({A.Result, A.Id});
        Requests.erase(it);
        // A machine that has a player in the session may host after a change of host, so it
        // opens its router too; the dialog's brief joins to list a session's players do not.
        if (A.Result == DP_OK)
            StartRouter();
    }

    void Do(TQuerySocketAction& A) {
        if (!A.Open)
            CloseQueries();
        else if (!OpenQueries())
            BindRetryAt = TClock::now() + kBindRetry;
        // A machine that takes over as host shows its player the address to give friends.
        if (A.Open && Opened && Core.IsHost())
            Post(*Opened);
    }

    // Commands.

    HRESULT Create(const TCreateConfig& Config) {
        if (!MakeHost(Connection.SessionPort))
            return DPERR_CANNOTCREATESERVER;
        if (!OpenQueries()) {
            enet_host_destroy(Host);
            Host = nullptr;
            return DPERR_CANNOTCREATESERVER;
        }
        Core.Create(Config, OwnPort, TClock::now());
        Apply();
        StartRouter();
        if (Traversal)
            Traversal->Start(TClock::now(), OwnPort);
        return DP_OK;
    }

    void Join(std::uint32_t Ip, std::uint16_t Port, const GUID& App, const GUID& Inst,
              TAddress Relay, std::promise<HRESULT> Reply) {
        if (!MakeHost(0)) {
            Reply.set_value(DPERR_NOCONNECTION);
            return;
        }
        JoinReply = std::move(Reply);
        if (Traversal) {
            Traversal->Start(TClock::now(), OwnPort);
            PendingJoin = TPendingJoin{{Ip, Port}, App, Inst, Relay};
            return;
        }
        Core.Join({Ip, Port}, {InsideIp(Ip), OwnPort}, App, Inst, TClock::now());
        Apply();
    }

    void Traverse(TTime Now) {
        if (!Traversal)
            return;
        if (Core.CameThroughRelay())
            Traversal->Unpunchable();
        if (const auto reachable = Traversal->Public(); reachable && reachable != Told) {
            Told = reachable;
            Core.Reachable(*reachable, Now);
        }
        if (PendingJoin && Traversal->Settled()) {
            const TPendingJoin j = *std::exchange(PendingJoin, std::nullopt);
            Traversal->Joining(j.Host, j.Instance, Now);
            Core.Join(j.Host, {InsideIp(j.Host.Ip), OwnPort}, j.Application, j.Instance, Now,
                      j.Relay.Ip ? std::optional(j.Relay) : std::nullopt);
        }
        Traversal->Tick(Now, Core.OtherPublics(),
                        Core.IsHost() && !Core.Finished() ? Core.Describe() : std::nullopt);
        Apply();
    }

    void PunchRequested(const TPunchRequest& Request) {
        if (Traversal && Core.IsHost())
            if (const auto hosted = Core.Describe())
                Traversal->Requested(Request, hosted->Instance, TClock::now());
    }

    // The address this machine reaches To from: its address inside its home, which a machine
    // behind the same router must use to reach it. Connecting a datagram socket sends nothing.
    std::uint32_t InsideIp(std::uint32_t To) const {
        in_addr bound{};
        if (!Connection.BindAddress.empty() &&
            ::inet_pton(AF_INET, Connection.BindAddress.c_str(), &bound) == 1 && bound.s_addr)
            return bound.s_addr;
        const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0)
            return 0;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(9);
        to.sin_addr.s_addr = To;
        sockaddr_in from{};
        socklen_t size = sizeof from;
        const bool known = ::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                           ::getsockname(s, reinterpret_cast<sockaddr*>(&from), &size) == 0;
        ::close(s);
        return known ? from.sin_addr.s_addr : 0;
    }

    void CreatePlayer(std::string ShortName, std::string LongName, HANDLE Event,
                      std::promise<std::pair<HRESULT, DPID>> Reply) {
        const std::uint32_t request = NextRequest++;
        Requests[request] = {std::move(Reply), Event};
        Core.CreatePlayer(request, std::move(ShortName), std::move(LongName), TClock::now());
        Apply();
    }

    HRESULT Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data) {
        const HRESULT hr = Core.Send(From, To, Guaranteed, std::move(Data), TClock::now());
        Apply();
        return hr;
    }

    void Leave() {
        Core.Leave(TClock::now());
        Apply();
        CloseQueries();
        if (!Host || Core.Finished())
            Stop = true;
    }

    // Events from the network.

    void AnswerQueries() {
        Queries.Answer([this](const TSessionQuery& Query, std::uint32_t SourceIp) {
            auto reply = Core.AnswerQuery(Query, SourceIp, TClock::now());
            // A query from outside reaches this machine through the router: it is told the
            // session port as the outside sees it.
            if (const std::uint16_t port = Router.SessionPortFor(SourceIp); reply && port)
                reply->SessionPort = port;
            return reply;
        });
    }

    void OnEvent(ENetEvent& Event) {
        const auto now = TClock::now();
        TLink* link = LinkOf(Event.peer);
        switch (Event.type) {
        case ENET_EVENT_TYPE_CONNECT:
            if (link) {
                Core.Connected(link->Conn, now);
            } else if (const TConnId c = Core.Accept(Seen(Event.peer->address), now)) {
                Attach(Event.peer, c);
            } else {
                enet_peer_disconnect_now(Event.peer, 0);
            }
            break;
        case ENET_EVENT_TYPE_DISCONNECT:
            if (link) {
                const TConnId conn = link->Conn;
                Detach(Event.peer);
                Core.Disconnected(conn, now);
            }
            break;
        case ENET_EVENT_TYPE_RECEIVE:
            if (link)
                Core.Received(link->Conn, {Event.packet->data, Event.packet->dataLength}, now);
            enet_packet_destroy(Event.packet);
            break;
        case ENET_EVENT_TYPE_NONE:
            break;
        }
        Apply();
    }

    // Where a peer is: a machine that came through the relay is seen at a loopback port.
    TAddress Seen(const ENetAddress& Address) const {
        const TAddress seen{Address.host, Address.port};
        const auto machine = Traversal ? Traversal->MachineAt(seen) : std::nullopt;
        return machine ? *machine : seen;
    }

    void Service() {
        if (!Host)
            return;
        ENetEvent event;
        while (Host && enet_host_service(Host, &event, 0) > 0)
            OnEvent(event);
        const auto now = TClock::now();
        for (const auto& [conn, peer] : Peers)
            if (TLink* link = LinkOf(peer)) {
                const std::size_t pieces = PiecesFrom(peer);
                if (pieces != std::exchange(link->Pieces, pieces) && pieces)
                    Core.Heard(conn, now);
            }
        Apply();
    }

    void Tick() {
        const auto now = TClock::now();
        if (BindRetryAt && now >= *BindRetryAt && Core.IsHost() && !OpenQueries())
            BindRetryAt = now + kBindRetry;
        Core.Tick(now);
        Apply();
        Traverse(now);
        if (Core.Finished())
            Stop = true;
    }
};

TSessionNode::TSessionNode(TSessionShared& AShared, const TConnectionData& Connection,
                           std::shared_ptr<TLobbyLink> ALobby)
    : WakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), Lobby(std::move(ALobby)) {
    State = std::make_unique<TState>(AShared, Connection, Lobby, [this] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto written = ::write(WakeFd, &one, sizeof one);
    });
    if (Lobby)
        Lobby->OnPunch([this](const TPunchRequest& Request) {
            Post([Request](TState& S) { S.PunchRequested(Request); });
        });
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
                           const GUID& Instance, TAddress Relay) {
    return Ask<HRESULT>([=](TState& S, std::promise<HRESULT> Reply) {
        S.Join(Ip, Port, Application, Instance, Relay, std::move(Reply));
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

HRESULT TSessionNode::Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data) {
    auto shared = std::make_shared<std::vector<std::uint8_t>>(std::move(Data));
    return Ask<HRESULT>([=](TState& S, std::promise<HRESULT> Reply) {
        Reply.set_value(S.Send(From, To, Guaranteed, std::move(*shared)));
    });
}

bool TSessionNode::IsHost() {
    return Ask<bool>([](TState& S, std::promise<bool> Reply) { Reply.set_value(S.Core.IsHost()); });
}

void TSessionNode::Close() {
    if (Closed)
        return;
    Closed = true;
    if (Lobby)
        Lobby->OnPunch(nullptr);
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
        if (s.Queries.Fd() >= 0)
            fds[n++] = {s.Queries.Fd(), POLLIN, 0};
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
        s.RouterEvents();
        if (s.Host && s.Faults.Active())
            s.Faults.Flush(s.Host);
        if (s.Host)
            enet_host_flush(s.Host);
    }
    s.Shutdown();
    s.FinishRouter();
    // Commands that came after the end still get their answer.
    std::lock_guard<std::mutex> g(CommandLock);
    for (auto& c : Commands)
        c(s);
    Commands.clear();
}

} // namespace dplay
