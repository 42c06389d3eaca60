// Every pixel of a decoded bitmap comes from the file: decoded twice, with the heap scribbled
// over in between so that memory left unset would differ, any bytes give the same picture, or
// are refused both times. Indices stay within the table.
#include "platform/image/BmpPicture.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr int kMaxSide = 1024;

// Leaves freed blocks the size a picture takes holding Pattern, for the next decode to reuse.
void Scribble(std::size_t Pixels, int Pattern) {
    for (std::size_t bytes : {Pixels, Pixels * 4}) {
        std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[bytes]);
        std::memset(block.get(), Pattern, bytes);
        volatile std::uint8_t keep = block[bytes - 1];
        (void)keep;
    }
}

bool Same(const TBmpPicture& A, const TBmpPicture& B) {
    return A.Width == B.Width && A.Height == B.Height && A.BitCount == B.BitCount &&
           A.Palette == B.Palette && A.Index == B.Index && A.Rgb == B.Rgb;
}

bool Whole(const TBmpPicture& P) {
    const std::size_t pixels = std::size_t(P.Width) * std::size_t(P.Height);
    if (P.Width <= 0 || P.Height <= 0 || P.Width > kMaxSide || P.Height > kMaxSide)
        return false;
    if (!P.Indexed())
        return P.Rgb.size() == pixels && P.Index.empty();
    if (P.Index.size() != pixels || P.Palette.size() != std::size_t{1} << P.BitCount)
        return false;
    for (std::uint8_t i : P.Index)
        if (i >= P.Palette.size())
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TBmpPicture first, second;
    Scribble(std::size_t(kMaxSide) * 4, 0xA5);
    const bool read = DecodeBmpPicture({Data, Size}, kMaxSide, first);
    if (read)
        Scribble(first.Index.size() + first.Rgb.size(), 0x5A);
    if (DecodeBmpPicture({Data, Size}, kMaxSide, second) != read)
        std::abort();
    if (read && (!Whole(first) || !Same(first, second)))
        std::abort();
    return 0;
}
