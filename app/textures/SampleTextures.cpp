#include "SampleTextures.h"

#include <array>
#include <string_view>

namespace {

constexpr int kSize = 128;

constexpr TRgb kSheer{200, 30, 40};
constexpr TRgb kNavy{20, 40, 110};
constexpr TRgb kBootTop{240, 240, 240};
constexpr TRgb kAntifouling{120, 35, 30};
constexpr TRgb kLettering{250, 250, 250};

// The colour Depth rows below the deck line; one side's band is 52 rows, v 0..0.4 of the
// bitmap, with the waterline in its last row.
TRgb TopsideAt(int Depth) {
    if (Depth < 5)
        return kSheer;
    if (Depth < 44)
        return kNavy;
    if (Depth < 47)
        return kBootTop;
    return kAntifouling;
}

// 5 x 7 letters, enough for the yacht's name.
struct TGlyph {
    char Letter;
    std::array<std::string_view, 7> Rows;
};

constexpr std::array<TGlyph, 6> kGlyphs{{
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
}};

constexpr int kScale = 2;
constexpr int kGlyphWidth = 5 * kScale, kGlyphHeight = 7 * kScale, kGap = 2;

// Calls Plot(x, y) for every lit pixel of Text set at the origin, left to right, top down.
template <class F> void Letter(std::string_view Text, F&& Plot) {
    int left = 0;
    for (const char c : Text) {
        for (const TGlyph& g : kGlyphs) {
            if (g.Letter != c)
                continue;
            for (int y = 0; y < kGlyphHeight; ++y)
                for (int x = 0; x < kGlyphWidth; ++x)
                    if (g.Rows[y / kScale][x / kScale] == '#')
                        Plot(left + x, y);
        }
        left += kGlyphWidth + kGap;
    }
}

} // namespace

TRgbImage SampleHullTexture() {
    TRgbImage image(kSize, kSize, kAntifouling);
    constexpr int kBand = 52; // rows 0..51 and 76..127: v 0..0.4 and 0.6..1
    for (int depth = 0; depth < kBand; ++depth) {
        for (int x = 0; x < kSize; ++x) {
            image.Set(x, depth, TopsideAt(depth));
            image.Set(x, kSize - 1 - depth, TopsideAt(depth));
        }
    }
    // The name on the forward half of each side, reading from left to right from outside: on
    // the port band that is the name turned half a turn.
    constexpr std::string_view kName = "MAREVO";
    constexpr int kWidth = 6 * kGlyphWidth + 5 * kGap;
    constexpr int kLeft = 46, kTop = 17;
    Letter(kName, [&](int X, int Y) {
        image.Set(kLeft + X, kTop + Y, kLettering);
        image.Set(kLeft + kWidth - 1 - X, kSize - 1 - (kTop + Y), kLettering);
    });
    return image;
}

TRgbImage SampleSpinnakerTexture() {
    constexpr TRgb kRed{210, 30, 40}, kWhiteCloth{245, 245, 240}, kBlue{30, 60, 170},
        kGold{250, 200, 30};
    TRgbImage image(kSize, kSize, kWhiteCloth);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            // Red from the head down to the shoulders, a white band, blue at the foot, and a
            // gold sun in the middle of the white.
            TRgb c = y < 64 ? kRed : y < 96 ? kWhiteCloth : kBlue;
            const int dx = x - 64, dy = y - 80;
            if (dx * dx + dy * dy <= 11 * 11)
                c = kGold;
            image.Set(x, y, c);
        }
    }
    return image;
}
