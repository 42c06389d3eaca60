#include "platform/d3drm/D3DDeviceTarget.h"

// The display stand-in's devices are not reachable yet: no device can be made from them.
std::unique_ptr<TRenderTargetSource> MakeD3DDeviceTarget(IDirect3DDevice2*, IUnknown*& Holder) {
    Holder = nullptr;
    return nullptr;
}
