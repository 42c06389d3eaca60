#include "app/Form1.h"

#include <benchmark/benchmark.h>

// The idle call that finds less than one step of time: what the loop pays between frames.
static void BM_IdleCallWithoutStep(benchmark::State& State) {
    TManualClock clock(0);
    TForm1 form(clock);
    bool done = true;
    for (auto _ : State) {
        form.IdleHandler(done);
        form.TimeAccumulator = 0;
        benchmark::DoNotOptimize(done);
    }
}
BENCHMARK(BM_IdleCallWithoutStep);

// The idle call that steps once and draws.
static void BM_IdleCallWithStep(benchmark::State& State) {
    TManualClock clock(0);
    TForm1 form(clock);
    bool done = true;
    for (auto _ : State) {
        clock.Advance(201);
        form.IdleHandler(done);
        benchmark::DoNotOptimize(done);
    }
}
BENCHMARK(BM_IdleCallWithStep);
