#include "dddd/QDArc.h"

#include "tests/dddd/BmpFiles.h"
#include "tests/dddd/BytePairEncoder.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

constexpr std::size_t kEntrySize = 1 << 20;

// Words drawn at random from a small vocabulary: text-like, with pairs nested a few deep.
std::vector<std::uint8_t> Text() {
    static const char* const words[] = {
        "the ", "yacht ", "sails ", "into ", "wind ",    "and ",       "heels ",  "over ", "while ",
        "her ", "crew ",  "trims ", "the ",  "sheets, ", "spinnaker ", "ahead. ", "風 ",   "帆 "};
    std::mt19937 rng(7);
    std::vector<std::uint8_t> out;
    while (out.size() < kEntrySize) {
        const std::string w = words[rng() % std::size(words)];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(kEntrySize);
    return out;
}

// A 24-bit picture of smooth gradients with a grid, like a texture.
std::vector<std::uint8_t> Picture() {
    std::vector<std::uint8_t> bmp = dddd::test::MakeBmp24(592, 590, [](int x, int y) {
        if (x % 64 == 0 || y % 64 == 0)
            return 0xFFFFFFu;
        return static_cast<std::uint32_t>((x / 4) << 16 | (y / 4) << 8 | 0x40);
    });
    bmp.resize(kEntrySize);
    return bmp;
}

void Expand(benchmark::State& State, const std::vector<std::uint8_t>& Data) {
    const std::vector<std::uint8_t> packed = dddd::test::EncodeBytePairs(Data);
    TMemoryStream in;
    in.WriteBuffer(packed.data(), static_cast<std::int64_t>(packed.size()));
    for (auto _ : State) {
        in.SetPosition(0);
        auto out = dddd::ExpandBytePairs(in, static_cast<std::int32_t>(Data.size()));
        benchmark::DoNotOptimize(out->Memory());
    }
    State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) *
                            static_cast<std::int64_t>(Data.size()));
    State.counters["packed_ratio"] = static_cast<double>(packed.size()) / Data.size();
}

} // namespace

// Output bytes per second of expanding one 1 MiB entry.
static void BM_ExpandText1MiB(benchmark::State& State) {
    Expand(State, Text());
}
BENCHMARK(BM_ExpandText1MiB)->Unit(benchmark::kMillisecond);

static void BM_ExpandPicture1MiB(benchmark::State& State) {
    Expand(State, Picture());
}
BENCHMARK(BM_ExpandPicture1MiB)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
