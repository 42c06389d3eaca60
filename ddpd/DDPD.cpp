#include "ddpd/DDPD.h"
#include "ddpd/DDPDRouterText.h"

#include "DDPDForm.h"
#include "platform/dplay/AddressMemory.h"
#include "platform/dplay/ComRuntime.h"
#include "platform/rtl/ShiftJis.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace ddpd {

namespace {

// The component runtime lives as long as the program.
struct TComRuntime {
    TComRuntime() { CoInitialize(nullptr); }
    ~TComRuntime() { CoUninitialize(); }
} ComRuntime;

const char* const kInvalidProperty = "は無効なプロパティです";
constexpr int kReceiveTries = 3;

BOOL ConnectionCallback(LPCGUID, LPVOID lpConnection, DWORD dwConnectionSize, LPCDPNAME lpName,
                        DWORD, LPVOID lpContext) {
    auto* list = static_cast<TObjectStrings<TConnectionBlock>*>(lpContext);
    const auto* bytes = static_cast<const std::uint8_t*>(lpConnection);
    list->Add(lpName && lpName->lpszShortNameA ? lpName->lpszShortNameA : "",
              std::make_unique<TConnectionBlock>(bytes, bytes + dwConnectionSize));
    return TRUE;
}

// Names cross the service in Shift-JIS, like every other text between players; the
// component's lists and events hold them as the program does, in UTF-8.
std::string NameFromService(const char* P) {
    return P ? ShiftJisToUtf8(P) : std::string();
}

BOOL SessionCallback(LPCDPSESSIONDESC2 lpThisSD, LPDWORD, DWORD, LPVOID lpContext) {
    if (!lpThisSD)
        return FALSE;
    auto copy = std::make_unique<DPSESSIONDESC2>(*lpThisSD);
    // The name lives in the service's memory only during the callback.
    copy->lpszSessionNameA = nullptr;
    copy->lpszPasswordA = nullptr;
    static_cast<TObjectStrings<DPSESSIONDESC2>*>(lpContext)->Add(
        NameFromService(lpThisSD->lpszSessionNameA), std::move(copy));
    return TRUE;
}

BOOL PlayerCallback(DPID dpId, DWORD, LPCDPNAME lpName, DWORD, LPVOID lpContext) {
    static_cast<TDDPDPlayers*>(lpContext)->Add(std::make_unique<TDDPDPlayer>(
        dpId, NameFromService(lpName ? lpName->lpszShortNameA : nullptr),
        NameFromService(lpName ? lpName->lpszLongNameA : nullptr)));
    return TRUE;
}

bool IsHex(const std::string& S) {
    for (const char c : S)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

[[noreturn]] void Invalid(const std::string& Piece) {
    throw EDDPD(Piece + kInvalidProperty);
}

// Blanks and control characters, as the runtime's trim takes them.
std::string Trim(const std::string& S) {
    std::size_t b = 0, e = S.size();
    while (b < e && static_cast<unsigned char>(S[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ')
        --e;
    return S.substr(b, e - b);
}

} // namespace

TDDPD::~TDDPD() {
    if (ReceiveThread)
        ReceiveThread->Terminate();
    if (!Designing)
        ReleaseRef(DirectPlay);
    StopReceiving();
}

void TDDPD::CreateDirectPlay() {
    CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A,
                     reinterpret_cast<LPVOID*>(&DirectPlay));
}

void TDDPD::ListConnections() {
    Connections = std::make_unique<TObjectStrings<TConnectionBlock>>();
    // Without a service object there is nothing to list; the search reports it later.
    if (DirectPlay)
        DirectPlay->EnumConnections(&FAppGuid, ConnectionCallback, Connections.get(),
                                    DPCONNECTION_DIRECTPLAY);
}

void TDDPD::Loaded() {
    if (Designing)
        return;
    CreateDirectPlay();
    ListConnections();
}

std::string TDDPD::RememberedAddress() {
    return dplay::LastHostAddress();
}

void TDDPD::SetRememberedAddress(const std::string& Address) {
    dplay::SetLastHostAddress(Address);
}

std::string TDDPD::RememberedLobby() {
    return dplay::LastLobbyServer();
}

void TDDPD::SetRememberedLobby(const std::string& Server) {
    dplay::SetLastLobbyServer(Server);
}

bool TDDPD::ShowConnectDialog() {
    TDDPDForm form;
    form.DDPD = this;
    return form.exec() == mrOk;
}

std::int32_t TDDPD::SelectConnection(int Index) {
    if (ConnectionReady) {
        // A service object takes one provider in its life: a second choice needs a new one.
        if (SessionOpen) {
            CloseSession();
            SessionOpen = false;
        }
        ReleaseRef(DirectPlay);
        CreateDirectPlay();
        ListConnections();
    }
    if (!DirectPlay || !Connections || Index < 0 || Index >= Connections->Count()) {
        ReportError(DirectPlay ? DPERR_INVALIDPARAMS : DPERR_UNINITIALIZED,
                    "セッションの列挙に失敗しました");
    }
    ChosenConnection = Connections->Strings(Index);
    const std::int32_t r = DirectPlay->InitializeConnection(Connections->Objects(Index)->data(), 0);
    // The log switch is off in this unit: a failed initialisation is not reported by itself;
    // the search below reports its own failure, and r reaches the caller.
    ConnectionReady = true;
    Sessions = std::make_unique<TObjectStrings<DPSESSIONDESC2>>();
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = FAppGuid;
    ReportError(DirectPlay->EnumSessions(&desc, 0, SessionCallback, Sessions.get(),
                                         DPENUMSESSIONS_AVAILABLE),
                "セッションの列挙に失敗しました");
    return r;
}

void TDDPD::RenewPlayers() {
    LocalPlayer = nullptr;
    LocalPlayerID = 0;
    Players = std::make_unique<TDDPDPlayers>();
}

DPSESSIONDESC2 TDDPD::FoundSession(int Index) {
    if (!Sessions || Index < 0 || Index >= Sessions->Count())
        ReportError(DPERR_INVALIDPARAMS, "セッションのオープンに失敗しました");
    return *Sessions->Objects(Index);
}

void TDDPD::OpenAndListPlayers(DPSESSIONDESC2& Desc, DWORD Flags) {
    ReportError(DirectPlay->Open(&Desc, Flags), "セッションのオープンに失敗しました");
    SessionOpen = true;
    RenewPlayers();
    ReportError(DirectPlay->EnumPlayers(nullptr, PlayerCallback, Players.get(), 0),
                "プレイヤーの列挙に失敗しました");
}

void TDDPD::ListSessionPlayers(int Index) {
    if (SessionOpen)
        CloseSession();
    DPSESSIONDESC2 desc = FoundSession(Index);
    OpenAndListPlayers(desc, DPOPEN_JOIN);
    ReportError(DirectPlay->Close(), "セッションのクローズに失敗しました");
    SessionOpen = false;
}

std::int32_t TDDPD::CreateSession(const std::string& SessionName, const std::string& ShortName,
                                  const std::string& LongName) {
    if (SessionOpen)
        CloseSession();
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DPSESSION_KEEPALIVE | DPSESSION_MIGRATEHOST;
    if (NoMessageID)
        desc.dwFlags |= DPSESSION_NOMESSAGEID;
    desc.guidApplication = FAppGuid;
    desc.dwMaxPlayers = static_cast<DWORD>(MaxPlayers);
    std::string name = Utf8ToShiftJis(SessionName);
    desc.lpszSessionNameA = name.empty() ? nullptr : name.data();
    OpenAndListPlayers(desc, DPOPEN_CREATE);
    return CreateLocalPlayer(ShortName, LongName);
}

std::int32_t TDDPD::JoinSession(int Index, const std::string& ShortName,
                                const std::string& LongName) {
    if (SessionOpen)
        CloseSession();
    DPSESSIONDESC2 desc = FoundSession(Index);
    OpenAndListPlayers(desc, DPOPEN_JOIN);
    return CreateLocalPlayer(ShortName, LongName);
}

bool TDDPD::NameFits(const std::string& Name) {
    return Utf8ToShiftJis(Name).size() <= kMaxNameBytes;
}

std::int32_t TDDPD::CreateLocalPlayer(const std::string& ShortName, const std::string& LongName) {
    StopReceiving();
    ReceiveEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::string shortName = Utf8ToShiftJis(ShortName), longName = Utf8ToShiftJis(LongName);
    DPNAME name{sizeof(DPNAME), 0, shortName.data(), longName.data()};
    DPID id = 0;
    ReportError(DirectPlay->CreatePlayer(&id, &name, ReceiveEvent, nullptr, 0, 0),
                "プレーヤの作成に失敗しました");
    ReceiveThread = std::make_unique<TDDPDReceiveThread>(this, ReceiveEvent);
    ReceiveThread->Start();
    LocalPlayerID = id;
    auto player = std::make_unique<TDDPDPlayer>(id, ShortName, LongName);
    LocalPlayer = player.get();
    Players->Add(std::move(player));
    return 0;
}

void TDDPD::StopReceiving() {
    // Closing the event ends the thread's wait; after that nothing touches the component.
    if (ReceiveThread)
        ReceiveThread->Terminate();
    if (ReceiveEvent) {
        CloseHandle(ReceiveEvent);
        ReceiveEvent = nullptr;
    }
    ReceiveThread.reset();
}

void TDDPD::CloseSession() {
    if (ReceiveThread)
        ReceiveThread->Terminate();
    const HRESULT hr = DirectPlay->Close();
    StopReceiving();
    ReportError(hr, "セッションのクローズに失敗しました");
}

void TDDPD::SendData(DPID ToID, const void* Data, std::int32_t Size) {
    const DPID from = LocalPlayer ? LocalPlayer->ID : 0;
    const HRESULT hr =
        DirectPlay
            ? DirectPlay->Send(from, ToID, SendGuaranteed ? DPSEND_GUARANTEED : 0,
                               const_cast<void*>(Data), static_cast<DWORD>(std::max(Size, 0)))
            : DPERR_UNINITIALIZED;
    ReportError(hr, "メッセージの送信に失敗しました");
}

void TDDPD::ReceiveMessage() {
    if (!DirectPlay)
        return;
    DPID from = 0, to = 0;
    DWORD size = 0;
    std::vector<std::uint8_t> buffer;
    HRESULT hr = DirectPlay->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size);
    // Never a null buffer the second time, even for an empty message, and a size that changed
    // in between is asked for again: either would leave the message at the head for good.
    for (int tries = 0; hr == DPERR_BUFFERTOOSMALL && tries < kReceiveTries; ++tries) {
        buffer.resize(std::max<DWORD>(size, 1));
        size = static_cast<DWORD>(buffer.size());
        hr = DirectPlay->Receive(&from, &to, DPRECEIVE_ALL, buffer.data(), &size);
    }
    if (hr == DP_OK && buffer.empty())
        buffer.resize(1); // an empty message still arrives with a valid pointer
    if (hr == DPERR_NOMESSAGES)
        return;
    if (hr != DP_OK) {
        char text[160];
        std::snprintf(text, sizeof text, "メッセージの受信時に、エラーが発生しました %.8x",
                      static_cast<unsigned>(hr));
        DebugLog(text);
        return;
    }
    if (from == DPID_SYSMSG) {
        DWORD type = 0;
        if (size < sizeof type)
            return;
        std::memcpy(&type, buffer.data(), sizeof type);
        if (type == DPSYS_CREATEPLAYERORGROUP && size >= sizeof(DPMSG_CREATEPLAYERORGROUP)) {
            DPMSG_CREATEPLAYERORGROUP m;
            std::memcpy(&m, buffer.data(), sizeof m);
            auto player =
                std::make_unique<TDDPDPlayer>(m.dpId, NameFromService(m.dpnName.lpszShortNameA),
                                              NameFromService(m.dpnName.lpszLongNameA));
            TDDPDPlayer* p = player.get();
            Players->Add(std::move(player));
            if (OnComesNewChallenger)
                OnComesNewChallenger(this, p, p->ShortName, p->LongName);
        } else if (type == DPSYS_MAREVO_ROUTER && size >= sizeof(DPMSG_MAREVO_ROUTER)) {
            DPMSG_MAREVO_ROUTER m;
            std::memcpy(&m, buffer.data(), sizeof m);
            if (const std::string text = RouterNoticeText(m); !text.empty() && OnNetworkNotice)
                OnNetworkNotice(this, text);
        } else if (type == DPSYS_DESTROYPLAYERORGROUP &&
                   size >= sizeof(DPMSG_DESTROYPLAYERORGROUP)) {
            DPMSG_DESTROYPLAYERORGROUP m;
            std::memcpy(&m, buffer.data(), sizeof m);
            const int index = Players->IndexOfPlayer(m.dpId);
            if (index < 0)
                return;
            const auto player = Players->Extract(index);
            if (player.get() == LocalPlayer)
                LocalPlayer = nullptr;
            if (OnEscapeChallenger)
                OnEscapeChallenger(this, player.get(), player->ShortName, player->LongName);
        }
        return;
    }
    if (OnArriveMessage) {
        TDDPDPlayer* sender = NoMessageID ? nullptr : Players->FindPlayer(from);
        OnArriveMessage(this, sender, buffer.data(), static_cast<std::int32_t>(size));
    }
}

std::string TDDPD::AppGuid() const {
    char text[40];
    const GUID& g = FAppGuid;
    std::snprintf(text, sizeof text, "{%.8X-%.4X-%.4X-%.2X%.2X-%.2X%.2X%.2X%.2X%.2X%.2X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

void TDDPD::SetAppGuid(const std::string& Value) {
    const std::string text = Trim(Value);
    // Shapes the parse below would misread: refused whole.
    if (text.size() == 28 || (text.size() >= 28 && text[0] == '{' && text[27] == '}'))
        Invalid(text);
    std::size_t p = text.find('-');
    if (p == std::string::npos)
        Invalid("");
    const std::string group1 = p >= 1 ? text.substr(1, p - 1) : std::string();
    if (group1.size() != 8 || !IsHex(group1))
        Invalid(group1);
    std::string rest = text.substr(p + 1);
    std::string groups[3];
    for (auto& g : groups) {
        p = rest.find('-');
        if (p == std::string::npos)
            Invalid("");
        g = rest.substr(0, p);
        rest = rest.substr(p + 1);
        if (g.size() != 4 || (&g != &groups[2] && !IsHex(g)))
            Invalid(g);
    }
    const std::string group5 = rest.empty() ? std::string() : rest.substr(0, rest.size() - 1);
    if (group5.size() != 12)
        Invalid(group5);
    const std::string last16 = groups[2] + group5;
    if (!IsHex(last16))
        Invalid(group5);
    GUID g;
    g.Data1 = static_cast<DWORD>(std::stoul(group1, nullptr, 16));
    g.Data2 = static_cast<WORD>(std::stoul(groups[0], nullptr, 16));
    g.Data3 = static_cast<WORD>(std::stoul(groups[1], nullptr, 16));
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<BYTE>(std::stoul(last16.substr(2 * i, 2), nullptr, 16));
    FAppGuid = g;
}

} // namespace ddpd
