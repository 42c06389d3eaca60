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

std::string TDDPDReceiveThread::LastException() const {
    std::lock_guard<std::mutex> g(State->Lock);
    return State->Error;
}

void TDDPDReceiveThread::Execute() {
    const auto state = State;
    TDDPD* owner = Owner;
    DWORD wait = INFINITE;
    for (;;) {
        const DWORD woke = WaitForSingleObject(Event, wait);
        if (woke != WAIT_OBJECT_0 && woke != WAIT_TIMEOUT)
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
                    state->Failed = !error.empty();
                    if (state->Failed)
                        state->Error = error;
                }
                state->Done.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> g(state->Lock);
        state->Done.wait(g, [&] { return state->Ran || state->Terminated; });
        if (state->Terminated)
            break;
        // A failed turn may have left messages waiting that no signal will announce: another
        // turn comes soon, without one. Reception never ends over a failure.
        wait = state->Failed ? kRetryMs : INFINITE;
    }
    std::lock_guard<std::mutex> g(state->Lock);
    state->Finished = true;
}

} // namespace ddpd
