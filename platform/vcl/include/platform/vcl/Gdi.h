#pragma once
// The graphics device interface of the window system, as far as the display framework uses it:
// device contexts of the display and of windows, the colour depth query, the system palette
// and logical palettes, and window client geometry.

#include "platform/vcl/PaletteEntry.h"
#include "platform/vcl/WinHandles.h"

#include <QImage>
#include <QPainter>

#include <array>
#include <memory>

// A logical palette of up to 256 entries (the platform's record has a variable tail).
struct LOGPALETTE {
    WORD palVersion = 0x300;
    WORD palNumEntries = 0;
    PALETTEENTRY palPalEntry[256] = {};
};

// GetDeviceCaps indices.
inline constexpr int BITSPIXEL = 12;
inline constexpr int PLANES = 14;
inline constexpr int NUMCOLORS = 24;
inline constexpr int RASTERCAPS = 38;
inline constexpr int SIZEPALETTE = 104;
inline constexpr int RC_PALETTE = 0x0100;

namespace vcl {

// A device context: the display's (for queries and palettes), a window's, or one that draws
// on an image (a surface's pixels). Painting goes through Painter().
class TDeviceContext {
public:
    TDeviceContext() = default;
    explicit TDeviceContext(HWND Window) : Window(Window) {}
    explicit TDeviceContext(QImage Target) : Image(std::move(Target)) {}
    ~TDeviceContext();
    TDeviceContext(const TDeviceContext&) = delete;
    TDeviceContext& operator=(const TDeviceContext&) = delete;

    // nullptr for a context without pixels (the display's information context).
    QPainter* Painter();
    QImage& Target() { return Image; }
    HWND WindowOf() const { return Window; }
    HPALETTE SelectedPalette = nullptr;

private:
    HWND Window = nullptr;
    QImage Image;
    std::unique_ptr<QPainter> Paint;
};

class TLogicalPalette {
public:
    std::array<PALETTEENTRY, 256> Entries{};
    int Count = 0;
};

} // namespace vcl

// An information context for "Display" (the only driver there is); delete it with DeleteDC.
HDC CreateICA(LPCSTR Driver, LPCSTR Device, LPCSTR Output, const void* InitData);
BOOL DeleteDC(HDC Dc);
// The device context of a window's client area, or of the screen for nullptr.
HDC GetDC(HWND Window);
int ReleaseDC(HWND Window, HDC Dc);
int GetDeviceCaps(HDC Dc, int Index);

// The display's hardware palette: entries 0..9 and 246..255 are the 20 static colours.
UINT GetSystemPaletteEntries(HDC Dc, UINT Start, UINT Count, LPPALETTEENTRY Entries);
HPALETTE CreatePalette(const LOGPALETTE* Palette);
HPALETTE SelectPalette(HDC Dc, HPALETTE Palette, BOOL ForceBackground);
// Puts the selected palette's entries 10..245 into the system palette; returns how many.
UINT RealizePalette(HDC Dc);
BOOL DeleteObject(HPALETTE Palette);

BOOL GetClientRect(HWND Window, RECT* Rect);
BOOL ClientToScreen(HWND Window, POINT* Point);
BOOL BringWindowToTop(HWND Window);
