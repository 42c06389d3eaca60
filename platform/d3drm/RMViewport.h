#pragma once
// A viewport: a rectangle of its device's target seen through a camera frame.

#include "Rasterizer.h"
#include "SceneRenderer.h"
#include "platform/d3drm/RMObject.h"

#include <cstdint>
#include <vector>

class TRMDevice;
class TRMFrame;

class TRMViewport final : public TRMObject<IDirect3DRMViewport> {
public:
    // Takes references to Device and Camera.
    TRMViewport(TRMDevice* Device, TRMFrame* Camera, int X, int Y, int Width, int Height);

    HRESULT SetBack(D3DVALUE Back) override;
    HRESULT SetCamera(IDirect3DRMFrame* Camera) override;
    HRESULT Clear() override;
    HRESULT Render(IDirect3DRMFrame* Scene) override;

    const TViewParams& Params() const { return View; }

private:
    ~TRMViewport() override;
    // Locks the device's target; one without a depth buffer gets the viewport's own.
    HRESULT LockTarget(TRenderTarget& Target);

    TRMDevice* Device;
    TRMFrame* Camera;
    TViewParams View;
    TSceneRenderer Renderer;
    TPaletteLookup Palette;
    std::vector<std::uint16_t> OwnDepth;
};
