// The rasterizer at its edges: the texture's last row and column, the target's last pixel,
// faces at equal depth and colours at the edges of the 8-bit lookup's cells.

#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/Rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TRasterVertex Corner(float X, float Y, float U, float V, float Q = 0.5f) {
    TRasterVertex v;
    v.X = X, v.Y = Y, v.U = U, v.V = V, v.Q = Q;
    v.R = v.G = v.B = 1;
    return v;
}

// A W x H rectangle at the origin, texture coordinates from U0, V0 at its top left to U1, V1
// at its bottom right.
void DrawRect(TRasterizer& R, float W, float H, float U0, float V0, float U1, float V1,
              const TRasterTexture* Texture, float Q = 0.5f) {
    const TRasterVertex a = Corner(0, 0, U0, V0, Q), b = Corner(W, 0, U1, V0, Q),
                        c = Corner(W, H, U1, V1, Q), d = Corner(0, H, U0, V1, Q);
    R.DrawTriangle(a, b, c, Texture, false);
    R.DrawTriangle(a, c, d, Texture, false);
}

} // namespace

TEST(RasterizerEdges, TexelsAtCoordinates0And1AndBeyondComeFromTheFirstAndLastRowAndColumn) {
    // Every texel differs, and the last row and column are marked in blue.
    std::vector<std::uint32_t> texels(16);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            texels[y * 4 + x] = std::uint32_t((x * 60 + 15) << 16 | (y * 60 + 15) << 8 |
                                              (x == 3 || y == 3 ? 0xFF : 0));
    const TRasterTexture texture{texels.data(), 4, 4};
    for (const float over : {0.0f, 0.5f}) {
        SCOPED_TRACE(testing::Message() << "coordinates from " << -over << " to " << 1 + over);
        TMemoryTarget m(8, 8);
        TRasterizer r(m.Describe(), {0, 0, 8, 8}, 1.0f, 0.01f, nullptr);
        r.Clear();
        DrawRect(r, 8, 8, -over, -over, 1 + over, 1 + over, &texture);
        auto texel = [&](int P) {
            const float t = -over + (1 + 2 * over) * (P + 0.5f) / 8;
            return std::clamp(int(std::floor(t * 4)), 0, 3);
        };
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(m.At(x, y), texels[texel(y) * 4 + texel(x)]) << x << "," << y;
    }
}

TEST(RasterizerEdges, AFaceAtEqualDepthCoversTheOneDrawnBeforeItAndAFartherOneDoesNot) {
    const std::uint32_t red = 0xFF0000, green = 0x00FF00, blue = 0x0000FF;
    const TRasterTexture redTexture{&red, 1, 1}, greenTexture{&green, 1, 1},
        blueTexture{&blue, 1, 1};
    for (const int depthBits : {16, 32}) {
        SCOPED_TRACE(depthBits);
        TMemoryTarget m(8, 8, 32, depthBits);
        TRasterizer r(m.Describe(), {0, 0, 8, 8}, 1.0f, 0.01f, nullptr);
        r.Clear();
        DrawRect(r, 8, 8, 0, 0, 1, 1, &redTexture);
        DrawRect(r, 8, 8, 0, 0, 1, 1, &greenTexture);
        DrawRect(r, 8, 8, 0, 0, 1, 1, &blueTexture, 0.4f);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(m.At(x, y), green) << x << "," << y;
    }
}

TEST(RasterizerEdges, ColoursOnAnEightBitTargetTakeThePaletteEntryNearestTheirCellsCentre) {
    // Cells are 8 levels wide: 16..23 centre on 20, 24..31 on 28. Around each centre sits a
    // pair of entries one level apart in distance, so a centre moved by one level picks the
    // other entry of the pair.
    TMemoryTarget m(4, 2, 8, 16);
    // The same lookup then serves a palette with the entries moved: indices the first palette
    // chose would now show white.
    TPaletteLookup lookup;
    for (const int moved : {0, 10}) {
        SCOPED_TRACE(moved);
        std::fill(std::begin(m.Palette), std::end(m.Palette), 0xFF);
        auto entry = [&](int I, int R, int G) {
            m.Palette[(I + moved) * 4] = std::uint8_t(R);
            m.Palette[(I + moved) * 4 + 1] = std::uint8_t(G);
            m.Palette[(I + moved) * 4 + 2] = 0;
        };
        entry(1, 17, 0), entry(2, 24, 0), entry(3, 0, 16), entry(4, 0, 23), entry(5, 0, 31);
        // Each row runs across a cell boundary: the last level of one cell, the first of the
        // next.
        const std::uint32_t texels[8] = {16 << 16, 23 << 16, 24 << 16, 31 << 16,
                                         16 << 8,  23 << 8,  24 << 8,  31 << 8};
        const TRasterTexture texture{texels, 4, 2};
        TRasterizer r(m.Describe(), {0, 0, 4, 2}, 1.0f, 0.01f, &lookup);
        r.Clear();
        DrawRect(r, 4, 2, 0, 0, 1, 1, &texture);
        const std::uint32_t expected[8] = {17 << 16, 17 << 16, 24 << 16, 24 << 16,
                                           23 << 8,  23 << 8,  31 << 8,  31 << 8};
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(m.At(i % 4, i / 4), expected[i]) << "pixel " << i;
    }
}

TEST(RasterizerEdges, ATriangleLargerThanTheTargetFillsItToItsLastPixelAndNoFurther) {
    // The buffers are wider and taller than the target described, so that a pixel written
    // past its right or bottom edge shows.
    TMemoryTarget m(20, 17);
    TRenderTarget t = m.Describe();
    t.Width = 16, t.Height = 16;
    TRasterizer r(t, {-5, -5, 40, 40}, 1.0f, 0.01f, nullptr);
    r.Clear();
    r.DrawTriangle(Corner(-100, -100, 0, 0), Corner(300, -100, 0, 0), Corner(-100, 300, 0, 0),
                   nullptr, false);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(m.At(x, y), x < 16 && y < 16 ? 0xFFFFFFu : 0xCDCDCDu) << x << "," << y;
}
