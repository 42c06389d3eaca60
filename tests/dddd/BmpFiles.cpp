#include "tests/dddd/BmpFiles.h"

namespace dddd::test {

namespace {

void Put(std::vector<std::uint8_t>& Out, std::uint32_t V, int Bytes) {
    for (int i = 0; i < Bytes; ++i)
        Out.push_back(static_cast<std::uint8_t>(V >> (8 * i)));
}

std::vector<std::uint8_t> Headers(int Width, int Height, int Bits, std::uint32_t PaletteBytes,
                                  std::uint32_t ImageBytes) {
    std::vector<std::uint8_t> out;
    const std::uint32_t offset = 14 + 40 + PaletteBytes;
    out.push_back('B');
    out.push_back('M');
    Put(out, offset + ImageBytes, 4);
    Put(out, 0, 4);
    Put(out, offset, 4);
    Put(out, 40, 4);
    Put(out, static_cast<std::uint32_t>(Width), 4);
    Put(out, static_cast<std::uint32_t>(Height), 4);
    Put(out, 1, 2);
    Put(out, static_cast<std::uint32_t>(Bits), 2);
    Put(out, 0, 4); // BI_RGB
    Put(out, ImageBytes, 4);
    Put(out, 2835, 4);
    Put(out, 2835, 4);
    Put(out, Bits == 8 ? 256 : 0, 4);
    Put(out, 0, 4);
    return out;
}

} // namespace

std::vector<std::uint8_t> MakeBmp8(int Width, int Height,
                                   const std::function<std::uint8_t(int, int)>& Pixel) {
    const int stride = (Width + 3) & ~3;
    std::vector<std::uint8_t> out =
        Headers(Width, Height, 8, 1024, static_cast<std::uint32_t>(stride * Height));
    for (int i = 0; i < 256; ++i)
        Put(out, static_cast<std::uint32_t>(i * 0x010101), 4);
    for (int y = Height - 1; y >= 0; --y) {
        for (int x = 0; x < stride; ++x)
            out.push_back(x < Width ? Pixel(x, y) : 0);
    }
    return out;
}

std::vector<std::uint8_t> MakeBmp24(int Width, int Height,
                                    const std::function<std::uint32_t(int, int)>& Pixel) {
    const int stride = (Width * 3 + 3) & ~3;
    std::vector<std::uint8_t> out =
        Headers(Width, Height, 24, 0, static_cast<std::uint32_t>(stride * Height));
    for (int y = Height - 1; y >= 0; --y) {
        for (int x = 0; x < Width; ++x)
            Put(out, Pixel(x, y), 3); // blue, green, red in file order
        for (int x = Width * 3; x < stride; ++x)
            out.push_back(0);
    }
    return out;
}

} // namespace dddd::test
