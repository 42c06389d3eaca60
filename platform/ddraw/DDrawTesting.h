#pragma once
// What tests may do to the display stand-in: make calls fail, lose surfaces on purpose, count
// what is alive, and change what the emulated driver reports.

#include "platform/com/FailurePlan.h"
#include "platform/ddraw/DDraw.h"

// The plan every DirectDraw and Direct3D (immediate-mode) call of the stand-in consults. Calls
// are named "DirectDrawCreate", "IDirectDraw2::SetDisplayMode", "IDirectDrawSurface::Blt",
// "IDirect3D2::CreateDevice"...
TFailurePlan& DDrawFailures();

// Takes the memory of every surface away, as a mode change does.
void DDrawLoseAllSurfaces();
// Takes one surface's memory away.
void DDrawLoseSurface(IDirectDrawSurface* Surface);

// Objects of the stand-in alive now: DirectDraw objects, surfaces, palettes, clippers, devices.
struct TDDrawCensus {
    int DirectDraws = 0, Surfaces = 0, Palettes = 0, Clippers = 0, Devices = 0;
    friend bool operator==(const TDDrawCensus&, const TDDrawCensus&) = default;
};
TDDrawCensus DDrawCensus();

// Whether the driver reports 3D hardware (it does not, unless a test says so).
void DDrawSetHardware3D(bool Present);
