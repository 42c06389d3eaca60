// The bitmap decoder's limits, each tried exactly at the limit and one past it in a file that
// is otherwise well formed, so that only the limit can refuse it. The files are exactly as long
// as they claim: a check one byte short reads past them, which the sanitizer build reports.
#include "platform/d3drm/TexImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& F, std::size_t At, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        F[At + i] = std::uint8_t(V >> (8 * i));
}

// A black bitmap: a 40-byte info header, Colours palette entries (all of them when 0) for up
// to 8 bits, then the rows. A negative H stores the top row first.
Bytes Bmp(int W, int H, int Bits, int Colours = 0) {
    const int entries = Bits <= 8 ? (Colours ? Colours : 1 << Bits) : 0;
    const std::size_t stride = ((std::size_t(W) * Bits + 31) / 32) * 4;
    const std::size_t offBits = 54 + std::size_t(entries) * 4;
    Bytes f(offBits + stride * std::size_t(H < 0 ? -H : H), 0);
    f[0] = 'B', f[1] = 'M';
    Put32(f, 2, std::uint32_t(f.size()));
    Put32(f, 10, std::uint32_t(offBits));
    Put32(f, 14, 40);
    Put32(f, 18, std::uint32_t(W));
    Put32(f, 22, std::uint32_t(H));
    f[26] = 1, f[28] = std::uint8_t(Bits);
    Put32(f, 46, std::uint32_t(Colours));
    return f;
}

Bytes Changed(Bytes F, const std::function<void(Bytes&)>& Change) {
    Change(F);
    return F;
}

// An 8-bit 1 x 1 bitmap whose two palette entries end the file; its one row lies in the info
// header, which the format allows, so that the palette alone decides where the file may end.
Bytes PaletteLast(std::size_t Cut) {
    return Changed(Bmp(1, 1, 8, 2), [&](Bytes& F) {
        F.resize(54 + 2 * 4 - Cut);
        Put32(F, 10, 50);
    });
}

} // namespace

TEST(BmpDecoderLimits, EveryLimitAcceptsAFileAtItAndRefusesOneOnePastIt) {
    const int side = kMaxTextureSide;
    const struct {
        const char* What;
        Bytes AtLimit, PastLimit;
    } cases[] = {
        {"info header of 40 bytes", Bmp(1, 1, 24),
         Changed(Bmp(1, 1, 24), [](Bytes& F) { Put32(F, 14, 39); })},
        {"info header reaching the end of the file",
         Changed(Bmp(1, 1, 24), [](Bytes& F) { Put32(F, 14, 44); }),
         Changed(Bmp(1, 1, 24), [](Bytes& F) { Put32(F, 14, 45); })},
        {"widest texture", Bmp(side, 1, 1), Bmp(side + 1, 1, 1)},
        {"tallest texture", Bmp(1, side, 1), Bmp(1, side + 1, 1)},
        {"tallest top-down texture", Bmp(1, -side, 1), Bmp(1, -side - 1, 1)},
        {"narrowest texture", Bmp(1, 1, 24),
         Changed(Bmp(1, 1, 24), [](Bytes& F) { Put32(F, 18, 0); })},
        {"shortest texture", Bmp(1, 1, 24),
         Changed(Bmp(1, 1, 24), [](Bytes& F) { Put32(F, 22, 0); })},
        {"palette of 2 colours at 1 bit", Bmp(8, 1, 1, 2), Bmp(8, 1, 1, 3)},
        {"palette of 16 colours at 4 bits", Bmp(2, 1, 4, 16), Bmp(2, 1, 4, 17)},
        {"palette of 256 colours at 8 bits", Bmp(1, 1, 8, 256), Bmp(1, 1, 8, 257)},
        {"palette ending the file", PaletteLast(0), PaletteLast(1)},
        {"padded rows ending the file", Bmp(3, 2, 24),
         Changed(Bmp(3, 2, 24), [](Bytes& F) { F.pop_back(); })},
        {"1-bit rows ending the file", Bmp(33, 2, 1),
         Changed(Bmp(33, 2, 1), [](Bytes& F) { F.pop_back(); })},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TTexImage image;
        EXPECT_TRUE(DecodeBmp(c.AtLimit.data(), c.AtLimit.size(), image));
        EXPECT_FALSE(DecodeBmp(c.PastLimit.data(), c.PastLimit.size(), image));
    }
}
