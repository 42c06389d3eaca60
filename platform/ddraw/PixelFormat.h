#pragma once
// The pixel formats the emulated driver offers, and how their descriptions are recognised.

#include "platform/ddraw/DDraw.h"

enum class TPixelKind : std::uint8_t { Indexed8, Rgb565, Rgb888, Xrgb8888, Z16, Z24, Z32 };

// The description of an RGB format of 8, 16, 24 or 32 bits (8 is palettised, 16 is 5-6-5).
DDPIXELFORMAT RgbPixelFormat(int Bits);
DDPIXELFORMAT ZPixelFormat(int Depth);
// False for a description the driver cannot make.
bool PixelKindOf(const DDPIXELFORMAT& Format, TPixelKind& Kind);
int BytesPerPixel(TPixelKind Kind);
bool IsZ(TPixelKind Kind);
