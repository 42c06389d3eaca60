// One drawn frame of the game with ten yachts in play, beside the same frame drawn by Mesa's
// software OpenGL in the same run.

#include "app/textures/SampleTextures.h"
#include "bench/BenchPicture.h"
#include "bench/FrameRecorder.h"
#include "bench/yacht/MesaPeer.h"
#include "platform/vcl/Forms.h"
#include "yacht/DrawYacht.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kYachts = 10;

// Yacht 1 followed from astern, the others spread ahead on all points of sail, half of them
// under spinnaker: together about a third of the picture.
std::array<TYachtState, kYachts> Fleet() {
    struct Place {
        float X, Z, Heading, Wind;
        bool Spinnaker;
    };
    const Place places[kYachts] = {
        {0, 0, 20, 160, true},     {-9, 10, 300, 60, false},   {9, 12, 45, -135, true},
        {-16, 22, 90, -90, false}, {14, 24, 180, 0, false},    {-4, 30, 240, 120, true},
        {22, 38, 10, 170, true},   {-24, 40, 135, -45, false}, {6, 48, 330, 30, false},
        {-12, 56, 200, 160, true},
    };
    std::array<TYachtState, kYachts> fleet;
    for (int i = 0; i < kYachts; ++i) {
        TYachtState& s = fleet[i];
        s = ResetYachtState();
        s.X = places[i].X;
        s.Z = places[i].Z;
        s.Heading = places[i].Heading;
        s.WindAngle = places[i].Wind;
        s.Tack = places[i].Wind < 0 ? 1 : 0;
        s.Heel = places[i].Wind < 0 ? 8 : -8;
        s.Spinnaker = places[i].Spinnaker ? 1 : 0;
        s.SailsTrimmed = i % 2;
    }
    return fleet;
}

// The game's window with its scene, every yacht textured from the sample bitmaps.
struct TGame {
    TGame() : Yacht(&Form) {
        Form.SetBounds(13, 14, 328, 266);
        Form.show();
        Yacht.SetDisplayMode(dddd::TDDDDDispMode::dmWin640x480x16);
        Yacht.D3DOptions = {dddd::DontUseRGBEmulation, dddd::DontUseHAL};
        // Waiting for the vertical blank is idle time, not drawing: measured without it.
        Yacht.VsyncAtWindowed = false;
        Form.DoCreate();
        Yacht.InitScene();
        const auto dir = std::filesystem::temp_directory_path();
        const std::string hull = (dir / "marevo-bench-haltex.bmp").string();
        const std::string spinnaker = (dir / "marevo-bench-spintex.bmp").string();
        SampleHullTexture().SaveBmp(hull);
        SampleSpinnakerTexture().SaveBmp(spinnaker);
        for (int n = 1; n <= kYachts; ++n) {
            Yacht.AddYacht(n, hull);
            Yacht.SetSpinnakerTexture(n, spinnaker);
        }
    }
    void SetStates() {
        for (int n = 1; n <= kYachts; ++n)
            Yacht.SetYachtState(n, States[n - 1]);
    }

    vcl::TForm Form;
    TDrawYacht Yacht;
    std::array<TYachtState, kYachts> States = Fleet();
};

// The back buffer's 5-6-5 pixels, top row first.
std::vector<std::uint16_t> Picture(TDrawYacht& Yacht) {
    DDSURFACEDESC desc;
    desc.dwSize = sizeof desc;
    IDirectDrawSurface* back = Yacht.BackSurface()->Surface;
    std::vector<std::uint16_t> picture;
    if (back->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_READONLY, nullptr) != DD_OK)
        return picture;
    for (DWORD y = 0; y < desc.dwHeight; ++y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(
            static_cast<const BYTE*>(desc.lpSurface) + y * desc.lPitch);
        picture.insert(picture.end(), row, row + desc.dwWidth);
    }
    back->Unlock(nullptr);
    return picture;
}

// SetYachtState for every yacht, then RenderFrame: camera, render, present.
void BM_GameFrame(benchmark::State& State) {
    TGame game;
    for (auto _ : State) {
        game.SetStates();
        game.Yacht.RenderFrame();
    }
    const std::vector<std::uint16_t> picture = Picture(game.Yacht);
    State.counters["lit"] = LitPixels(picture);
    SaveBenchPicture(picture, 640, 480, "game.ppm");
}
BENCHMARK(BM_GameFrame)->Unit(benchmark::kMillisecond);

// The same without presenting: what the Mesa frame below does too.
void BM_GameFrameWithoutPresent(benchmark::State& State) {
    TGame game;
    game.SetStates();
    game.Yacht.RenderFrame(); // puts the camera behind yacht 1
    for (auto _ : State) {
        game.SetStates();
        game.Yacht.Render(game.Yacht.SceneFrame);
        ++game.Yacht.FrameCounter %= 1001;
    }
    State.counters["lit"] = LitPixels(Picture(game.Yacht));
}
BENCHMARK(BM_GameFrameWithoutPresent)->Unit(benchmark::kMillisecond);

void BM_MesaPeerFrame(benchmark::State& State) {
    TMesaPeer peer(640, 480);
    const std::array<TYachtState, kYachts> fleet = Fleet();
    std::int32_t frame = 0;
    for (auto _ : State) {
        peer.DrawFrame(fleet, frame, 2);
        frame = frame >= 1000 ? 0 : frame + 1;
    }
    State.counters["lit"] = LitPixels(peer.Picture());
    SaveBenchPicture(peer.Picture(), 640, 480, "mesa.ppm");
}
BENCHMARK(BM_MesaPeerFrame)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("LP_NUM_THREADS", "0", 1); // the peer on one thread, as the game draws
    vcl::TFrameworkApp qt(argc, argv);
    vcl::TApplication application;
    benchmark::Initialize(&argc, argv);
    TFrameRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();
    if (const double peer = recorder.Time("BM_MesaPeerFrame"); peer > 0) {
        for (const char* ours : {"BM_GameFrame", "BM_GameFrameWithoutPresent"}) {
            if (const double t = recorder.Time(ours); t > 0)
                std::printf("%s / Mesa peer: %.2f (goal for the game frame: at most 1.1)\n", ours,
                            t / peer);
        }
    }
    return 0;
}
