#include "LobbyLink.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sodium.h>
#include <strophe.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace dplay {

namespace {

constexpr const char* kLobbyNs = "urn:marevo:lobby:1";
constexpr const char* kMucNs = "http://jabber.org/protocol/muc";
constexpr const char* kDiscoNs = "urn:xmpp:extdisco:2";
// Longest host name, user name or password of a service the server hands out.
constexpr std::size_t kMaxServiceText = 255;

enum class TPhase { Connecting, InRoom, Unreachable, Refused, Lost };

std::string RandomNick() {
    unsigned char bytes[8];
    randombytes_buf(bytes, sizeof bytes);
    char text[sizeof bytes * 2 + 1];
    sodium_bin2hex(text, sizeof text, bytes, sizeof bytes);
    return std::string("m") + text;
}

// A host name or dotted address, to an IPv4 address in network order (0: none).
std::uint32_t Resolve(const std::string& Host) {
    in_addr a{};
    if (::inet_pton(AF_INET, Host.c_str(), &a) == 1)
        return a.s_addr;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(Host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return 0;
    const std::uint32_t ip = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return ip;
}

std::string Attribute(xmpp_stanza_t* Stanza, const char* Name) {
    const char* value = xmpp_stanza_get_attribute(Stanza, Name);
    return value && std::strlen(value) <= kMaxServiceText ? value : "";
}

void InitializeLibrary() {
    static const bool done = [] {
        xmpp_initialize();
        return true;
    }();
    (void)done;
}

} // namespace

struct TLobbyLink::TState {
    explicit TState(const TLobbyConfig& AConfig)
        : Config(AConfig), RoomJid(AConfig.Room + "@rooms." + AConfig.Domain), Nick(RandomNick()),
          Thread([this] { Run(); }) {}

    ~TState() {
        {
            std::lock_guard<std::mutex> g(Lock);
            Stop = true;
        }
        Thread.join();
    }

    const TLobbyConfig Config;
    const std::string RoomJid;
    const std::string Nick;

    std::mutex Lock; // guards everything below
    std::condition_variable Changed;
    TPhase Phase = TPhase::Connecting;
    bool Stop = false;
    std::deque<std::function<void()>> Commands;     // run on the lobby's thread
    std::map<std::string, TLobbySession> Announced; // by occupant
    std::string OwnAnnouncement;
    std::mutex HandlerLock; // guards PunchHandler, also while it runs
    std::function<void(const TPunchRequest&)> PunchHandler;
    std::optional<TAddress> Stun;
    std::optional<TRelayService> Turn;

    // The lobby's thread alone.
    xmpp_log_t Log{};
    xmpp_ctx_t* Ctx = nullptr;
    xmpp_conn_t* Conn = nullptr;
    bool Online = false;
    bool Trusted = false; // the server proved its name
    std::thread Thread;

    void Post(std::function<void()> Command) {
        std::lock_guard<std::mutex> g(Lock);
        Commands.push_back(std::move(Command));
    }

    void SetPhase(TPhase Now) {
        std::lock_guard<std::mutex> g(Lock);
        // The first failure is the one to tell; a later disconnection does not hide it.
        if (Phase == TPhase::Connecting || Phase == TPhase::InRoom)
            Phase = Now;
        Changed.notify_all();
    }

