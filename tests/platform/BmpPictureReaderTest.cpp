// Every form a paint program saves a picked texture in reads as the same texels.
#include "platform/d3drm/BmpPictureReader.h"
#include "tests/platform/BmpVariants.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> With32(std::vector<std::uint8_t> B, std::size_t At, std::uint32_t V) {
    for (int i = 0; i < 4; ++i)
        B[At + i] = std::uint8_t(V >> (8 * i));
    return B;
}

} // namespace

TEST(BmpPictureReader, EveryFormReadsAsTheSamePicture) {
    for (const auto& [width, height] : {std::pair{37, 23}, std::pair{128, 128}, std::pair{1, 1}}) {
        const bmptest::TIndexedPicture picture = bmptest::BandedPicture(width, height);
        for (const auto& form : bmptest::kBmpForms) {
            SCOPED_TRACE(std::string(form.Name) + " " + std::to_string(width));
            const auto file = bmptest::EncodeBmpForm(picture, form.Form);
            TTexImage image;
            ASSERT_TRUE(ReadBmpPicture(file.data(), file.size(), image));
            ASSERT_EQ(image.Width, width);
            ASSERT_EQ(image.Height, height);
            int wrong = 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x)
                    wrong += image.Texels[std::size_t(y) * width + x] != picture.At(x, y);
            EXPECT_EQ(wrong, 0);
        }
    }
}

TEST(BmpPictureReader, WhatIsNoReadableBitmapLeavesTheImageAlone) {
    const auto rle8 =
        bmptest::EncodeBmpForm(bmptest::BandedPicture(16, 16), bmptest::TBmpForm::Rle8);
    const auto plain8 =
        bmptest::EncodeBmpForm(bmptest::BandedPicture(16, 16), bmptest::TBmpForm::Plain8);
    std::vector<std::uint8_t> png = rle8;
    png[0] = 0x89;
    png[1] = 'P';
    const struct {
        const char* What;
        std::vector<std::uint8_t> Bytes;
    } cases[] = {
        {"nothing", {}},
        {"the signature alone", {'B', 'M'}},
        {"another picture format", png},
        {"a bit count no form has", With32(plain8, 28, 7)},
        {"a compression no form has", With32(rle8, 30, 9)},
        {"a run-length picture wider than a texture may be", With32(rle8, 18, 5000)},
        {"a run-length picture taller than a texture may be", With32(rle8, 22, 5000)},
        {"a run-length picture of no width", With32(rle8, 18, 0)},
    };
    for (const auto& c : cases) {
        TTexImage image;
        image.Width = 3;
        EXPECT_FALSE(ReadBmpPicture(c.Bytes.data(), c.Bytes.size(), image)) << c.What;
        EXPECT_EQ(image.Width, 3) << c.What;
        EXPECT_TRUE(image.Texels.empty()) << c.What;
    }
}
