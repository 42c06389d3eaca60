#include "DirectPlay.h"

#include "AddressDialog.h"
#include "LobbyLink.h"
#include "PlayerName.h"
#include "SessionSearch.h"
#include "platform/dplay/AddressMemory.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

TFailurePlan& DirectPlayFailures() {
    static TFailurePlan plan;
    return plan;
}

namespace dplay {

namespace {

// {00000000-0000-0000-C000-000000000046}
constexpr GUID kIidUnknown{0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::uint16_t PortFromEnvironment(const char* Name, std::uint16_t Default) {
    const char* text = std::getenv(Name);
    if (!text || !*text)
        return Default;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return (*end == 0 && value > 0 && value < 65536) ? static_cast<std::uint16_t>(value) : Default;
}

std::string TextFromEnvironment(const char* Name) {
    const char* text = std::getenv(Name);
    return text ? std::string(text).substr(0, kMaxNameSize) : std::string();
}

bool OnGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

GUID RandomGuid() {
    std::random_device rd;
    GUID g;
    g.Data1 = rd();
    g.Data2 = static_cast<WORD>(rd());
    g.Data3 = static_cast<WORD>((rd() & 0x0FFF) | 0x4000);
    for (auto& b : g.Data4)
        b = static_cast<BYTE>(rd());
    g.Data4[0] = static_cast<BYTE>((g.Data4[0] & 0x3F) | 0x80);
    return g;
}

std::string Text(const char* P) {
    return P ? std::string(P) : std::string();
}

// A received system message laid out as the platform's record, its names after it.
template <class T>
std::vector<std::uint8_t> SystemMessage(const TQueuedMessage& M, DWORD CurrentPlayers) {
    std::vector<std::uint8_t> bytes(sizeof(T) + M.ShortName.size() + 1 + M.LongName.size() + 1);
    T record{};
    record.dwType = M.SysType;
    record.dwPlayerType = DPPLAYERTYPE_PLAYER;
    record.dpId = M.PlayerId;
    if constexpr (requires { record.dwCurrentPlayers; })
        record.dwCurrentPlayers = CurrentPlayers;
    record.dpnName.dwSize = sizeof(DPNAME);
    std::memcpy(bytes.data(), &record, sizeof record);
    std::memcpy(bytes.data() + sizeof(T), M.ShortName.c_str(), M.ShortName.size() + 1);
    std::memcpy(bytes.data() + sizeof(T) + M.ShortName.size() + 1, M.LongName.c_str(),
                M.LongName.size() + 1);
    return bytes;
}

// Points the names of a system message copied to Buffer at its own copies of the texts.
template <class T> void FixNames(std::uint8_t* Buffer, std::size_t ShortSize) {
    auto* record = reinterpret_cast<T*>(Buffer);
    char* names = reinterpret_cast<char*>(Buffer + sizeof(T));
    record->dpnName.lpszShortNameA = names;
    record->dpnName.lpszLongNameA = names + ShortSize + 1;
}

} // namespace

std::vector<TConnectionData> CurrentProviders() {
    const std::uint16_t queryPort =
        PortFromEnvironment("MAREVO_DPLAY_QUERY_PORT", kDefaultQueryPort);
    const std::uint16_t sessionPort = PortFromEnvironment("MAREVO_DPLAY_SESSION_PORT", 0);
    TConnectionData tcp;
    tcp.Kind = TProviderKind::TcpIp;
    tcp.QueryPort = queryPort;
    tcp.SessionPort = sessionPort;
    tcp.Host = TextFromEnvironment("MAREVO_DPLAY_HOST");
    tcp.BindAddress = TextFromEnvironment("MAREVO_DPLAY_BIND");
    TConnectionData lobby = tcp;
    lobby.Kind = TProviderKind::Lobby;
    lobby.Host = TextFromEnvironment("MAREVO_DPLAY_LOBBY");
    TConnectionData loop;
    loop.Kind = TProviderKind::Loopback;
    loop.QueryPort = queryPort;
    loop.SessionPort = sessionPort;
    loop.Host = "127.0.0.1";
    loop.BindAddress = "127.0.0.1";
    return {tcp, lobby, loop};
}

TDirectPlay::TDirectPlay()
    : TComObject(TComFamily{DirectPlayFailures}, "IDirectPlay3A",
                 {IID_IDirectPlay3A, kIidUnknown}) {}

TDirectPlay::~TDirectPlay() {
    if (Node)
        Node->Close();
}

HRESULT TDirectPlay::EnumConnections(LPCGUID, LPDPENUMCONNECTIONSCALLBACK lpEnumCallback,
                                     LPVOID lpContext, DWORD) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::EnumConnections"))
        return hr;
    if (!lpEnumCallback)
        return DPERR_INVALIDPARAMS;
    for (const auto& provider : CurrentProviders()) {
        auto block = EncodeConnection(provider);
        std::string name = provider.Kind == TProviderKind::TcpIp ? "TCP/IP"
                           : provider.Kind == TProviderKind::Lobby
                               ? "インターネット (ロビー)"
                               : "ループバック (このコンピュータ)";
        DPNAME dpName{sizeof(DPNAME), 0, name.data(), name.data()};
        const GUID& sp = provider.Kind == TProviderKind::TcpIp   ? DPSPGUID_MAREVO_TCPIP
                         : provider.Kind == TProviderKind::Lobby ? DPSPGUID_MAREVO_LOBBY
                                                                 : DPSPGUID_MAREVO_LOOPBACK;
        if (!lpEnumCallback(&sp, block.data(), static_cast<DWORD>(block.size()), &dpName, 0,
                            lpContext))
            break;
    }
    return DP_OK;
}

HRESULT TDirectPlay::InitializeConnection(LPVOID lpConnection, DWORD dwFlags) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::InitializeConnection"))
        return hr;
    if (Connection)
        return DPERR_ALREADYINITIALIZED;
    if (!lpConnection)
        return DPERR_INVALIDPARAMS;
    if (dwFlags != 0)
        return DPERR_INVALIDFLAGS;
    const std::uint32_t size = DeclaredConnectionSize(lpConnection);
    if (size < 4 || size > kMaxConnectionSize)
        return DPERR_INVALIDPARAMS;
    auto data = DecodeConnection({static_cast<const std::uint8_t*>(lpConnection), size});
    if (!data)
        return DPERR_INVALIDPARAMS;
    Connection = std::move(*data);
    return DP_OK;
}

