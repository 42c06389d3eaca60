#pragma once
// Reads the bitmap file a player picks for a texture, in whatever form a paint program saved
// it: 1, 4, 8, 16, 24 or 32 bits, run-length encoded, with bit-field masks, with the older
// short header, bottom-up or top-down.

#include "TexImage.h"

#include <cstddef>
#include <cstdint>

// The uncompressed kinds go through DecodeBmp, so they keep its exact rules; the others through
// the toolkit's bitmap reader. False (and Image untouched) when neither can read the bytes or
// a side exceeds kMaxTextureSide.
bool ReadBmpPicture(const std::uint8_t* Data, std::size_t Size, TTexImage& Image);