    void Run() {
        InitializeLibrary();
        Log = {&TState::OnLog, this};
        Ctx = xmpp_ctx_new(nullptr, &Log);
        Conn = xmpp_conn_new(Ctx);
        xmpp_conn_set_jid(Conn, Config.Domain.c_str());
        xmpp_conn_set_flags(Conn, XMPP_CONN_FLAG_MANDATORY_TLS);
        if (!Config.CaFile.empty())
            xmpp_conn_set_cafile(Conn, Config.CaFile.c_str());
        xmpp_conn_set_sockopt_callback(Conn, xmpp_sockopt_cb_keepalive);
        if (xmpp_connect_client(Conn, Config.Address.empty() ? nullptr : Config.Address.c_str(),
                                Config.Port, &TState::OnConnection, this) != XMPP_EOK)
            SetPhase(TPhase::Unreachable);
        const auto started = std::chrono::steady_clock::now();
        for (;;) {
            std::deque<std::function<void()>> commands;
            {
                std::lock_guard<std::mutex> g(Lock);
                if (Stop)
                    break;
                commands.swap(Commands);
                if (Phase == TPhase::Connecting &&
                    std::chrono::steady_clock::now() - started > kEnterTime) {
                    Phase = TPhase::Unreachable;
                    Changed.notify_all();
                }
            }
            for (auto& c : commands)
                c();
            xmpp_run_once(Ctx, 50);
        }
        if (Online) {
            // Leaves the room at once rather than when the server notices.
            xmpp_disconnect(Conn);
            for (int i = 0; i < 20 && Online; ++i)
                xmpp_run_once(Ctx, 50);
        }
        xmpp_conn_release(Conn);
        xmpp_ctx_free(Ctx);
    }

    // The client tells of its trust in the server only in its log.
    static void OnLog(void* Data, xmpp_log_level_t, const char* Area, const char* Message) {
        if (Area && Message && std::strcmp(Area, "tls") == 0 &&
            std::strcmp(Message, "Certificate verification passed") == 0)
            static_cast<TState*>(Data)->Trusted = true;
    }

    static void OnConnection(xmpp_conn_t*, xmpp_conn_event_t Event, int,
                             xmpp_stream_error_t* StreamError, void* Data) {
        auto* self = static_cast<TState*>(Data);
        if (Event == XMPP_CONN_CONNECT) {
            self->Online = true;
            self->SignedIn();
            return;
        }
        const bool wasOnline = std::exchange(self->Online, false);
        // A server that was never reached, or not as the one it claims to be, cannot be
        // reached; one that spoke over a trusted channel and then showed the door refused.
        if (wasOnline)
            self->SetPhase(TPhase::Lost);
        else if (StreamError || self->Trusted)
            self->SetPhase(TPhase::Refused);
        else
            self->SetPhase(TPhase::Unreachable);
    }

    void SignedIn() {
        xmpp_handler_add(Conn, &TState::OnPresence, nullptr, "presence", nullptr, this);
        xmpp_handler_add(Conn, &TState::OnMessage, nullptr, "message", "chat", this);
        xmpp_id_handler_add(Conn, &TState::OnServices, "services", this);
        SendPresence();
        xmpp_stanza_t* iq = xmpp_iq_new(Ctx, "get", "services");
        xmpp_stanza_set_to(iq, Config.Domain.c_str());
        AddChild(Ctx, iq, "services", kDiscoNs);
        xmpp_send(Conn, iq);
        xmpp_stanza_release(iq);
    }

    // A new element inside Parent, which holds it from then on.
    static xmpp_stanza_t* AddChild(xmpp_ctx_t* Ctx, xmpp_stanza_t* Parent, const char* Name,
                                   const char* Ns = nullptr) {
        xmpp_stanza_t* child = xmpp_stanza_new(Ctx);
        xmpp_stanza_set_name(child, Name);
        if (Ns)
            xmpp_stanza_set_ns(child, Ns);
        xmpp_stanza_add_child(Parent, child);
        xmpp_stanza_release(child);
        return child;
    }

    static void AddText(xmpp_ctx_t* Ctx, xmpp_stanza_t* Parent, const std::string& Text) {
        xmpp_stanza_t* text = xmpp_stanza_new(Ctx);
        xmpp_stanza_set_text(text, Text.c_str());
        xmpp_stanza_add_child(Parent, text);
        xmpp_stanza_release(text);
    }

