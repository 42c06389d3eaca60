#include "Texture.h"

#include "Direct3DDevice.h"
#include "Display.h"
#include "Surface.h"

TTexture::TTexture(TSurface* ASurface)
    : TComObject(kDDrawFamily, "IDirect3DTexture2", {IID_IDirect3DTexture2}), Surface(ASurface) {
    Surface->AddRef();
}

TTexture::~TTexture() {
    Surface->Release();
}

HRESULT TTexture::Unlisted(REFIID Riid, void** Object) {
    return Surface->QueryInterface(Riid, Object);
}

HRESULT TTexture::GetHandle(LPDIRECT3DDEVICE2 Device, D3DTEXTUREHANDLE* Handle) {
    if (!Handle || !TDirect3DDevice::From(Device))
        return DDERR_INVALIDPARAMS;
    *Handle = 0;
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirect3DTexture2::GetHandle"); hr != DD_OK)
        return hr;
    if (Surface->Lost())
        return DDERR_SURFACELOST;
    // Any value that is not 0 and tells textures apart will do: the surface's own address.
    *Handle = static_cast<D3DTEXTUREHANDLE>(reinterpret_cast<std::uintptr_t>(Surface) >> 4) | 1u;
    return DD_OK;
}

HRESULT TTexture::Load(LPDIRECT3DTEXTURE2 Source) {
    auto* from = dynamic_cast<TTexture*>(Source);
    if (!from)
        return DDERR_INVALIDPARAMS;
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirect3DTexture2::Load"); hr != DD_OK)
        return hr;
    TSurface& dst = *Surface;
    TSurface& src = *from->Surface;
    if (dst.Width != src.Width || dst.Height != src.Height)
        return DDERR_INVALIDPARAMS;
    if (dst.Lost() || src.Lost())
        return DDERR_SURFACELOST;
    if (&dst == &src)
        return DD_OK;
    const RECT all{0, 0, dst.Width, dst.Height};
    ScaledBlit(dst.Pixmap(), all, src.Pixmap(), all, all, nullptr);
    return DD_OK;
}