HRESULT TDirectPlay::EnumSessions(LPDPSESSIONDESC2 lpsd, DWORD dwTimeout,
                                  LPDPENUMSESSIONSCALLBACK2 lpEnumSessionsCallback2,
                                  LPVOID lpContext, DWORD) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::EnumSessions"))
        return hr;
    if (!Connection)
        return DPERR_UNINITIALIZED;
    if (!lpsd || lpsd->dwSize != sizeof(DPSESSIONDESC2) || !lpEnumSessionsCallback2)
        return DPERR_INVALIDPARAMS;
    // Either provider without a place to search asks the player once, with what it was told
    // last. Nobody is there to ask without a window system; and the local network is searched
    // only when a player asked for it.
    if (Connection->Kind != TProviderKind::Loopback && Connection->Host.empty() && !AddressAsked) {
        const bool lobby = Connection->Kind == TProviderKind::Lobby;
        if (!OnGuiThread())
            return lobby ? DPERR_MAREVO_NOLOBBY : DPERR_NOCONNECTION;
        std::string answer = lobby ? LastLobbyServer() : LastHostAddress();
        if (!(lobby ? AskLobbyServer(answer) : AskHostAddress(answer)))
            return DPERR_USERCANCEL;
        (lobby ? SetLastLobbyServer : SetLastHostAddress)(answer);
        Connection->Host = answer;
        AddressAsked = true;
    }
    std::vector<TFoundSession> found;
    if (Connection->Kind == TProviderKind::Lobby) {
        if (const HRESULT hr = SearchLobby(lpsd->guidApplication, found); hr != DP_OK)
            return hr;
    } else if (const HRESULT hr = SearchNetwork(lpsd->guidApplication, dwTimeout, found);
               hr != DP_OK) {
        return hr;
    }
    for (const auto& f : found) {
        DPSESSIONDESC2 desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = f.Reply.Flags;
        desc.guidInstance = f.Reply.Instance;
        desc.guidApplication = f.Reply.Application;
        desc.dwMaxPlayers = f.Reply.MaxPlayers;
        desc.dwCurrentPlayers = f.Reply.CurrentPlayers;
        std::string name = f.Reply.Name;
        desc.lpszSessionNameA = name.data();
        desc.dwReserved1 = f.Ip;
        desc.dwReserved2 = f.Reply.SessionPort;
        DWORD timeout = 0;
        if (!lpEnumSessionsCallback2(&desc, &timeout, 0, lpContext))
            return DP_OK;
    }
    DWORD timeout = 0;
    lpEnumSessionsCallback2(nullptr, &timeout, DPESC_TIMEDOUT, lpContext);
    return DP_OK;
}

