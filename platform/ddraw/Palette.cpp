#include "Palette.h"

#include "Display.h"
#include "Surface.h"
#include "platform/vcl/Screen.h"

#include <algorithm>

TPalette::TPalette(const PALETTEENTRY* Initial)
    : TComObject(kDDrawFamily, "IDirectDrawPalette", {IID_IDirectDrawPalette}) {
    std::copy_n(Initial, 256, Entries.begin());
    ++TDisplay::Get().Palettes;
}

TPalette::~TPalette() {
    --TDisplay::Get().Palettes;
}

TPalette* TPalette::From(IDirectDrawPalette* Palette) {
    return dynamic_cast<TPalette*>(Palette);
}

HRESULT TPalette::GetEntries(DWORD, DWORD Base, DWORD Count, LPPALETTEENTRY Out) {
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirectDrawPalette::GetEntries"); hr != DD_OK)
        return hr;
    if (!Out || Base >= 256 || Count > 256 - Base)
        return DDERR_INVALIDPARAMS;
    std::copy_n(Entries.begin() + Base, Count, Out);
    return DD_OK;
}

HRESULT TPalette::SetEntries(DWORD, DWORD Start, DWORD Count, LPPALETTEENTRY In) {
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirectDrawPalette::SetEntries"); hr != DD_OK)
        return hr;
    if (!In || Start >= 256 || Count > 256 - Start)
        return DDERR_INVALIDPARAMS;
    std::copy_n(In, Count, Entries.begin() + Start);
    for (TSurface* s : TDisplay::Get().Surfaces)
        if (s->IsPrimary() && s->Palette == this) {
            ShowPaletteOf(this);
            break;
        }
    return DD_OK;
}

void ShowPaletteOf(TPalette* Palette) {
    TDisplay& display = TDisplay::Get();
    if (display.ExclusivePrimary && display.ExclusivePrimary->Palette == Palette) {
        display.FullScreenChanged();
        return;
    }
    // On the desktop the palette becomes the hardware palette, around the static colours.
    auto& sys = vcl::Screen().SystemPalette();
    for (int i = 10; i < 246; ++i)
        sys[i] = {Palette->Entries[i].peRed, Palette->Entries[i].peGreen,
                  Palette->Entries[i].peBlue, 0};
    display.ScreenChanged(QRect(0, 0, display.DesktopWidth(), display.DesktopHeight()));
}
