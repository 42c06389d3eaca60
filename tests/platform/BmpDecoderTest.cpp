// Decoding bitmap files for textures: the formats the game's files come in, and refusing
// everything else without reading past the bytes given.
#include "platform/d3drm/TexImage.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// A bitmap file of W x H with the given depth; pixel (x, y) seen from the top is Colour(x, y)
// for 24/32 bits and palette index Colour(x, y) for up to 8.
std::vector<std::uint8_t> MakeBmp(int W, int H, int Bits, bool TopDown,
                                  std::function<std::uint32_t(int, int)> Colour, int Colours = 0) {
    const int paletteEntries = Bits <= 8 ? (Colours ? Colours : 1 << Bits) : 0;
    const int stride = ((W * Bits + 31) / 32) * 4;
    const int offBits = 54 + paletteEntries * 4;
    std::vector<std::uint8_t> f(std::size_t(offBits) + std::size_t(stride) * H, 0);
    auto put = [&](int At, std::uint32_t V) {
        for (int i = 0; i < 4; ++i)
            f[At + i] = std::uint8_t(V >> (8 * i));
    };
    f[0] = 'B', f[1] = 'M';
    put(2, std::uint32_t(f.size()));
    put(10, std::uint32_t(offBits));
    put(14, 40);
    put(18, std::uint32_t(W));
    put(22, std::uint32_t(TopDown ? -H : H));
    f[26] = 1, f[28] = std::uint8_t(Bits);
    put(46, std::uint32_t(Colours));
    for (int i = 0; i < paletteEntries; ++i)
        put(54 + i * 4, std::uint32_t(i * 0x010203)); // entry i: red i, green 2i, blue 3i
    for (int row = 0; row < H; ++row) {
        const int y = TopDown ? row : H - 1 - row;
        std::uint8_t* p = f.data() + offBits + std::size_t(row) * stride;
        for (int x = 0; x < W; ++x) {
            const std::uint32_t c = Colour(x, y);
            switch (Bits) {
            case 1:
                p[x / 8] |= std::uint8_t((c & 1) << (7 - x % 8));
                break;
            case 4:
                p[x / 2] |= std::uint8_t((c & 15) << (x % 2 ? 0 : 4));
                break;
            case 8:
                p[x] = std::uint8_t(c);
                break;
            case 24:
                p[x * 3] = std::uint8_t(c), p[x * 3 + 1] = std::uint8_t(c >> 8),
                      p[x * 3 + 2] = std::uint8_t(c >> 16);
                break;
            default:
                std::memcpy(p + x * 4, &c, 4);
            }
        }
    }
    return f;
}

std::uint32_t PaletteColour(std::uint32_t Index) {
    // Stored blue, green, red: 3i, 2i, i.
    return ((Index & 0xFF) << 16) | ((2 * Index & 0xFF) << 8) | (3 * Index & 0xFF);
}

TEST(BmpDecoder, ReadsEveryUncompressedDepthTopRowFirst) {
    struct TCase {
        int W, H, Bits;
        bool TopDown;
    } cases[] = {{5, 3, 1, false},  {7, 2, 4, false}, {3, 5, 8, false},  {3, 5, 8, true},
                 {5, 4, 24, false}, {5, 4, 24, true}, {2, 3, 32, false}, {1, 1, 24, false}};
    for (const TCase& c : cases) {
        const int levels = c.Bits <= 8 ? 1 << c.Bits : 0;
        auto colour = [&](int X, int Y) -> std::uint32_t {
            return levels ? std::uint32_t((X + 3 * Y) % levels)
                          : std::uint32_t(X * 40 + Y * 0x10200);
        };
        const auto file = MakeBmp(c.W, c.H, c.Bits, c.TopDown, colour);
        TTexImage image;
        ASSERT_TRUE(DecodeBmp(file.data(), file.size(), image)) << c.Bits << c.TopDown;
        ASSERT_EQ(image.Width, c.W);
        ASSERT_EQ(image.Height, c.H);
        for (int y = 0; y < c.H; ++y)
            for (int x = 0; x < c.W; ++x) {
                const std::uint32_t expected =
                    levels ? PaletteColour(colour(x, y)) : colour(x, y) & 0xFFFFFF;
                ASSERT_EQ(image.Texels[std::size_t(y) * c.W + x], expected)
                    << c.Bits << " " << c.TopDown << " at " << x << "," << y;
            }
    }
}

TEST(BmpDecoder, RefusesWhatItCannotReadWithoutTouchingTheImage) {
    const auto good = MakeBmp(4, 4, 8, false, [](int X, int Y) { return std::uint32_t(X + Y); });
    auto with = [&](std::function<void(std::vector<std::uint8_t>&)> Change) {
        auto f = good;
        Change(f);
        return f;
    };
    auto set32 = [](std::vector<std::uint8_t>& F, int At, std::uint32_t V) {
        for (int i = 0; i < 4; ++i)
            F[At + i] = std::uint8_t(V >> (8 * i));
    };
    const std::vector<std::vector<std::uint8_t>> bad = {
        {},
        with([](auto& f) { f[0] = 'X'; }),
        with([](auto& f) { f.resize(f.size() - 1); }),                // pixels cut short
        with([](auto& f) { f.resize(60); }),                          // palette cut short
        with([&](auto& f) { set32(f, 18, 0); }),                      // no width
        with([&](auto& f) { set32(f, 18, 100000); }),                 // absurd width
        with([&](auto& f) { set32(f, 22, std::uint32_t(INT_MIN)); }), // height with no negation
        with([&](auto& f) { set32(f, 30, 1); }),                      // run-length compressed
        with([](auto& f) { f[28] = 16; }),                            // 16 bits
        with([&](auto& f) { set32(f, 46, 257); }),                    // more colours than 8 bits
        with([&](auto& f) { set32(f, 10, 0xFFFFFFF0u); }),            // pixels beyond the end
        with([&](auto& f) { set32(f, 14, 0xFFFFFFF0u); }),            // info header beyond it
        with([&](auto& f) { set32(f, 14, 12); }),                     // the old 12-byte header
        with([](auto& f) { f[26] = 2; }),                             // two planes
    };
    for (std::size_t i = 0; i < bad.size(); ++i) {
        TTexImage image;
        image.Width = 7;
        EXPECT_FALSE(DecodeBmp(bad[i].data(), bad[i].size(), image)) << "case " << i;
        EXPECT_EQ(image.Width, 7) << "case " << i;
    }
}

TEST(BmpDecoder, AShortPaletteLeavesTheUnlistedIndicesBlack) {
    const auto f = MakeBmp(
        3, 1, 8, false, [](int X, int) { return std::uint32_t(X * 100); }, 2);
    TTexImage image;
    ASSERT_TRUE(DecodeBmp(f.data(), f.size(), image));
    EXPECT_EQ(image.Texels[0], PaletteColour(0));
    EXPECT_EQ(image.Texels[1], 0u); // index 100 of a two-colour palette
}

} // namespace
