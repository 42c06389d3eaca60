#pragma once
// The rendering device: a render quality and the target the viewports draw into.

#include "platform/d3drm/RMObject.h"
#include "platform/d3drm/RenderTarget.h"

#include <memory>

class TRMDevice final : public TRMObject<IDirect3DRMDevice2> {
public:
    // Holder, when set, is a reference the device keeps for as long as it lives (the
    // immediate-mode device whose back buffer Source locks).
    TRMDevice(std::unique_ptr<TRenderTargetSource> Source, IUnknown* Holder);

    HRESULT SetQuality(D3DRMRENDERQUALITY Quality) override;
    HRESULT SetBufferCount(DWORD Count) override;
    HRESULT Update() override;

    D3DRMRENDERQUALITY Quality() const { return RenderQuality; }
    TRenderTargetSource& Target() { return *Source; }

private:
    ~TRMDevice() override;

    std::unique_ptr<TRenderTargetSource> Source;
    IUnknown* Holder;
    D3DRMRENDERQUALITY RenderQuality = D3DRMRENDER_FLAT;
    DWORD BufferCount = 1;
};

// A device drawing into Source, for tests and tools that have no display.
HRESULT CreateDeviceOnTarget(std::unique_ptr<TRenderTargetSource> Source,
                             IDirect3DRMDevice2** Device);