    // Into the room (again, with what this machine announces now). No history: the room's
    // past is nobody's business.
    void SendPresence() {
        if (!Online)
            return;
        std::string announcement;
        {
            std::lock_guard<std::mutex> g(Lock);
            announcement = OwnAnnouncement;
        }
        xmpp_stanza_t* presence = xmpp_presence_new(Ctx);
        xmpp_stanza_set_to(presence, (RoomJid + "/" + Nick).c_str());
        xmpp_stanza_t* muc = AddChild(Ctx, presence, "x", kMucNs);
        xmpp_stanza_set_attribute(AddChild(Ctx, muc, "history"), "maxstanzas", "0");
        if (!announcement.empty())
            AddText(Ctx, AddChild(Ctx, presence, "game", kLobbyNs), announcement);
        xmpp_send(Conn, presence);
        xmpp_stanza_release(presence);
    }

    // The occupant of our room a stanza comes from; empty when it comes from elsewhere.
    std::string OccupantOf(xmpp_stanza_t* Stanza) const {
        const char* from = xmpp_stanza_get_from(Stanza);
        if (!from)
            return {};
        const std::string_view f(from);
        if (f.size() <= RoomJid.size() + 1 || f.substr(0, RoomJid.size()) != RoomJid ||
            f[RoomJid.size()] != '/')
            return {};
        return std::string(f.substr(RoomJid.size() + 1));
    }

    static std::optional<std::string> TextOf(xmpp_stanza_t* Parent, const char* Name) {
        xmpp_stanza_t* child = xmpp_stanza_get_child_by_name_and_ns(Parent, Name, kLobbyNs);
        if (!child)
            return std::nullopt;
        xmpp_stanza_t* text = xmpp_stanza_get_children(child);
        const char* value = text ? xmpp_stanza_get_text_ptr(text) : nullptr;
        if (!value || std::strlen(value) > kMaxLobbyText)
            return std::string();
        return std::string(value);
    }

    static int OnPresence(xmpp_conn_t*, xmpp_stanza_t* Stanza, void* Data) {
        auto* self = static_cast<TState*>(Data);
        const std::string occupant = self->OccupantOf(Stanza);
        if (occupant.empty())
            return 1;
        const char* type = xmpp_stanza_get_type(Stanza);
        const bool own = occupant == self->Nick;
        if (own) {
            self->SetPhase(type && std::strcmp(type, "error") == 0 ? TPhase::Refused
                                                                   : TPhase::InRoom);
            return 1;
        }
        std::lock_guard<std::mutex> g(self->Lock);
        self->Announced.erase(occupant);
        if (type && std::strcmp(type, "unavailable") == 0)
            return 1;
        if (const auto text = TextOf(Stanza, "game")) {
            auto session = DecodeLobbySession(*text);
            if (session && self->Announced.size() < kMaxSessions)
                self->Announced[occupant] = std::move(*session);
        }
        return 1;
    }

    static int OnMessage(xmpp_conn_t*, xmpp_stanza_t* Stanza, void* Data) {
        auto* self = static_cast<TState*>(Data);
        if (self->OccupantOf(Stanza).empty())
            return 1;
        const auto text = TextOf(Stanza, "punch");
        const auto request = text ? DecodePunchRequest(*text) : std::nullopt;
        if (!request)
            return 1;
        // Called under its own lock, so that whoever takes the handler away knows it is no
        // longer running once OnPunch returns.
        std::lock_guard<std::mutex> g(self->HandlerLock);
        if (self->PunchHandler)
            self->PunchHandler(*request);
        return 1;
    }

    static int OnServices(xmpp_conn_t*, xmpp_stanza_t* Stanza, void* Data) {
        auto* self = static_cast<TState*>(Data);
        xmpp_stanza_t* services =
            xmpp_stanza_get_child_by_name_and_ns(Stanza, "services", kDiscoNs);
        if (!services)
            return 0;
        std::optional<TAddress> stun;
        std::optional<TRelayService> turn;
        for (xmpp_stanza_t* s = xmpp_stanza_get_children(services); s;
             s = xmpp_stanza_get_next(s)) {
            const char* name = xmpp_stanza_get_name(s);
            if (!name || std::strcmp(name, "service") != 0 ||
                (!Attribute(s, "transport").empty() && Attribute(s, "transport") != "udp"))
                continue;
            const std::string kind = Attribute(s, "type");
            const long port = std::strtol(Attribute(s, "port").c_str(), nullptr, 10);
            const std::uint32_t ip = Resolve(Attribute(s, "host"));
            const TAddress server{ip, static_cast<std::uint16_t>(port)};
            if (port <= 0 || port > 0xFFFF || !PlausiblePeer(server))
                continue;
            if (kind == "stun" && !stun)
                stun = server;
            if (kind == "turn" && !turn && !Attribute(s, "username").empty())
                turn = TRelayService{server, Attribute(s, "username"), Attribute(s, "password")};
        }
        std::lock_guard<std::mutex> g(self->Lock);
        self->Stun = stun;
        self->Turn = turn;
        return 0;
    }

