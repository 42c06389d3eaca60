#pragma once
// One machine's part in an open session, on the real network. A thread of its own owns the ENet
// host (and, while this machine hosts, the session query socket) and carries out what the
// protocol core (TSessionCore) decides; callers talk to it only through a command queue, and it
// publishes players and arriving messages into a TSessionShared that the calling side reads
// under its lock. No ENet object ever leaves that thread.

#include "SessionCore.h"
#include "SessionShared.h"
#include "Wire.h"
#include "platform/dplay/DPlay.h"
#include "platform/dplay/Events.h"

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

class TLobbyLink;

class TSessionNode {
public:
    // Lobby: the internet lobby the session is found and joined through, if it is.
    TSessionNode(TSessionShared& Shared, const TConnectionData& Connection,
                 std::shared_ptr<TLobbyLink> Lobby = nullptr);
    ~TSessionNode();
    TSessionNode(const TSessionNode&) = delete;
    TSessionNode& operator=(const TSessionNode&) = delete;

    // Each blocks until the network thread has an answer.
    HRESULT Create(const TCreateConfig& Config);
    // Relay: where the host's relay takes datagrams for it (Ip 0: none), through the lobby.
    HRESULT Join(std::uint32_t Ip, std::uint16_t Port, const GUID& Application,
                 const GUID& Instance, TAddress Relay = {});
    HRESULT CreatePlayer(const std::string& ShortName, const std::string& LongName, HANDLE Event,
                         DPID& Id);
    // The caller has checked the identifiers and the size. DPERR_BUSY when a guaranteed
    // message cannot be kept until every machine has it.
    HRESULT Send(DPID From, DPID To, bool Guaranteed, std::vector<std::uint8_t> Data);
    // Leaves the session (telling the others) and ends the thread.
    void Close();

    // For tests: this machine is the session's host right now.
    bool IsHost();

private:
    struct TState;
    void Post(std::function<void(TState&)> Command);
    template <class R> R Ask(std::function<void(TState&, std::promise<R>)> Command);
    void Run();

    std::unique_ptr<TState> State;
    std::mutex CommandLock;
    std::deque<std::function<void(TState&)>> Commands;
    int WakeFd = -1;
    std::thread Thread;
    bool Closed = false;
    std::shared_ptr<TLobbyLink> Lobby;
};

} // namespace dplay
