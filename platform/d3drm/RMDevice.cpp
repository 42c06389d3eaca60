#include "platform/d3drm/RMDevice.h"

TRMDevice::TRMDevice(std::unique_ptr<TRenderTargetSource> Source, IUnknown* Holder)
    : TRMObject("IDirect3DRMDevice",
                {IID_IDirect3DRMObject, IID_IDirect3DRMDevice, IID_IDirect3DRMDevice2}),
      Source(std::move(Source)), Holder(Holder) {
    if (Holder)
        Holder->AddRef();
}

TRMDevice::~TRMDevice() {
    Source.reset();
    ReleaseRef(Holder);
}

HRESULT TRMDevice::SetQuality(D3DRMRENDERQUALITY Quality) {
    if (HRESULT hr = Check("IDirect3DRMDevice::SetQuality"); FAILED(hr))
        return hr;
    RenderQuality = Quality;
    return D3DRM_OK;
}

HRESULT TRMDevice::SetBufferCount(DWORD Count) {
    if (HRESULT hr = Check("IDirect3DRMDevice::SetBufferCount"); FAILED(hr))
        return hr;
    if (Count < 1)
        return D3DRMERR_BADVALUE;
    BufferCount = Count;
    return D3DRM_OK;
}

// Viewports draw straight into the target as they render, so the picture is complete by now.
HRESULT TRMDevice::Update() {
    return Check("IDirect3DRMDevice::Update");
}

HRESULT CreateDeviceOnTarget(std::unique_ptr<TRenderTargetSource> Source,
                             IDirect3DRMDevice2** Device) {
    if (!Device || !Source)
        return D3DRMERR_BADVALUE;
    *Device = new TRMDevice(std::move(Source), nullptr);
    return D3DRM_OK;
}
