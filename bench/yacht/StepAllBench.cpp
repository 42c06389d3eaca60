#include "yacht/PlayerMan.h"

#include <benchmark/benchmark.h>

// One roster-wide model step with all ten slots in play, the most the frame loop ever steps.
static void BM_StepAllTenYachts(benchmark::State& State) {
    TPlayerMan roster;
    for (int id = 2; id < 12; ++id) {
        roster.AddPlayer(id);
        TYachtState s = ResetYachtState();
        s.Heading = static_cast<float>(id * 37 % 360);
        roster.SetState(id, s);
    }
    for (auto _ : State) {
        roster.StepAll();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_StepAllTenYachts);

BENCHMARK_MAIN();
