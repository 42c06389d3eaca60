#pragma once
// What a session's network thread publishes for the calling side: the players as the
// application lists them, the messages waiting for Receive and the events to set.

#include "SessionCore.h"
#include "platform/dplay/DPlay.h"
#include "platform/dplay/Events.h"

#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace dplay {

// What the network thread publishes and the caller reads, always under Lock.
struct TSessionShared {
    // Unread messages kept at most, each counted with its bookkeeping, so that neither large
    // nor empty messages can grow the queue without bound while nobody reads.
    static constexpr std::size_t kMaxQueuedBytes = 64u << 20;
    static constexpr std::size_t kMessageCost = 128;

    std::mutex Lock;
    std::vector<TPlayerView> Players; // in order of arrival
    std::deque<TQueuedMessage> Queue;
    std::map<DPID, HANDLE> Events; // local player -> its event
    std::size_t QueuedBytes = 0;

    // Under Lock. Post sets every local player's event: one Receive takes from the one queue.
    // It answers false when the message was dropped for want of room.
    bool Post(TQueuedMessage Message);
    void PopFront();
    void Clear();
    void SignalAll();
    const TPlayerView* Find(DPID Id) const;
};

} // namespace dplay
