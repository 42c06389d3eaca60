#pragma once
// Writes small bitmap files for the texture tests: 8-bit palettised or 24-bit, stored
// bottom-up (the usual way) or top-down.

#include "platform/image/BmpFile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

// Rows of 0x00RRGGBB, the top row first as seen.
inline void WriteTestBmp(const std::string& Path,
                         const std::vector<std::vector<std::uint32_t>>& Rows, int BitCount,
                         bool TopDown = false) {
    const int h = int(Rows.size()), w = int(Rows[0].size());
    TBmpShape shape;
    shape.Width = w;
    shape.Height = TopDown ? -h : h;
    shape.BitCount = std::uint16_t(BitCount);
    shape.StateImageSize = false;
    shape.PelsPerMeter = 0;
    if (BitCount == 8)
        for (const auto& r : Rows)
            for (std::uint32_t c : r)
                if (std::find(shape.Palette.begin(), shape.Palette.end(), c) == shape.Palette.end())
                    shape.Palette.push_back(c);
    const std::size_t stride = BmpStride(w, BitCount);
    std::vector<std::uint8_t> pixels(stride * std::size_t(h), 0);
    for (int row = 0; row < h; ++row) {
        const auto& src = Rows[TopDown ? row : h - 1 - row];
        std::uint8_t* dst = pixels.data() + std::size_t(row) * stride;
        for (int x = 0; x < w; ++x) {
            if (BitCount == 8) {
                dst[x] =
                    std::uint8_t(std::find(shape.Palette.begin(), shape.Palette.end(), src[x]) -
                                 shape.Palette.begin());
            } else {
                dst[x * 3] = std::uint8_t(src[x]);
                dst[x * 3 + 1] = std::uint8_t(src[x] >> 8);
                dst[x * 3 + 2] = std::uint8_t(src[x] >> 16);
            }
        }
    }
    const std::vector<std::uint8_t> f = EncodeBmpFile(shape, pixels);
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}
