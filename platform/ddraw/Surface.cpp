#include "Surface.h"

#include "Clipper.h"
#include "DirectDrawObject.h"
#include "Display.h"
#include "ImageFormat.h"
#include "Palette.h"
#include "Texture.h"
#include "platform/vcl/Screen.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

bool Inside(const RECT& R, int Width, int Height) {
    return R.left >= 0 && R.top >= 0 && R.right <= Width && R.bottom <= Height &&
           R.left < R.right && R.top < R.bottom;
}

RECT Intersect(const RECT& A, const RECT& B) {
    RECT r{std::max(A.left, B.left), std::max(A.top, B.top), std::min(A.right, B.right),
           std::min(A.bottom, B.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

bool Overlap(const RECT& A, const RECT& B) {
    return A.left < B.right && B.left < A.right && A.top < B.bottom && B.top < A.bottom;
}

} // namespace

TSurface::TSurface(TDirectDraw* AOwner, DWORD ACaps, int AWidth, int AHeight,
                   const DDPIXELFORMAT& AFormat, TPixelKind AKind, bool AOnDesktop)
    : TComObject(kDDrawFamily, "IDirectDrawSurface", {IID_IDirectDrawSurface}), Owner(AOwner),
      Caps(ACaps), Width(AWidth), Height(AHeight), Format(AFormat), Kind(AKind),
      OnDesktop(AOnDesktop), OwnPitch(PitchFor(AWidth, BytesPerPixel(AKind))),
      Serial(vcl::Screen().ModeSerial()) {
    if (!OnDesktop)
        Memory.assign(static_cast<size_t>(OwnPitch) * static_cast<size_t>(Height), 0);
    TDisplay::Get().Surfaces.push_back(this);
}

TSurface::~TSurface() {
    TDisplay& display = TDisplay::Get();
    if (display.ExclusivePrimary == this)
        display.ExclusivePrimary = nullptr;
    auto& all = display.Surfaces;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    auto& orphans = display.Orphans;
    orphans.erase(std::remove(orphans.begin(), orphans.end(), this), orphans.end());
    delete Dc;
}

TSurface* TSurface::From(IDirectDrawSurface* Surface) {
    return dynamic_cast<TSurface*>(Surface);
}

HRESULT TSurface::Unlisted(REFIID Riid, void** Object) {
    if (!(Riid == IID_IDirect3DTexture2) || !(Caps & DDSCAPS_TEXTURE))
        return E_NOINTERFACE;
    *Object = static_cast<IDirect3DTexture2*>(new TTexture(this));
    return DD_OK;
}

void TSurface::LastReleased() {
    ReleaseRef(BackBuffer);
    ReleaseRef(ZBuffer);
    ReleaseRef(Palette);
    ReleaseRef(Clipper);
    if (Owner)
        Owner->Forget(this);
    delete this;
}

void TSurface::Orphan(std::vector<IUnknown*>& Dropped) {
    TDisplay& display = TDisplay::Get();
    if (display.ExclusivePrimary == this)
        display.ExclusivePrimary = nullptr;
    auto& all = display.Surfaces;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    display.Orphans.push_back(this);
    Owner = nullptr;
    Front = nullptr;
    for (IUnknown* held : std::initializer_list<IUnknown*>{BackBuffer, ZBuffer, Palette, Clipper})
        if (held)
            Dropped.push_back(held);
    BackBuffer = ZBuffer = nullptr;
    Palette = nullptr;
    Clipper = nullptr;
    delete Dc;
    Dc = nullptr;
    Locked = false;
    std::vector<BYTE>().swap(Memory);
    std::vector<BYTE>().swap(DcScratch);
}

void TSurface::AttachBackBuffer(TSurface* Back) {
    BackBuffer = Back;
    Back->Front = this;
}

HRESULT TSurface::Check(const char* Method) {
    return TDisplay::Get().Failures.Check(std::string("IDirectDrawSurface::") + Method);
}

bool TSurface::Lost() const {
    return Orphaned() || LostOnPurpose || Serial != vcl::Screen().ModeSerial();
}

BYTE* TSurface::Bits() {
    return OnDesktop ? TDisplay::Get().DesktopBits() : Memory.data();
}

LONG TSurface::Pitch() const {
    return OnDesktop ? TDisplay::Get().DesktopPitch() : OwnPitch;
}

TPixmap TSurface::Pixmap() {
    TPixmap p;
    p.Bits = Bits();
    p.Pitch = Pitch();
    p.Width = Width;
    p.Height = Height;
    p.Kind = Kind;
    if (Kind == TPixelKind::Indexed8)
        p.Palette = Palette     ? Palette->Entries.data()
                    : OnDesktop ? vcl::Screen().SystemPalette().data()
                                : nullptr;
    return p;
}

void TSurface::Shown(const RECT& R) {
    if (OnDesktop)
        TDisplay::Get().ScreenChanged(QRect(R.left, R.top, R.right - R.left, R.bottom - R.top));
    else if (TDisplay::Get().ExclusivePrimary == this)
        TDisplay::Get().FullScreenChanged();
}

HRESULT TSurface::AddAttachedSurface(LPDIRECTDRAWSURFACE Attached) {
    if (HRESULT hr = Check("AddAttachedSurface"); hr != DD_OK)
        return hr;
    TSurface* z = From(Attached);
    if (!z || z == this)
        return DDERR_INVALIDPARAMS;
    if (!IsZ(z->Kind) || IsZ(Kind) || !Owner || z->Owner != Owner || z->Width != Width ||
        z->Height != Height)
        return DDERR_CANNOTATTACHSURFACE;
    if (ZBuffer)
        return DDERR_SURFACEALREADYATTACHED;
    z->AddRef();
    ZBuffer = z;
    return DD_OK;
}

HRESULT TSurface::Blt(LPRECT DestRect, LPDIRECTDRAWSURFACE SrcSurface, LPRECT SrcRect, DWORD Flags,
                      LPDDBLTFX Fx) {
    if (HRESULT hr = Check("Blt"); hr != DD_OK)
        return hr;
    const RECT whole{0, 0, Width, Height};
    RECT dst = DestRect ? *DestRect : whole;
    if (Lost())
        return DDERR_SURFACELOST;
    if (Locked)
        return DDERR_SURFACEBUSY;
    if (IsZ(Kind))
        return DDERR_UNSUPPORTED;

    // The clipper cuts the destination to the window's client area and the surface; without
    // one the rectangle must lie on the surface.
    RECT clip = dst;
    if (Clipper) {
        RECT client;
        if (Clipper->ClientOnScreen(client))
            clip = Intersect(Intersect(dst, client), whole);
        else
            clip = Intersect(dst, whole);
    } else if (!Inside(dst, Width, Height)) {
        return DDERR_INVALIDRECT;
    }

    if (Flags & DDBLT_COLORFILL) {
        if (!Fx || Fx->dwSize != sizeof(DDBLTFX))
            return DDERR_INVALIDPARAMS;
        if (clip.left < clip.right && clip.top < clip.bottom) {
            FillRect(Pixmap(), clip, Fx->dwFillColor);
            Shown(clip);
        }
        return DD_OK;
    }

    TSurface* src = From(SrcSurface);
    if (!src)
        return DDERR_INVALIDPARAMS;
    if (src->Lost())
        return DDERR_SURFACELOST;
    if (src->Locked && src != this)
        return DDERR_SURFACEBUSY;
    if (IsZ(src->Kind))
        return DDERR_UNSUPPORTED;
    const RECT srcWhole{0, 0, src->Width, src->Height};
    const RECT from = SrcRect ? *SrcRect : srcWhole;
    if (!Inside(from, src->Width, src->Height) || dst.left >= dst.right || dst.top >= dst.bottom)
        return DDERR_INVALIDRECT;
    if (Fx && Fx->dwSize != sizeof(DDBLTFX))
        return DDERR_INVALIDPARAMS;
    const DWORD* key = nullptr;
    if (Flags & DDBLT_KEYSRC) {
        if (!src->HasSrcKey)
            return DDERR_NOCOLORKEY;
        key = &src->SrcKey.dwColorSpaceLowValue;
    }
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return DD_OK;

    TPixmap from_ = src->Pixmap();
    std::vector<BYTE> copy;
    RECT fromRect = from;
    if (src == this && Overlap(from, clip)) {
        // Read from a copy so the rows written first are not read again.
        const int bpp = BytesPerPixel(Kind);
        const LONG pitch = PitchFor(from.right - from.left, bpp);
        copy.resize(static_cast<size_t>(pitch) * static_cast<size_t>(from.bottom - from.top));
        for (LONG y = from.top; y < from.bottom; ++y)
            std::memcpy(copy.data() +
                            static_cast<size_t>(y - from.top) * static_cast<size_t>(pitch),
                        from_.Bits + static_cast<ptrdiff_t>(y) * from_.Pitch +
                            static_cast<ptrdiff_t>(from.left) * bpp,
                        static_cast<size_t>((from.right - from.left) * bpp));
        from_.Bits = copy.data();
        from_.Pitch = pitch;
        from_.Width = from.right - from.left;
        from_.Height = from.bottom - from.top;
        fromRect = {0, 0, from_.Width, from_.Height};
    }
    ScaledBlit(Pixmap(), dst, from_, fromRect, clip, key);
    Shown(clip);
    return DD_OK;
}

HRESULT TSurface::BltFast(DWORD X, DWORD Y, LPDIRECTDRAWSURFACE SrcSurface, LPRECT SrcRect,
                          DWORD Trans) {
    if (HRESULT hr = Check("BltFast"); hr != DD_OK)
        return hr;
    TSurface* src = From(SrcSurface);
    if (!src)
        return DDERR_INVALIDPARAMS;
    if (Lost() || src->Lost())
        return DDERR_SURFACELOST;
    if (Locked || (src->Locked && src != this))
        return DDERR_SURFACEBUSY;
    if (IsZ(Kind) || IsZ(src->Kind))
        return DDERR_UNSUPPORTED;
    const RECT from = SrcRect ? *SrcRect : RECT{0, 0, src->Width, src->Height};
    if (!Inside(from, src->Width, src->Height) || X > static_cast<DWORD>(Width) ||
        Y > static_cast<DWORD>(Height))
        return DDERR_INVALIDRECT;
    const RECT dst{static_cast<LONG>(X), static_cast<LONG>(Y),
                   static_cast<LONG>(X) + from.right - from.left,
                   static_cast<LONG>(Y) + from.bottom - from.top};
    if (!Inside(dst, Width, Height))
        return DDERR_INVALIDRECT;
    const DWORD* key = nullptr;
    if (Trans & DDBLTFAST_SRCCOLORKEY) {
        if (!src->HasSrcKey)
            return DDERR_NOCOLORKEY;
        key = &src->SrcKey.dwColorSpaceLowValue;
    }
    if (src == this && Overlap(from, dst)) {
        // Same path as Blt, which reads overlapping sources from a copy.
        RECT d = dst, f = from;
        DDBLTFX fx{};
        fx.dwSize = sizeof fx;
        return Blt(&d, this, &f, key ? DDBLT_KEYSRC : 0, &fx);
    }
    ScaledBlit(Pixmap(), dst, src->Pixmap(), from, dst, key);
    Shown(dst);
    return DD_OK;
}

HRESULT TSurface::Flip(LPDIRECTDRAWSURFACE Override, DWORD) {
    if (HRESULT hr = Check("Flip"); hr != DD_OK)
        return hr;
    if (!(Caps & DDSCAPS_FLIP) || !(Caps & DDSCAPS_FRONTBUFFER) || !BackBuffer)
        return DDERR_NOTFLIPPABLE;
    if (Override && From(Override) != BackBuffer)
        return DDERR_INVALIDPARAMS;
    if (Lost() || BackBuffer->Lost())
        return DDERR_SURFACELOST;
    if (Locked || BackBuffer->Locked)
        return DDERR_SURFACEBUSY;
    // The memories trade places; each interface keeps its role (front or back).
    Memory.swap(BackBuffer->Memory);
    Shown({0, 0, Width, Height});
    return DD_OK;
}

HRESULT TSurface::GetAttachedSurface(LPDDSCAPS Wanted, LPDIRECTDRAWSURFACE* Out) {
    if (!Wanted || !Out)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Check("GetAttachedSurface"); hr != DD_OK)
        return hr;
    for (TSurface* s : {BackBuffer, ZBuffer}) {
        if (s && (s->Caps & Wanted->dwCaps) == Wanted->dwCaps) {
            s->AddRef();
            *Out = s;
            return DD_OK;
        }
    }
    return DDERR_NOTFOUND;
}

HRESULT TSurface::GetCaps(LPDDSCAPS Out) {
    if (!Out)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Check("GetCaps"); hr != DD_OK)
        return hr;
    Out->dwCaps = Caps;
    return DD_OK;
}

