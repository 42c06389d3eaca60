#include "app/textures/SampleTextures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

constexpr TRgb kLettering{250, 250, 250};

std::vector<std::uint8_t> ReadFile(const std::string& Path) {
    std::ifstream file(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string SourceDir() {
    return MAREVO_SOURCE_DIR;
}

} // namespace

TEST(SampleTextures, TheShippedBitmapsAreWhatTheGeneratorDraws) {
    // A 128 x 128 24-bit bitmap is the 49152 bytes of pixels players exchange, plus headers.
    struct Case {
        const char* File;
        TRgbImage Image;
    };
    const Case cases[] = {{"HALTEX.BMP", SampleHullTexture()},
                          {"SPINTEX.BMP", SampleSpinnakerTexture()}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File);
        EXPECT_EQ(c.Image.Width(), 128);
        EXPECT_EQ(c.Image.Height(), 128);
        const std::vector<std::uint8_t> bytes = c.Image.EncodeBmp();
        ASSERT_EQ(bytes.size(), 54u + 49152u);
        EXPECT_EQ(bytes[28], 24); // bits per pixel
        EXPECT_EQ(ReadFile(SourceDir() + "/app/data/" + c.File), bytes)
            << "regenerate with: build/default/app/make_sample_textures app/data";
    }
}

TEST(SampleTextures, HullBandsMirrorEachOtherAboutTheUnusedMiddle) {
    // The starboard band's deck line is the top row, the port band's the bottom row; a
    // stripe at a given depth below the deck is the same colour on both sides.
    const TRgbImage hull = SampleHullTexture();
    for (int depth = 0; depth < 52; ++depth) {
        EXPECT_EQ(hull.At(0, depth), hull.At(0, 127 - depth)) << depth;
        EXPECT_EQ(hull.At(127, depth), hull.At(127, 127 - depth)) << depth;
    }
    EXPECT_NE(hull.At(0, 0), hull.At(0, 51)); // sheer stripe at the deck, antifouling below
    // The lettering (columns 46..115) is turned half a turn on the port band.
    int lit = 0;
    for (int y = 0; y < 52; ++y) {
        for (int x = 0; x < 128; ++x) {
            const bool letter = hull.At(x, y) == kLettering;
            lit += letter;
            if (x >= 46 && x <= 115) {
                EXPECT_EQ(letter, hull.At(46 + 115 - x, 127 - y) == kLettering) << x << "," << y;
            }
        }
    }
    EXPECT_GT(lit, 100);
}

TEST(SampleTextures, BitmapRowsArePaddedAndStoredBottomUp) {
    TRgbImage image(3, 2, {0, 0, 0});
    image.Set(0, 0, {1, 2, 3}); // top left
    image.Set(2, 1, {7, 8, 9}); // bottom right
    const std::vector<std::uint8_t> bytes = image.EncodeBmp();
    ASSERT_EQ(bytes.size(), 54u + 2 * 12);
    EXPECT_EQ(bytes[10], 54); // pixels start after the two headers
    // The first stored row is the bottom one, in B, G, R order, padded from 9 to 12 bytes.
    EXPECT_EQ(bytes[54 + 6], 9);
    EXPECT_EQ(bytes[54 + 8], 7);
    EXPECT_EQ(bytes[54 + 12], 3);
    EXPECT_EQ(bytes[54 + 14], 1);
}
