#pragma once
// Shared by the component's tests: a private query port for each test, and waiting while the
// GUI thread's events run.

#include "ddpd/DDPD.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ddpdtest {

// Points the providers at a query port of this test's own, so tests run side by side.
std::uint16_t UsePrivateQueryPort();

// Runs the GUI thread's events until Done() or the time is up; returns Done().
bool PumpUntil(const std::function<bool()>& Done,
               std::chrono::milliseconds Limit = std::chrono::milliseconds(5000));

// The provider that stays on this computer (127.0.0.1 only).
inline constexpr int kLoopbackProvider = 2;

// A loaded component with the zero application identifier.
std::unique_ptr<ddpd::TDDPD> LoadedComponent();

// Records what the component hands the platform; answers as an empty service would.
struct TRecordingPlay final : IDirectPlay3A {
    std::vector<DPSESSIONDESC2> Opened;
    std::vector<std::string> OpenedNames;
    std::vector<DWORD> SendFlags;
    std::vector<DPID> SendTo;
    std::vector<std::string> PlayerNames;
    HRESULT ReceiveResult = DPERR_NOMESSAGES;
    HRESULT InitializeResult = DP_OK;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT EnumConnections(LPCGUID, LPDPENUMCONNECTIONSCALLBACK, LPVOID, DWORD) override {
        return DP_OK;
    }
    HRESULT InitializeConnection(LPVOID, DWORD) override { return InitializeResult; }
    HRESULT EnumSessions(LPDPSESSIONDESC2, DWORD, LPDPENUMSESSIONSCALLBACK2, LPVOID,
                         DWORD) override {
        return DP_OK;
    }
    HRESULT Open(LPDPSESSIONDESC2 d, DWORD) override {
        Opened.push_back(*d);
        OpenedNames.push_back(d->lpszSessionNameA ? d->lpszSessionNameA : "(none)");
        return DP_OK;
    }
    HRESULT Close() override { return DP_OK; }
    HRESULT EnumPlayers(LPGUID, LPDPENUMPLAYERSCALLBACK2, LPVOID, DWORD) override { return DP_OK; }
    HRESULT CreatePlayer(LPDPID id, LPDPNAME name, LPVOID, LPVOID, DWORD, DWORD) override {
        *id = 77;
        PlayerNames.push_back(std::to_string(name->dwSize) + ":" + name->lpszShortNameA + ":" +
                              name->lpszLongNameA);
        return DP_OK;
    }
    // When set, answers Receive in place of ReceiveResult.
    std::function<HRESULT(LPDPID From, LPVOID Data, LPDWORD Size)> OnReceive;
    HRESULT Receive(LPDPID from, LPDPID, DWORD, LPVOID data, LPDWORD size) override {
        return OnReceive ? OnReceive(from, data, size) : ReceiveResult;
    }
    HRESULT Send(DPID, DPID to, DWORD flags, LPVOID, DWORD) override {
        SendTo.push_back(to);
        SendFlags.push_back(flags);
        return DP_OK;
    }
};

} // namespace ddpdtest
