#pragma once
// A surface of the emulated driver: its memory (or the desktop's, for a windowed primary), its
// description, and what is attached to it.

#include "Blit.h"
#include "DDrawFamily.h"
#include "platform/ddraw/DDraw.h"

#include <memory>
#include <vector>

class TDirectDraw;
class TPalette;
class TClipper;

class TSurface final : public TComObject<IDirectDrawSurface> {
public:
    // A surface made by Owner; Desc has been checked. Memory is allocated here.
    TSurface(TDirectDraw* Owner, DWORD Caps, int Width, int Height, const DDPIXELFORMAT& Format,
             TPixelKind Kind, bool OnDesktop);
    ~TSurface() override;

    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE lpDDSAttachedSurface) override;
    HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect,
                DWORD dwFlags, LPDDBLTFX lpDDBltFx) override;
    HRESULT BltFast(DWORD dwX, DWORD dwY, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect,
                    DWORD dwTrans) override;
    HRESULT Flip(LPDIRECTDRAWSURFACE lpDDSurfaceTargetOverride, DWORD dwFlags) override;
    HRESULT GetAttachedSurface(LPDDSCAPS lpDDSCaps,
                               LPDIRECTDRAWSURFACE* lplpDDAttachedSurface) override;
    HRESULT GetCaps(LPDDSCAPS lpDDSCaps) override;
    HRESULT GetDC(HDC* lphDC) override;
    HRESULT GetPalette(LPDIRECTDRAWPALETTE* lplpDDPalette) override;
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC lpDDSurfaceDesc) override;
    HRESULT IsLost() override;
    HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags,
                 HANDLE hEvent) override;
    HRESULT ReleaseDC(HDC hDC) override;
    HRESULT Restore() override;
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) override;
    HRESULT SetColorKey(DWORD dwFlags, LPDDCOLORKEY lpDDColorKey) override;
    HRESULT SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) override;
    HRESULT Unlock(LPVOID lpSurfaceData) override;

    // nullptr when Surface is not one of ours.
    static TSurface* From(IDirectDrawSurface* Surface);

    bool Lost() const;
    void LoseMemory() { LostOnPurpose = true; }
    TPixmap Pixmap();
    BYTE* Bits();
    LONG Pitch() const;
    bool IsPrimary() const { return (Caps & DDSCAPS_PRIMARYSURFACE) != 0; }
    bool IsDesktopPrimary() const { return OnDesktop; }

    // The owner is going away: the surface loses its memory and its place among the driver's
    // surfaces for good, but lives on, lost, while anyone still holds it. What it held is
    // handed to Dropped for the owner to release once every surface of its own is orphaned.
    void Orphan(std::vector<IUnknown*>& Dropped);
    bool Orphaned() const { return Owner == nullptr; }
    // The chain's back buffer, made with the front one.
    void AttachBackBuffer(TSurface* Back);

    TDirectDraw* Owner;
    DWORD Caps;
    const int Width, Height;
    const DDPIXELFORMAT Format;
    const TPixelKind Kind;
    TSurface* BackBuffer = nullptr;
    TSurface* ZBuffer = nullptr;
    TSurface* Front = nullptr;
    TPalette* Palette = nullptr;
    TClipper* Clipper = nullptr;
    std::vector<BYTE> Memory;

private:
    // A texture surface answers the texture interface with a new texture object each time.
    HRESULT Unlisted(REFIID Riid, void** Object) override;
    // What the surface holds goes with its last reference, and its owner stops listing it.
    void LastReleased() override;
    HRESULT Check(const char* Method);
    DDSURFACEDESC Describe();
    // The screen area a rectangle of a windowed primary covers, for the views.
    void Shown(const RECT& Rect);

    const bool OnDesktop;
    LONG OwnPitch;
    std::uint32_t Serial;
    bool LostOnPurpose = false;
    bool Locked = false;
    RECT LockedRect;
    bool HasSrcKey = false;
    DDCOLORKEY SrcKey;
    HDC Dc = nullptr;
    std::vector<BYTE> DcScratch;
};