HRESULT TSurface::GetDC(HDC* Out) {
    if (!Out)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Check("GetDC"); hr != DD_OK)
        return hr;
    if (Lost())
        return DDERR_SURFACELOST;
    if (Dc)
        return DDERR_DCALREADYCREATED;
    if (Locked)
        return DDERR_SURFACEBUSY;
    if (IsZ(Kind))
        return DDERR_CANTCREATEDC;
    QImage target;
    if (Kind == TPixelKind::Indexed8) {
        // Drawn in colour on a copy, brought back to the palette when the context is released.
        const TPixmap p = Pixmap();
        target = QImage(Width, Height, QImage::Format_RGB32);
        for (int y = 0; y < Height; ++y) {
            auto* row = reinterpret_cast<QRgb*>(target.scanLine(y));
            const BYTE* src = p.Bits + static_cast<ptrdiff_t>(y) * p.Pitch;
            for (int x = 0; x < Width; ++x)
                row[x] = 0xFF000000u | RgbOf(Kind, src[x], p.Palette);
        }
    } else {
        target = QImage(Bits(), Width, Height, Pitch(), ImageFormatOf(Kind));
    }
    Dc = new vcl::TDeviceContext(std::move(target));
    Locked = true;
    *Out = Dc;
    return DD_OK;
}

