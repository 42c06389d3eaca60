#pragma once
// The session service as the game calls it: providers, session search, sessions, players,
// sending and receiving. Names, records and result codes are the platform's own; what lies
// behind them is ours (ENet inside a session, a small UDP query for finding sessions).
//
// Records hold real pointers, so on a 64-bit build DPNAME is 24 bytes and DPSESSIONDESC2 88
// (16 and 80 where pointers are 32 bits); callers set dwSize to sizeof the record.

#include "platform/com/Com.h"
#include "platform/com/FailurePlan.h"

using DPID = DWORD;
using LPDPID = DPID*;
using LPDWORD = DWORD*;
using LPGUID = GUID*;
using LPCGUID = const GUID*;

inline constexpr DPID DPID_SYSMSG = 0;
inline constexpr DPID DPID_ALLPLAYERS = 0;
inline constexpr DPID DPID_SERVERPLAYER = 1;
// Every identifier the service hands out lies in 2 .. 2^31 - 1.
inline constexpr DPID DPID_FIRSTPLAYER = 2;
inline constexpr DPID DPID_LASTPLAYER = 0x7FFFFFFF;

struct DPNAME {
    DWORD dwSize;
    DWORD dwFlags;
    char* lpszShortNameA;
    char* lpszLongNameA;
};
using LPDPNAME = DPNAME*;
using LPCDPNAME = const DPNAME*;

struct DPSESSIONDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidInstance;
    GUID guidApplication;
    DWORD dwMaxPlayers; // 0: no limit
    DWORD dwCurrentPlayers;
    char* lpszSessionNameA;
    char* lpszPasswordA;
    // The service keeps the host's IPv4 address (network order) and session port here, so a
    // copy of a found description is enough to join the session later.
    DWORD dwReserved1;
    DWORD dwReserved2;
    DWORD dwUser1;
    DWORD dwUser2;
    DWORD dwUser3;
    DWORD dwUser4;
};
using LPDPSESSIONDESC2 = DPSESSIONDESC2*;
using LPCDPSESSIONDESC2 = const DPSESSIONDESC2*;

inline constexpr DWORD DPSESSION_NEWPLAYERSDISABLED = 0x00000001;
inline constexpr DWORD DPSESSION_MIGRATEHOST = 0x00000004;
inline constexpr DWORD DPSESSION_NOMESSAGEID = 0x00000008;
inline constexpr DWORD DPSESSION_JOINDISABLED = 0x00000020;
inline constexpr DWORD DPSESSION_KEEPALIVE = 0x00000040;

inline constexpr DWORD DPOPEN_JOIN = 0x00000001;
inline constexpr DWORD DPOPEN_CREATE = 0x00000002;

inline constexpr DWORD DPCONNECTION_DIRECTPLAY = 0x00000001;
inline constexpr DWORD DPENUMSESSIONS_AVAILABLE = 0x00000001;
inline constexpr DWORD DPENUMSESSIONS_ALL = 0x00000002;
inline constexpr DWORD DPESC_TIMEDOUT = 0x00000001;
inline constexpr DWORD DPRECEIVE_ALL = 0x00000001;
inline constexpr DWORD DPSEND_GUARANTEED = 0x00000001;
inline constexpr DWORD DPPLAYERTYPE_PLAYER = 0x00000001;

// System messages (sender DPID_SYSMSG); the first field of each is its type.
inline constexpr DWORD DPSYS_CREATEPLAYERORGROUP = 0x0003;
inline constexpr DWORD DPSYS_DESTROYPLAYERORGROUP = 0x0005;
inline constexpr DWORD DPSYS_SESSIONLOST = 0x0031;
inline constexpr DWORD DPSYS_HOST = 0x0101;
// Our own, outside the platform's numbers: what the home router did about the session's ports.
inline constexpr DWORD DPSYS_MAREVO_ROUTER = 0x4D560001;

struct DPMSG_GENERIC {
    DWORD dwType;
};

// The names point into the same received buffer, after the record.
struct DPMSG_CREATEPLAYERORGROUP {
    DWORD dwType;
    DWORD dwPlayerType;
    DPID dpId;
    DWORD dwCurrentPlayers;
    LPVOID lpData;
    DWORD dwDataSize;
    DPNAME dpnName;
    DPID dpIdParent;
    DWORD dwFlags;
};

struct DPMSG_DESTROYPLAYERORGROUP {
    DWORD dwType;
    DWORD dwPlayerType;
    DPID dpId;
    LPVOID lpLocalData;
    DWORD dwLocalDataSize;
    LPVOID lpRemoteData;
    DWORD dwRemoteDataSize;
    DPNAME dpnName;
    DPID dpIdParent;
    DWORD dwFlags;
};

// dwKind: 0 forwarded (friends reach this machine at dwPublicIp, dwQueryPort), 1 no router
// answered, 2 the router refused, 3 the router's outside address (dwPublicIp) is private or
// shared, 4 a renewal failed. Addresses in network order.
struct DPMSG_MAREVO_ROUTER {
    DWORD dwType;
    DWORD dwKind;
    DWORD dwPublicIp;
    DWORD dwQueryPort;
    DWORD dwSessionPort;
};

constexpr HRESULT MakeDpHResult(DWORD Code) {
    return MakeHResult(0x88770000u + Code);
}

