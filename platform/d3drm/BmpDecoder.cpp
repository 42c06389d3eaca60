#include "TexImage.h"

#include "platform/image/BmpFile.h"

#include <cstring>

namespace {

std::uint32_t U32(const std::uint8_t* P) {
    return P[0] | (P[1] << 8) | (P[2] << 16) | (std::uint32_t(P[3]) << 24);
}

} // namespace

bool DecodeBmp(const std::uint8_t* Data, std::size_t Size, TTexImage& Image) {
    TBmpHeader h;
    // The short header and the coded kinds are left to the toolkit's reader.
    if (!Data || !ParseBmpHeader({Data, Size}, h) || h.IsCore())
        return false;
    const std::int32_t width = h.Width;
    const std::uint32_t rows = h.Rows();
    const bool topDown = h.TopDown();
    const std::uint32_t bitCount = h.BitCount;
    if (width <= 0 || rows == 0 || width > kMaxTextureSide || rows > kMaxTextureSide ||
        h.Planes != 1 || h.Compression != kBmpRgb)
        return false;
    const auto height = static_cast<std::int32_t>(rows);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return false;

    std::uint32_t palette[256] = {};
    if (bitCount <= 8) {
        const std::uint64_t colours = h.PaletteEntries();
        if (colours > (1u << bitCount) || h.PaletteAt > Size || (Size - h.PaletteAt) / 4 < colours)
            return false;
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint8_t* e = Data + h.PaletteAt + i * 4;
            palette[i] = (std::uint32_t(e[2]) << 16) | (e[1] << 8) | e[0];
        }
    }

    if (!h.RowsFit(Size))
        return false;
    const std::size_t stride = h.Stride();
    const std::uint32_t offBits = h.OffBits;

    TTexImage out;
    out.Width = width;
    out.Height = height;
    out.Texels.resize(std::size_t(width) * height);
    for (std::int32_t row = 0; row < height; ++row) {
        // The file's first row is the bottom one unless the bitmap is top-down.
        const std::int32_t seen = topDown ? row : height - 1 - row;
        const std::uint8_t* src = Data + offBits + std::size_t(row) * stride;
        std::uint32_t* dst = out.Texels.data() + std::size_t(seen) * width;
        for (std::int32_t x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1:
                dst[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                break;
            case 4:
                dst[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
                break;
            case 8:
                dst[x] = palette[src[x]];
                break;
            case 24:
                dst[x] = (std::uint32_t(src[x * 3 + 2]) << 16) | (src[x * 3 + 1] << 8) | src[x * 3];
                break;
            default:
                dst[x] = U32(src + x * 4) & 0xFFFFFFu;
                break;
            }
        }
    }
    Image = std::move(out);
    return true;
}
