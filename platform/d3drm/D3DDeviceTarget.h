#pragma once
// Reaches the back buffer (and its Z-buffer and palette) that an immediate-mode device of the
// display stand-in draws on.

#include "platform/d3drm/RenderTarget.h"

#include <memory>

struct IDirect3DDevice2;

// A target source for Device, or nullptr when Device is not one of the display stand-in's.
std::unique_ptr<TRenderTargetSource> MakeD3DDeviceTarget(IDirect3DDevice2* Device);
