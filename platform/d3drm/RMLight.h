#pragma once
// A light: only its type and colour; where it shines from is the frame it is added to.

#include "Transform.h"
#include "platform/d3drm/RMObject.h"

class TRMLight final : public TRMObject<IDirect3DRMLight> {
public:
    TRMLight(D3DRMLIGHTTYPE Type, TVec3 Color)
        : TRMObject("IDirect3DRMLight", {IID_IDirect3DRMObject, IID_IDirect3DRMLight}), Type(Type),
          Color(Color) {}

    const D3DRMLIGHTTYPE Type;
    const TVec3 Color;
};
