#include "SessionShared.h"

#include "platform/dplay/Events.h"

#include <algorithm>

namespace dplay {

bool TSessionShared::Post(TQueuedMessage Message) {
    const std::size_t cost =
        Message.Data.size() + Message.ShortName.size() + Message.LongName.size() + kMessageCost;
    if (QueuedBytes + cost > kMaxQueuedBytes)
        return false; // nobody reads: keep memory bounded rather than everything
    QueuedBytes += cost;
    Queue.push_back(std::move(Message));
    SignalAll();
    return true;
}

void TSessionShared::PopFront() {
    const TQueuedMessage& m = Queue.front();
    const std::size_t cost = m.Data.size() + m.ShortName.size() + m.LongName.size() + kMessageCost;
    QueuedBytes -= std::min(QueuedBytes, cost);
    Queue.pop_front();
}

void TSessionShared::Clear() {
    Players.clear();
    Queue.clear();
    Events.clear();
    QueuedBytes = 0;
}

void TSessionShared::SignalAll() {
    for (const auto& e : Events)
        SetEvent(e.second);
}

const TPlayerView* TSessionShared::Find(DPID Id) const {
    for (const auto& p : Players)
        if (p.Id == Id)
            return &p;
    return nullptr;
}

} // namespace dplay
