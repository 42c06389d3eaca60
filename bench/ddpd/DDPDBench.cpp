// Session timings on loopback: a message from SendData in this process to OnArriveMessage in a
// player process of its own (one way, both clocks being the machine's monotonic clock), and a
// session search at a typed address.
#include "ddpd/DDPD.h"
#include "platform/dplay/ComRuntime.h"
#include "platform/dplay/DirectPlay.h"
#include "tests/ddpd/PeerProcess.h"
#include "tests/platform/DPlayTestPeer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

namespace {

// Median and 99th percentile of one-way times (microseconds) of Count messages of Size bytes.
void MeasureOneWay(benchmark::State& State, std::int32_t Size, int Count) {
    const auto port = dplaytest::FreeUdpPort();
    setenv("MAREVO_DPLAY_QUERY_PORT", std::to_string(port).c_str(), 1);
    ddpdtest::TPeerProcess host("host", port, "host");
    ddpd::TDDPD sender;
    sender.SetAppGuid("{00000000-0000-0000-0000-000000000000}");
    sender.Loaded();
    sender.SelectConnection(1);
    sender.JoinSession(0, "bench", "bench");
    host.WaitPrefix("JOIN ", std::chrono::seconds(3));
    std::vector<double> micros;
    std::vector<char> message(static_cast<std::size_t>(Size), 'x');
    for (auto _ : State) {
        micros.clear();
        for (int i = 0; i < Count; ++i) {
            const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count();
            std::memcpy(message.data(), &now, 8);
            const auto seq = static_cast<std::uint32_t>(i);
            std::memcpy(message.data() + 8, &seq, 4);
            sender.SendData(0, message.data(), Size);
            std::istringstream line(host.WaitPrefix("MSG ", std::chrono::seconds(3)));
            std::string word, from;
            long long size = 0, s = 0, nanos = 0;
            line >> word >> from >> size >> s >> nanos;
            micros.push_back(static_cast<double>(nanos) / 1000.0);
        }
    }
    std::sort(micros.begin(), micros.end());
    State.counters["median_us"] = micros[micros.size() / 2];
    State.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
    State.counters["max_us"] = micros.back();
}

void BM_GuaranteedMessage28Bytes(benchmark::State& State) {
    MeasureOneWay(State, 28, 1000);
}
BENCHMARK(BM_GuaranteedMessage28Bytes)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_GuaranteedMessage49152Bytes(benchmark::State& State) {
    MeasureOneWay(State, 49152, 200);
}
BENCHMARK(BM_GuaranteedMessage49152Bytes)->Iterations(1)->Unit(benchmark::kMillisecond);

BOOL CountSession(LPCDPSESSIONDESC2 Desc, LPDWORD, DWORD, LPVOID Context) {
    if (Desc)
        ++*static_cast<int*>(Context);
    return Desc != nullptr;
}

void BM_SearchAtTypedAddress(benchmark::State& State) {
    const auto port = dplaytest::FreeUdpPort();
    dplaytest::TPeer host(port);
    host.Create("bench");
    dplay::TConnectionData tcp;
    tcp.Kind = dplay::TProviderKind::TcpIp;
    tcp.QueryPort = port;
    tcp.Host = "127.0.0.1";
    tcp.BindAddress = "127.0.0.1";
    auto block = dplay::EncodeConnection(tcp);
    int found = 0;
    for (auto _ : State) {
        IDirectPlay3A* play = nullptr;
        CoCreateInstance(CLSID_DirectPlay, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectPlay3A,
                         reinterpret_cast<LPVOID*>(&play));
        play->InitializeConnection(block.data(), 0);
        DPSESSIONDESC2 d{};
        d.dwSize = sizeof d;
        play->EnumSessions(&d, 0, CountSession, &found, DPENUMSESSIONS_AVAILABLE);
        play->Release();
    }
    State.counters["found_per_search"] =
        benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}
// A host answers one address about ten times a second: more searches than that in a row
// would measure the limit, not the search.
BENCHMARK(BM_SearchAtTypedAddress)->Iterations(8)->Unit(benchmark::kMillisecond);

} // namespace
