#pragma once
// Sits between a session component and its session service, passing every call through and
// noting each message sent: its bytes, and whether the chat window existed at that moment.

#include "app/Form2.h"
#include "ddpd/DDPD.h"

#include <cstdint>
#include <vector>

struct TSentMessage {
    std::vector<std::uint8_t> Bytes;
    bool ChatWindowOpen = false;
};

class TWatchedPlay final : public IDirectPlay3A {
public:
    // Watches Session's service until destroyed, which must happen while Session lives.
    explicit TWatchedPlay(ddpd::TDDPD& ASession) : Session(ASession), Inner(ASession.DirectPlay) {
        Session.DirectPlay = this;
    }
    ~TWatchedPlay() {
        if (Session.DirectPlay == this)
            Session.DirectPlay = Inner;
    }
    TWatchedPlay(const TWatchedPlay&) = delete;
    TWatchedPlay& operator=(const TWatchedPlay&) = delete;

    std::vector<TSentMessage> Sent;

    HRESULT QueryInterface(REFIID Riid, void** Object) override {
        return Inner->QueryInterface(Riid, Object);
    }
    ULONG AddRef() override { return Inner->AddRef(); }
    ULONG Release() override { return Inner->Release(); }
    HRESULT EnumConnections(LPCGUID Application, LPDPENUMCONNECTIONSCALLBACK Callback,
                            LPVOID Context, DWORD Flags) override {
        return Inner->EnumConnections(Application, Callback, Context, Flags);
    }
    HRESULT InitializeConnection(LPVOID Connection, DWORD Flags) override {
        return Inner->InitializeConnection(Connection, Flags);
    }
    HRESULT EnumSessions(LPDPSESSIONDESC2 Desc, DWORD Timeout, LPDPENUMSESSIONSCALLBACK2 Callback,
                         LPVOID Context, DWORD Flags) override {
        return Inner->EnumSessions(Desc, Timeout, Callback, Context, Flags);
    }
    HRESULT Open(LPDPSESSIONDESC2 Desc, DWORD Flags) override { return Inner->Open(Desc, Flags); }
    HRESULT Close() override { return Inner->Close(); }
    HRESULT EnumPlayers(LPGUID Instance, LPDPENUMPLAYERSCALLBACK2 Callback, LPVOID Context,
                        DWORD Flags) override {
        return Inner->EnumPlayers(Instance, Callback, Context, Flags);
    }
    HRESULT CreatePlayer(LPDPID Id, LPDPNAME Name, LPVOID Event, LPVOID Data, DWORD Size,
                         DWORD Flags) override {
        return Inner->CreatePlayer(Id, Name, Event, Data, Size, Flags);
    }
    HRESULT Receive(LPDPID From, LPDPID To, DWORD Flags, LPVOID Data, LPDWORD Size) override {
        return Inner->Receive(From, To, Flags, Data, Size);
    }
    HRESULT Send(DPID From, DPID To, DWORD Flags, LPVOID Data, DWORD Size) override {
        const auto* b = static_cast<const std::uint8_t*>(Data);
        Sent.push_back({std::vector<std::uint8_t>(b, b + Size), Form2 != nullptr});
        return Inner->Send(From, To, Flags, Data, Size);
    }

private:
    ddpd::TDDPD& Session;
    IDirectPlay3A* Inner;
};
