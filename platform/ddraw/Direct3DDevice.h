#pragma once
// A software immediate-mode device on a back buffer. It only holds its target; the retained
// mode stand-in does the drawing.

#include "DDrawFamily.h"
#include "platform/ddraw/D3D.h"

class TDirectDraw;
class TSurface;

class TDirect3DDevice final : public TComObject<IDirect3DDevice2> {
public:
    TDirect3DDevice(TDirectDraw& Owner, TSurface* Target, const GUID& Class);
    ~TDirect3DDevice() override;

    HRESULT GetRenderTarget(LPDIRECTDRAWSURFACE* lplpRenderTarget) override;
    HRESULT EnumTextureFormats(LPD3DENUMTEXTUREFORMATSCALLBACK lpd3dEnumTextureProc,
                               LPVOID lpArg) override;

    static TDirect3DDevice* From(IDirect3DDevice2* Device);

    TSurface* const Target;
    const GUID Class;

private:
    TDirectDraw& Owner;
};
