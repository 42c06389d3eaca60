#include "RMViewport.h"

#include "RMFrame.h"
#include "platform/d3drm/RMDevice.h"

#include <cmath>

TRMViewport::TRMViewport(TRMDevice* Device, TRMFrame* Camera, int X, int Y, int Width, int Height)
    : TRMObject("IDirect3DRMViewport", {IID_IDirect3DRMObject, IID_IDirect3DRMViewport}),
      Device(Device), Camera(Camera) {
    Device->AddRef();
    Camera->AddRef();
    View.X = X;
    View.Y = Y;
    View.Width = Width;
    View.Height = Height;
}

TRMViewport::~TRMViewport() {
    ReleaseRef(Camera);
    ReleaseRef(Device);
}

HRESULT TRMViewport::SetBack(D3DVALUE Back) {
    if (HRESULT hr = Check("IDirect3DRMViewport::SetBack"); FAILED(hr))
        return hr;
    if (!std::isfinite(Back) || Back <= View.Front)
        return D3DRMERR_BADVALUE;
    View.Back = Back;
    return D3DRM_OK;
}

HRESULT TRMViewport::SetCamera(IDirect3DRMFrame* CameraFrame) {
    if (HRESULT hr = Check("IDirect3DRMViewport::SetCamera"); FAILED(hr))
        return hr;
    auto* frame = dynamic_cast<TRMFrame*>(CameraFrame);
    if (!frame)
        return D3DRMERR_BADOBJECT;
    frame->AddRef();
    ReleaseRef(Camera);
    Camera = frame;
    return D3DRM_OK;
}

HRESULT TRMViewport::LockTarget(TRenderTarget& Target) {
    if (HRESULT hr = Device->Target().Lock(Target); FAILED(hr))
        return hr;
    if (!Target.Depth && Target.Width > 0 && Target.Height > 0) {
        OwnDepth.resize(std::size_t(Target.Width) * Target.Height);
        Target.Depth = reinterpret_cast<BYTE*>(OwnDepth.data());
        Target.DepthPitch = Target.Width * 2;
        Target.DepthBits = 16;
    }
    return D3DRM_OK;
}

HRESULT TRMViewport::Clear() {
    if (HRESULT hr = Check("IDirect3DRMViewport::Clear"); FAILED(hr))
        return hr;
    TRenderTarget target;
    if (HRESULT hr = LockTarget(target); FAILED(hr))
        return hr;
    TRasterizer raster(target, {View.X, View.Y, View.X + View.Width, View.Y + View.Height},
                       1.0f / View.Front, 1.0f / View.Back, &Palette);
    raster.Clear();
    Device->Target().Unlock();
    return D3DRM_OK;
}

HRESULT TRMViewport::Render(IDirect3DRMFrame* Scene) {
    if (HRESULT hr = Check("IDirect3DRMViewport::Render"); FAILED(hr))
        return hr;
    auto* scene = dynamic_cast<TRMFrame*>(Scene);
    if (!scene)
        return D3DRMERR_BADOBJECT;
    TRenderTarget target;
    if (HRESULT hr = LockTarget(target); FAILED(hr))
        return hr;
    TRasterizer raster(target, {View.X, View.Y, View.X + View.Width, View.Y + View.Height},
                       1.0f / View.Front, 1.0f / View.Back, &Palette);
    Renderer.Render(scene, Camera->World(), View, Device->Quality(), raster);
    Device->Target().Unlock();
    return D3DRM_OK;
}