// The lobby is entered once, and kept for the session found there: the host announces in it
// and the joiners ask there to be let in. A lobby that was lost, or another server, is
// entered anew.
HRESULT TDirectPlay::EnterLobby() {
    if (Connection->Host.empty())
        return DPERR_MAREVO_NOLOBBY;
    if (Lobby && Lobby->Config().Domain == Connection->Host && Lobby->Enter({}) == DP_OK)
        return DP_OK;
    TLobbyConfig config;
    config.Domain = Connection->Host;
    config.Address = TextFromEnvironment("MAREVO_DPLAY_LOBBY_ADDRESS");
    SplitHostPort(config.Address, config.Port);
    if (const char* ca = std::getenv("MAREVO_DPLAY_LOBBY_CA"))
        config.CaFile = ca;
    Lobby = std::make_shared<TLobbyLink>(config);
    std::function<void()> pump;
    if (OnGuiThread())
        pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    const HRESULT hr = Lobby->Enter(pump);
    if (hr != DP_OK)
        Lobby.reset();
    return hr;
}

HRESULT TDirectPlay::SearchLobby(const GUID& Application, std::vector<TFoundSession>& Found) {
    if (const HRESULT hr = EnterLobby(); hr != DP_OK)
        return hr;
    // The room's occupants arrive with the entry; a moment more lets late announcements in.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < end) {
        if (OnGuiThread())
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    LobbySessions = Lobby->Sessions(Application);
    for (const auto& s : LobbySessions)
        Found.push_back({s.Reply, s.Host.Ip});
    return DP_OK;
}

HRESULT TDirectPlay::SearchNetwork(const GUID& Application, DWORD Timeout,
                                   std::vector<TFoundSession>& Found) {
    TSearchRequest request;
    request.Host = Connection->Host;
    request.QueryPort = Connection->QueryPort;
    SplitHostPort(request.Host, request.QueryPort);
    request.Application = Application;
    request.TimeoutMs = Timeout == 0 ? 1000 : static_cast<int>(std::min<DWORD>(Timeout, 10000));
    if (OnGuiThread())
        request.Pump = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    return SearchSessions(request, Found);
}

