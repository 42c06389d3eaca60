#include "tests/dddd/BmpFiles.h"

#include "platform/image/BmpFile.h"

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
    TBmpShape shape;
    shape.Width = L.Width;
    shape.Height = L.Height;
    shape.BitCount = static_cast<std::uint16_t>(L.Bits);
    shape.Compression = L.Compression;
    shape.Masks = L.Masks;
    shape.Palette = L.Palette;
    return EncodeBmpFile(shape, Pixels);
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
