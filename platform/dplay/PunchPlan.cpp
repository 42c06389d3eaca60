#include "PunchPlan.h"

#include "LobbyWire.h"

namespace dplay {

bool TPunchPlan::Requested(TAddress From, TTime Now) {
    if (!PlausiblePeer(From))
        return false;
    std::erase_if(Asked, [&](const auto& e) { return Now >= e.second.second.End; });
    const auto key = KeyOf(From);
    if (const auto it = Asked.find(key); it != Asked.end()) {
        it->second.second.End = Now + kRequestTime;
        return true;
    }
    if (Asked.size() >= kMaxRequests)
        return false;
    Asked[key] = {From, {Now, Now + kRequestTime}};
    return true;
}

void TPunchPlan::Members(const std::vector<TAddress>& Publics) {
    decltype(Machines) kept;
    for (const TAddress& a : Publics) {
        if (!PlausiblePeer(a))
            continue;
        const auto key = KeyOf(a);
        const auto it = Machines.find(key);
        kept[key] = it != Machines.end() ? it->second : std::pair{a, TTarget{}};
    }
    Machines.swap(kept);
}

std::vector<TAddress> TPunchPlan::Due(TTime Now) {
    std::vector<TAddress> due;
    std::erase_if(Asked, [&](const auto& e) { return Now >= e.second.second.End; });
    for (auto& [key, entry] : Asked)
        if (Now >= entry.second.Next) {
            due.push_back(entry.first);
            entry.second.Next = Now + kRequestEvery;
        }
    for (auto& [key, entry] : Machines)
        if (Now >= entry.second.Next && !Asked.contains(key)) {
            due.push_back(entry.first);
            entry.second.Next = Now + kMemberEvery;
        }
    return due;
}

} // namespace dplay
