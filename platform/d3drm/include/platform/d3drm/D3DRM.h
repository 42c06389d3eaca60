#pragma once
// The retained-mode object: the factory of frames, meshes, lights, textures, devices and
// viewports. Direct3DRMCreate gives the first interface; QueryInterface(IID_IDirect3DRM2) the
// one everything is made through. Objects made through it do not hold it: it can be released
// while they live on.

#include "platform/com/FailurePlan.h"
#include "platform/d3drm/D3DRMObj.h"
#include "platform/ddraw/D3D.h" // the immediate-mode objects the devices are made from

inline constexpr IID IID_IDirect3DRM{
    0xfdb5f214, 0x8230, 0x4d8a, {0x81, 0x85, 0xc7, 0xd2, 0x65, 0xcf, 0xb6, 0x42}};
inline constexpr IID IID_IDirect3DRM2{
    0x1f9b3c2e, 0x6a41, 0x4d57, {0x8e, 0x0b, 0x5c, 0x93, 0x27, 0xa4, 0xd1, 0x68}};

struct IDirect3DRM : IUnknown {};

struct IDirect3DRM2 : IDirect3DRM {
    // A frame under Parent (nullptr: a root frame), placed at Parent's origin with its axes.
    virtual HRESULT CreateFrame(IDirect3DRMFrame* Parent, IDirect3DRMFrame2** Frame) = 0;
    virtual HRESULT CreateMeshBuilder(IDirect3DRMMeshBuilder2** Builder) = 0;
    // D3DRMLIGHT_AMBIENT or D3DRMLIGHT_DIRECTIONAL; other types are D3DRMERR_BADVALUE.
    virtual HRESULT CreateLightRGB(D3DRMLIGHTTYPE Type, D3DVALUE Red, D3DVALUE Green, D3DVALUE Blue,
                                   IDirect3DRMLight** Light) = 0;
    // A Windows bitmap file, 8-bit palettised or 24-bit, of any size. A file that is missing
    // (D3DRMERR_FILENOTFOUND) or not such a bitmap (D3DRMERR_BADFILE) gives no texture.
    virtual HRESULT LoadTexture(const char* FileName, IDirect3DRMTexture2** Texture) = 0;
    // A device that renders into the back buffer the immediate-mode device draws on, with the
    // Z-buffer attached to it.
    virtual HRESULT CreateDeviceFromD3D(IDirect3D2* Direct3D, IDirect3DDevice2* Device,
                                        IDirect3DRMDevice2** RMDevice) = 0;
    virtual HRESULT CreateViewport(IDirect3DRMDevice* Device, IDirect3DRMFrame* Camera, DWORD X,
                                   DWORD Y, DWORD Width, DWORD Height,
                                   IDirect3DRMViewport** Viewport) = 0;
};

using LPDIRECT3DRM = IDirect3DRM*;
using LPDIRECT3DRM2 = IDirect3DRM2*;

HRESULT Direct3DRMCreate(IDirect3DRM** RM);

// The failure plan of this stand-in: calls are named "Direct3DRMCreate" and
// "IDirect3DRMFrame::SetPosition" and so on, by the interface that declares the method.
TFailurePlan& D3DRMFailures();
