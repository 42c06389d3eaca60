#include "platform/dplay/Events.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct TEventObject {
    std::mutex Lock;
    std::condition_variable Changed;
    bool ManualReset = false;
    bool Signalled = false;
    bool Closed = false;
};

// The process's handle table: handles are numbers, so a stale handle finds nothing instead of
// freed memory.
class THandleTable {
public:
    HANDLE Add(std::shared_ptr<TEventObject> Event) {
        std::lock_guard<std::mutex> g(Lock);
        const std::uintptr_t value = ++LastHandle;
        Objects.emplace(value, std::move(Event));
        return reinterpret_cast<HANDLE>(value);
    }
    std::shared_ptr<TEventObject> Find(HANDLE Handle) {
        std::lock_guard<std::mutex> g(Lock);
        const auto it = Objects.find(reinterpret_cast<std::uintptr_t>(Handle));
        return it == Objects.end() ? nullptr : it->second;
    }
    std::shared_ptr<TEventObject> Remove(HANDLE Handle) {
        std::lock_guard<std::mutex> g(Lock);
        const auto it = Objects.find(reinterpret_cast<std::uintptr_t>(Handle));
        if (it == Objects.end())
            return nullptr;
        auto event = std::move(it->second);
        Objects.erase(it);
        return event;
    }

private:
    std::mutex Lock;
    std::uintptr_t LastHandle = 0;
    std::map<std::uintptr_t, std::shared_ptr<TEventObject>> Objects;
};

THandleTable& Handles() {
    static THandleTable table;
    return table;
}

} // namespace

HANDLE CreateEventA(LPVOID lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    const char* lpName) {
    if (lpEventAttributes || lpName)
        return nullptr;
    auto event = std::make_shared<TEventObject>();
    event->ManualReset = bManualReset != FALSE;
    event->Signalled = bInitialState != FALSE;
    return Handles().Add(std::move(event));
}

BOOL SetEvent(HANDLE hEvent) {
    const auto event = Handles().Find(hEvent);
    if (!event)
        return FALSE;
    {
        std::lock_guard<std::mutex> g(event->Lock);
        event->Signalled = true;
    }
    event->Changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    const auto event = Handles().Find(hEvent);
    if (!event)
        return FALSE;
    std::lock_guard<std::mutex> g(event->Lock);
    event->Signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    const auto event = Handles().Find(hHandle);
    if (!event)
        return WAIT_FAILED;
    std::unique_lock<std::mutex> g(event->Lock);
    const auto ready = [&] { return event->Signalled || event->Closed; };
    if (dwMilliseconds == INFINITE)
        event->Changed.wait(g, ready);
    else if (!event->Changed.wait_for(g, std::chrono::milliseconds(dwMilliseconds), ready))
        return WAIT_TIMEOUT;
    if (event->Closed)
        return WAIT_FAILED;
    if (!event->ManualReset)
        event->Signalled = false;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE hObject) {
    const auto event = Handles().Remove(hObject);
    if (!event)
        return FALSE;
    {
        std::lock_guard<std::mutex> g(event->Lock);
        event->Closed = true;
    }
    event->Changed.notify_all();
    return TRUE;
}
