#pragma once
// Carries out TRouterCore's requests with the router libraries, NAT-PMP (libnatpmp) and UPnP-IGD
// (miniupnpc), on a thread of its own: both block for seconds when no router answers, and the
// session's thread must never wait on them. Each outcome goes back through Answered, called on
// that thread. The destructor carries out what is still queued (taking forwardings back is
// always queued last) before it returns, within the libraries' own time-outs.
//
// Every library call can be made to fail through DirectPlayFailures() under the names
// "Router::NatPmp", "Router::UpnpDiscover", "Router::UpnpMap" and "Router::Unmap".

#include "RouterCore.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace dplay {

class TRouterShell {
public:
    using TAnswered = std::function<void(const TRouterAnswer&)>;
    // How long one way of asking waits for a router, as routers and the players expect.
    static constexpr std::chrono::milliseconds kWait{2000};

    explicit TRouterShell(TAnswered Answered);
    ~TRouterShell();
    TRouterShell(const TRouterShell&) = delete;
    TRouterShell& operator=(const TRouterShell&) = delete;

    // Map and unmap requests; notices are not the shell's.
    void Carry(const TRouterAction& Action);

private:
    struct TLibraries;
    void Run();

    TAnswered Answered;
    std::unique_ptr<TLibraries> Libraries;
    std::mutex Lock;
    std::condition_variable Wake;
    std::deque<TRouterAction> Queue;
    bool Ending = false;
    std::thread Thread;
};

} // namespace dplay
