#pragma once
// Small BMP files built in memory, for the archive and bitmap-loading tests.

#include <cstdint>
#include <functional>
#include <vector>

namespace dddd::test {

// Bottom-up like every ordinary BMP: Pixel(x, y) is asked with y = 0 for the top row.
// 8-bit files carry a grey colour table (entry i = (i, i, i)).
std::vector<std::uint8_t> MakeBmp8(int Width, int Height,
                                   const std::function<std::uint8_t(int X, int Y)>& Pixel);
// Pixel returns 0xRRGGBB.
std::vector<std::uint8_t> MakeBmp24(int Width, int Height,
                                    const std::function<std::uint32_t(int X, int Y)>& Pixel);

} // namespace dddd::test
