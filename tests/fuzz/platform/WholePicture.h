#pragma once
// What a decoded texture must be, whoever decoded it: a picture of allowed size, every texel
// there and none with bits above the 24 of its colour.

#include "platform/d3drm/TexImage.h"

#include <algorithm>
#include <cstddef>

inline bool WholePicture(const TTexImage& Image) {
    return Image.Width > 0 && Image.Height > 0 && Image.Width <= kMaxTextureSide &&
           Image.Height <= kMaxTextureSide &&
           Image.Texels.size() == std::size_t(Image.Width) * Image.Height &&
           std::all_of(Image.Texels.begin(), Image.Texels.end(),
                       [](std::uint32_t T) { return T <= 0xFFFFFFu; });
}
