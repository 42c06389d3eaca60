#include "platform/vcl/Screen.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace vcl {

const std::array<PALETTEENTRY, 20> StaticColours{{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};

namespace {

// Without a window system (tests of the drivers alone) the screen is this size.
constexpr int kFallbackWidth = 1024;
constexpr int kFallbackHeight = 768;

QScreen* RealScreen() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance())
               ? QGuiApplication::primaryScreen()
               : nullptr;
}

} // namespace

TScreen::TScreen() {
    ResetSystemPalette();
}

int TScreen::DesktopWidth() const {
    if (FixedWidth > 0)
        return FixedWidth;
    const QScreen* s = RealScreen();
    return s ? s->size().width() : kFallbackWidth;
}

int TScreen::DesktopHeight() const {
    if (FixedHeight > 0)
        return FixedHeight;
    const QScreen* s = RealScreen();
    return s ? s->size().height() : kFallbackHeight;
}

int TScreen::DesktopBitsPerPixel() const {
    if (FixedBits > 0)
        return FixedBits;
    // Anything but the four depths a display can have falls back to the default.
    if (const char* v = std::getenv("MAREVO_DISPLAY_BPP")) {
        for (int bits : {8, 16, 24, 32})
            if (std::strcmp(v, std::to_string(bits).c_str()) == 0)
                return bits;
    }
    return 16;
}

int TScreen::Width() const {
    return FModeSet ? FModeWidth : DesktopWidth();
}
int TScreen::Height() const {
    return FModeSet ? FModeHeight : DesktopHeight();
}
int TScreen::BitsPerPixel() const {
    return FModeSet ? FModeBits : DesktopBitsPerPixel();
}

int TScreen::RefreshRate() const {
    if (FixedRefresh >= 0)
        return FixedRefresh;
    const QScreen* s = RealScreen();
    return s ? static_cast<int>(std::lround(s->refreshRate())) : 0;
}

void TScreen::SetMode(int W, int H, int Bits) {
    FModeSet = true;
    FModeWidth = W;
    FModeHeight = H;
    FModeBits = Bits;
    ++FModeSerial;
}

void TScreen::RestoreMode() {
    if (!FModeSet)
        return;
    FModeSet = false;
    ++FModeSerial;
}

void TScreen::ResetSystemPalette() {
    FSystemPalette.fill({});
    for (int i = 0; i < 10; ++i) {
        FSystemPalette[i] = StaticColours[i];
        FSystemPalette[246 + i] = StaticColours[10 + i];
    }
}

void TScreen::SetDesktop(int W, int H, int Bits, int Refresh) {
    const bool changed =
        W != DesktopWidth() || H != DesktopHeight() || Bits != DesktopBitsPerPixel();
    FixedWidth = W;
    FixedHeight = H;
    FixedBits = Bits;
    FixedRefresh = Refresh;
    if (changed || W == 0 || H == 0 || Bits == 0)
        ++FModeSerial;
}

TScreen& Screen() {
    static TScreen screen;
    return screen;
}

} // namespace vcl
