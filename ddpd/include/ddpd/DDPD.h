#pragma once
// The session component: one session service object behind a handful of operations and three
// events. It lists the providers when loaded, runs the connection dialog, sends byte blocks to
// one or all players, and turns what arrives into events on the main thread. It knows nothing
// of what the game's messages mean.
//
// Every failed platform call raises EDDPD (see DdpdDebug.h) with its Japanese text and the
// error-code suffix; the operation ends there and leaves the state where it stood.

#include "ddpd/DDPDPlayers.h"
#include "ddpd/DDPDReceiveThread.h"
#include "ddpd/DdpdDebug.h"
#include "platform/dplay/DPlay.h"
#include "platform/dplay/Events.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ddpd {

class TDDPD;

using TDDPDMessageEvent =
    std::function<void(TDDPD* Sender, TDDPDPlayer* from, void* data, std::int32_t dataSize)>;
// A line for the player about the network (the home router), already in Japanese.
using TDDPDNoticeEvent = std::function<void(TDDPD* Sender, const std::string& Text)>;
using TDDPDPlayerEvent = std::function<void(
    TDDPD* Sender, TDDPDPlayer* player, const std::string& ShortName, const std::string& LongName)>;

// A string list whose entries each carry an owned object.
template <class T> class TObjectStrings {
public:
    int Count() const { return static_cast<int>(Items.size()); }
    const std::string& Strings(int Index) const { return Items[Index].first; }
    T* Objects(int Index) const { return Items[Index].second.get(); }
    void Add(std::string Text, std::unique_ptr<T> Object) {
        Items.emplace_back(std::move(Text), std::move(Object));
    }

private:
    std::vector<std::pair<std::string, std::unique_ptr<T>>> Items;
};

using TConnectionBlock = std::vector<std::uint8_t>;

class TDDPD : public QObject {
public:
    TDDPD() = default;
    ~TDDPD() override;

    // Set before Loaded when the component only sits in a form designer: it then creates no
    // session service object.
    bool Designing = false;

    IDirectPlay3A* DirectPlay = nullptr;
    std::unique_ptr<TObjectStrings<TConnectionBlock>> Connections;
    std::unique_ptr<TObjectStrings<DPSESSIONDESC2>> Sessions;
    std::unique_ptr<TDDPDPlayers> Players;
    GUID FAppGuid{};
    bool ConnectionReady = false;
    bool SessionOpen = false;
    std::unique_ptr<TDDPDReceiveThread> ReceiveThread;
    HANDLE ReceiveEvent = nullptr;
    DPID LocalPlayerID = 0;
    // Stands in Players, which owns it; nullptr whenever Players is rebuilt.
    TDDPDPlayer* LocalPlayer = nullptr;
    TDDPDMessageEvent OnArriveMessage;
    TDDPDPlayerEvent OnComesNewChallenger;
    TDDPDPlayerEvent OnEscapeChallenger;
    TDDPDNoticeEvent OnNetworkNotice;
    bool SendGuaranteed = true;
    bool NoMessageID = false;
    std::int32_t MaxPlayers = 4;
    // The connection method the dialog shows chosen when it opens, if it lists one so named.
    std::string PreferredConnection;
    // The name of the provider SelectConnection last initialised; empty before.
    std::string ChosenConnection;
    // The host address the TCP/IP provider offers when it asks, and the last one typed.
    static std::string RememberedAddress();
    static void SetRememberedAddress(const std::string& Address);
    // The internet lobby's server, as the lobby question last took it.
    static std::string RememberedLobby();
    static void SetRememberedLobby(const std::string& Server);

    // After the form description was read: creates the session service object and lists the
    // providers (unless Designing).
    void Loaded();
    // Runs the connection dialog; true exactly when a session was created or joined.
    bool ShowConnectDialog();
    // Initialises provider Index (0-based) and searches its sessions into Sessions. Returns the
    // provider's result, which may be non-zero even when the search succeeded.
    std::int32_t SelectConnection(int Index);
    // Opens session Index just long enough to list its players into Players.
    void ListSessionPlayers(int Index);
    std::int32_t CreateSession(const std::string& SessionName, const std::string& ShortName,
                               const std::string& LongName);
    std::int32_t JoinSession(int Index, const std::string& ShortName, const std::string& LongName);
    std::int32_t CreateLocalPlayer(const std::string& ShortName, const std::string& LongName);
    // Names are given and handed out in UTF-8 and cross the service in Shift-JIS, where the
    // service carries at most this many bytes of each.
    static constexpr std::size_t kMaxNameBytes = 255;
    static bool NameFits(const std::string& Name);
    void CloseSession();
    // Sends Size bytes to player ToID, or to every other player when ToID is 0.
    void SendData(DPID ToID, const void* Data, std::int32_t Size);
    // Takes one waiting message and raises its event (main thread only).
    void ReceiveMessage();

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
    std::string AppGuid() const;
    // Accepts that form in any letter case, blanks around it ignored; raises EDDPD with the
    // faulty piece + "は無効なプロパティです" and keeps the old value otherwise.
    void SetAppGuid(const std::string& Text);

private:
    void CreateDirectPlay();
    void ListConnections();
    void RenewPlayers();
    // The description of found session Index; reports an index that names none.
    DPSESSIONDESC2 FoundSession(int Index);
    // Opens a session (create or join) and lists the players already in it.
    void OpenAndListPlayers(DPSESSIONDESC2& Desc, DWORD Flags);
    void StopReceiving();
};

} // namespace ddpd
