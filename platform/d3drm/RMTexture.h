#pragma once
// A texture: a picture decoded once at load time into 0x00RRGGBB texels.

#include "TexImage.h"
#include "platform/d3drm/RMObject.h"

#include <utility>

class TRMTexture final : public TRMObject<IDirect3DRMTexture2> {
public:
    explicit TRMTexture(TTexImage Image)
        : TRMObject("IDirect3DRMTexture", {IID_IDirect3DRMObject, IID_IDirect3DRMVisual,
                                           IID_IDirect3DRMTexture, IID_IDirect3DRMTexture2}),
          Image(std::move(Image)) {}

    const TTexImage Image;
};
