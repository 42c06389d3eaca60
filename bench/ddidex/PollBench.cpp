#include "ddidex/DDIDEX.h"
#include "platform/dinput/DInputTesting.h"

#include <QMainWindow>
#include <QTest>

#include <benchmark/benchmark.h>

#include <atomic>
#include <new>

// Every allocation of the program is counted, so a benchmark can tell that its loop made none.
namespace {
std::atomic<long> Allocations{0};
} // namespace

void* operator new(std::size_t Size) {
    ++Allocations;
    if (void* p = std::malloc(Size ? Size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* P) noexcept {
    std::free(P);
}
void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}

namespace {

constexpr std::int32_t kMainWindowDevices[] = {2, 0};

// Polls the main window's list for State's iterations and reports the allocations per poll.
void PollLoop(benchmark::State& State, ddidex::TDDIDEX& Joy) {
    Joy.Poll(kMainWindowDevices); // the first poll acquires what loading could not
    const long before = Allocations;
    if (before == 0) {
        State.SkipWithError("allocations are not being counted");
        return;
    }
    for (auto _ : State)
        benchmark::DoNotOptimize(Joy.Poll(kMainWindowDevices));
    const long made = Allocations - before;
    State.counters["allocs_per_poll"] =
        benchmark::Counter(static_cast<double>(made) / static_cast<double>(State.iterations()));
}

struct TActiveWindow {
    TActiveWindow() {
        Window.show();
        Active = QTest::qWaitForWindowActive(&Window);
    }
    QMainWindow Window;
    bool Active = false;
};

} // namespace

// What the frame loop pays for input on every idle call, with no joystick attached.
static void BM_PollWithoutJoystick(benchmark::State& State) {
    TActiveWindow owner;
    ddidex::TDDIDEX joy(&owner.Window);
    joy.Loaded();
    if (!owner.Active || joy.JoystickCount > 0) {
        State.SkipWithError("needs an active window and no joystick");
        return;
    }
    PollLoop(State, joy);
    if (State.counters["allocs_per_poll"] != 0)
        State.SkipWithError("Poll allocated");
}
BENCHMARK(BM_PollWithoutJoystick);

// The same with one joystick, read through SDL.
static void BM_PollWithJoystick(benchmark::State& State) {
    TTestJoystick stick({"Bench Stick"});
    TActiveWindow owner;
    ddidex::TDDIDEX joy(&owner.Window);
    joy.Loaded();
    if (!owner.Active || joy.JoystickCount != 1 || joy.JoystickNames[0] != "Bench Stick") {
        State.SkipWithError("needs an active window and only the test joystick");
        return;
    }
    PollLoop(State, joy);
}
BENCHMARK(BM_PollWithJoystick);
