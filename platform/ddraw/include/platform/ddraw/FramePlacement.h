#pragma once
// Where a picture of a fixed shape goes in a window's area, counted in device pixels so that a
// fractional device pixel ratio never turns into uneven pixel columns. Pure arithmetic, no
// toolkit: the view that paints and the tests share it.

#include <cstdint>

// How the picture is enlarged or reduced to the area.
enum class TFrameScaling : std::uint8_t {
    // The largest whole multiple that fits, every source pixel a k × k square; an area smaller
    // than the picture itself reduces it as Nearest does, since nothing whole fits.
    PixelPerfect = 0,
    // The largest area of the picture's shape, each pixel the nearest source pixel: no mixed
    // colours, but at fractional scales runs differ by one pixel.
    Nearest = 1,
    // The largest area of the picture's shape, filtered; a scale that happens to be whole is
    // drawn as PixelPerfect, since filtering it would only blur.
    Smooth = 2,
};
inline constexpr int kFrameScalingCount = 3;

// X, Y, Width, Height within the area; Width and Height 0 when nothing can be shown.
struct TFramePlacement {
    int X = 0, Y = 0, Width = 0, Height = 0;
    bool Filtered = false;
    friend constexpr bool operator==(const TFramePlacement&, const TFramePlacement&) = default;
};

// The picture keeps its shape exactly when its sides divide; otherwise the side that does not
// fill the area is rounded to the nearest pixel. The bars either side differ by at most one
// pixel (the odd one goes right or below). Any size <= 0 places nothing.
constexpr TFramePlacement PlaceFrame(int AreaWidth, int AreaHeight, int FrameWidth, int FrameHeight,
                                     TFrameScaling Scaling) {
    TFramePlacement p;
    if (AreaWidth <= 0 || AreaHeight <= 0 || FrameWidth <= 0 || FrameHeight <= 0)
        return p;
    const int whole = AreaWidth / FrameWidth < AreaHeight / FrameHeight ? AreaWidth / FrameWidth
                                                                        : AreaHeight / FrameHeight;
    if (whole >= 1 && Scaling == TFrameScaling::PixelPerfect) {
        p.Width = whole * FrameWidth;
        p.Height = whole * FrameHeight;
    } else {
        // 64-bit products: a 16k area times a 16k picture would overflow an int.
        const std::int64_t aw = AreaWidth, ah = AreaHeight, fw = FrameWidth, fh = FrameHeight;
        if (aw * fh <= ah * fw) {
            p.Width = AreaWidth;
            p.Height = static_cast<int>((aw * fh * 2 + fw) / (fw * 2));
        } else {
            p.Height = AreaHeight;
            p.Width = static_cast<int>((ah * fw * 2 + fh) / (fh * 2));
        }
        if (p.Width == 0 || p.Height == 0)
            return TFramePlacement{};
        const bool wholeScale = p.Width % FrameWidth == 0 && p.Height % FrameHeight == 0 &&
                                p.Width / FrameWidth == p.Height / FrameHeight;
        p.Filtered = Scaling == TFrameScaling::Smooth && !wholeScale;
    }
    p.X = (AreaWidth - p.Width) / 2;
    p.Y = (AreaHeight - p.Height) / 2;
    return p;
}