HRESULT TSurface::ReleaseDC(HDC hDC) {
    if (HRESULT hr = Check("ReleaseDC"); hr != DD_OK)
        return hr;
    if (!Dc || hDC != Dc)
        return DDERR_NODC;
    Locked = false;
    HDC dc = Dc;
    Dc = nullptr;
    if (QPainter* p = dc->Painter())
        p->end();
    if (Kind == TPixelKind::Indexed8 && !Lost()) {
        const TPixmap dst = Pixmap();
        TPixmap from;
        from.Bits = dc->Target().bits();
        from.Pitch = static_cast<LONG>(dc->Target().bytesPerLine());
        from.Width = Width;
        from.Height = Height;
        from.Kind = TPixelKind::Xrgb8888;
        const RECT all{0, 0, Width, Height};
        ScaledBlit(dst, all, from, all, all, nullptr);
    }
    delete dc;
    Shown({0, 0, Width, Height});
    return DD_OK;
}

HRESULT TSurface::GetPalette(LPDIRECTDRAWPALETTE* Out) {
    if (!Out)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = Check("GetPalette"); hr != DD_OK)
        return hr;
    if (!Palette)
        return DDERR_NOPALETTEATTACHED;
    Palette->AddRef();
    *Out = Palette;
    return DD_OK;
}

