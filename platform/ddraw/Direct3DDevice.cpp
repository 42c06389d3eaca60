#include "platform/ddraw/Direct3DDevice.h"

#include "platform/ddraw/DirectDrawObject.h"
#include "platform/ddraw/Display.h"
#include "platform/ddraw/Surface.h"

TDirect3DDevice::TDirect3DDevice(TDirectDraw& AOwner, TSurface* ATarget, const GUID& AClass)
    : Target(ATarget), Class(AClass), Owner(AOwner) {
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

HRESULT TDirect3DDevice::QueryInterface(REFIID Riid, void** Object) {
    if (!Object)
        return DDERR_INVALIDPARAMS;
    *Object = nullptr;
    if (Riid == IID_IDirect3DDevice2) {
        AddRef();
        *Object = static_cast<IDirect3DDevice2*>(this);
        return DD_OK;
    }
    return E_NOINTERFACE;
}

ULONG TDirect3DDevice::AddRef() {
    return Refs.AddRef();
}

ULONG TDirect3DDevice::Release() {
    const ULONG left = Refs.Release();
    if (left == 0)
        delete this;
    return left;
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
