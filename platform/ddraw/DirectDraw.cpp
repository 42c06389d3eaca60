#include "DirectDrawObject.h"

#include "Clipper.h"
#include "Direct3DDevice.h"
#include "Display.h"
#include "Palette.h"
#include "Surface.h"
#include "platform/vcl/Screen.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// Larger surfaces than this are refused rather than allocated.
constexpr int kMaxSide = 8192;

struct TMode {
    int Width, Height, Bits;
};

std::vector<TMode> DisplayModes() {
    std::vector<std::pair<int, int>> sizes{{640, 480}, {800, 600}, {1024, 768}};
    const std::pair<int, int> own{vcl::Screen().DesktopWidth(), vcl::Screen().DesktopHeight()};
    if (std::find(sizes.begin(), sizes.end(), own) == sizes.end())
        sizes.push_back(own);
    std::vector<TMode> modes;
    for (auto [w, h] : sizes)
        for (int bits : {8, 16, 24, 32})
            modes.push_back({w, h, bits});
    return modes;
}

TDisplay& Display() {
    return TDisplay::Get();
}

} // namespace

TDirectDraw::TDirectDraw() {
    ++Display().DirectDraws;
}

TDirectDraw::~TDirectDraw() {
    LeaveExclusive();
    // The surfaces' memory goes with the object; a surface someone still holds stays, lost,
    // until its last reference goes. Attachments are released only once no surface of this
    // object can reach back to it.
    std::vector<IUnknown*> dropped;
    for (TSurface* s : Surfaces)
        s->Orphan(dropped);
    Surfaces.clear();
    for (IUnknown* held : dropped)
        held->Release();
    --Display().DirectDraws;
}

void TDirectDraw::Unhold() {
    --Held;
    DieIfUnused();
}

void TDirectDraw::DieIfUnused() {
    if (First.References() == 0 && Second.References() == 0 && Third.References() == 0 && Held == 0)
        delete this;
}

void TDirectDraw::Forget(TSurface* Surface) {
    Surfaces.erase(std::remove(Surfaces.begin(), Surfaces.end(), Surface), Surfaces.end());
}

void TDirectDraw::LeaveExclusive() {
    TDisplay& display = Display();
    if (ModeSetHere) {
        vcl::Screen().RestoreMode();
        ModeSetHere = false;
    }
    if (display.Exclusive != this)
        return;
    display.Exclusive = nullptr;
    if (display.ExclusivePrimary && display.ExclusivePrimary->Owner == this)
        display.ExclusivePrimary = nullptr;
    if (QWidget* w = display.ExclusiveWindow.data())
        w->showNormal();
    display.ExclusiveWindow = nullptr;
}

IUnknown* TDirectDraw::Face(REFIID Riid) {
    if (Riid == IID_IDirectDraw)
        return &First;
    if (Riid == IID_IDirectDraw2)
        return &Second;
    if (Riid == IID_IDirect3D2)
        return &Third;
    return nullptr;
}

HRESULT TDirectDraw::GetCaps(const char* Call, LPDDCAPS Hardware, LPDDCAPS Emulation) {
    if (!Hardware && !Emulation)
        return DDERR_INVALIDPARAMS;
    if ((Hardware && Hardware->dwSize != sizeof(DDCAPS)) ||
        (Emulation && Emulation->dwSize != sizeof(DDCAPS)))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Display().Failures.Check(Call); hr != DD_OK)
        return hr;
    constexpr DWORD kBlits = DDCAPS_BLT | DDCAPS_BLTSTRETCH | DDCAPS_PALETTE | DDCAPS_COLORKEY;
    constexpr DWORD kSurfaces = DDSCAPS_PRIMARYSURFACE | DDSCAPS_OFFSCREENPLAIN | DDSCAPS_FLIP |
                                DDSCAPS_BACKBUFFER | DDSCAPS_COMPLEX | DDSCAPS_FRONTBUFFER |
                                DDSCAPS_ZBUFFER;
    constexpr DWORD kZDepths = 0x400 | 0x200 | 0x100; // 16, 24 and 32 bits
    if (Hardware) {
        *Hardware = DDCAPS{};
        Hardware->dwSize = sizeof(DDCAPS);
        Hardware->dwCaps = kBlits | (Display().Hardware3D ? DDCAPS_3D : 0);
        Hardware->ddsCaps.dwCaps = kSurfaces | DDSCAPS_VIDEOMEMORY |
                                   (Display().Hardware3D ? DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE : 0);
        Hardware->dwZBufferBitDepths = kZDepths;
    }
    if (Emulation) {
        *Emulation = DDCAPS{};
        Emulation->dwSize = sizeof(DDCAPS);
        Emulation->dwCaps = kBlits;
        Emulation->ddsCaps.dwCaps =
            kSurfaces | DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE | DDSCAPS_3DDEVICE;
        Emulation->dwZBufferBitDepths = kZDepths;
    }
    return DD_OK;
}

