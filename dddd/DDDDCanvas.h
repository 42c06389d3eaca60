#pragma once
// A framework canvas that draws on a surface of the display component, through the surface's
// device context. The context is taken when the canvas first needs it and given back when the
// canvas is freed, so drawing on the surface must end with the canvas.

#include "platform/ddraw/DDraw.h"
#include "platform/vcl/Canvas.h"

namespace dddd {

class TDDDDGenSurface;

class TDDDDCanvas : public vcl::TCanvas {
public:
    explicit TDDDDCanvas(TDDDDGenSurface* S);
    ~TDDDDCanvas() override;

    IDirectDrawSurface* Surface;
    // nullptr while none is held.
    HDC DC = nullptr;
    // The surface was not lost when the canvas was made.
    bool SurfaceAlive;

protected:
    // A failed GetDC leaves the canvas without a context: it then draws nothing.
    void CreateHandle() override;
};

} // namespace dddd
