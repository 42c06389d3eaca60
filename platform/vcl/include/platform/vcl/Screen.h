#pragma once
// The display the program runs on: the real screen's size, the desktop's colour depth (the
// platform setting MAREVO_DISPLAY_BPP: 8, 16, 24 or 32, 16 when unset), the mode a full-screen
// program has set, and the hardware palette of 8-bit modes.

#include "platform/vcl/Gdi.h"

#include <array>
#include <cstdint>

namespace vcl {

class TScreen {
public:
    // The current mode: a full-screen program's while it holds one, else the desktop's.
    int Width() const;
    int Height() const;
    int BitsPerPixel() const;
    // Hz as the window system tells it; 0 when it does not.
    int RefreshRate() const;

    int DesktopWidth() const;
    int DesktopHeight() const;
    int DesktopBitsPerPixel() const;

    bool ModeSet() const { return FModeSet; }
    void SetMode(int Width, int Height, int BitsPerPixel);
    void RestoreMode();
    // Changes every time the mode changes (surfaces made before are lost).
    std::uint32_t ModeSerial() const { return FModeSerial; }

    // The hardware palette of 8-bit modes.
    std::array<PALETTEENTRY, 256>& SystemPalette() { return FSystemPalette; }
    void ResetSystemPalette();

    // Tests fix the desktop instead of asking the window system and the environment; a
    // value of 0 asks again.
    void SetDesktop(int Width, int Height, int BitsPerPixel, int RefreshRate = -1);

    TScreen();

private:
    bool FModeSet = false;
    int FModeWidth = 0, FModeHeight = 0, FModeBits = 0;
    std::uint32_t FModeSerial = 1;
    int FixedWidth = 0, FixedHeight = 0, FixedBits = 0, FixedRefresh = -1;
    std::array<PALETTEENTRY, 256> FSystemPalette{};
};

TScreen& Screen();

// The 20 static colours of the system palette, 0..9 then 246..255.
extern const std::array<PALETTEENTRY, 20> StaticColours;

} // namespace vcl