    void SendPunch(const std::string& Occupant, const std::string& Text) {
        if (!Online)
            return;
        xmpp_stanza_t* message =
            xmpp_message_new(Ctx, "chat", (RoomJid + "/" + Occupant).c_str(), nullptr);
        AddText(Ctx, AddChild(Ctx, message, "punch", kLobbyNs), Text);
        xmpp_send(Conn, message);
        xmpp_stanza_release(message);
    }
};

TLobbyLink::TLobbyLink(TLobbyConfig Config)
    : Settings(std::move(Config)), State(std::make_unique<TState>(Settings)) {}

TLobbyLink::~TLobbyLink() = default;

HRESULT TLobbyLink::Enter(const std::function<void()>& Pump) {
    std::unique_lock<std::mutex> g(State->Lock);
    while (State->Phase == TPhase::Connecting) {
        if (Pump) {
            g.unlock();
            Pump();
            g.lock();
        }
        State->Changed.wait_for(g, std::chrono::milliseconds(20));
    }
    switch (State->Phase) {
    case TPhase::InRoom:
        return DP_OK;
    case TPhase::Refused:
        return DPERR_LOGONDENIED;
    default:
        return DPERR_MAREVO_NOLOBBY;
    }
}

std::vector<TLobbySession> TLobbyLink::Sessions(const GUID& Application) {
    std::lock_guard<std::mutex> g(State->Lock);
    const auto& announced = State->Announced;
    std::vector<TLobbySession> found;
    for (const auto& entry : announced) {
        const TLobbySession& s = entry.second;
        // Occupants announcing one instance: all but one of them lie, and none is shown.
        const auto claims = std::count_if(announced.begin(), announced.end(), [&](const auto& e) {
            return e.second.Reply.Instance == s.Reply.Instance;
        });
        if (s.Reply.Application == Application && claims == 1)
            found.push_back(s);
    }
    return found;
}

void TLobbyLink::Announce(const std::string& Text) {
    {
        std::lock_guard<std::mutex> g(State->Lock);
        if (State->OwnAnnouncement == Text)
            return;
        State->OwnAnnouncement = Text;
    }
    State->Post([s = State.get()] { s->SendPresence(); });
}

bool TLobbyLink::AskPunch(const TPunchRequest& Request) {
    std::string occupant;
    {
        std::lock_guard<std::mutex> g(State->Lock);
        for (const auto& [nick, s] : State->Announced)
            if (s.Reply.Instance == Request.Instance)
                occupant = nick;
    }
    if (occupant.empty())
        return false;
    State->Post([s = State.get(), occupant, text = EncodePunchRequest(Request)] {
        s->SendPunch(occupant, text);
    });
    return true;
}

void TLobbyLink::OnPunch(std::function<void(const TPunchRequest&)> Handler) {
    std::lock_guard<std::mutex> g(State->HandlerLock);
    State->PunchHandler = std::move(Handler);
}

std::optional<TAddress> TLobbyLink::StunServer() {
    {
        std::lock_guard<std::mutex> g(State->Lock);
        if (State->Stun)
            return State->Stun;
    }
    const std::uint32_t ip = Resolve(Settings.Address.empty() ? Settings.Domain : Settings.Address);
    if (!ip)
        return std::nullopt;
    return TAddress{ip, 3478};
}

std::optional<TRelayService> TLobbyLink::Relay() {
    std::lock_guard<std::mutex> g(State->Lock);
    return State->Turn;
}

} // namespace dplay
