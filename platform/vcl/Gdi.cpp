#include "platform/vcl/Gdi.h"

#include "platform/vcl/Screen.h"

#include <QMainWindow>
#include <QWidget>

#include <algorithm>

namespace vcl {

TDeviceContext::~TDeviceContext() {
    if (Paint && Paint->isActive())
        Paint->end();
}

QPainter* TDeviceContext::Painter() {
    if (Image.isNull())
        return nullptr;
    if (!Paint)
        Paint = std::make_unique<QPainter>(&Image);
    return Paint.get();
}

} // namespace vcl

namespace {

// The widget that is a window's client area: a main window's central widget, else itself.
QWidget* ClientOf(HWND Window) {
    if (auto* main = qobject_cast<QMainWindow*>(Window); main && main->centralWidget())
        return main->centralWidget();
    return Window;
}

} // namespace

HDC CreateICA(LPCSTR, LPCSTR, LPCSTR, const void*) {
    return new vcl::TDeviceContext;
}

BOOL DeleteDC(HDC Dc) {
    delete Dc;
    return TRUE;
}

HDC GetDC(HWND Window) {
    return new vcl::TDeviceContext(Window);
}

int ReleaseDC(HWND, HDC Dc) {
    delete Dc;
    return 1;
}

int GetDeviceCaps(HDC Dc, int Index) {
    if (!Dc)
        return 0;
    const int bits = Dc->Target().isNull() ? vcl::Screen().BitsPerPixel() : Dc->Target().depth();
    switch (Index) {
    case BITSPIXEL:
        return bits;
    case PLANES:
        return 1;
    case NUMCOLORS:
        return bits == 8 ? 20 : -1;
    case SIZEPALETTE:
        return bits == 8 ? 256 : 0;
    case RASTERCAPS:
        return bits == 8 ? RC_PALETTE : 0;
    default:
        return 0;
    }
}

UINT GetSystemPaletteEntries(HDC, UINT Start, UINT Count, LPPALETTEENTRY Entries) {
    if (!Entries || Start >= 256)
        return 0;
    const UINT n = std::min<UINT>(Count, 256 - Start);
    const auto& sys = vcl::Screen().SystemPalette();
    std::copy_n(sys.begin() + Start, n, Entries);
    return n;
}

HPALETTE CreatePalette(const LOGPALETTE* Palette) {
    if (!Palette || Palette->palVersion != 0x300 || Palette->palNumEntries == 0 ||
        Palette->palNumEntries > 256)
        return nullptr;
    auto* p = new vcl::TLogicalPalette;
    p->Count = Palette->palNumEntries;
    std::copy_n(Palette->palPalEntry, p->Count, p->Entries.begin());
    return p;
}

HPALETTE SelectPalette(HDC Dc, HPALETTE Palette, BOOL) {
    if (!Dc)
        return nullptr;
    HPALETTE old = Dc->SelectedPalette;
    Dc->SelectedPalette = Palette;
    return old;
}

UINT RealizePalette(HDC Dc) {
    if (!Dc || !Dc->SelectedPalette || vcl::Screen().BitsPerPixel() != 8)
        return 0;
    // Entries map one to one onto the system palette; the static colours stay.
    auto& sys = vcl::Screen().SystemPalette();
    const auto& p = *Dc->SelectedPalette;
    UINT n = 0;
    for (int i = 10; i < std::min(246, p.Count); ++i, ++n)
        sys[i] = {p.Entries[i].peRed, p.Entries[i].peGreen, p.Entries[i].peBlue, 0};
    return n;
}

BOOL DeleteObject(HPALETTE Palette) {
    delete Palette;
    return TRUE;
}

BOOL GetClientRect(HWND Window, RECT* Rect) {
    if (!Window || !Rect)
        return FALSE;
    const QWidget* client = ClientOf(Window);
    *Rect = {0, 0, client->width(), client->height()};
    return TRUE;
}

BOOL ClientToScreen(HWND Window, POINT* Point) {
    if (!Window || !Point)
        return FALSE;
    const QPoint p = ClientOf(Window)->mapToGlobal(QPoint(Point->x, Point->y));
    *Point = {p.x(), p.y()};
    return TRUE;
}

BOOL BringWindowToTop(HWND Window) {
    if (!Window)
        return FALSE;
    Window->raise();
    return TRUE;
}
