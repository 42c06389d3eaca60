#pragma once
// Reaches the back buffer (and its Z-buffer) that an immediate-mode device of the display
// stand-in draws on.

#include "platform/d3drm/RenderTarget.h"

#include <memory>

struct IDirect3DDevice2;

// A target source for Device, or nullptr when Device has no surface to draw on. Holder is set
// to the object the RM device must keep a reference to while it uses the source.
std::unique_ptr<TRenderTargetSource> MakeD3DDeviceTarget(IDirect3DDevice2* Device,
                                                         IUnknown*& Holder);
