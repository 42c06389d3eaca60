#include "platform/ddraw/DDrawSurfaceAccess.h"

#include "Direct3DDevice.h"
#include "Display.h"
#include "Palette.h"
#include "Surface.h"

bool DDrawSurfaceBits(IDirectDrawSurface* Surface, TSurfaceBits& Out) {
    TSurface* s = TSurface::From(Surface);
    if (!s)
        return false;
    Out.Bits = s->Lost() ? nullptr : s->Bits();
    Out.Pitch = s->Pitch();
    Out.Width = static_cast<DWORD>(s->Width);
    Out.Height = static_cast<DWORD>(s->Height);
    Out.BytesPerPixel = static_cast<DWORD>(BytesPerPixel(s->Kind));
    Out.Caps = s->Caps;
    Out.Format = s->Format;
    return true;
}

IDirectDrawSurface* DDrawAttachedZBuffer(IDirectDrawSurface* Surface) {
    TSurface* s = TSurface::From(Surface);
    return s ? s->ZBuffer : nullptr;
}

const PALETTEENTRY* DDrawSurfacePalette(IDirectDrawSurface* Surface) {
    TSurface* s = TSurface::From(Surface);
    return s && s->Palette ? s->Palette->Entries.data() : nullptr;
}

void DDrawSurfaceChanged(IDirectDrawSurface* Surface) {
    TSurface* s = TSurface::From(Surface);
    if (!s)
        return;
    if (s->IsDesktopPrimary())
        TDisplay::Get().ScreenChanged(QRect(0, 0, s->Width, s->Height));
    else if (TDisplay::Get().ExclusivePrimary == s)
        TDisplay::Get().FullScreenChanged();
}

IDirectDrawSurface* D3DDeviceRenderTarget(IDirect3DDevice2* Device) {
    TDirect3DDevice* d = TDirect3DDevice::From(Device);
    return d ? d->Target : nullptr;
}

GUID D3DDeviceClass(IDirect3DDevice2* Device) {
    TDirect3DDevice* d = TDirect3DDevice::From(Device);
    return d ? d->Class : GUID_NULL;
}
