#pragma once
// One machine's part in an open session. A network thread of its own owns the ENet host (and,
// while this machine is the host, the query socket); callers talk to it only through a command
// queue, and it publishes players and arriving messages into a TSessionShared that the calling
// side reads under its lock. No ENet object ever leaves that thread.
//
// Topology: a star. The host hands out player identifiers, tells every machine of each arrival
// and departure and relays messages between machines; it accepts a message only from the
// machine that owns the sending player. When the host goes, the machine of the remaining player
// with the lowest identifier takes over and the others reconnect to it.

#include "platform/dplay/DPlay.h"
#include "platform/dplay/Events.h"
#include "platform/dplay/Wire.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dplay {

// A message waiting for Receive: an application message, or a system message when SysType is
// set.
struct TQueuedMessage {
    DPID From = 0;
    DPID To = 0;
    DWORD SysType = 0;
    DPID PlayerId = 0;
    DWORD CurrentPlayers = 0;
    std::string ShortName;
    std::string LongName;
    std::vector<std::uint8_t> Data;
};

struct TPlayerView {
    DPID Id = 0;
    std::string ShortName;
    std::string LongName;
    bool Local = false;
};

// What the network thread publishes and the caller reads, always under Lock.
struct TSessionShared {
    std::mutex Lock;
    std::vector<TPlayerView> Players; // in order of arrival
    std::deque<TQueuedMessage> Queue;
    std::map<DPID, HANDLE> Events; // local player -> its event
    std::size_t QueuedBytes = 0;

    // Under Lock. Sets every local player's event: one Receive takes from the one queue.
    void Post(TQueuedMessage Message);
    void SignalAll();
    const TPlayerView* Find(DPID Id) const;
};

struct TCreateConfig {
    GUID Application{};
    GUID Instance{};
    DWORD Flags = 0;
    DWORD MaxPlayers = 0;
    std::string Name;
};

class TSessionNode {
public:
    TSessionNode(TSessionShared& Shared, const TConnectionData& Connection);
    ~TSessionNode();
    TSessionNode(const TSessionNode&) = delete;
    TSessionNode& operator=(const TSessionNode&) = delete;

    // Each blocks until the network thread has an answer.
    HRESULT Create(const TCreateConfig& Config);
    HRESULT Join(std::uint32_t Ip, std::uint16_t Port, const GUID& Application,
                 const GUID& Instance);
    HRESULT CreatePlayer(const std::string& ShortName, const std::string& LongName, HANDLE Event,
                         DPID& Id);
    // Queued; the caller has checked the identifiers and the size.
    void Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data);
    // Leaves the session (telling the others) and ends the thread.
    void Close();

    // For tests: this machine is the session's host right now.
    bool IsHost();

private:
    struct TState;
    void Post(std::function<void(TState&)> Command);
    template <class R> R Ask(std::function<void(TState&, std::promise<R>)> Command);
    void Run();

    TSessionShared& Shared;
    std::unique_ptr<TState> State;
    std::mutex CommandLock;
    std::deque<std::function<void(TState&)>> Commands;
    int WakeFd = -1;
    std::thread Thread;
    bool Closed = false;
};

} // namespace dplay
