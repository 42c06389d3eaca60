#pragma once
// Small BMP files built in memory, for the archive, bitmap and loader tests.

#include <cstdint>
#include <functional>
#include <vector>

namespace dddd::test {

struct TBmpLayout {
    int Width = 0;
    int Height = 0; // negative: the rows are stored top row first
    int Bits = 8;
    std::uint32_t Compression = 0;      // 3: bit fields, with Masks
    std::vector<std::uint32_t> Palette; // 0xRRGGBB, written as blue, green, red, 0
    std::vector<std::uint32_t> Masks;   // red, green, blue
};

// Pixels are the rows in file order, each padded to 4 bytes already.
std::vector<std::uint8_t> MakeBmpFile(const TBmpLayout& Layout,
                                      const std::vector<std::uint8_t>& Pixels);

// Bottom-up like every ordinary BMP: Pixel(x, y) is asked with y = 0 for the top row.
// 8-bit files carry a grey colour table (entry i = (i, i, i)).
std::vector<std::uint8_t> MakeBmp8(int Width, int Height,
                                   const std::function<std::uint8_t(int X, int Y)>& Pixel);
// Pixel returns 0xRRGGBB.
std::vector<std::uint8_t> MakeBmp24(int Width, int Height,
                                    const std::function<std::uint32_t(int X, int Y)>& Pixel);

} // namespace dddd::test
