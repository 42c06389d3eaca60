#include "ddpd/DDPD.h"

namespace ddpd {

TDDPDPlayer* TDDPDPlayers::FindPlayer(DPID ID) const {
    const int i = IndexOfPlayer(ID);
    return i < 0 ? nullptr : Items[i].get();
}

int TDDPDPlayers::IndexOfPlayer(DPID ID) const {
    // The last match counts, should an identifier ever stand twice.
    for (int i = Count() - 1; i >= 0; --i)
        if (Items[i]->ID == ID)
            return i;
    return -1;
}

bool TDDPD::ShowConnectDialog() {
    return false;
}

void TDDPD::SendData(DPID, const void*, std::int32_t) {}

} // namespace ddpd
