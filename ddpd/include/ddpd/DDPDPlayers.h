#pragma once
// A session player as the component knows it, and the list that owns them.

#include "platform/dplay/DPlay.h"

#include <memory>
#include <string>
#include <vector>

namespace ddpd {

class TDDPDPlayer {
public:
    TDDPDPlayer(DPID AID, std::string AShortName, std::string ALongName)
        : ID(AID), LongName(std::move(ALongName)), ShortName(std::move(AShortName)) {}
    DPID ID;
    std::string LongName;
    std::string ShortName;
};

// Owns its players; destroying the list frees them from the last to the first.
class TDDPDPlayers {
public:
    TDDPDPlayers() = default;
    ~TDDPDPlayers();
    TDDPDPlayers(const TDDPDPlayers&) = delete;
    TDDPDPlayers& operator=(const TDDPDPlayers&) = delete;

    // The player with that identifier, or nullptr. Should an identifier stand twice, the last
    // one counts.
    TDDPDPlayer* FindPlayer(DPID ID) const;
    // Its position, or -1.
    int IndexOfPlayer(DPID ID) const;
    // Clears Strings and adds every player's LongName in list order.
    void GetNames(std::vector<std::string>& Strings) const;

    int Count() const { return static_cast<int>(Items.size()); }
    TDDPDPlayer* operator[](int Index) const { return Items[Index].get(); }
    void Add(std::unique_ptr<TDDPDPlayer> Player) { Items.push_back(std::move(Player)); }
    // Takes the player at Index out of the list; the caller owns it then.
    std::unique_ptr<TDDPDPlayer> Extract(int Index);

private:
    std::vector<std::unique_ptr<TDDPDPlayer>> Items;
};

} // namespace ddpd
