// The worst memory one flooding machine can make a host hold: it joins properly, then sends
// guaranteed messages as fast as the host acknowledges them (1 MiB ones, then empty ones)
// while the host's game reads nothing. Prints the host's growth beside the bound its limits
// promise: the unread-message cap, plus what one machine may have waiting to be put together.
#include "platform/dplay/SessionShared.h"
#include "tests/platform/DPlayRawMachine.h"
#include "tests/platform/DPlayTestPeer.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <fstream>

namespace {

using namespace std::chrono_literals;

double ResidentMiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1 << 20);
}

void BM_FloodingMachine(benchmark::State& State) {
    const double bound =
        static_cast<double>(dplay::TSessionShared::kMaxQueuedBytes + 2 * dplay::kMaxMessageSize) /
        (1 << 20);
    double growth = 0;
    for (auto _ : State) {
        const auto port = dplaytest::FreeUdpPort();
        dplaytest::TPeer host(port);
        host.Create("flooded");
        host.AddPlayer("host");
        std::vector<DPSESSIONDESC2> found;
        dplaytest::TPeer(port).Search(found);
        if (found.empty()) {
            State.SkipWithError("no session found");
            return;
        }
        const double before = ResidentMiB();
        dplaytest::TRawMachine flooder(found[0]);
        flooder.Flood(dplay::kMaxMessageSize, 96, 1);
        flooder.Flood(0, 600000, 2000);
        growth = std::max(growth, ResidentMiB() - before);
    }
    State.counters["host_growth_MiB"] = growth;
    State.counters["caps_MiB"] = bound;
}
BENCHMARK(BM_FloodingMachine)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
