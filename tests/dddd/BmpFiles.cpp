#include "tests/dddd/BmpFiles.h"

#include <cstdlib>

namespace dddd::test {

namespace {

void Put(std::vector<std::uint8_t>& Out, std::uint32_t V, int Bytes) {
    for (int i = 0; i < Bytes; ++i)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
}

} // namespace

std::vector<std::uint8_t> MakeBmpFile(const TBmpLayout& L,
                                      const std::vector<std::uint8_t>& Pixels) {
    const auto tableBytes = static_cast<std::uint32_t>(4 * L.Palette.size() + 4 * L.Masks.size());
    const std::uint32_t offset = 14 + 40 + tableBytes;
    std::vector<std::uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    Put(out, offset + static_cast<std::uint32_t>(Pixels.size()), 4);
    Put(out, 0, 4);
    Put(out, offset, 4);
    Put(out, 40, 4);
    Put(out, static_cast<std::uint32_t>(L.Width), 4);
    Put(out, static_cast<std::uint32_t>(L.Height), 4);
    Put(out, 1, 2);
    Put(out, static_cast<std::uint32_t>(L.Bits), 2);
    Put(out, L.Compression, 4);
    Put(out, static_cast<std::uint32_t>(Pixels.size()), 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, static_cast<std::uint32_t>(L.Palette.size()), 4);
    Put(out, 0, 4);
    for (std::uint32_t m : L.Masks)
        Put(out, m, 4);
    for (std::uint32_t c : L.Palette)
        Put(out, c, 4); // 0x00RRGGBB little-endian is blue, green, red, 0
    out.insert(out.end(), Pixels.begin(), Pixels.end());
    return out;
}

std::vector<std::uint8_t> MakeBmp8(int Width, int Height,
                                   const std::function<std::uint8_t(int, int)>& Pixel) {
    TBmpLayout l{Width, Height, 8};
    for (std::uint32_t i = 0; i < 256; ++i)
        l.Palette.push_back(i * 0x010101u);
    const int stride = (Width + 3) & ~3;
    std::vector<std::uint8_t> pixels;
    for (int y = Height - 1; y >= 0; --y)
        for (int x = 0; x < stride; ++x)
            pixels.push_back(x < Width ? Pixel(x, y) : 0);
    return MakeBmpFile(l, pixels);
}

std::vector<std::uint8_t> MakeBmp24(int Width, int Height,
                                    const std::function<std::uint32_t(int, int)>& Pixel) {
    const int stride = (Width * 3 + 3) & ~3;
    std::vector<std::uint8_t> pixels;
    for (int y = Height - 1; y >= 0; --y) {
        for (int x = 0; x < Width; ++x)
            Put(pixels, Pixel(x, y), 3); // blue, green, red in file order
        for (int x = Width * 3; x < stride; ++x)
            pixels.push_back(0);
    }
    return MakeBmpFile({Width, Height, 24}, pixels);
}

} // namespace dddd::test