HRESULT TDirectPlay::Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::Open"))
        return hr;
    if (!Connection)
        return DPERR_UNINITIALIZED;
    if (Node)
        return DPERR_ALREADYINITIALIZED;
    if (!lpsd || lpsd->dwSize != sizeof(DPSESSIONDESC2))
        return DPERR_INVALIDPARAMS;
    {
        std::lock_guard<std::mutex> g(Shared.Lock);
        Shared.Clear();
    }
    // A host is announced in the lobby it searched; one that did not search enters it now.
    if (Connection->Kind == TProviderKind::Lobby)
        if (const HRESULT hr = EnterLobby(); hr != DP_OK)
            return hr;
    auto node = std::make_unique<TSessionNode>(
        Shared, *Connection, Connection->Kind == TProviderKind::Lobby ? Lobby : nullptr);
    HRESULT hr;
    if (dwFlags == DPOPEN_CREATE) {
        TCreateConfig config;
        config.Name = Text(lpsd->lpszSessionNameA);
        if (config.Name.size() > kMaxNameSize)
            return DPERR_INVALIDPARAMS;
        config.Application = lpsd->guidApplication;
        config.Instance = RandomGuid();
        config.Flags = lpsd->dwFlags;
        config.MaxPlayers = lpsd->dwMaxPlayers;
        hr = node->Create(config);
    } else if (dwFlags == DPOPEN_JOIN) {
        if (lpsd->dwReserved1 == 0 || lpsd->dwReserved2 == 0 || lpsd->dwReserved2 > 0xFFFF)
            return DPERR_NOSESSIONS;
        TAddress relay;
        for (const auto& s : LobbySessions)
            if (s.Reply.Instance == lpsd->guidInstance && s.Host.Ip == lpsd->dwReserved1)
                relay = s.Relay;
        hr = node->Join(lpsd->dwReserved1, static_cast<std::uint16_t>(lpsd->dwReserved2),
                        lpsd->guidApplication, lpsd->guidInstance, relay);
    } else {
        return DPERR_INVALIDFLAGS;
    }
    if (hr != DP_OK)
        return hr;
    Node = std::move(node);
    return DP_OK;
}

HRESULT TDirectPlay::Close() {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::Close"))
        return hr;
    if (Node) {
        Node->Close();
        Node.reset();
    }
    std::lock_guard<std::mutex> g(Shared.Lock);
    Shared.Clear();
    return DP_OK;
}

HRESULT TDirectPlay::EnumPlayers(LPGUID lpguidInstance,
                                 LPDPENUMPLAYERSCALLBACK2 lpEnumPlayersCallback2, LPVOID lpContext,
                                 DWORD) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::EnumPlayers"))
        return hr;
    if (lpguidInstance)
        return DPERR_UNSUPPORTED;
    if (!lpEnumPlayersCallback2)
        return DPERR_INVALIDPARAMS;
    if (!Node)
        return DPERR_NOSESSIONS;
    std::vector<TPlayerView> players;
    {
        std::lock_guard<std::mutex> g(Shared.Lock);
        players = Shared.Players;
        // The list now shows every arrival and departure told so far: their system messages
        // would tell them twice.
        std::erase_if(Shared.Queue, [](const TQueuedMessage& m) {
            return m.SysType == DPSYS_CREATEPLAYERORGROUP ||
                   m.SysType == DPSYS_DESTROYPLAYERORGROUP;
        });
    }
    for (auto& p : players) {
        DPNAME name{sizeof(DPNAME), 0, p.ShortName.data(), p.LongName.data()};
        if (!lpEnumPlayersCallback2(p.Id, DPPLAYERTYPE_PLAYER, &name, 0, lpContext))
            break;
    }
    return DP_OK;
}

HRESULT TDirectPlay::CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName, LPVOID hEvent, LPVOID,
                                  DWORD, DWORD) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::CreatePlayer"))
        return hr;
    if (!lpidPlayer)
        return DPERR_INVALIDPARAMS;
    if (!Node)
        return DPERR_NOSESSIONS;
    std::string shortName, longName;
    if (lpPlayerName) {
        shortName = Text(lpPlayerName->lpszShortNameA);
        longName = Text(lpPlayerName->lpszLongNameA);
    }
    // Refused here, before the host refuses it, so the caller hears why at once.
    if (!ValidPlayerName(shortName) || !ValidPlayerName(longName))
        return DPERR_INVALIDPARAMS;
    DPID id = 0;
    const HRESULT hr = Node->CreatePlayer(shortName, longName, hEvent, id);
    if (hr == DP_OK)
        *lpidPlayer = id;
    return hr;
}

