// なめらか表示: what one picture between steps costs with ten yachts, and the running window's
// pictures a second, frame-time spread and CPU use over seconds of sailing on the real clock
// and the real message loop (offscreen unless told otherwise).
#include "app/Form1.h"

#include <benchmark/benchmark.h>

#include <QMenuBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include <sys/resource.h>

namespace {

// Nine other players' yachts around the local one, so the picture has the scene's full load.
void AddNineYachts(TForm1& Form) {
    for (std::int32_t id = 2; id <= 10; ++id) {
        Form.Roster->AddPlayer(id);
        const int slot = Form.Roster->IndexOf(id);
        Form.DrawYacht1->AddYacht(slot, "");
        TYachtState s;
        s.X = static_cast<float>((id % 3) * 8 - 8);
        s.Z = static_cast<float>((id / 3) * 8);
        s.Heading = static_cast<float>(id * 30 % 360);
        s.SailsTrimmed = 1;
        Form.Roster->SetState(id, s);
        Form.Shown[static_cast<std::size_t>(slot)].Reset(Form.Roster->GetState(id));
    }
}

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace

// One idle call that finds a picture due between steps: pose ten yachts, render, present.
static void BM_SmoothPictureBetweenSteps(benchmark::State& State) {
    TManualClock clock(0);
    TForm1 form(clock);
    vcl::Application->SetOnIdle(nullptr);
    form.DrawYacht1->VsyncAtWindowed = false;
    AddNineYachts(form);
    form.SetSmoothMotion(true);
    bool done = true;
    std::uint32_t pictures = form.DrawYacht1->PicturesDrawn;
    for (auto _ : State) {
        // 17 ms on, wrapping within the step so that no step is taken: pictures only.
        clock.Advance(17);
        form.TimeAccumulator %= 150;
        form.IdleHandler(done);
    }
    pictures = form.DrawYacht1->PicturesDrawn - pictures;
    State.counters["pictures_per_call"] = static_cast<double>(pictures) / State.iterations();
}
BENCHMARK(BM_SmoothPictureBetweenSteps)->Unit(benchmark::kMillisecond);

// The window sailing alone on the real clock and message loop for Seconds, option on or off, at
// its own size or Width logical pixels wide (the picture then 4:3 inside it, twice its size at
// 1300):
// pictures a second, the 99th percentile of the time between pictures, how far that lies from
// the mean, and CPU time as a share of one core.
static void BM_SailingOnTheRealClock(benchmark::State& State) {
    const bool smooth = State.range(0) != 0;
    const int seconds = static_cast<int>(State.range(1));
    const int width = static_cast<int>(State.range(2));
    for (auto _ : State) {
        TSystemClock clock;
        TForm1 form(clock);
        form.SetSmoothMotion(smooth);
        form.show();
        if (width > 0)
            form.resize(width, width * 3 / 4 + form.menuBar()->height());
        using steady = std::chrono::steady_clock;
        std::vector<double> shown; // ms since the start, one per picture
        const steady::time_point start = steady::now();
        std::uint32_t pictures = form.DrawYacht1->PicturesDrawn;
        vcl::Application->SetOnIdle([&](bool& Done) {
            form.IdleHandler(Done);
            if (form.DrawYacht1->PicturesDrawn != pictures) {
                pictures = form.DrawYacht1->PicturesDrawn;
                shown.push_back(
                    std::chrono::duration<double, std::milli>(steady::now() - start).count());
            }
        });
        // Start-up (the first pictures, the fonts) is not what is measured: one second in.
        double cpuAtOneSecond = 0;
        std::size_t picturesAtOneSecond = 0;
        QTimer::singleShot(1000, [&] {
            cpuAtOneSecond = CpuSeconds();
            picturesAtOneSecond = shown.size();
        });
        QTimer::singleShot(1000 + seconds * 1000, [&] { QApplication::exit(0); });
        QApplication::exec();
        const double cpu = CpuSeconds() - cpuAtOneSecond;
        vcl::Application->SetOnIdle(nullptr);

        std::vector<double> gaps;
        for (std::size_t i = picturesAtOneSecond + 1; i < shown.size(); ++i)
            gaps.push_back(shown[i] - shown[i - 1]);
        if (gaps.empty()) {
            State.SkipWithError("no pictures");
            return;
        }
        double mean = 0;
        for (double g : gaps)
            mean += g;
        mean /= static_cast<double>(gaps.size());
        std::vector<double> spread;
        for (double g : gaps)
            spread.push_back(std::fabs(g - mean));
        std::sort(gaps.begin(), gaps.end());
        std::sort(spread.begin(), spread.end());
        const auto p99 = [](const std::vector<double>& V) {
            return V[std::min(V.size() - 1, V.size() * 99 / 100)];
        };
        State.counters["pictures_per_s"] = static_cast<double>(gaps.size()) / seconds;
        State.counters["frame_ms_mean"] = mean;
        State.counters["frame_ms_p99"] = p99(gaps);
        State.counters["jitter_ms_p99"] = p99(spread);
        State.counters["cpu_percent_of_core"] = 100 * cpu / seconds;
    }
}
BENCHMARK(BM_SailingOnTheRealClock)
    ->ArgNames({"smooth", "seconds", "width"})
    ->Args({0, 10, 0})
    ->Args({1, 10, 0})
    ->Args({1, 10, 1300})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
