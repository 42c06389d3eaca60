// Every bitmap reader of the game starts from these headers: any bytes must be refused or read
// into a description that stays within them, and a description written back reads the same.
#include "platform/image/BmpFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TBmpHeader h;
    if (!ParseBmpHeader({Data, Size}, h))
        return 0;
    const bool core = h.IsCore();
    if ((!core && h.InfoSize < kBmpInfoHeaderSize) || kBmpFileHeaderSize + h.InfoSize > Size ||
        h.PaletteAt < kBmpFileHeaderSize + h.InfoSize ||
        (h.HasMasks && h.Compression != kBmpBitFields) || (core && h.RawHeight < 0))
        std::abort();
    // Touches every row the description says fit, so a wrong bound shows under the sanitizer.
    if (h.RowsFit(Size) && h.Stride() > 0 && h.Rows() > 0) {
        volatile std::uint8_t last = Data[h.OffBits + h.Stride() * h.Rows() - 1];
        (void)last;
    }

    TBmpShape shape;
    shape.Width = h.Width;
    shape.Height = h.RawHeight;
    shape.BitCount = h.BitCount;
    shape.CoreHeader = core;
    shape.Compression = h.Compression;
    if (h.HasMasks)
        shape.Masks.assign(std::begin(h.Masks), std::end(h.Masks));
    TBmpHeader again;
    if (!ParseBmpHeader(EncodeBmpFile(shape, {}), again) || again.Width != h.Width ||
        again.RawHeight != h.RawHeight || again.BitCount != h.BitCount ||
        again.Compression != h.Compression || again.HasMasks != h.HasMasks ||
        (h.HasMasks && (again.Masks[0] != h.Masks[0] || again.Masks[1] != h.Masks[1] ||
                        again.Masks[2] != h.Masks[2])))
        std::abort();
    return 0;
}
