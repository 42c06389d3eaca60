// Presentation: the back buffer of the game (640 x 480 x 16) blitted, scaled and converted,
// into a 320 x 240 client area of a 32-bit desktop, and the same without conversion.
#include "platform/com/ComRef.h"
#include "platform/ddraw/DDraw.h"
#include "platform/ddraw/ScreenView.h"
#include "platform/vcl/Screen.h"

#include <QMainWindow>

#include <benchmark/benchmark.h>

namespace {

void Present(benchmark::State& State, int DesktopBits) {
    vcl::Screen().SetDesktop(1024, 768, DesktopBits, 0);
    QMainWindow window;
    auto* view = new TScreenView;
    window.setCentralWidget(view);
    window.setGeometry(40, 40, 320, 240);
    window.show();
    // The references go in reverse order before the desktop is put back.
    {
        TComRef<IDirectDraw> dd;
        TComRef<IDirectDraw2> dd2;
        DirectDrawCreate(nullptr, dd.Out(), nullptr);
        dd->QueryInterface(IID_IDirectDraw2, dd2.OutVoid());
        dd2->SetCooperativeLevel(&window, DDSCL_NORMAL);
        DDSURFACEDESC p;
        p.dwSize = sizeof p;
        p.dwFlags = DDSD_CAPS;
        p.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        TComRef<IDirectDrawSurface> primary;
        dd2->CreateSurface(&p, primary.Out(), nullptr);
        DDSURFACEDESC b;
        b.dwSize = sizeof b;
        b.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        b.dwWidth = 640;
        b.dwHeight = 480;
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
        b.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
        b.ddpfPixelFormat.dwFlags = DDPF_RGB;
        b.ddpfPixelFormat.dwRGBBitCount = 16;
        b.ddpfPixelFormat.dwRBitMask = 0xF800;
        b.ddpfPixelFormat.dwGBitMask = 0x07E0;
        b.ddpfPixelFormat.dwBBitMask = 0x001F;
        TComRef<IDirectDrawSurface> back;
        dd2->CreateSurface(&b, back.Out(), nullptr);
        TComRef<IDirectDrawClipper> clipper;
        dd2->CreateClipper(0, clipper.Out(), nullptr);
        clipper->SetHWnd(0, &window);
        primary->SetClipper(clipper.Get());
        const QPoint origin = view->mapToGlobal(QPoint(0, 0));
        RECT dst{origin.x(), origin.y(), origin.x() + 320, origin.y() + 240};
        RECT src{0, 0, 640, 480};
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        for (auto _ : State)
            benchmark::DoNotOptimize(primary->Blt(&dst, back.Get(), &src, DDBLT_WAIT, &fx));
    }
    vcl::Screen().SetDesktop(0, 0, 0);
}

void BM_PresentScaledConverted16To32(benchmark::State& State) {
    Present(State, 32);
}
void BM_PresentScaled16To16(benchmark::State& State) {
    Present(State, 16);
}

} // namespace

BENCHMARK(BM_PresentScaledConverted16To32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PresentScaled16To16)->Unit(benchmark::kMicrosecond);
