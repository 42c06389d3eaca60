// Where the picture goes, for every area from nothing to large: the arithmetic the view paints
// with, checked without a window.
#include "platform/ddraw/FramePlacement.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(FramePlacement, KnownAreasPlaceAsTheTableSays) {
    struct TCase {
        int W, H;
        TFrameScaling Scaling;
        TFramePlacement Expected;
    };
    using S = TFrameScaling;
    const TCase cases[] = {
        {640, 480, S::PixelPerfect, {0, 0, 640, 480, false}},
        {960, 720, S::PixelPerfect, {160, 120, 640, 480, false}},
        {960, 720, S::Nearest, {0, 0, 960, 720, false}},
        {960, 720, S::Smooth, {0, 0, 960, 720, true}},
        {1280, 960, S::Smooth, {0, 0, 1280, 960, false}},
        {1920, 1080, S::PixelPerfect, {320, 60, 1280, 960, false}},
        {1920, 1080, S::Nearest, {240, 0, 1440, 1080, false}},
        {3840, 2160, S::PixelPerfect, {640, 120, 2560, 1920, false}},
        {320, 240, S::PixelPerfect, {0, 0, 320, 240, false}},
        {320, 240, S::Smooth, {0, 0, 320, 240, true}},
        {1000, 481, S::PixelPerfect, {180, 0, 640, 480, false}},
        {0, 480, S::PixelPerfect, {}},
        {640, -1, S::Smooth, {}},
        {1, 1, S::Nearest, {0, 0, 1, 1, false}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.W << "x" << c.H);
        EXPECT_EQ(PlaceFrame(c.W, c.H, 640, 480, c.Scaling), c.Expected);
    }
}

// Every area up to 1400 x 1100 in steps that hit odd and even sizes.
TEST(FramePlacement, EveryAreaHoldsItsPictureCentredInItsShape) {
    for (int w = 1; w <= 1400; w += 7)
        for (int h = 1; h <= 1100; h += 5)
            for (int s = 0; s < kFrameScalingCount; ++s) {
                const auto scaling = static_cast<TFrameScaling>(s);
                const TFramePlacement p = PlaceFrame(w, h, 640, 480, scaling);
                SCOPED_TRACE(testing::Message() << w << "x" << h << " scaling " << s);
                ASSERT_GT(p.Width, 0);
                ASSERT_GE(p.X, 0);
                ASSERT_GE(p.Y, 0);
                ASSERT_LE(p.X + p.Width, w);
                ASSERT_LE(p.Y + p.Height, h);
                ASSERT_LE(std::abs(2 * p.X + p.Width - w), 1);
                ASSERT_LE(std::abs(2 * p.Y + p.Height - h), 1);
                // The shape to within the rounding of the side that does not fill.
                ASSERT_LE(std::abs(p.Width * 3 - p.Height * 4), 3);
                const bool wholeFits = w >= 640 && h >= 480;
                if (scaling == TFrameScaling::PixelPerfect && wholeFits) {
                    const int k = p.Width / 640;
                    ASSERT_EQ(p.Width, 640 * k);
                    ASSERT_EQ(p.Height, 480 * k);
                    ASSERT_TRUE(640 * (k + 1) > w || 480 * (k + 1) > h);
                } else {
                    ASSERT_TRUE(p.Width == w || p.Height == h);
                }
                ASSERT_EQ(p.Filtered, scaling == TFrameScaling::Smooth &&
                                          !(p.Width % 640 == 0 && p.Width / 640 * 480 == p.Height));
            }
}

} // namespace
