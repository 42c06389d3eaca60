// The fill rule: triangles that share edges cover every pixel of their union exactly once.

#include "platform/d3drm/MemoryTarget.h"
#include "platform/d3drm/Rasterizer.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

namespace {

// How many of the given triangles cover each pixel of a 64 x 64 target: each is drawn alone
// into a cleared target and its pixels counted.
std::vector<int> Coverage(const std::vector<std::array<TRasterVertex, 3>>& Triangles) {
    std::vector<int> count(64 * 64, 0);
    for (const auto& t : Triangles) {
        TMemoryTarget m(64, 64, 32, 16);
        TRasterizer r(m.Describe(), {0, 0, 64, 64}, 1.0f, 0.01f, nullptr);
        r.Clear();
        r.DrawTriangle(t[0], t[1], t[2], nullptr, false);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x)
                count[y * 64 + x] += m.At(x, y) != 0;
    }
    return count;
}

TRasterVertex At(float X, float Y) {
    TRasterVertex v;
    v.X = X;
    v.Y = Y;
    v.Q = 0.5f;
    v.R = v.G = v.B = 1;
    return v;
}

TEST(RasterizerFill, FourTrianglesMeetingAtARandomPointFillEveryPixelExactlyOnce) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> inner(8, 56), corner(0, 6);
    for (int round = 0; round < 200; ++round) {
        const TRasterVertex p = At(inner(random), inner(random));
        // A quadrilateral around it, corners anywhere near the target's corners.
        const TRasterVertex a = At(corner(random), corner(random)),
                            b = At(64 - corner(random), corner(random)),
                            c = At(64 - corner(random), 64 - corner(random)),
                            d = At(corner(random), 64 - corner(random));
        const auto four = Coverage({{a, b, p}, {b, c, p}, {c, d, p}, {d, a, p}});
        const auto two = Coverage({{a, b, c}, {a, c, d}});
        for (int i = 0; i < 64 * 64; ++i) {
            ASSERT_LE(four[i], 1) << "round " << round << " pixel " << i % 64 << "," << i / 64;
            ASSERT_EQ(four[i], two[i]) << "round " << round << " pixel " << i % 64 << "," << i / 64;
        }
    }
}

TEST(RasterizerFill, PixelCentresOnAnEdgeBelongToTheTopOrLeftTriangle) {
    // A square split along its diagonal, with corners on pixel centres: the shared diagonal
    // and every edge run through centres.
    const TRasterVertex a = At(10.5f, 10.5f), b = At(30.5f, 10.5f), c = At(30.5f, 30.5f),
                        d = At(10.5f, 30.5f);
    const auto upper = Coverage({{a, b, c}});
    const auto lower = Coverage({{a, c, d}});
    int total = 0;
    for (int i = 0; i < 64 * 64; ++i) {
        EXPECT_LE(upper[i] + lower[i], 1);
        total += upper[i] + lower[i];
    }
    // Top and left edges in, bottom and right edges out: exactly 20 x 20 pixels.
    EXPECT_EQ(total, 400);
    EXPECT_EQ(upper[10 * 64 + 10] + lower[10 * 64 + 10], 1);
    EXPECT_EQ(upper[30 * 64 + 20] + lower[30 * 64 + 20], 0);
    EXPECT_EQ(upper[20 * 64 + 30] + lower[20 * 64 + 30], 0);
}

TEST(RasterizerFill, AFanOfSliversAroundACentreLeavesNoCrack) {
    // Many thin triangles around one point, as a mesh of a disc.
    std::vector<std::array<TRasterVertex, 3>> fan;
    const int n = 37;
    for (int i = 0; i < n; ++i) {
        const float a0 = 6.2831853f * i / n, a1 = 6.2831853f * (i + 1) / n;
        fan.push_back({At(32.3f, 31.7f), At(32.3f + 28 * std::cos(a0), 31.7f + 28 * std::sin(a0)),
                       At(32.3f + 28 * std::cos(a1), 31.7f + 28 * std::sin(a1))});
    }
    const auto count = Coverage(fan);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float dx = x + 0.5f - 32.3f, dy = y + 0.5f - 31.7f;
            ASSERT_LE(count[y * 64 + x], 1) << x << "," << y;
            if (dx * dx + dy * dy < 26 * 26) {
                ASSERT_EQ(count[y * 64 + x], 1) << x << "," << y;
            }
        }
}

TEST(RasterizerFill, ClearingATargetWithoutDepthClearsOnlyItsPixels) {
    // A target stored bottom-up whose depth buffer is missing, whatever pitch it names.
    for (const int depthPitch : {0, 128, -128}) {
        TMemoryTarget m(64, 64, 32, 16);
        TRenderTarget t = m.Describe();
        t.Depth = nullptr;
        t.DepthPitch = depthPitch;
        TRasterizer r(t, {0, 0, 64, 64}, 1.0f, 0.01f, nullptr);
        r.Clear();
        EXPECT_EQ(m.At(63, 63), 0u) << depthPitch;
        r.DrawTriangle(At(0, 0), At(64, 0), At(0, 64), nullptr, false);
        EXPECT_EQ(m.At(1, 1), 0u) << depthPitch; // nothing is drawn without depth
    }
}

} // namespace
