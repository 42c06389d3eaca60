// The presentation's own clipping against the screen, unscaled and scaled.
#include "dddd/ClipBlt.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

bool Same(const RECT& A, const RECT& B) {
    return A.left == B.left && A.top == B.top && A.right == B.right && A.bottom == B.bottom;
}

const RECT kScreen{0, 0, 1024, 768};

} // namespace

TEST(ClipBltFast, CutsTheSourceToWhatLiesOnTheScreen) {
    struct TCase {
        LONG X, Y;
        RECT Src;
        bool Keeps;
        LONG OutX, OutY;
        RECT OutSrc;
    };
    const TCase cases[] = {
        // Wholly inside.
        {100, 100, {0, 0, 320, 240}, true, 100, 100, {0, 0, 320, 240}},
        // Off the right and bottom edges: the source is cut by what hangs over.
        {900, 700, {0, 0, 320, 240}, true, 900, 700, {0, 0, 124, 68}},
        // Off the left and top: the start moves to the edge, the source start with it.
        {-100, -40, {0, 0, 320, 240}, true, 0, 0, {100, 40, 320, 240}},
        // A source given the wrong way round is put right first.
        {0, 0, {320, 240, 0, 0}, true, 0, 0, {0, 0, 320, 240}},
        // Wholly off the screen.
        {1100, 0, {0, 0, 320, 240}, false, 0, 0, {}},
        {0, -300, {0, 0, 320, 240}, false, 0, 0, {}},
        // Touching the edge still counts.
        {1024, 0, {0, 0, 10, 10}, true, 1024, 0, {0, 0, 0, 10}},
    };
    for (const TCase& c : cases) {
        LONG x = c.X, y = c.Y;
        RECT src = c.Src;
        ASSERT_EQ(dddd::ClipBltFast(x, y, src, kScreen), c.Keeps) << c.X << "," << c.Y;
        if (!c.Keeps)
            continue;
        EXPECT_EQ(x, c.OutX);
        EXPECT_EQ(y, c.OutY);
        EXPECT_TRUE(Same(src, c.OutSrc)) << c.X << "," << c.Y << ": " << src.left << "," << src.top
                                         << "," << src.right << "," << src.bottom;
    }
}

TEST(ClipBlt, CutsTheSourceInProportionToTheDestination) {
    struct TCase {
        RECT Dst, Src;
        bool Keeps;
        RECT OutDst, OutSrc;
    };
    const TCase cases[] = {
        // Inside: nothing changes, the scale stays 2:1.
        {{100, 100, 420, 340}, {0, 0, 640, 480}, true, {100, 100, 420, 340}, {0, 0, 640, 480}},
        // Half off the right: half of the source.
        {{864, 0, 1184, 240}, {0, 0, 640, 480}, true, {864, 0, 1024, 240}, {0, 0, 320, 480}},
        // A quarter off the left and top.
        {{-80, -60, 240, 180}, {0, 0, 640, 480}, true, {0, 0, 240, 180}, {160, 120, 640, 480}},
        // Wholly off.
        {{-400, 0, -80, 240}, {0, 0, 640, 480}, false, {}, {}},
        {{0, 800, 320, 1040}, {0, 0, 640, 480}, false, {}, {}},
        // A client area without height (a window rolled up) keeps nothing.
        {{10, 10, 330, 10}, {0, 0, 640, 480}, false, {}, {}},
        // Rectangles given the wrong way round.
        {{420, 340, 100, 100}, {640, 480, 0, 0}, true, {100, 100, 420, 340}, {0, 0, 640, 480}},
    };
    for (const TCase& c : cases) {
        RECT dst = c.Dst, src = c.Src;
        ASSERT_EQ(dddd::ClipBlt(dst, src, kScreen), c.Keeps) << c.Dst.left << "," << c.Dst.top;
        if (!c.Keeps)
            continue;
        EXPECT_TRUE(Same(dst, c.OutDst))
            << dst.left << "," << dst.top << "," << dst.right << "," << dst.bottom;
        EXPECT_TRUE(Same(src, c.OutSrc))
            << src.left << "," << src.top << "," << src.right << "," << src.bottom;
    }
}

TEST(ClipBlt, TheDivisionTruncatesTowardZero) {
    // 3 source pixels over 2 destination ones, the right one off the screen: 1 * 3 / 2 = 1.
    RECT dst{1023, 0, 1025, 1}, src{0, 0, 3, 1};
    ASSERT_TRUE(dddd::ClipBlt(dst, src, kScreen));
    EXPECT_EQ(src.right, 1);
    EXPECT_EQ(dst.right, 1024);
    // The left one off: 3 - (1025 - 1024 ... ) keeps the start at the truncated position.
    RECT dst2{-1, 0, 1, 1}, src2{0, 0, 3, 1};
    ASSERT_TRUE(dddd::ClipBlt(dst2, src2, kScreen));
    EXPECT_EQ(src2.left, 2); // 3 - (1 - 0) * 3 / 2 = 3 - 1
    EXPECT_EQ(dst2.left, 0);
}

TEST(ClipBlt, HugeRectanglesWrapAsThirtyTwoBitArithmeticDoes) {
    // A destination spanning the whole 32-bit range has the wrapped width -1, and a clip of no
    // width or height then asks for INT_MIN / -1, which wraps to INT_MIN instead of trapping.
    struct TCase {
        RECT Dst, Src, Clip;
        RECT OutDst, OutSrc;
    };
    const TCase cases[] = {
        {{INT_MIN, 0, INT_MAX, 10},
         {0, 0, 1, 1},
         {0, 0, 0, 768},
         {0, 0, 0, 10},
         {INT_MIN, 0, INT_MIN, 1}},
        {{0, INT_MIN, 10, INT_MAX},
         {0, 0, 1, 1},
         {0, 0, 1024, 0},
         {0, 0, 10, 0},
         {0, INT_MIN, 1, INT_MIN}},
        // An even source length makes the product wrap to 0 instead.
        {{INT_MIN, 0, INT_MAX, 10},
         {0, 0, 640, 480},
         {0, 0, 0, 768},
         {0, 0, 0, 10},
         {0, 0, 0, 480}},
        {{INT_MIN, 0, INT_MAX, 10},
         {5, 0, 6, 1},
         {0, 0, 0, 768},
         {0, 0, 0, 10},
         {INT_MIN + 5, 0, INT_MIN + 5, 1}},
    };
    for (const TCase& c : cases) {
        RECT dst = c.Dst, src = c.Src;
        ASSERT_TRUE(dddd::ClipBlt(dst, src, c.Clip)) << c.Dst.left << "," << c.Dst.top;
        EXPECT_TRUE(Same(dst, c.OutDst))
            << dst.left << "," << dst.top << "," << dst.right << "," << dst.bottom;
        EXPECT_TRUE(Same(src, c.OutSrc))
            << src.left << "," << src.top << "," << src.right << "," << src.bottom;
    }
}
