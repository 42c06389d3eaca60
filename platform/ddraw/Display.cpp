#include "Display.h"

#include "DDrawTesting.h"
#include "Palette.h"
#include "Surface.h"
#include "platform/ddraw/ScreenView.h"
#include "platform/vcl/Screen.h"

#include <algorithm>

LONG PitchFor(int Width, int Bpp) {
    return static_cast<LONG>((Width * Bpp + 3) & ~3);
}

TDisplay& TDisplay::Get() {
    static TDisplay display;
    return display;
}

TDisplay::~TDisplay() {
    // Whoever still held these will not release them any more.
    while (!Orphans.empty())
        delete Orphans.back();
}

BYTE* TDisplay::DesktopBits() {
    vcl::TScreen& screen = vcl::Screen();
    if (FDesktopSerial != screen.ModeSerial() || Desktop.empty()) {
        FDesktopSerial = screen.ModeSerial();
        FDesktopWidth = screen.Width();
        FDesktopHeight = screen.Height();
        DDPIXELFORMAT f = RgbPixelFormat(screen.BitsPerPixel());
        if (!PixelKindOf(f, FDesktopKind)) {
            f = RgbPixelFormat(16);
            FDesktopKind = TPixelKind::Rgb565;
        }
        FDesktopPitch = PitchFor(FDesktopWidth, BytesPerPixel(FDesktopKind));
        Desktop.assign(static_cast<size_t>(FDesktopPitch) * static_cast<size_t>(FDesktopHeight), 0);
    }
    return Desktop.data();
}

void TDisplay::ScreenChanged(const QRect& Rect) {
    for (TScreenView* v : Views)
        v->ScreenChanged(Rect);
}

void TDisplay::FullScreenChanged() {
    for (TScreenView* v : Views)
        if (v->window() == ExclusiveWindow)
            v->update();
}

const PALETTEENTRY* TDisplay::ShownPalette() const {
    if (ExclusivePrimary && ExclusivePrimary->Palette)
        return ExclusivePrimary->Palette->Entries.data();
    return vcl::Screen().SystemPalette().data();
}

TFailurePlan& DDrawFailures() {
    return TDisplay::Get().Failures;
}

void DDrawLoseAllSurfaces() {
    for (TSurface* s : TDisplay::Get().Surfaces)
        s->LoseMemory();
}

void DDrawLoseSurface(IDirectDrawSurface* Surface) {
    if (TSurface* s = TSurface::From(Surface))
        s->LoseMemory();
}

TDDrawCensus DDrawCensus() {
    const TDisplay& d = TDisplay::Get();
    return {d.DirectDraws, static_cast<int>(d.Surfaces.size()), d.Palettes, d.Clippers, d.Devices};
}

void DDrawSetHardware3D(bool Present) {
    TDisplay::Get().Hardware3D = Present;
}
