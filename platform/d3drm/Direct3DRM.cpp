// The retained-mode object and its factory functions.

#include "platform/d3drm/D3DRM.h"

#include "BmpPictureReader.h"
#include "D3DDeviceTarget.h"
#include "RMFrame.h"
#include "RMLight.h"
#include "RMMeshBuilder.h"
#include "RMTexture.h"
#include "RMViewport.h"
#include "platform/d3drm/RMDevice.h"
#include "platform/d3drm/RMObject.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

class TDirect3DRM final : public TRMObject<IDirect3DRM2> {
public:
    TDirect3DRM() : TRMObject("IDirect3DRM", {IID_IDirect3DRM, IID_IDirect3DRM2}) {}

    HRESULT CreateFrame(IDirect3DRMFrame* Parent, IDirect3DRMFrame2** Frame) override {
        if (!Frame)
            return D3DRMERR_BADVALUE;
        *Frame = nullptr;
        if (HRESULT hr = Check("IDirect3DRM2::CreateFrame"); FAILED(hr))
            return hr;
        auto* parent = dynamic_cast<TRMFrame*>(Parent);
        if (Parent && !parent)
            return D3DRMERR_BADOBJECT;
        *Frame = new TRMFrame(parent);
        return D3DRM_OK;
    }

    HRESULT CreateMeshBuilder(IDirect3DRMMeshBuilder2** Builder) override {
        if (!Builder)
            return D3DRMERR_BADVALUE;
        *Builder = nullptr;
        if (HRESULT hr = Check("IDirect3DRM2::CreateMeshBuilder"); FAILED(hr))
            return hr;
        *Builder = new TRMMeshBuilder;
        return D3DRM_OK;
    }

    HRESULT CreateLightRGB(D3DRMLIGHTTYPE Type, D3DVALUE Red, D3DVALUE Green, D3DVALUE Blue,
                           IDirect3DRMLight** Light) override {
        if (!Light)
            return D3DRMERR_BADVALUE;
        *Light = nullptr;
        if (HRESULT hr = Check("IDirect3DRM2::CreateLightRGB"); FAILED(hr))
            return hr;
        if (Type != D3DRMLIGHT_AMBIENT && Type != D3DRMLIGHT_DIRECTIONAL)
            return D3DRMERR_BADVALUE;
        if (!std::isfinite(Red) || !std::isfinite(Green) || !std::isfinite(Blue))
            return D3DRMERR_BADVALUE;
        *Light = new TRMLight(Type, {Red, Green, Blue});
        return D3DRM_OK;
    }

    HRESULT LoadTexture(const char* FileName, IDirect3DRMTexture2** Texture) override {
        if (!Texture)
            return D3DRMERR_BADVALUE;
        *Texture = nullptr;
        if (HRESULT hr = Check("IDirect3DRM2::LoadTexture"); FAILED(hr))
            return hr;
        if (!FileName || !*FileName)
            return D3DRMERR_FILENOTFOUND;
        std::ifstream in(FileName, std::ios::binary);
        if (!in)
            return D3DRMERR_FILENOTFOUND;
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        TTexImage image;
        if (!ReadBmpPicture(bytes.data(), bytes.size(), image))
            return D3DRMERR_BADFILE;
        *Texture = new TRMTexture(std::move(image));
        return D3DRM_OK;
    }

    HRESULT CreateDeviceFromD3D(IDirect3D2* Direct3D, IDirect3DDevice2* Device,
                                IDirect3DRMDevice2** RMDevice) override {
        if (!RMDevice)
            return D3DRMERR_BADVALUE;
        *RMDevice = nullptr;
        if (HRESULT hr = Check("IDirect3DRM2::CreateDeviceFromD3D"); FAILED(hr))
            return hr;
        if (!Direct3D || !Device)
            return D3DRMERR_BADOBJECT;
        std::unique_ptr<TRenderTargetSource> source = MakeD3DDeviceTarget(Device);
        if (!source)
            return D3DRMERR_BADDEVICE;
        // The RM device keeps the immediate-mode device (and so its back buffer) alive.
        *RMDevice = new TRMDevice(std::move(source), Device);
        return D3DRM_OK;
    }

    HRESULT CreateViewport(IDirect3DRMDevice* Device, IDirect3DRMFrame* Camera, DWORD X, DWORD Y,
                           DWORD Width, DWORD Height, IDirect3DRMViewport** Viewport) override {
        if (!Viewport)
            return D3DRMERR_BADVALUE;
        *Viewport = nullptr;
        if (HRESULT hr = Check("IDirect3DRM2::CreateViewport"); FAILED(hr))
            return hr;
        auto* device = dynamic_cast<TRMDevice*>(Device);
        auto* camera = dynamic_cast<TRMFrame*>(Camera);
        if (!device || !camera)
            return D3DRMERR_BADOBJECT;
        // Kept to sizes whose pixel arithmetic cannot overflow.
        constexpr DWORD kMaxSide = 1 << 15;
        if (Width == 0 || Height == 0 || X > kMaxSide || Y > kMaxSide || Width > kMaxSide ||
            Height > kMaxSide)
            return D3DRMERR_BADVALUE;
        *Viewport = new TRMViewport(device, camera, int(X), int(Y), int(Width), int(Height));
        return D3DRM_OK;
    }

private:
    ~TDirect3DRM() override = default;
};

} // namespace

HRESULT Direct3DRMCreate(IDirect3DRM** RM) {
    if (!RM)
        return D3DRMERR_BADVALUE;
    *RM = nullptr;
    if (HRESULT hr = D3DRMFailures().Check("Direct3DRMCreate"); FAILED(hr))
        return hr;
    *RM = new TDirect3DRM;
    return D3DRM_OK;
}

TFailurePlan& D3DRMFailures() {
    static TFailurePlan plan;
    return plan;
}
