#pragma once
// Moving pixels between surfaces: nearest-neighbour scaling, conversion between the driver's
// formats (through the source's palette; onto 8 bits through the nearest colour of the
// destination's palette) and the source colour key. Rectangles are already inside their
// pixmaps; nothing here checks bounds again.

#include "PixelFormat.h"

struct TPixmap {
    BYTE* Bits = nullptr;
    LONG Pitch = 0;
    int Width = 0;
    int Height = 0;
    TPixelKind Kind = TPixelKind::Rgb565;
    // 256 entries for Indexed8, else ignored; nullptr reads as black.
    const PALETTEENTRY* Palette = nullptr;
};

// Copies Src's SrcRect scaled onto Dst's DstRect, writing only where Clip (destination
// coordinates, inside DstRect) lies. The mapping is that of the whole DstRect, so a clipped
// blit draws exactly the pixels the unclipped one would. Key: source pixels of that raw value
// are skipped.
void ScaledBlit(const TPixmap& Dst, const RECT& DstRect, const TPixmap& Src, const RECT& SrcRect,
                const RECT& Clip, const DWORD* Key);

void FillRect(const TPixmap& Dst, const RECT& Rect, DWORD Value);

// The colour of a raw pixel value as 0x00RRGGBB.
DWORD RgbOf(TPixelKind Kind, DWORD Raw, const PALETTEENTRY* Palette);