HRESULT TDirectPlay::Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD dwFlags, LPVOID lpData,
                             LPDWORD lpdwDataSize) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::Receive"))
        return hr;
    if (!lpdwDataSize || !lpidFrom || !lpidTo)
        return DPERR_INVALIDPARAMS;
    if (dwFlags != 0 && dwFlags != DPRECEIVE_ALL)
        return DPERR_INVALIDFLAGS;
    std::lock_guard<std::mutex> g(Shared.Lock);
    if (Shared.Queue.empty())
        return DPERR_NOMESSAGES;
    const TQueuedMessage& m = Shared.Queue.front();
    std::vector<std::uint8_t> system;
    if (m.SysType == DPSYS_CREATEPLAYERORGROUP)
        system = SystemMessage<DPMSG_CREATEPLAYERORGROUP>(m, m.CurrentPlayers);
    else if (m.SysType == DPSYS_DESTROYPLAYERORGROUP)
        system = SystemMessage<DPMSG_DESTROYPLAYERORGROUP>(m, 0);
    else if (m.SysType == DPSYS_MAREVO_ROUTER)
        system = m.Data;
    else if (m.SysType != 0) {
        DPMSG_GENERIC generic{m.SysType};
        system.resize(sizeof generic);
        std::memcpy(system.data(), &generic, sizeof generic);
    }
    const std::vector<std::uint8_t>& bytes = m.SysType ? system : m.Data;
    const auto needed = static_cast<DWORD>(bytes.size());
    // An empty message needs no buffer: asking for one would leave it at the head for ever.
    if (needed > 0 && (!lpData || *lpdwDataSize < needed)) {
        *lpdwDataSize = needed;
        return DPERR_BUFFERTOOSMALL;
    }
    if (needed > 0)
        std::memcpy(lpData, bytes.data(), bytes.size());
    auto* buffer = static_cast<std::uint8_t*>(lpData);
    if (m.SysType == DPSYS_CREATEPLAYERORGROUP)
        FixNames<DPMSG_CREATEPLAYERORGROUP>(buffer, m.ShortName.size());
    else if (m.SysType == DPSYS_DESTROYPLAYERORGROUP)
        FixNames<DPMSG_DESTROYPLAYERORGROUP>(buffer, m.ShortName.size());
    *lpdwDataSize = needed;
    *lpidFrom = m.SysType ? DPID_SYSMSG : m.From;
    *lpidTo = m.To;
    Shared.PopFront();
    // One message per signal: what still waits asks for another turn.
    if (!Shared.Queue.empty())
        Shared.SignalAll();
    return DP_OK;
}

HRESULT TDirectPlay::Send(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData, DWORD dwDataSize) {
    if (const HRESULT hr = DirectPlayFailures().Check("IDirectPlay3A::Send"))
        return hr;
    if (!Node)
        return DPERR_NOSESSIONS;
    if (dwDataSize > kMaxMessageSize)
        return DPERR_SENDTOOBIG;
    // An empty message carries nothing and has no use; a peer that sends one anyway is coped
    // with on receipt.
    if (!lpData || dwDataSize == 0)
        return DPERR_INVALIDPARAMS;
    if (dwFlags & ~DPSEND_GUARANTEED)
        return DPERR_INVALIDFLAGS;
    {
        std::lock_guard<std::mutex> g(Shared.Lock);
        const TPlayerView* from = Shared.Find(idFrom);
        if (!from || !from->Local)
            return DPERR_INVALIDPLAYER;
        if (idTo != DPID_ALLPLAYERS && (idTo == idFrom || !Shared.Find(idTo)))
            return DPERR_INVALIDPLAYER;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(lpData);
    return Node->Send(idFrom, idTo, (dwFlags & DPSEND_GUARANTEED) != 0,
                      std::vector<std::uint8_t>(bytes, bytes + dwDataSize));
}

bool TDirectPlay::IsSessionHost() {
    return Node && Node->IsHost();
}

} // namespace dplay
