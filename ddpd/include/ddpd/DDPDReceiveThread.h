#pragma once
// The thread that waits for messages to the local player and hands each one to the main thread.
// It only waits: ReceiveMessage, and with it every event, runs on the main thread.
//
// The hand-over blocks the thread until the main thread has run ReceiveMessage, like the
// framework's synchronise call, but Terminate (on the main thread) also releases it, so closing
// a session never waits for a hand-over that will not run any more.

#include "platform/dplay/Events.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace ddpd {

class TDDPD;

class TDDPDReceiveThread {
public:
    // Created suspended; waits on Event, which its owner keeps.
    TDDPDReceiveThread(TDDPD* AOwner, HANDLE AEvent);
    // Terminates and waits for the thread's end.
    ~TDDPDReceiveThread();
    TDDPDReceiveThread(const TDDPDReceiveThread&) = delete;
    TDDPDReceiveThread& operator=(const TDDPDReceiveThread&) = delete;

    void Start();
    // Main thread: no further ReceiveMessage runs through this thread. The thread itself ends
    // at its next wake-up, or at once when its event is closed.
    void Terminate();
    // Waits for the body to end (close the event first, or it may wait for a message).
    void WaitFor();
    bool Finished() const;
    // The message of the last exception that ReceiveMessage handed back (empty: none yet). The
    // thread goes on after one, and tries again a little later even without a signal.
    std::string LastException() const;
    static constexpr DWORD kRetryMs = 50;

private:
    struct THandOver {
        mutable std::mutex Lock;
        std::condition_variable Done;
        bool Terminated = false;
        bool Finished = false;
        bool Ran = false;
        bool Failed = false; // the last turn raised
        std::string Error;
    };
    void Execute();

    TDDPD* Owner;
    HANDLE Event;
    std::shared_ptr<THandOver> State = std::make_shared<THandOver>();
    std::thread Thread;
};

} // namespace ddpd
