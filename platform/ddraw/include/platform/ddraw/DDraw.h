#pragma once
// The display driver stand-in: DirectDraw objects, surfaces, palettes and clippers over an
// emulated display, with the platform's names. Only what the display framework calls is here.
//
// Surfaces live in memory; the primary surface stands for the screen and what a blit puts on
// it appears in the windows that show the screen (TScreenView). Records keep the platform's
// sizes: the surface description is 108 bytes, the capability record 364, the blit-effects
// record 100.

#include "platform/com/Com.h"
#include "platform/vcl/PaletteEntry.h"
#include "platform/vcl/WinHandles.h"

#include <cstdint>

struct IDirectDraw;
struct IDirectDraw2;
struct IDirectDrawSurface;
struct IDirectDrawPalette;
struct IDirectDrawClipper;

using LPDIRECTDRAW = IDirectDraw*;
using LPDIRECTDRAW2 = IDirectDraw2*;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDIRECTDRAWPALETTE = IDirectDrawPalette*;
using LPDIRECTDRAWCLIPPER = IDirectDrawClipper*;
using LPRECT = RECT*;
using LPGUID = GUID*;

// Interface identifiers.
inline constexpr IID IID_IDirectDraw{
    0x6C14DB80, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDraw2{
    0xB3A6F3E0, 0x2B43, 0x11CF, {0xA2, 0xDE, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr IID IID_IDirectDrawSurface{
    0x6C14DB81, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDrawPalette{
    0x6C14DB84, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr IID IID_IDirectDrawClipper{
    0x6C14DB85, 0xA733, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

constexpr HRESULT MakeDDHResult(DWORD Code) {
    return MakeHResult(0x88760000u + Code);
}

inline constexpr HRESULT DD_OK = S_OK;
inline constexpr HRESULT DDERR_GENERIC = E_FAIL;
inline constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HRESULT DDERR_OUTOFMEMORY = E_OUTOFMEMORY;
inline constexpr HRESULT DDERR_UNSUPPORTED = E_NOTIMPL;
inline constexpr HRESULT DDERR_ALREADYINITIALIZED = MakeDDHResult(5);
inline constexpr HRESULT DDERR_CANNOTATTACHSURFACE = MakeDDHResult(10);
inline constexpr HRESULT DDERR_CANNOTDETACHSURFACE = MakeDDHResult(20);
inline constexpr HRESULT DDERR_CURRENTLYNOTAVAIL = MakeDDHResult(40);
inline constexpr HRESULT DDERR_INVALIDCAPS = MakeDDHResult(100);
inline constexpr HRESULT DDERR_INVALIDMODE = MakeDDHResult(120);
inline constexpr HRESULT DDERR_INVALIDOBJECT = MakeDDHResult(130);
inline constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDDHResult(145);
inline constexpr HRESULT DDERR_INVALIDRECT = MakeDDHResult(150);
inline constexpr HRESULT DDERR_NO3D = MakeDDHResult(170);
inline constexpr HRESULT DDERR_NOCOOPERATIVELEVELSET = MakeDDHResult(212);
inline constexpr HRESULT DDERR_NOCOLORKEY = MakeDDHResult(215);
inline constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDDHResult(225);
inline constexpr HRESULT DDERR_NOFLIPHW = MakeDDHResult(230);
inline constexpr HRESULT DDERR_NOTFOUND = MakeDDHResult(255);
inline constexpr HRESULT DDERR_NOZBUFFERHW = MakeDDHResult(290);
inline constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDDHResult(380);
inline constexpr HRESULT DDERR_SURFACEALREADYATTACHED = MakeDDHResult(410);
inline constexpr HRESULT DDERR_SURFACEBUSY = MakeDDHResult(430);
inline constexpr HRESULT DDERR_SURFACELOST = MakeDDHResult(450);
inline constexpr HRESULT DDERR_SURFACENOTATTACHED = MakeDDHResult(460);
inline constexpr HRESULT DDERR_TOOBIGHEIGHT = MakeDDHResult(470);
inline constexpr HRESULT DDERR_TOOBIGWIDTH = MakeDDHResult(490);
inline constexpr HRESULT DDERR_UNSUPPORTEDMODE = MakeDDHResult(590);
inline constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDDHResult(540);
inline constexpr HRESULT DDERR_NOCLIPPERATTACHED = MakeDDHResult(568);
inline constexpr HRESULT DDERR_HWNDALREADYSET = MakeDDHResult(571);
inline constexpr HRESULT DDERR_NOPALETTEATTACHED = MakeDDHResult(572);
inline constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDDHResult(582);
inline constexpr HRESULT DDERR_NOTLOCKED = MakeDDHResult(584);
inline constexpr HRESULT DDERR_WRONGMODE = MakeDDHResult(587);
inline constexpr HRESULT DDERR_NOTPALETTIZED = MakeDDHResult(589);
inline constexpr HRESULT DDERR_CANTCREATEDC = MakeDDHResult(610);
inline constexpr HRESULT DDERR_DCALREADYCREATED = MakeDDHResult(620);
inline constexpr HRESULT DDERR_NODC = MakeDDHResult(586);

// Surface description flags.
inline constexpr DWORD DDSD_CAPS = 0x00000001;
inline constexpr DWORD DDSD_HEIGHT = 0x00000002;
inline constexpr DWORD DDSD_WIDTH = 0x00000004;
inline constexpr DWORD DDSD_PITCH = 0x00000008;
inline constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
inline constexpr DWORD DDSD_ZBUFFERBITDEPTH = 0x00000040;
inline constexpr DWORD DDSD_LPSURFACE = 0x00000800;
inline constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;
inline constexpr DWORD DDSD_CKSRCBLT = 0x00010000;
inline constexpr DWORD DDSD_REFRESHRATE = 0x00040000;
inline constexpr DWORD DDSD_ALL = 0x00FFF9EE;

// Surface capabilities.
inline constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
inline constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
inline constexpr DWORD DDSCAPS_FLIP = 0x00000010;
inline constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000020;
inline constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x00000040;
inline constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
inline constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
inline constexpr DWORD DDSCAPS_TEXTURE = 0x00001000;
inline constexpr DWORD DDSCAPS_3DDEVICE = 0x00002000;
inline constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
inline constexpr DWORD DDSCAPS_VISIBLE = 0x00008000;
inline constexpr DWORD DDSCAPS_ZBUFFER = 0x00020000;
inline constexpr DWORD DDSCAPS_ALLOCONLOAD = 0x04000000;
inline constexpr DWORD DDSCAPS_LOCALVIDMEM = 0x10000000;

// Driver capabilities.
inline constexpr DWORD DDCAPS_3D = 0x00000001;
inline constexpr DWORD DDCAPS_BLT = 0x00000040;
inline constexpr DWORD DDCAPS_BLTSTRETCH = 0x00000200;
inline constexpr DWORD DDCAPS_PALETTE = 0x00008000;
inline constexpr DWORD DDCAPS_COLORKEY = 0x00400000;

// Pixel format flags.
inline constexpr DWORD DDPF_ALPHAPIXELS = 0x00000001;
inline constexpr DWORD DDPF_ALPHA = 0x00000002;
inline constexpr DWORD DDPF_PALETTEINDEXED4 = 0x00000008;
inline constexpr DWORD DDPF_PALETTEINDEXED8 = 0x00000020;
inline constexpr DWORD DDPF_RGB = 0x00000040;
inline constexpr DWORD DDPF_ZBUFFER = 0x00000400;

// Cooperative levels.
inline constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
inline constexpr DWORD DDSCL_ALLOWREBOOT = 0x00000002;
inline constexpr DWORD DDSCL_NOWINDOWCHANGES = 0x00000004;
inline constexpr DWORD DDSCL_NORMAL = 0x00000008;
inline constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;
inline constexpr DWORD DDSCL_ALLOWMODEX = 0x00000040;

// Blits, flips, locks, vertical blank, palettes, colour keys.
inline constexpr DWORD DDBLT_COLORFILL = 0x00000400;
inline constexpr DWORD DDBLT_KEYSRC = 0x00008000;
inline constexpr DWORD DDBLT_WAIT = 0x01000000;
inline constexpr DWORD DDBLTFAST_NOCOLORKEY = 0x00000000;
inline constexpr DWORD DDBLTFAST_SRCCOLORKEY = 0x00000001;
inline constexpr DWORD DDBLTFAST_WAIT = 0x00000010;
inline constexpr DWORD DDFLIP_WAIT = 0x00000001;
inline constexpr DWORD DDLOCK_WAIT = 0x00000001;
inline constexpr DWORD DDLOCK_READONLY = 0x00000010;
inline constexpr DWORD DDLOCK_WRITEONLY = 0x00000020;
inline constexpr DWORD DDWAITVB_BLOCKBEGIN = 0x00000001;
inline constexpr DWORD DDPCAPS_8BIT = 0x00000004;
inline constexpr DWORD DDPCAPS_ALLOW256 = 0x00000040;
inline constexpr DWORD DDCKEY_SRCBLT = 0x00000008;

inline constexpr BOOL DDENUMRET_CANCEL = 0;
inline constexpr BOOL DDENUMRET_OK = 1;

struct DDSCAPS {
    DWORD dwCaps = 0;
};
using LPDDSCAPS = DDSCAPS*;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue = 0;
    DWORD dwColorSpaceHighValue = 0;
};
using LPDDCOLORKEY = DDCOLORKEY*;

struct DDPIXELFORMAT {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwFourCC = 0;
    union {
        DWORD dwRGBBitCount = 0;
        DWORD dwZBufferBitDepth;
    };
    union {
        DWORD dwRBitMask = 0;
        DWORD dwZBitMask;
    };
    DWORD dwGBitMask = 0;
    DWORD dwBBitMask = 0;
    DWORD dwRGBAlphaBitMask = 0;
};
using LPDDPIXELFORMAT = DDPIXELFORMAT*;

// The 108-byte record of the platform. On a 64-bit machine the pixel pointer takes the reserved
// field before it, so the record keeps its size and every other field its offset.
#pragma pack(push, 4)
struct DDSURFACEDESC {
    DWORD dwSize = 0;
    DWORD dwFlags = 0;
    DWORD dwHeight = 0;
    DWORD dwWidth = 0;
    LONG lPitch = 0;
    DWORD dwBackBufferCount = 0;
    union {
        DWORD dwZBufferBitDepth = 0;
        DWORD dwRefreshRate;
        DWORD dwMipMapCount;
    };
    DWORD dwAlphaBitDepth = 0;
    LPVOID lpSurface = nullptr;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
};
#pragma pack(pop)
static_assert(sizeof(DDSURFACEDESC) == 108);
using LPDDSURFACEDESC = DDSURFACEDESC*;

// The 364-byte capability record; only the fields the display framework reads are named.
struct DDCAPS {
    DWORD dwSize = 0;
    DWORD dwCaps = 0;
    DWORD dwCaps2 = 0;
    DWORD dwCKeyCaps = 0;
    DWORD dwFXCaps = 0;
    DWORD dwFXAlphaCaps = 0;
    DWORD dwPalCaps = 0;
    DWORD dwSVCaps = 0;
    DWORD dwAlphaBitDepths[6] = {};
    DWORD dwZBufferBitDepths = 0;
    DWORD dwVidMemTotal = 0;
    DWORD dwVidMemFree = 0;
    DWORD dwOverlayAndAlignment[8] = {};
    DWORD dwRops[8] = {};
    DDSCAPS ddsCaps;
    DWORD dwReserved[57] = {};
};
static_assert(sizeof(DDCAPS) == 364);
using LPDDCAPS = DDCAPS*;

// The 100-byte blit-effects record; the surface-pointer alternatives of the platform's unions
// are not offered (nothing here passes surfaces through it).
struct DDBLTFX {
    DWORD dwSize = 0;
    DWORD dwDDFX = 0;
    DWORD dwROP = 0;
    DWORD dwDDROP = 0;
    DWORD dwRotationAngle = 0;
    DWORD dwZBufferOpCode = 0;
    DWORD dwZBufferLow = 0;
    DWORD dwZBufferHigh = 0;
    DWORD dwZBufferBaseDest = 0;
    DWORD dwZDestConstBitDepth = 0;
    DWORD dwZDestConst = 0;
    DWORD dwZSrcConstBitDepth = 0;
    DWORD dwZSrcConst = 0;
    DWORD dwAlphaEdgeBlendBitDepth = 0;
    DWORD dwAlphaEdgeBlend = 0;
    DWORD dwReserved = 0;
    DWORD dwAlphaDestConstBitDepth = 0;
    DWORD dwAlphaDestConst = 0;
    DWORD dwAlphaSrcConstBitDepth = 0;
    DWORD dwAlphaSrcConst = 0;
    DWORD dwFillColor = 0;
    DDCOLORKEY ddckDestColorkey;
    DDCOLORKEY ddckSrcColorkey;
};
static_assert(sizeof(DDBLTFX) == 100);
using LPDDBLTFX = DDBLTFX*;

// Answers DDENUMRET_OK to go on, DDENUMRET_CANCEL to stop.
using LPDDENUMCALLBACKA = BOOL (*)(GUID* lpGUID, LPSTR lpDriverDescription, LPSTR lpDriverName,
                                   LPVOID lpContext);
using LPDDENUMMODESCALLBACK = HRESULT (*)(LPDDSURFACEDESC lpDDSurfaceDesc, LPVOID lpContext);

struct IDirectDraw : IUnknown {
    virtual HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) = 0;
};

struct IDirectDraw2 : IUnknown {
    virtual HRESULT CreateClipper(DWORD dwFlags, LPDIRECTDRAWCLIPPER* lplpDDClipper,
                                  IUnknown* pUnkOuter) = 0;
    virtual HRESULT CreatePalette(DWORD dwFlags, LPPALETTEENTRY lpColorTable,
                                  LPDIRECTDRAWPALETTE* lplpDDPalette, IUnknown* pUnkOuter) = 0;
    virtual HRESULT CreateSurface(LPDDSURFACEDESC lpDDSurfaceDesc,
                                  LPDIRECTDRAWSURFACE* lplpDDSurface, IUnknown* pUnkOuter) = 0;
    // The callback gets each mode's description (size, pitch, pixel format, refresh rate).
    virtual HRESULT EnumDisplayModes(DWORD dwFlags, LPDDSURFACEDESC lpDDSurfaceDesc,
                                     LPVOID lpContext, LPDDENUMMODESCALLBACK lpEnumCallback) = 0;
    virtual HRESULT FlipToGDISurface() = 0;
    virtual HRESULT GetCaps(LPDDCAPS lpDDDriverCaps, LPDDCAPS lpDDHELCaps) = 0;
    virtual HRESULT RestoreDisplayMode() = 0;
    virtual HRESULT SetCooperativeLevel(HWND hWnd, DWORD dwFlags) = 0;
    virtual HRESULT SetDisplayMode(DWORD dwWidth, DWORD dwHeight, DWORD dwBPP, DWORD dwRefreshRate,
                                   DWORD dwFlags) = 0;
    virtual HRESULT WaitForVerticalBlank(DWORD dwFlags, HANDLE hEvent) = 0;
};

struct IDirectDrawSurface : IUnknown {
    virtual HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE lpDDSAttachedSurface) = 0;
    // Rectangles may be nullptr for the whole surface; the source is scaled to the destination
    // and converted to the destination's pixel format.
    virtual HRESULT Blt(LPRECT lpDestRect, LPDIRECTDRAWSURFACE lpDDSrcSurface, LPRECT lpSrcRect,
                        DWORD dwFlags, LPDDBLTFX lpDDBltFx) = 0;
    virtual HRESULT BltFast(DWORD dwX, DWORD dwY, LPDIRECTDRAWSURFACE lpDDSrcSurface,
                            LPRECT lpSrcRect, DWORD dwTrans) = 0;
    virtual HRESULT Flip(LPDIRECTDRAWSURFACE lpDDSurfaceTargetOverride, DWORD dwFlags) = 0;
    virtual HRESULT GetAttachedSurface(LPDDSCAPS lpDDSCaps,
                                       LPDIRECTDRAWSURFACE* lplpDDAttachedSurface) = 0;
    virtual HRESULT GetCaps(LPDDSCAPS lpDDSCaps) = 0;
    virtual HRESULT GetDC(HDC* lphDC) = 0;
    virtual HRESULT GetPalette(LPDIRECTDRAWPALETTE* lplpDDPalette) = 0;
    virtual HRESULT GetSurfaceDesc(LPDDSURFACEDESC lpDDSurfaceDesc) = 0;
    // S_OK while the surface has its memory, DDERR_SURFACELOST after a mode change took it.
    virtual HRESULT IsLost() = 0;
    virtual HRESULT Lock(LPRECT lpDestRect, LPDDSURFACEDESC lpDDSurfaceDesc, DWORD dwFlags,
                         HANDLE hEvent) = 0;
    virtual HRESULT ReleaseDC(HDC hDC) = 0;
    virtual HRESULT Restore() = 0;
    virtual HRESULT SetClipper(LPDIRECTDRAWCLIPPER lpDDClipper) = 0;
    virtual HRESULT SetColorKey(DWORD dwFlags, LPDDCOLORKEY lpDDColorKey) = 0;
    virtual HRESULT SetPalette(LPDIRECTDRAWPALETTE lpDDPalette) = 0;
    virtual HRESULT Unlock(LPVOID lpSurfaceData) = 0;
};

struct IDirectDrawPalette : IUnknown {
    virtual HRESULT GetEntries(DWORD dwFlags, DWORD dwBase, DWORD dwNumEntries,
                               LPPALETTEENTRY lpEntries) = 0;
    virtual HRESULT SetEntries(DWORD dwFlags, DWORD dwStartingEntry, DWORD dwCount,
                               LPPALETTEENTRY lpEntries) = 0;
};

struct IDirectDrawClipper : IUnknown {
    virtual HRESULT GetHWnd(HWND* lphWnd) = 0;
    virtual HRESULT SetHWnd(DWORD dwFlags, HWND hWnd) = 0;
};

// Lists the display drivers: the primary display driver first, with no identifier.
HRESULT DirectDrawEnumerateA(LPDDENUMCALLBACKA lpCallback, LPVOID lpContext);
// lpGUID nullptr: the active display driver.
HRESULT DirectDrawCreate(GUID* lpGUID, LPDIRECTDRAW* lplpDD, IUnknown* pUnkOuter);
