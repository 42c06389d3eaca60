#pragma once
// The emulated display behind every DirectDraw object: the desktop's pixels (what windowed
// primary surfaces draw on), the full-screen owner and its flipping chain, the windows that show
// the screen, the live objects, and the failure plan. One per program, like the hardware.

#include "PixelFormat.h"
#include "platform/com/FailurePlan.h"

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

class TDirectDraw;
class TSurface;
class TScreenView;

class TDisplay {
public:
    static TDisplay& Get();
    ~TDisplay();

    TFailurePlan Failures;
    bool Hardware3D = false;

    // The desktop's pixels at the current mode, reallocated (black) when the mode changed.
    BYTE* DesktopBits();
    LONG DesktopPitch() const { return FDesktopPitch; }
    int DesktopWidth() const { return FDesktopWidth; }
    int DesktopHeight() const { return FDesktopHeight; }
    TPixelKind DesktopKind() const { return FDesktopKind; }

    // The full-screen owner: its window covers the screen and shows its primary surface.
    TDirectDraw* Exclusive = nullptr;
    QPointer<QWidget> ExclusiveWindow;
    TSurface* ExclusivePrimary = nullptr;

    std::vector<TSurface*> Surfaces;
    // Surfaces whose DirectDraw object is gone but that are still held; they count as no
    // surface of the driver and are deleted by their last release, or at exit.
    std::vector<TSurface*> Orphans;
    int DirectDraws = 0, Palettes = 0, Clippers = 0, Devices = 0;

    // Something changed on the screen inside Rect (screen coordinates); the views redraw it.
    void ScreenChanged(const QRect& Rect);
    // The full-screen primary's picture changed.
    void FullScreenChanged();
    // The palette of 8-bit pictures shown on the screen.
    const PALETTEENTRY* ShownPalette() const;

    std::vector<TScreenView*> Views;

private:
    std::vector<BYTE> Desktop;
    LONG FDesktopPitch = 0;
    int FDesktopWidth = 0, FDesktopHeight = 0;
    TPixelKind FDesktopKind = TPixelKind::Rgb565;
    std::uint32_t FDesktopSerial = 0;
};

// Pixel rows are padded to a multiple of 4 bytes, as the platform's are.
LONG PitchFor(int Width, int BytesPerPixel);
