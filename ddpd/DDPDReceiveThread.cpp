#include "ddpd/DDPDReceiveThread.h"

#include "ddpd/DDPD.h"

#include <QMetaObject>

namespace ddpd {

TDDPDReceiveThread::TDDPDReceiveThread(TDDPD* AOwner, HANDLE AEvent)
    : Owner(AOwner), Event(AEvent) {}

TDDPDReceiveThread::~TDDPDReceiveThread() {
    Terminate();
    WaitFor();
}

void TDDPDReceiveThread::Start() {
    if (!Thread.joinable())
        Thread = std::thread([this] { Execute(); });
}

void TDDPDReceiveThread::Terminate() {
    {
        std::lock_guard<std::mutex> g(State->Lock);
        State->Terminated = true;
    }
    State->Done.notify_all();
}

void TDDPDReceiveThread::WaitFor() {
    if (Thread.joinable() && Thread.get_id() != std::this_thread::get_id())
        Thread.join();
}

bool TDDPDReceiveThread::Finished() const {
    std::lock_guard<std::mutex> g(State->Lock);
    return State->Finished;
}

std::string TDDPDReceiveThread::FatalException() const {
    std::lock_guard<std::mutex> g(State->Lock);
    return State->Error;
}

void TDDPDReceiveThread::Execute() {
    const auto state = State;
    TDDPD* owner = Owner;
    for (;;) {
        if (WaitForSingleObject(Event, INFINITE) != WAIT_OBJECT_0)
            break;
        {
            std::lock_guard<std::mutex> g(state->Lock);
            if (state->Terminated)
                break;
            state->Ran = false;
        }
        // Runs on the main thread, inside its event dispatch. The owner outlives this thread,
        // and a hand-over still queued when the owner goes is dropped with it.
        QMetaObject::invokeMethod(
            owner,
            [state, owner] {
                {
                    std::lock_guard<std::mutex> g(state->Lock);
                    if (state->Terminated)
                        return;
                }
                std::string error;
                try {
                    owner->ReceiveMessage();
                } catch (const std::exception& e) {
                    error = e.what();
                    if (error.empty())
                        error = "exception";
                }
                {
                    std::lock_guard<std::mutex> g(state->Lock);
                    state->Ran = true;
                    state->Error = error;
                }
                state->Done.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> g(state->Lock);
        state->Done.wait(g, [&] { return state->Ran || state->Terminated; });
        if (state->Terminated || !state->Error.empty())
            break; // an exception handed back ends the thread: it has no handler of its own
    }
    std::lock_guard<std::mutex> g(state->Lock);
    state->Finished = true;
}

} // namespace ddpd
