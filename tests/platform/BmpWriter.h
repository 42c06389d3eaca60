#pragma once
// Writes small bitmap files for the texture tests: 8-bit palettised or 24-bit, stored
// bottom-up (the usual way) or top-down.

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
    std::vector<std::uint32_t> palette;
    if (BitCount == 8)
        for (const auto& r : Rows)
            for (std::uint32_t c : r)
                if (std::find(palette.begin(), palette.end(), c) == palette.end())
                    palette.push_back(c);
    const int stride = ((w * BitCount + 31) / 32) * 4;
    const int paletteBytes = int(palette.size()) * 4;
    const int offBits = 54 + paletteBytes;
    std::vector<std::uint8_t> f(std::size_t(offBits) + std::size_t(stride) * h, 0);
    auto put32 = [&](int At, std::uint32_t V) {
        for (int i = 0; i < 4; ++i)
            f[At + i] = std::uint8_t(V >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, std::uint32_t(f.size()));
    put32(10, std::uint32_t(offBits));
    put32(14, 40);
    put32(18, std::uint32_t(w));
    put32(22, std::uint32_t(TopDown ? -h : h));
    f[26] = 1;
    f[28] = std::uint8_t(BitCount);
    put32(46, std::uint32_t(palette.size()));
    for (std::size_t i = 0; i < palette.size(); ++i)
        put32(54 + int(i) * 4, palette[i]);
    for (int row = 0; row < h; ++row) {
        const auto& src = Rows[TopDown ? row : h - 1 - row];
        std::uint8_t* dst = f.data() + offBits + std::size_t(row) * stride;
        for (int x = 0; x < w; ++x) {
            if (BitCount == 8) {
                dst[x] = std::uint8_t(std::find(palette.begin(), palette.end(), src[x]) -
                                      palette.begin());
            } else {
                dst[x * 3] = std::uint8_t(src[x]);
                dst[x * 3 + 1] = std::uint8_t(src[x] >> 8);
                dst[x * 3 + 2] = std::uint8_t(src[x] >> 16);
            }
        }
    }
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data()), std::streamsize(f.size()));
}