inline constexpr HRESULT DP_OK = S_OK;
inline constexpr HRESULT DPERR_ALREADYINITIALIZED = MakeDpHResult(5);
inline constexpr HRESULT DPERR_BUSY = MakeDpHResult(10);
inline constexpr HRESULT DPERR_BUFFERTOOSMALL = MakeDpHResult(30);
inline constexpr HRESULT DPERR_CANTADDPLAYER = MakeDpHResult(40);
inline constexpr HRESULT DPERR_CANTCREATEPLAYER = MakeDpHResult(60);
inline constexpr HRESULT DPERR_CANTCREATESESSION = MakeDpHResult(70);
inline constexpr HRESULT DPERR_GENERIC = E_FAIL;
inline constexpr HRESULT DPERR_INVALIDFLAGS = MakeDpHResult(120);
inline constexpr HRESULT DPERR_INVALIDOBJECT = MakeDpHResult(130);
inline constexpr HRESULT DPERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HRESULT DPERR_INVALIDPLAYER = MakeDpHResult(150);
inline constexpr HRESULT DPERR_NOCONNECTION = MakeDpHResult(170);
inline constexpr HRESULT DPERR_NOMESSAGES = MakeDpHResult(190);
inline constexpr HRESULT DPERR_NOSESSIONS = MakeDpHResult(220);
inline constexpr HRESULT DPERR_SENDTOOBIG = MakeDpHResult(230);
inline constexpr HRESULT DPERR_TIMEOUT = MakeDpHResult(240);
inline constexpr HRESULT DPERR_USERCANCEL = MakeDpHResult(280);
inline constexpr HRESULT DPERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DPERR_CANNOTCREATESERVER = MakeDpHResult(290);
inline constexpr HRESULT DPERR_SESSIONLOST = MakeDpHResult(310);
inline constexpr HRESULT DPERR_UNINITIALIZED = MakeDpHResult(320);
inline constexpr HRESULT DPERR_NONEWPLAYERS = MakeDpHResult(330);
inline constexpr HRESULT DPERR_LOGONDENIED = MakeDpHResult(2130);
// Ours, for the internet lobby: its server cannot be reached; no path to a machine, and no
// relay either.
inline constexpr HRESULT DPERR_MAREVO_NOLOBBY = MakeDpHResult(2300);
inline constexpr HRESULT DPERR_MAREVO_NOPATH = MakeDpHResult(2310);

using LPDPENUMCONNECTIONSCALLBACK = BOOL (*)(LPCGUID lpguidSP, LPVOID lpConnection,
                                             DWORD dwConnectionSize, LPCDPNAME lpName,
                                             DWORD dwFlags, LPVOID lpContext);
using LPDPENUMSESSIONSCALLBACK2 = BOOL (*)(LPCDPSESSIONDESC2 lpThisSD, LPDWORD lpdwTimeOut,
                                           DWORD dwFlags, LPVOID lpContext);
using LPDPENUMPLAYERSCALLBACK2 = BOOL (*)(DPID dpId, DWORD dwPlayerType, LPCDPNAME lpName,
                                          DWORD dwFlags, LPVOID lpContext);

// {D1EB6D20-8923-11D0-9D97-00A0C90A43CB}
inline constexpr GUID CLSID_DirectPlay{
    0xD1EB6D20, 0x8923, 0x11D0, {0x9D, 0x97, 0x00, 0xA0, 0xC9, 0x0A, 0x43, 0xCB}};
// {133EFE41-32DC-11D0-9CFB-00A0C90A43CB}
inline constexpr GUID IID_IDirectPlay3A{
    0x133EFE41, 0x32DC, 0x11D0, {0x9C, 0xFB, 0x00, 0xA0, 0xC9, 0x0A, 0x43, 0xCB}};

// Only the operations the game calls. Every method may be made to fail through
// DirectPlayFailures() under the name "IDirectPlay3A::<Method>".
struct IDirectPlay3A : IUnknown {
    virtual HRESULT EnumConnections(LPCGUID lpguidApplication,
                                    LPDPENUMCONNECTIONSCALLBACK lpEnumCallback, LPVOID lpContext,
                                    DWORD dwFlags) = 0;
    // The connection data comes from EnumConnections; it is checked, never trusted.
    virtual HRESULT InitializeConnection(LPVOID lpConnection, DWORD dwFlags) = 0;
    // dwTimeout 0 takes the provider's default (at most 1 s). Blocks the calling thread, which
    // meanwhile lets non-input window events (paints) through when it is the GUI thread.
    virtual HRESULT EnumSessions(LPDPSESSIONDESC2 lpsd, DWORD dwTimeout,
                                 LPDPENUMSESSIONSCALLBACK2 lpEnumSessionsCallback2,
                                 LPVOID lpContext, DWORD dwFlags) = 0;
    virtual HRESULT Open(LPDPSESSIONDESC2 lpsd, DWORD dwFlags) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT EnumPlayers(LPGUID lpguidInstance,
                                LPDPENUMPLAYERSCALLBACK2 lpEnumPlayersCallback2, LPVOID lpContext,
                                DWORD dwFlags) = 0;
    // hEvent (from CreateEventA) is set whenever a message for the new player waits.
    virtual HRESULT CreatePlayer(LPDPID lpidPlayer, LPDPNAME lpPlayerName, LPVOID hEvent,
                                 LPVOID lpData, DWORD dwDataSize, DWORD dwFlags) = 0;
    virtual HRESULT Receive(LPDPID lpidFrom, LPDPID lpidTo, DWORD dwFlags, LPVOID lpData,
                            LPDWORD lpdwDataSize) = 0;
    virtual HRESULT Send(DPID idFrom, DPID idTo, DWORD dwFlags, LPVOID lpData,
                         DWORD dwDataSize) = 0;
};

// The one failure plan of this stand-in.
TFailurePlan& DirectPlayFailures();
