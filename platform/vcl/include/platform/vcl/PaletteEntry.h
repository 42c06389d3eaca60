#pragma once
// One colour of a palette as the window system and the display share it, apart from the rest
// of the graphics interface so that the display's headers need no painting machinery.

#include "platform/com/Com.h"

inline constexpr BYTE PC_RESERVED = 0x01;
inline constexpr BYTE PC_EXPLICIT = 0x02;
inline constexpr BYTE PC_NOCOLLAPSE = 0x04;

struct PALETTEENTRY {
    BYTE peRed = 0, peGreen = 0, peBlue = 0, peFlags = 0;
    friend bool operator==(const PALETTEENTRY&, const PALETTEENTRY&) = default;
};
static_assert(sizeof(PALETTEENTRY) == 4);
using LPPALETTEENTRY = PALETTEENTRY*;
