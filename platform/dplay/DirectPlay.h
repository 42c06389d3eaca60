#pragma once
// The session service object behind IDirectPlay3A: providers, search, one session at a time.
// Its methods are meant for one calling thread (the game's main thread); the network work runs
// on the session's own thread (TSessionNode).
//
// Providers, in this order: "TCP/IP" (asks for the host's address when the search starts,
// unless its connection data carries one), "インターネット (ロビー)" (finds sessions in an internet
// lobby and connects through home routers; asks for the lobby server's name unless given one)
// and "ループバック (このコンピュータ)" (127.0.0.1 only).
// The environment may fill in the connection data, so tests and players can choose ports:
// MAREVO_DPLAY_HOST (TCP/IP's address), MAREVO_DPLAY_BIND (TCP/IP's listening address),
// MAREVO_DPLAY_QUERY_PORT, MAREVO_DPLAY_SESSION_PORT, MAREVO_DPLAY_LOBBY (the lobby server's
// name); and for a lobby of one's own: MAREVO_DPLAY_LOBBY_ADDRESS (where its server is, when
// the name does not lead there) and MAREVO_DPLAY_LOBBY_CA (a certificate authority to trust).

#include "SessionNode.h"
#include "Wire.h"
#include "platform/com/ComObject.h"
#include "platform/dplay/DPlay.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dplay {

class TLobbyLink;
struct TFoundSession;
struct TLobbySession;

// Our providers' identifiers.
inline constexpr GUID DPSPGUID_MAREVO_TCPIP{
    0x6D617276, 0x6F01, 0x4E54, {0x8A, 0x31, 0x54, 0x43, 0x50, 0x49, 0x50, 0x01}};
inline constexpr GUID DPSPGUID_MAREVO_LOOPBACK{
    0x6D617276, 0x6F02, 0x4E54, {0x8A, 0x31, 0x4C, 0x4F, 0x4F, 0x50, 0x42, 0x4B}};
inline constexpr GUID DPSPGUID_MAREVO_LOBBY{
    0x6D617276, 0x6F03, 0x4E54, {0x8A, 0x31, 0x4C, 0x4F, 0x42, 0x42, 0x59, 0x01}};

// The providers' connection data as EnumConnections hands it out now.
std::vector<TConnectionData> CurrentProviders();

class TDirectPlay final : public TComObject<IDirectPlay3A> {
public:
    TDirectPlay();
    ~TDirectPlay() override;

    HRESULT EnumConnections(LPCGUID lpguidApplication, LPDPENUMCONNECTIONSCALLBACK lpEnumCallback,
                            LPVOID lpContext, DWORD dwFlags) override;
    HRESULT InitializeConnection(LPVOID lpConnection, DWORD dwFlags) override;
    HRESULT EnumSessions(LPDPSESSIONDESC2 lpsd, DWORD dwTimeout,
                         LPDPENUMSESSIONSCALLBACK2 lpEnumSessionsCallback2, LPVOID lpContext,
                         DWORD dwFlags) override;
    HRESULT Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) override;
    HRESULT Close() override;
    HRESULT EnumPlayers(LPGUID lpguidInstance, LPDPENUMPLAYERSCALLBACK2 lpEnumPlayersCallback2,
                        LPVOID lpContext, DWORD dwFlags) override;
    HRESULT CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName, LPVOID hEvent, LPVOID lpData,
                         DWORD dwDataSize, DWORD dwFlags) override;
    HRESULT Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD dwFlags, LPVOID lpData,
                    LPDWORD lpdwDataSize) override;
    HRESULT Send(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData, DWORD dwDataSize) override;

    // For tests: this object is the host of its open session.
    bool IsSessionHost();

private:
    std::optional<TConnectionData> Connection;
    bool AddressAsked = false;
    TSessionShared Shared;
    std::unique_ptr<TSessionNode> Node;
    // The internet lobby, kept from the search through the session it found.
    std::shared_ptr<TLobbyLink> Lobby;
    std::vector<TLobbySession> LobbySessions; // the last found there, with their relays

    HRESULT EnterLobby();
    HRESULT SearchLobby(const GUID& Application, std::vector<TFoundSession>& Found);
    HRESULT SearchNetwork(const GUID& Application, DWORD Timeout,
                          std::vector<TFoundSession>& Found);
};

} // namespace dplay
