#include "platform/d3drm/TexImage.h"

#include <cstring>
#include <limits>

namespace {

std::uint32_t U16(const std::uint8_t* P) {
    return P[0] | (P[1] << 8);
}
std::uint32_t U32(const std::uint8_t* P) {
    return P[0] | (P[1] << 8) | (P[2] << 16) | (std::uint32_t(P[3]) << 24);
}

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreInfoSize = 40; // the smallest info header we read
constexpr std::uint32_t kBiRgb = 0;

} // namespace

bool DecodeBmp(const std::uint8_t* Data, std::size_t Size, TTexImage& Image) {
    if (!Data || Size < kFileHeaderSize + kCoreInfoSize || Data[0] != 'B' || Data[1] != 'M')
        return false;
    const std::uint32_t offBits = U32(Data + 10);
    const std::uint8_t* info = Data + kFileHeaderSize;
    const std::uint32_t infoSize = U32(info);
    if (infoSize < kCoreInfoSize || infoSize > Size - kFileHeaderSize)
        return false;
    const auto width = static_cast<std::int32_t>(U32(info + 4));
    const auto rawHeight = static_cast<std::int32_t>(U32(info + 8));
    const std::uint32_t planes = U16(info + 12);
    const std::uint32_t bitCount = U16(info + 14);
    const std::uint32_t compression = U32(info + 16);
    std::uint32_t colours = U32(info + 32);
    // A negative height stores the top row first; INT_MIN has no positive counterpart.
    if (rawHeight == std::numeric_limits<std::int32_t>::min())
        return false;
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide ||
        planes != 1 || compression != kBiRgb)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return false;

    std::uint32_t palette[256] = {};
    if (bitCount <= 8) {
        const std::uint32_t most = 1u << bitCount;
        if (colours == 0)
            colours = most;
        if (colours > most)
            return false;
        const std::size_t at = kFileHeaderSize + infoSize;
        if (Size - at < std::size_t(colours) * 4)
            return false;
        for (std::uint32_t i = 0; i < colours; ++i) {
            const std::uint8_t* e = Data + at + i * 4;
            palette[i] = (std::uint32_t(e[2]) << 16) | (e[1] << 8) | e[0];
        }
    }

    const std::size_t stride = ((std::size_t(width) * bitCount + 31) / 32) * 4;
    if (offBits > Size || (Size - offBits) / stride < std::size_t(height))
        return false;

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
