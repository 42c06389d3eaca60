#pragma once
// A frame: a placement relative to its parent, and the children, visuals and lights it holds.

#include "Transform.h"
#include "platform/d3drm/RMObject.h"

#include <vector>

class TRMLight;

class TRMFrame final : public TRMObject<IDirect3DRMFrame2> {
public:
    // Parent may be nullptr; otherwise it takes a reference to the new frame.
    explicit TRMFrame(TRMFrame* Parent);

    HRESULT AddLight(IDirect3DRMLight* Light) override;
    HRESULT AddVisual(IDirect3DRMVisual* Visual) override;
    HRESULT DeleteVisual(IDirect3DRMVisual* Visual) override;
    HRESULT GetChildren(IDirect3DRMFrameArray** Children) override;
    HRESULT GetVisuals(IDirect3DRMVisualArray** Visuals) override;
    HRESULT SetPosition(IDirect3DRMFrame* Reference, D3DVALUE X, D3DVALUE Y, D3DVALUE Z) override;
    HRESULT GetPosition(IDirect3DRMFrame* Reference, D3DVECTOR* Position) override;
    HRESULT SetOrientation(IDirect3DRMFrame* Reference, D3DVALUE DirX, D3DVALUE DirY, D3DVALUE DirZ,
                           D3DVALUE UpX, D3DVALUE UpY, D3DVALUE UpZ) override;
    HRESULT GetOrientation(IDirect3DRMFrame* Reference, D3DVECTOR* Direction,
                           D3DVECTOR* Up) override;

    // Where this frame's space lies in the world.
    TPlacement World() const;
    // Where this frame's space lies in its parent's.
    const TPlacement& LocalPlacement() const { return Local; }
    TRMFrame* Parent() const { return ParentFrame; }
    const std::vector<TRMFrame*>& Children() const { return ChildFrames; }
    const std::vector<IDirect3DRMVisual*>& Visuals() const { return VisualList; }
    const std::vector<TRMLight*>& Lights() const { return LightList; }

private:
    ~TRMFrame() override;
    // The world placement of Reference; nullptr and foreign objects mean the world itself.
    static bool ReferencePlacement(IDirect3DRMFrame* Reference, TPlacement& Placement);

    TRMFrame* ParentFrame; // not counted: the parent holds the child
    std::vector<TRMFrame*> ChildFrames;
    std::vector<IDirect3DRMVisual*> VisualList;
    std::vector<TRMLight*> LightList;
    TPlacement Local; // in the parent's space (the world's for a root)
};
