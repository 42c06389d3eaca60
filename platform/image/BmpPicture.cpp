#include "platform/image/BmpPicture.h"

#include "BmpRunLength.h"
#include "platform/image/BmpFile.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace {

std::uint32_t U16(const std::uint8_t* P) {
    return static_cast<std::uint32_t>(P[0]) | static_cast<std::uint32_t>(P[1]) << 8;
}
std::uint32_t U32(const std::uint8_t* P) {
    return U16(P) | U16(P + 2) << 16;
}

// One colour channel of a pixel, by its mask, scaled to 8 bits.
class TChannel {
public:
    explicit TChannel(std::uint32_t Mask) {
        if (!Mask)
            return;
        while (!(Mask & 1u)) {
            Mask >>= 1;
            ++Shift;
        }
        while (Bits < 32 && (Mask & 1u)) {
            Mask >>= 1;
            ++Bits;
        }
    }

    std::uint32_t Of(std::uint32_t Pixel) const {
        if (!Bits)
            return 0;
        const std::uint32_t v = (Pixel >> Shift) & (Bits == 32 ? ~0u : (1u << Bits) - 1u);
        if (Bits >= 8)
            return v >> (Bits - 8);
        // Narrow channels repeat their bits, so that full scale stays full scale.
        std::uint32_t wide = 0;
        int filled = 0;
        for (; filled < 8; filled += Bits)
            wide = wide << Bits | v;
        return wide >> (filled - 8);
    }

private:
    int Shift = 0;
    int Bits = 0;
};

bool DepthFits(const TBmpHeader& H) {
    const std::uint32_t bits = H.BitCount;
    if (H.IsCore())
        return bits == 1 || bits == 4 || bits == 8 || bits == 24;
    switch (H.Compression) {
    case kBmpRgb:
        return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    // The format has no top-down run-length bitmaps: a line's end would have no direction.
    case kBmpRle8:
        return bits == 8 && !H.TopDown();
    case kBmpRle4:
        return bits == 4 && !H.TopDown();
    case kBmpBitFields:
        return (bits == 16 || bits == 32) && H.HasMasks;
    default:
        return false;
    }
}

bool ReadPalette(std::span<const std::uint8_t> File, const TBmpHeader& H, TBmpPicture& Out) {
    const std::uint64_t entries = H.PaletteEntries();
    const std::size_t size = File.size();
    if (entries > (1u << H.BitCount) || H.PaletteAt > size ||
        (size - H.PaletteAt) / H.PaletteEntrySize < entries)
        return false;
    // Indices past a short table are black, as they draw on the platform.
    Out.Palette.assign(std::size_t{1} << H.BitCount, 0);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::uint8_t* e = File.data() + H.PaletteAt + i * H.PaletteEntrySize;
        Out.Palette[i] = static_cast<std::uint32_t>(e[2]) << 16 | e[1] << 8 | e[0];
    }
    return true;
}

void ReadIndexRows(const std::uint8_t* Rows, std::size_t Stride, bool TopDown, TBmpPicture& Out) {
    const int w = Out.Width, h = Out.Height, bits = Out.BitCount;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = Rows + Stride * std::size_t(TopDown ? y : h - 1 - y);
        std::uint8_t* dst = Out.Index.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            if (bits == 1)
                dst[x] = (src[x / 8] >> (7 - x % 8)) & 1;
            else if (bits == 4)
                dst[x] = (src[x / 2] >> (x % 2 ? 0 : 4)) & 0x0F;
            else
                dst[x] = src[x];
        }
    }
}

void ReadColourRows(const std::uint8_t* Rows, std::size_t Stride, bool TopDown,
                    const std::uint32_t (&Masks)[3], TBmpPicture& Out) {
    const int w = Out.Width, h = Out.Height, bits = Out.BitCount;
    const TChannel r(Masks[0]), g(Masks[1]), b(Masks[2]);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = Rows + Stride * std::size_t(TopDown ? y : h - 1 - y);
        std::uint32_t* dst = Out.Rgb.data() + std::size_t(y) * std::size_t(w);
        for (int x = 0; x < w; ++x) {
            std::uint32_t p;
            if (bits == 16)
                p = U16(src + 2 * x);
            else if (bits == 24)
                p = U16(src + 3 * x) | std::uint32_t{src[3 * x + 2]} << 16;
            else
                p = U32(src + 4 * x);
            dst[x] = r.Of(p) << 16 | g.Of(p) << 8 | b.Of(p);
        }
    }
}

} // namespace

bool DecodeBmpPicture(std::span<const std::uint8_t> File, int MaxSide, TBmpPicture& Picture) {
    TBmpHeader h;
    if (!ParseBmpHeader(File, h) || h.Planes != 1 || !DepthFits(h))
        return false;
    const std::uint32_t rows = h.Rows();
    if (h.Width <= 0 || h.Width > MaxSide || rows == 0 || rows > std::uint32_t(MaxSide))
        return false;

    TBmpPicture out;
    out.Width = h.Width;
    out.Height = static_cast<int>(rows);
    out.BitCount = h.BitCount;
    const std::size_t pixels = std::size_t(out.Width) * std::size_t(out.Height);
    const bool coded = h.Compression == kBmpRle8 || h.Compression == kBmpRle4;
    if (out.Indexed() && !ReadPalette(File, h, out))
        return false;
    if (coded ? h.OffBits > File.size() : !h.RowsFit(File.size()))
        return false;

    const std::uint8_t* rowsAt = File.data() + h.OffBits;
    if (coded) {
        out.Index.assign(pixels, 0);
        DrawBmpRunLength(File.subspan(h.OffBits), out.BitCount, out.Width, out.Height,
                         out.Index.data());
    } else if (out.Indexed()) {
        out.Index.resize(pixels);
        ReadIndexRows(rowsAt, h.Stride(), h.TopDown(), out);
    } else {
        std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (h.Compression == kBmpBitFields && !h.IsCore())
            std::copy(std::begin(h.Masks), std::end(h.Masks), masks);
        else if (out.BitCount != 16)
            masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
        out.Rgb.resize(pixels);
        ReadColourRows(rowsAt, h.Stride(), h.TopDown(), masks, out);
    }
    Picture = std::move(out);
    return true;
}