HRESULT TDirectDraw::TFirst::GetCaps(LPDDCAPS Hardware, LPDDCAPS Emulation) {
    return Object.GetCaps("IDirectDraw::GetCaps", Hardware, Emulation);
}

HRESULT TDirectDraw::TSecond::GetCaps(LPDDCAPS Hardware, LPDDCAPS Emulation) {
    return Object.GetCaps("IDirectDraw2::GetCaps", Hardware, Emulation);
}

HRESULT TDirectDraw::TSecond::CreateClipper(DWORD Flags, LPDIRECTDRAWCLIPPER* Out,
                                            IUnknown* Outer) {
    if (!Out || Outer || Flags != 0)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::CreateClipper"); hr != DD_OK)
        return hr;
    *Out = new TClipper;
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::CreatePalette(DWORD Flags, LPPALETTEENTRY Table,
                                            LPDIRECTDRAWPALETTE* Out, IUnknown* Outer) {
    if (!Out || Outer || !Table)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::CreatePalette"); hr != DD_OK)
        return hr;
    if (!(Flags & DDPCAPS_8BIT))
        return DDERR_UNSUPPORTED;
    *Out = new TPalette(Table);
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::CreateSurface(LPDDSURFACEDESC Desc, LPDIRECTDRAWSURFACE* Out,
                                            IUnknown* Outer) {
    if (!Desc || !Out || Outer || Desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::CreateSurface"); hr != DD_OK)
        return hr;
    if (!(Desc->dwFlags & DDSD_CAPS))
        return DDERR_INVALIDCAPS;
    TDisplay& display = Display();
    const DWORD caps = Desc->ddsCaps.dwCaps;
    const DWORD flags = Desc->dwFlags;
    if ((caps & DDSCAPS_SYSTEMMEMORY) && (caps & DDSCAPS_VIDEOMEMORY))
        return DDERR_INVALIDCAPS;
    const DWORD placed =
        caps & DDSCAPS_SYSTEMMEMORY ? 0 : DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    const int screenBits = vcl::Screen().BitsPerPixel();
    DDPIXELFORMAT screenFormat = RgbPixelFormat(screenBits);
    TPixelKind screenKind;
    if (!PixelKindOf(screenFormat, screenKind))
        return DDERR_GENERIC;

    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (Object.Level == 0)
            return DDERR_NOCOOPERATIVELEVELSET;
        if (flags & (DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT))
            return DDERR_INVALIDPARAMS;
        const bool exclusive = display.Exclusive == &Object;
        if ((caps & DDSCAPS_FLIP) || (flags & DDSD_BACKBUFFERCOUNT)) {
            if (!(caps & DDSCAPS_FLIP) || !(caps & DDSCAPS_COMPLEX) ||
                !(flags & DDSD_BACKBUFFERCOUNT))
                return DDERR_INVALIDCAPS;
            if (Desc->dwBackBufferCount != 1)
                return DDERR_UNSUPPORTED;
            if (!exclusive)
                return DDERR_NOEXCLUSIVEMODE;
        }
        if (exclusive && display.ExclusivePrimary)
            return DDERR_INVALIDCAPS; // one primary per full-screen owner
        const int w = vcl::Screen().Width(), h = vcl::Screen().Height();
        const DWORD frontCaps = (caps & ~DDSCAPS_SYSTEMMEMORY) | DDSCAPS_VIDEOMEMORY |
                                DDSCAPS_LOCALVIDMEM | DDSCAPS_VISIBLE |
                                (caps & DDSCAPS_FLIP ? DDSCAPS_FRONTBUFFER : 0);
        auto* front = new TSurface(&Object, frontCaps, w, h, screenFormat, screenKind, !exclusive);
        Object.Surfaces.push_back(front);
        if (caps & DDSCAPS_FLIP) {
            const DWORD backCaps = (caps & (DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE)) |
                                   DDSCAPS_BACKBUFFER | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
            auto* back = new TSurface(&Object, backCaps, w, h, screenFormat, screenKind, false);
            Object.Surfaces.push_back(back);
            front->AttachBackBuffer(back);
        }
        if (exclusive) {
            display.ExclusivePrimary = front;
            display.FullScreenChanged();
        }
        *Out = front;
        return DD_OK;
    }

    if (!(flags & DDSD_WIDTH) || !(flags & DDSD_HEIGHT) || Desc->dwWidth == 0 ||
        Desc->dwHeight == 0)
        return DDERR_INVALIDPARAMS;
    if (Desc->dwWidth > kMaxSide)
        return DDERR_TOOBIGWIDTH;
    if (Desc->dwHeight > kMaxSide)
        return DDERR_TOOBIGHEIGHT;
    const int w = static_cast<int>(Desc->dwWidth), h = static_cast<int>(Desc->dwHeight);

    if (caps & DDSCAPS_ZBUFFER) {
        if (!(flags & DDSD_ZBUFFERBITDEPTH))
            return DDERR_INVALIDPARAMS;
        const DWORD depth = Desc->dwZBufferBitDepth;
        if (depth != 16 && depth != 24 && depth != 32)
            return DDERR_INVALIDPIXELFORMAT;
        const DDPIXELFORMAT f = ZPixelFormat(static_cast<int>(depth));
        TPixelKind kind;
        PixelKindOf(f, kind);
        auto* z = new TSurface(&Object, (caps & ~DDSCAPS_3DDEVICE) | placed, w, h, f, kind, false);
        Object.Surfaces.push_back(z);
        *Out = z;
        return DD_OK;
    }

    DDPIXELFORMAT f = screenFormat;
    TPixelKind kind = screenKind;
    if (flags & DDSD_PIXELFORMAT) {
        f = Desc->ddpfPixelFormat;
        if (f.dwSize != sizeof(DDPIXELFORMAT) || !PixelKindOf(f, kind) || IsZ(kind))
            return DDERR_INVALIDPIXELFORMAT;
        f = RgbPixelFormat(static_cast<int>(f.dwRGBBitCount));
    }
    auto* s = new TSurface(&Object, caps | placed, w, h, f, kind, false);
    Object.Surfaces.push_back(s);
    *Out = s;
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::EnumDisplayModes(DWORD, LPDDSURFACEDESC Filter, LPVOID Context,
                                               LPDDENUMMODESCALLBACK Callback) {
    if (!Callback || (Filter && Filter->dwSize != sizeof(DDSURFACEDESC)))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::EnumDisplayModes"); hr != DD_OK)
        return hr;
    const DWORD rate = static_cast<DWORD>(std::max(0, vcl::Screen().RefreshRate()));
    for (const TMode& m : DisplayModes()) {
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_REFRESHRATE;
        d.dwWidth = static_cast<DWORD>(m.Width);
        d.dwHeight = static_cast<DWORD>(m.Height);
        d.lPitch = PitchFor(m.Width, (m.Bits + 7) / 8);
        d.dwRefreshRate = rate;
        d.ddpfPixelFormat = RgbPixelFormat(m.Bits);
        if (Filter) {
            if ((Filter->dwFlags & DDSD_WIDTH) && Filter->dwWidth != d.dwWidth)
                continue;
            if ((Filter->dwFlags & DDSD_HEIGHT) && Filter->dwHeight != d.dwHeight)
                continue;
            if ((Filter->dwFlags & DDSD_PIXELFORMAT) &&
                Filter->ddpfPixelFormat.dwRGBBitCount != d.ddpfPixelFormat.dwRGBBitCount)
                continue;
            if ((Filter->dwFlags & DDSD_REFRESHRATE) && Filter->dwRefreshRate != rate)
                continue;
        }
        if (Callback(&d, Context) == DDENUMRET_CANCEL)
            break;
    }
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::FlipToGDISurface() {
    return Display().Failures.Check("IDirectDraw2::FlipToGDISurface");
}

HRESULT TDirectDraw::TSecond::RestoreDisplayMode() {
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::RestoreDisplayMode"); hr != DD_OK)
        return hr;
    if (Object.ModeSetHere) {
        vcl::Screen().RestoreMode();
        Object.ModeSetHere = false;
    }
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::SetCooperativeLevel(HWND Wnd, DWORD Flags) {
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::SetCooperativeLevel"); hr != DD_OK)
        return hr;
    TDisplay& display = Display();
    const bool exclusive = (Flags & DDSCL_EXCLUSIVE) != 0;
    const bool full = (Flags & DDSCL_FULLSCREEN) != 0;
    const bool normal = (Flags & DDSCL_NORMAL) != 0;
    if (normal == exclusive || exclusive != full)
        return DDERR_INVALIDPARAMS;
    if (exclusive) {
        if (!Wnd)
            return DDERR_INVALIDPARAMS;
        if (display.Exclusive && display.Exclusive != &Object)
            return DDERR_NOEXCLUSIVEMODE;
        display.Exclusive = &Object;
        display.ExclusiveWindow = Wnd;
        // The owner window covers the screen while it holds it.
        Wnd->showFullScreen();
    } else {
        Object.LeaveExclusive();
    }
    Object.Level = Flags;
    Object.Window = Wnd;
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::SetDisplayMode(DWORD Width, DWORD Height, DWORD Bits, DWORD Rate,
                                             DWORD Flags) {
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::SetDisplayMode"); hr != DD_OK)
        return hr;
    if (Flags != 0)
        return DDERR_INVALIDPARAMS;
    if (Object.Level == 0)
        return DDERR_NOCOOPERATIVELEVELSET;
    if (Display().Exclusive != &Object)
        return DDERR_NOEXCLUSIVEMODE;
    const auto modes = DisplayModes();
    const bool listed = std::any_of(modes.begin(), modes.end(), [&](const TMode& m) {
        return DWORD(m.Width) == Width && DWORD(m.Height) == Height && DWORD(m.Bits) == Bits;
    });
    const DWORD rate = static_cast<DWORD>(std::max(0, vcl::Screen().RefreshRate()));
    if (!listed || (Rate != 0 && Rate != rate))
        return DDERR_INVALIDMODE;
    vcl::Screen().SetMode(static_cast<int>(Width), static_cast<int>(Height),
                          static_cast<int>(Bits));
    Object.ModeSetHere = true;
    return DD_OK;
}

HRESULT TDirectDraw::TSecond::WaitForVerticalBlank(DWORD Flags, HANDLE) {
    if (HRESULT hr = Display().Failures.Check("IDirectDraw2::WaitForVerticalBlank"); hr != DD_OK)
        return hr;
    if (Flags != DDWAITVB_BLOCKBEGIN)
        return DDERR_UNSUPPORTED;
    const int rate = vcl::Screen().RefreshRate();
    if (rate <= 0)
        return DD_OK;
    // Blanks fall on whole periods of the steady clock.
    using namespace std::chrono;
    const auto period = nanoseconds(1'000'000'000LL / rate);
    const auto now = steady_clock::now().time_since_epoch();
    std::this_thread::sleep_until(steady_clock::time_point((now / period + 1) * period));
    return DD_OK;
}

HRESULT TDirectDraw::TThird::CreateDevice(REFCLSID Class, LPDIRECTDRAWSURFACE Surface,
                                          LPDIRECT3DDEVICE2* Out) {
    if (!Out)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Display().Failures.Check("IDirect3D2::CreateDevice"); hr != DD_OK)
        return hr;
    TSurface* target = TSurface::From(Surface);
    if (!target || target->Owner != &Object)
        return DDERR_INVALIDPARAMS;
    if (!(target->Caps & DDSCAPS_3DDEVICE))
        return DDERR_INVALIDCAPS;
    if (IsZ(target->Kind))
        return DDERR_INVALIDPIXELFORMAT;
    if (target->Lost())
        return DDERR_SURFACELOST;
    if (Class == IID_IDirect3DHALDevice) {
        if (!Display().Hardware3D)
            return D3DERR_INVALID_DEVICE;
        if (target->Caps & DDSCAPS_SYSTEMMEMORY)
            return D3DERR_SURFACENOTINVIDMEM;
    } else if (!(Class == IID_IDirect3DMMXDevice || Class == IID_IDirect3DRGBDevice ||
                 Class == IID_IDirect3DRampDevice)) {
        return D3DERR_INVALID_DEVICE;
    }
    *Out = new TDirect3DDevice(Object, target, Class);
    return DD_OK;
}

HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA Callback, LPVOID Context) {
    if (!Callback)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Display().Failures.Check("DirectDrawEnumerateA"); hr != DD_OK)
        return hr;
    char description[] = "Primary Display Driver";
    char name[] = "display";
    Callback(nullptr, description, name, Context);
    return DD_OK;
}

HRESULT DirectDrawCreate(GUID* Guid, LPDIRECTDRAW* Out, IUnknown* Outer) {
    if (!Out || Outer)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Display().Failures.Check("DirectDrawCreate"); hr != DD_OK)
        return hr;
    if (Guid)
        return DDERR_INVALIDPARAMS; // the primary display driver is the only one
    auto* object = new TDirectDraw;
    object->First.AddRef();
    *Out = &object->First;
    return DD_OK;
}
