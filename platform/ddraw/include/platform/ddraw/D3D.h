#pragma once
// The immediate-mode side of Direct3D that the display framework touches: the Direct3D
// interface of a DirectDraw object and the devices it makes on a back buffer. The retained-mode
// stand-in builds on these; they never depend on it.

#include "platform/ddraw/DDraw.h"

struct IDirect3D2;
struct IDirect3DDevice2;
struct IDirect3DTexture2;
using LPDIRECT3D2 = IDirect3D2*;
using LPDIRECT3DDEVICE2 = IDirect3DDevice2*;
using LPDIRECT3DTEXTURE2 = IDirect3DTexture2*;

inline constexpr IID IID_IDirect3D2{
    0x6AAE1EC1, 0x662A, 0x11D0, {0x88, 0x9D, 0x00, 0xAA, 0x00, 0xBB, 0xB7, 0x6A}};
inline constexpr IID IID_IDirect3DDevice2{
    0x93281501, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};
// The texture side of a surface made with DDSCAPS_TEXTURE.
inline constexpr IID IID_IDirect3DTexture2{
    0x93281502, 0x8CF8, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

// Device classes.
inline constexpr GUID IID_IDirect3DRampDevice{
    0xF2086B20, 0x259F, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DRGBDevice{
    0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DHALDevice{
    0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
inline constexpr GUID IID_IDirect3DMMXDevice{
    0x881949A1, 0xD6F3, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

constexpr HRESULT MakeD3DHResult(DWORD Code) {
    return MakeDDHResult(Code);
}
inline constexpr HRESULT D3DERR_INVALID_DEVICE = MakeD3DHResult(705);
inline constexpr HRESULT D3DERR_INITFAILED = MakeD3DHResult(706);
inline constexpr HRESULT D3DERR_SURFACENOTINVIDMEM = MakeD3DHResult(711);

// Palette entry flags of Direct3D.
inline constexpr BYTE D3DPAL_FREE = 0x00;
inline constexpr BYTE D3DPAL_READONLY = 0x40;
inline constexpr BYTE D3DPAL_RESERVED = 0x80;

struct IDirect3D2 : IUnknown {
    // The hardware class fails with D3DERR_INVALID_DEVICE where no 3D hardware is reported; the
    // MMX, RGB and ramp classes are software devices drawing into lpDDS, which must have been
    // created with DDSCAPS_3DDEVICE.
    virtual HRESULT CreateDevice(REFCLSID rclsid, LPDIRECTDRAWSURFACE lpDDS,
                                 LPDIRECT3DDEVICE2* lplpD3DDevice) = 0;
};

using D3DTEXTUREHANDLE = DWORD;
inline constexpr HRESULT D3DENUMRET_CANCEL = 0;
inline constexpr HRESULT D3DENUMRET_OK = 1;
// Gets each texture format as a description with only its pixel format set.
using LPD3DENUMTEXTUREFORMATSCALLBACK = HRESULT (*)(LPDDSURFACEDESC lpDdsd, LPVOID lpContext);

struct IDirect3DDevice2 : IUnknown {
    // The surface the device draws into, with a reference for the caller.
    virtual HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE* lplpRenderTarget) = 0;
    // The formats a texture surface may have for this device, until the callback cancels.
    virtual HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK lpd3dEnumTextureProc,
                                       LPVOID lpArg) = 0;
};

struct IDirect3DTexture2 : IUnknown {
    // A non-zero handle by which Device draws with this texture.
    virtual HRESULT GetHandle(LPDIRECT3DDEVICE2 lpDirect3DDevice2, D3DTEXTUREHANDLE* lpHandle) = 0;
    // Copies the pixels of a texture of the same size into this one (in system memory or in
    // video memory, which is how a texture gets there).
    virtual HRESULT Load(LPDIRECT3DTEXTURE2 lpD3DTexture2) = 0;
};