DDSURFACEDESC TSurface::Describe() {
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    d.dwWidth = static_cast<DWORD>(Width);
    d.dwHeight = static_cast<DWORD>(Height);
    d.lPitch = Pitch();
    d.ddpfPixelFormat = Format;
    d.ddsCaps.dwCaps = Caps;
    if (IsZ(Kind)) {
        d.dwFlags |= DDSD_ZBUFFERBITDEPTH;
        d.dwZBufferBitDepth = Format.dwZBufferBitDepth;
    }
    if (BackBuffer && (Caps & DDSCAPS_FRONTBUFFER)) {
        d.dwFlags |= DDSD_BACKBUFFERCOUNT;
        d.dwBackBufferCount = 1;
    }
    if (HasSrcKey) {
        d.dwFlags |= DDSD_CKSRCBLT;
        d.ddckCKSrcBlt = SrcKey;
    }
    return d;
}

HRESULT TSurface::GetSurfaceDesc(LPDDSURFACEDESC Desc) {
    if (!Desc || Desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Check("GetSurfaceDesc"); hr != DD_OK)
        return hr;
    *Desc = Describe();
    return DD_OK;
}

HRESULT TSurface::IsLost() {
    if (HRESULT hr = Check("IsLost"); hr != DD_OK)
        return hr;
    return Lost() ? DDERR_SURFACELOST : DD_OK;
}

