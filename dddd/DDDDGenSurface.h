#pragma once
// One surface of a display component with its size and a copy of its description. The wrapper
// never releases its surface: the surface goes with the component's DirectDraw object.

#include "platform/ddraw/DDraw.h"

namespace dddd {

class TDDDD;

class TDDDDGenSurface {
public:
    // Stores what it is given; touches no platform object.
    TDDDDGenSurface(TDDDD* Owner, IDirectDrawSurface* Surface, int Width, int Height);
    virtual ~TDDDDGenSurface() = default;
    TDDDDGenSurface(const TDDDDGenSurface&) = delete;
    TDDDDGenSurface& operator=(const TDDDDGenSurface&) = delete;

    // True when the surface's IsLost answers anything but success.
    bool IsLost();
    // Restores a lost surface (the result is not looked at); leaves a kept one alone.
    void RestoreIfLost();
    // Refreshes Desc from the surface through ReportError ("サーフェス情報の取得に失敗しました")
    // and returns a copy.
    DDSURFACEDESC GetSurfaceDesc();

    IDirectDrawSurface* Surface;
    int Width, Height;
    DDSURFACEDESC Desc;
    TDDDD* Owner;
};

} // namespace dddd
