#include "tests/platform/DPlayTestPeer.h"

#include "platform/dplay/ComRuntime.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <thread>

namespace dplaytest {

std::uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

std::vector<std::uint8_t> LoopbackConnection(std::uint16_t QueryPort) {
    dplay::TConnectionData c;
    c.Kind = dplay::TProviderKind::Loopback;
    c.QueryPort = QueryPort;
    c.Host = "127.0.0.1";
    c.BindAddress = "127.0.0.1";
    return dplay::EncodeConnection(c);
}

TPeer::TPeer(std::uint16_t QueryPort, GUID AApplication) : Application(AApplication) {
    CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A,
                     reinterpret_cast<LPVOID*>(&Play));
    auto connection = LoopbackConnection(QueryPort);
    Play->InitializeConnection(connection.data(), 0);
}

TPeer::~TPeer() {
    if (Play)
        Play->Release();
    if (Event)
        CloseHandle(Event);
}

HRESULT TPeer::Create(const std::string& Name, DWORD MaxPlayers, DWORD Flags) {
    DPSESSIONDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = Flags;
    d.guidApplication = Application;
    d.dwMaxPlayers = MaxPlayers;
    std::string name = Name;
    d.lpszSessionNameA = name.empty() ? nullptr : name.data();
    return Play->Open(&d, DPOPEN_CREATE);
}

namespace {

struct TSearchContext {
    std::vector<DPSESSIONDESC2>* Found;
    std::vector<std::string>* Names;
};

BOOL SessionFound(LPCDPSESSIONDESC2 Desc, LPDWORD, DWORD, LPVOID Context) {
    auto* c = static_cast<TSearchContext*>(Context);
    if (!Desc)
        return FALSE;
    c->Found->push_back(*Desc);
    c->Found->back().lpszSessionNameA = nullptr;
    if (c->Names)
        c->Names->push_back(Desc->lpszSessionNameA ? Desc->lpszSessionNameA : "");
    return TRUE;
}

BOOL PlayerFound(DPID Id, DWORD, LPCDPNAME Name, DWORD, LPVOID Context) {
    static_cast<std::vector<std::pair<DPID, std::string>>*>(Context)->emplace_back(
        Id, Name->lpszLongNameA);
    return TRUE;
}

} // namespace

HRESULT TPeer::Search(std::vector<DPSESSIONDESC2>& Found, std::vector<std::string>* Names) {
    DPSESSIONDESC2 d{};
    d.dwSize = sizeof d;
    d.guidApplication = Application;
    TSearchContext context{&Found, Names};
    return Play->EnumSessions(&d, 0, SessionFound, &context, DPENUMSESSIONS_AVAILABLE);
}

HRESULT TPeer::Join(const DPSESSIONDESC2& Desc) {
    DPSESSIONDESC2 d = Desc;
    return Play->Open(&d, DPOPEN_JOIN);
}

HRESULT TPeer::AddPlayer(const std::string& Name, const char* LongName) {
    if (!Event)
        Event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::string s = Name, l = LongName ? LongName : Name;
    DPNAME n{sizeof n, 0, s.data(), l.data()};
    return Play->CreatePlayer(&Player, &n, Event, nullptr, 0, 0);
}

std::vector<std::pair<DPID, std::string>> TPeer::Players() {
    std::vector<std::pair<DPID, std::string>> list;
    Play->EnumPlayers(nullptr, PlayerFound, &list, 0);
    return list;
}

HRESULT TPeer::SendTo(DPID To, const std::vector<std::uint8_t>& Data, bool Guaranteed) {
    return Play->Send(Player, To, Guaranteed ? DPSEND_GUARANTEED : 0,
                      const_cast<std::uint8_t*>(Data.data()), static_cast<DWORD>(Data.size()));
}

std::vector<TArrival> TPeer::Drain() {
    std::vector<TArrival> out;
    for (;;) {
        DPID from = 0, to = 0;
        DWORD size = 0;
        HRESULT hr = Play->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size);
        std::vector<std::uint8_t> buffer;
        // An empty message comes at the first call.
        if (hr == DPERR_BUFFERTOOSMALL) {
            buffer.resize(size);
            hr = Play->Receive(&from, &to, DPRECEIVE_ALL, buffer.data(), &size);
        }
        if (hr != DP_OK)
            return out;
        TArrival a;
        a.From = from;
        a.To = to;
        if (from == DPID_SYSMSG) {
            std::memcpy(&a.SysType, buffer.data(), sizeof(DWORD));
            if (a.SysType == DPSYS_CREATEPLAYERORGROUP) {
                const auto* m = reinterpret_cast<const DPMSG_CREATEPLAYERORGROUP*>(buffer.data());
                a.PlayerId = m->dpId;
                a.ShortName = m->dpnName.lpszShortNameA;
                a.LongName = m->dpnName.lpszLongNameA;
            } else if (a.SysType == DPSYS_DESTROYPLAYERORGROUP) {
                const auto* m = reinterpret_cast<const DPMSG_DESTROYPLAYERORGROUP*>(buffer.data());
                a.PlayerId = m->dpId;
                a.ShortName = m->dpnName.lpszShortNameA;
                a.LongName = m->dpnName.lpszLongNameA;
            }
        } else {
            a.Data = std::move(buffer);
        }
        out.push_back(std::move(a));
    }
}

bool TPeer::WaitFor(const std::function<bool(const std::vector<TArrival>&)>& Done,
                    std::chrono::milliseconds Limit, std::vector<TArrival>& Collected) {
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (!Done(Collected)) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        if (Event)
            WaitForSingleObject(Event, 20);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (auto& a : Drain())
            Collected.push_back(std::move(a));
    }
    return true;
}

} // namespace dplaytest
