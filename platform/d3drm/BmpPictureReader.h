#pragma once
// Reads the bitmap file a player picks for a texture, in whatever form a paint program saved
// it: 1, 4, 8, 16, 24 or 32 bits, run-length encoded, with bit-field masks, with the older
// short header or any longer one, bottom-up or top-down.

#include "TexImage.h"

#include <cstddef>
#include <cstdint>

// Every form DecodeBmpPicture reads, with its rules and kMaxTextureSide. False (and Image
// untouched) for anything else.
bool ReadBmpPicture(const std::uint8_t* Data, std::size_t Size, TTexImage& Image);
