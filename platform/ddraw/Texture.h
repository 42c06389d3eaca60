#pragma once
// The texture interface of a texture surface: each QueryInterface makes one, holding the surface
// until it is released.

#include "DDrawFamily.h"
#include "platform/ddraw/D3D.h"

class TSurface;

class TTexture final : public TComObject<IDirect3DTexture2> {
public:
    explicit TTexture(TSurface* Surface);
    ~TTexture() override;

    HRESULT GetHandle(LPDIRECT3DDEVICE2 lpDirect3DDevice2, D3DTEXTUREHANDLE* lpHandle) override;
    HRESULT Load(LPDIRECT3DTEXTURE2 lpD3DTexture2) override;

    TSurface* const Surface;

private:
    // Any other interface is the surface's.
    HRESULT Unlisted(REFIID Riid, void** Object) override;
};
