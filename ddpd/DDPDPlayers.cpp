#include "ddpd/DDPDPlayers.h"

namespace ddpd {

TDDPDPlayers::~TDDPDPlayers() {
    while (!Items.empty())
        Items.pop_back();
}

TDDPDPlayer* TDDPDPlayers::FindPlayer(DPID ID) const {
    const int i = IndexOfPlayer(ID);
    return i < 0 ? nullptr : Items[i].get();
}

int TDDPDPlayers::IndexOfPlayer(DPID ID) const {
    int found = -1;
    for (int i = 0; i < Count(); ++i)
        if (Items[i]->ID == ID)
            found = i;
    return found;
}

void TDDPDPlayers::GetNames(std::vector<std::string>& Strings) const {
    Strings.clear();
    for (const auto& p : Items)
        Strings.push_back(p->LongName);
}

std::unique_ptr<TDDPDPlayer> TDDPDPlayers::Extract(int Index) {
    auto player = std::move(Items[Index]);
    Items.erase(Items.begin() + Index);
    return player;
}

} // namespace ddpd
