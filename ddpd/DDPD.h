#pragma once
// The session component: one network session behind a handful of operations and three events
// raised on the main thread. (The session layer is still to come: no provider is offered yet,
// so the connection dialog never opens a session.)

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ddpd {

using DPID = std::uint32_t;

class TDDPDPlayer {
public:
    TDDPDPlayer(DPID AID, std::string AShortName, std::string ALongName)
        : ID(AID), LongName(std::move(ALongName)), ShortName(std::move(AShortName)) {}
    DPID ID;
    std::string LongName;
    std::string ShortName;
};

// Owns its players.
class TDDPDPlayers {
public:
    TDDPDPlayer* FindPlayer(DPID ID) const;
    int IndexOfPlayer(DPID ID) const;
    int Count() const { return static_cast<int>(Items.size()); }
    TDDPDPlayer* operator[](int Index) const { return Items[Index].get(); }
    void Add(std::unique_ptr<TDDPDPlayer> Player) { Items.push_back(std::move(Player)); }

private:
    std::vector<std::unique_ptr<TDDPDPlayer>> Items;
};

class TDDPD;
using TDDPDMessageEvent =
    std::function<void(TDDPD* Sender, TDDPDPlayer* From, const void* Data, std::int32_t DataSize)>;
using TDDPDPlayerEvent = std::function<void(
    TDDPD* Sender, TDDPDPlayer* Player, const std::string& ShortName, const std::string& LongName)>;

class TDDPD {
public:
    TDDPD() = default;
    virtual ~TDDPD() = default;

    // Runs the connection dialog; true when a session was created or joined.
    bool ShowConnectDialog();
    // Sends Size bytes to player To, or to all others when To is 0.
    void SendData(DPID To, const void* Data, std::int32_t Size);

    TDDPDPlayer* LocalPlayer = nullptr;
    TDDPDPlayers Players;

    TDDPDMessageEvent OnArriveMessage;
    TDDPDPlayerEvent OnComesNewChallenger;
    TDDPDPlayerEvent OnEscapeChallenger;
};

} // namespace ddpd
