#include "Direct3DDevice.h"

#include "DirectDrawObject.h"
#include "Display.h"
#include "Surface.h"

TDirect3DDevice::TDirect3DDevice(TDirectDraw& AOwner, TSurface* ATarget, const GUID& AClass)
    : TComObject(kDDrawFamily, "IDirect3DDevice2", {IID_IDirect3DDevice2}), Target(ATarget),
      Class(AClass), Owner(AOwner) {
    Owner.Hold();
    Target->AddRef();
    ++TDisplay::Get().Devices;
}

TDirect3DDevice::~TDirect3DDevice() {
    --TDisplay::Get().Devices;
    Target->Release();
    Owner.Unhold();
}

TDirect3DDevice* TDirect3DDevice::From(IDirect3DDevice2* Device) {
    return dynamic_cast<TDirect3DDevice*>(Device);
}

HRESULT TDirect3DDevice::GetRenderTarget(LPDIRECTDRAWSURFACE* Out) {
    if (!Out)
        return DDERR_INVALIDPARAMS;
    *Out = nullptr;
    if (HRESULT hr = TDisplay::Get().Failures.Check("IDirect3DDevice2::GetRenderTarget");
        hr != DD_OK)
        return hr;
    Target->AddRef();
    *Out = Target;
    return DD_OK;
}
