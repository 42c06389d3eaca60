#pragma once
// The stand-ins' own door into a surface's memory, for the software 3D devices that draw into
// a back buffer without going through Lock (and so without the failure plan). Not for the
// components: they use the interfaces.

#include "platform/ddraw/D3D.h"

// Where a surface's pixels are. Bits is nullptr when the surface is lost. Z-buffers keep
// 16-bit depths in 2 bytes and 24- or 32-bit depths in 4 bytes (24 in the low bits).
struct TSurfaceBits {
    BYTE* Bits = nullptr;
    LONG Pitch = 0;
    DWORD Width = 0;
    DWORD Height = 0;
    DWORD BytesPerPixel = 0;
    DWORD Caps = 0;
    DDPIXELFORMAT Format;
};

// False for nullptr or a surface that is not one of ours.
bool DDrawSurfaceBits(IDirectDrawSurface* Surface, TSurfaceBits& Bits);
// The Z-buffer attached to Surface, without a reference; nullptr when none is attached.
IDirectDrawSurface* DDrawAttachedZBuffer(IDirectDrawSurface* Surface);
// The 256 entries of the palette attached to Surface, or nullptr when it has none.
const PALETTEENTRY* DDrawSurfacePalette(IDirectDrawSurface* Surface);
// Tells the screen that a surface's pixels changed behind its back (a primary surface drawn
// directly); other surfaces ignore it.
void DDrawSurfaceChanged(IDirectDrawSurface* Surface);

// The surface a device draws into, without a reference; nullptr for a device not ours.
IDirectDrawSurface* D3DDeviceRenderTarget(IDirect3DDevice2* Device);
// The device class the device was made with (IID_IDirect3DRGBDevice...).
GUID D3DDeviceClass(IDirect3DDevice2* Device);
