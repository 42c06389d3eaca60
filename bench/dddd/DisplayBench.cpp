// The display component's rebuild ("Use HAL" does one per click) and its windowed presentation
// of a 640 x 480 x 16 back buffer into a 320 x 240 client area.
#include "dddd/DDDD.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Screen.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

// A form with a started display of the main window's settings.
struct THost {
    vcl::TForm Form;
    std::unique_ptr<dddd::TDDDD> Display;
    THost() {
        vcl::Screen().SetDesktop(1024, 768, 16, 0);
        Display = std::make_unique<dddd::TDDDD>(&Form);
        Display->Use3D = true;
        Display->SetDisplayMode(dddd::TDDDDDispMode::dmWin640x480x16);
        Display->D3DOptions = {dddd::DontUseRGBEmulation, dddd::DontUseHAL};
        Form.setGeometry(40, 40, 320, 240);
        Form.show();
        Form.DoCreate();
        Form.resize(320, 240);
    }
};

void BM_InitDisplayRebuild(benchmark::State& State) {
    THost host;
    for (auto _ : State)
        host.Display->InitDisplay(false, 640, 480, 16, 0, "");
}

// Without waiting for the vertical blank: the blit itself.
void BM_FlipInto320x240(benchmark::State& State) {
    THost host;
    host.Display->VsyncAtWindowed = false;
    for (auto _ : State)
        host.Display->Flip();
}

} // namespace

BENCHMARK(BM_InitDisplayRebuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlipInto320x240)->Unit(benchmark::kMicrosecond);
