#include "RMFrame.h"

#include "RMArray.h"
#include "RMLight.h"

#include <algorithm>
#include <cmath>

TRMFrame::TRMFrame(TRMFrame* Parent)
    : TRMObject("IDirect3DRMFrame", {IID_IDirect3DRMObject, IID_IDirect3DRMVisual,
                                     IID_IDirect3DRMFrame, IID_IDirect3DRMFrame2}),
      ParentFrame(Parent) {
    if (Parent) {
        AddRef();
        Parent->ChildFrames.push_back(this);
    }
}

TRMFrame::~TRMFrame() {
    // Children that someone else still holds live on as roots, where they are now.
    for (TRMFrame* c : ChildFrames) {
        c->Local = c->World();
        c->ParentFrame = nullptr;
        c->Release();
    }
    for (IDirect3DRMVisual* v : VisualList)
        v->Release();
    for (TRMLight* l : LightList)
        l->Release();
}

TPlacement TRMFrame::World() const {
    TPlacement p = Local;
    for (const TRMFrame* f = ParentFrame; f; f = f->ParentFrame)
        p = f->Local.Then(p);
    return p;
}

bool TRMFrame::ReferencePlacement(IDirect3DRMFrame* Reference, TPlacement& Placement) {
    if (!Reference) {
        Placement = TPlacement{};
        return true;
    }
    auto* frame = dynamic_cast<TRMFrame*>(Reference);
    if (!frame)
        return false;
    Placement = frame->World();
    return true;
}

HRESULT TRMFrame::AddLight(IDirect3DRMLight* Light) {
    if (HRESULT hr = Check("IDirect3DRMFrame::AddLight"); FAILED(hr))
        return hr;
    auto* light = dynamic_cast<TRMLight*>(Light);
    if (!light)
        return D3DRMERR_BADOBJECT;
    light->AddRef();
    LightList.push_back(light);
    return D3DRM_OK;
}

HRESULT TRMFrame::AddVisual(IDirect3DRMVisual* Visual) {
    if (HRESULT hr = Check("IDirect3DRMFrame::AddVisual"); FAILED(hr))
        return hr;
    if (!Visual)
        return D3DRMERR_BADOBJECT;
    Visual->AddRef();
    VisualList.push_back(Visual);
    return D3DRM_OK;
}

HRESULT TRMFrame::DeleteVisual(IDirect3DRMVisual* Visual) {
    if (HRESULT hr = Check("IDirect3DRMFrame::DeleteVisual"); FAILED(hr))
        return hr;
    auto it = std::find(VisualList.begin(), VisualList.end(), Visual);
    if (it == VisualList.end())
        return D3DRMERR_NOTFOUND;
    VisualList.erase(it);
    Visual->Release();
    return D3DRM_OK;
}

HRESULT TRMFrame::GetChildren(IDirect3DRMFrameArray** Children) {
    if (!Children)
        return D3DRMERR_BADVALUE;
    *Children = nullptr;
    if (HRESULT hr = Check("IDirect3DRMFrame::GetChildren"); FAILED(hr))
        return hr;
    std::vector<IDirect3DRMFrame*> list(ChildFrames.begin(), ChildFrames.end());
    *Children = new TRMFrameArray("IDirect3DRMFrameArray", IID_IDirect3DRMFrameArray, list);
    return D3DRM_OK;
}

HRESULT TRMFrame::GetVisuals(IDirect3DRMVisualArray** Visuals) {
    if (!Visuals)
        return D3DRMERR_BADVALUE;
    *Visuals = nullptr;
    if (HRESULT hr = Check("IDirect3DRMFrame::GetVisuals"); FAILED(hr))
        return hr;
    *Visuals = new TRMVisualArray("IDirect3DRMVisualArray", IID_IDirect3DRMVisualArray, VisualList);
    return D3DRM_OK;
}

HRESULT TRMFrame::SetPosition(IDirect3DRMFrame* Reference, D3DVALUE X, D3DVALUE Y, D3DVALUE Z) {
    if (HRESULT hr = Check("IDirect3DRMFrame::SetPosition"); FAILED(hr))
        return hr;
    TPlacement ref;
    if (!ReferencePlacement(Reference, ref))
        return D3DRMERR_BADOBJECT;
    if (!std::isfinite(X) || !std::isfinite(Y) || !std::isfinite(Z))
        return D3DRMERR_BADVALUE;
    const TVec3 world = ref.Point({X, Y, Z});
    Local.Origin = ParentFrame ? ParentFrame->World().PointIn(world) : world;
    return D3DRM_OK;
}

HRESULT TRMFrame::GetPosition(IDirect3DRMFrame* Reference, D3DVECTOR* Position) {
    if (!Position)
        return D3DRMERR_BADVALUE;
    if (HRESULT hr = Check("IDirect3DRMFrame::GetPosition"); FAILED(hr))
        return hr;
    TPlacement ref;
    if (!ReferencePlacement(Reference, ref))
        return D3DRMERR_BADOBJECT;
    const TVec3 p = ref.PointIn(World().Origin);
    *Position = {p.X, p.Y, p.Z};
    return D3DRM_OK;
}

HRESULT TRMFrame::SetOrientation(IDirect3DRMFrame* Reference, D3DVALUE DirX, D3DVALUE DirY,
                                 D3DVALUE DirZ, D3DVALUE UpX, D3DVALUE UpY, D3DVALUE UpZ) {
    if (HRESULT hr = Check("IDirect3DRMFrame::SetOrientation"); FAILED(hr))
        return hr;
    TPlacement ref;
    if (!ReferencePlacement(Reference, ref))
        return D3DRMERR_BADOBJECT;
    const TVec3 dir{DirX, DirY, DirZ};
    const TVec3 up{UpX, UpY, UpZ};
    const float dirLength = Length(dir);
    if (!std::isfinite(dirLength) || !std::isfinite(Length(up)) || dirLength == 0)
        return D3DRMERR_BADVALUE;
    const TVec3 z = dir * (1.0f / dirLength);
    // Up loses its component along the direction; what is left must still point somewhere.
    const TVec3 upOnPlane = up - z * Dot(up, z);
    const float upLength = Length(upOnPlane);
    if (!(upLength > 1e-6f * std::max(1.0f, Length(up))))
        return D3DRMERR_BADVALUE;
    const TVec3 y = upOnPlane * (1.0f / upLength);
    const TVec3 x = Cross(y, z);
    // From the reference's axes into the world, then into the parent's.
    TVec3 axes[3] = {ref.Direction(x), ref.Direction(y), ref.Direction(z)};
    if (ParentFrame) {
        const TPlacement parent = ParentFrame->World();
        for (TVec3& a : axes)
            a = parent.DirectionIn(a);
    }
    Local.AxisX = axes[0];
    Local.AxisY = axes[1];
    Local.AxisZ = axes[2];
    return D3DRM_OK;
}

HRESULT TRMFrame::GetOrientation(IDirect3DRMFrame* Reference, D3DVECTOR* Direction, D3DVECTOR* Up) {
    if (!Direction || !Up)
        return D3DRMERR_BADVALUE;
    if (HRESULT hr = Check("IDirect3DRMFrame::GetOrientation"); FAILED(hr))
        return hr;
    TPlacement ref;
    if (!ReferencePlacement(Reference, ref))
        return D3DRMERR_BADOBJECT;
    const TPlacement world = World();
    const TVec3 z = ref.DirectionIn(world.AxisZ);
    const TVec3 y = ref.DirectionIn(world.AxisY);
    *Direction = {z.X, z.Y, z.Z};
    *Up = {y.X, y.Y, y.Z};
    return D3DRM_OK;
}