HRESULT TSurface::Lock(LPRECT Rect, LPDDSURFACEDESC Desc, DWORD, HANDLE) {
    if (!Desc || Desc->dwSize != sizeof(DDSURFACEDESC))
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = Check("Lock"); hr != DD_OK)
        return hr;
    if (Lost())
        return DDERR_SURFACELOST;
    if (Locked)
        return DDERR_SURFACEBUSY;
    const RECT r = Rect ? *Rect : RECT{0, 0, Width, Height};
    if (!Inside(r, Width, Height))
        return DDERR_INVALIDRECT;
    DDSURFACEDESC d = Describe();
    d.dwFlags |= DDSD_LPSURFACE;
    d.lpSurface = Bits() + static_cast<ptrdiff_t>(r.top) * Pitch() +
                  static_cast<ptrdiff_t>(r.left) * BytesPerPixel(Kind);
    Locked = true;
    LockedRect = r;
    *Desc = d;
    return DD_OK;
}

HRESULT TSurface::Unlock(LPVOID) {
    if (HRESULT hr = Check("Unlock"); hr != DD_OK)
        return hr;
    if (!Locked || Dc)
        return DDERR_NOTLOCKED;
    Locked = false;
    Shown(LockedRect);
    return DD_OK;
}

HRESULT TSurface::Restore() {
    if (HRESULT hr = Check("Restore"); hr != DD_OK)
        return hr;
    if (!Lost())
        return DD_OK;
    if (Orphaned())
        return DDERR_SURFACELOST; // its memory went with its owner
    // A primary surface belongs to the mode it was made in.
    if (IsPrimary()) {
        const int bits = static_cast<int>(Format.dwRGBBitCount);
        const bool exclusive = TDisplay::Get().ExclusivePrimary == this;
        if (bits != vcl::Screen().BitsPerPixel() ||
            (exclusive && (Width != vcl::Screen().Width() || Height != vcl::Screen().Height())) ||
            (!exclusive && OnDesktop && vcl::Screen().ModeSet()))
            return DDERR_WRONGMODE;
    }
    Serial = vcl::Screen().ModeSerial();
    LostOnPurpose = false;
    std::fill(Memory.begin(), Memory.end(), BYTE{0});
    return DD_OK;
}

HRESULT TSurface::SetClipper(LPDIRECTDRAWCLIPPER NewClipper) {
    if (HRESULT hr = Check("SetClipper"); hr != DD_OK)
        return hr;
    TClipper* c = NewClipper ? TClipper::From(NewClipper) : nullptr;
    if (NewClipper && !c)
        return DDERR_INVALIDPARAMS;
    if (c)
        c->AddRef();
    if (Clipper)
        Clipper->Release();
    Clipper = c;
    return DD_OK;
}

HRESULT TSurface::SetColorKey(DWORD Flags, LPDDCOLORKEY Key) {
    if (HRESULT hr = Check("SetColorKey"); hr != DD_OK)
        return hr;
    if (Flags != DDCKEY_SRCBLT)
        return DDERR_UNSUPPORTED;
    HasSrcKey = Key != nullptr;
    if (Key)
        SrcKey = *Key;
    return DD_OK;
}

HRESULT TSurface::SetPalette(LPDIRECTDRAWPALETTE NewPalette) {
    if (HRESULT hr = Check("SetPalette"); hr != DD_OK)
        return hr;
    TPalette* p = NewPalette ? TPalette::From(NewPalette) : nullptr;
    if (NewPalette && !p)
        return DDERR_INVALIDPARAMS;
    if (Kind != TPixelKind::Indexed8)
        return DDERR_NOTPALETTIZED;
    if (Lost())
        return DDERR_SURFACELOST;
    if (p)
        p->AddRef();
    if (Palette)
        Palette->Release();
    Palette = p;
    if (IsPrimary() && p) {
        ShowPaletteOf(p);
    }
    return DD_OK;
}
