// The one reader of bitmap headers, over every form a paint program saves, and the one writer.
#include "platform/image/BmpFile.h"
#include "tests/platform/BmpVariants.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TExpected {
    bmptest::TBmpForm Form;
    std::uint32_t InfoSize;
    std::uint16_t BitCount;
    std::uint32_t Compression;
    bool TopDown;
    bool HasMasks;
    std::size_t PaletteAt;
    std::size_t PaletteEntrySize;
    std::uint64_t PaletteEntries;
};

} // namespace

TEST(BmpFile, EveryFormReadsAsTheHeadersItWasWrittenWith) {
    using bmptest::TBmpForm;
    // The banded picture has eight colours; masks follow a 40-byte header.
    const TExpected forms[] = {
        {TBmpForm::Plain8, 40, 8, kBmpRgb, false, false, 54, 4, 8},
        {TBmpForm::Rle8, 40, 8, kBmpRle8, false, false, 54, 4, 8},
        {TBmpForm::TopDown8, 40, 8, kBmpRgb, true, false, 54, 4, 8},
        {TBmpForm::Plain4, 40, 4, kBmpRgb, false, false, 54, 4, 8},
        {TBmpForm::Rle4, 40, 4, kBmpRle4, false, false, 54, 4, 8},
        {TBmpForm::Plain16, 40, 16, kBmpRgb, false, false, 54, 4, 0},
        {TBmpForm::Masked565, 40, 16, kBmpBitFields, false, true, 66, 4, 0},
        {TBmpForm::Core24, 12, 24, kBmpRgb, false, false, 26, 3, 0},
        {TBmpForm::Masked32, 40, 32, kBmpBitFields, false, true, 66, 4, 0},
        {TBmpForm::LongHeader32, 124, 32, kBmpBitFields, false, true, 138, 4, 0},
    };
    const bmptest::TIndexedPicture picture = bmptest::BandedPicture(37, 23);
    for (const TExpected& e : forms) {
        const Bytes file = bmptest::EncodeBmpForm(picture, e.Form);
        SCOPED_TRACE(int(e.Form));
        TBmpHeader h;
        ASSERT_TRUE(ParseBmpHeader(file, h));
        EXPECT_EQ(h.FileSize, file.size());
        EXPECT_EQ(h.InfoSize, e.InfoSize);
        EXPECT_EQ(h.IsCore(), e.InfoSize == kBmpCoreHeaderSize);
        EXPECT_EQ(h.Width, 37);
        EXPECT_EQ(h.Rows(), 23u);
        EXPECT_EQ(h.TopDown(), e.TopDown);
        EXPECT_EQ(h.Planes, 1);
        EXPECT_EQ(h.BitCount, e.BitCount);
        EXPECT_EQ(h.Compression, e.Compression);
        EXPECT_EQ(h.HasMasks, e.HasMasks);
        if (e.Form == TBmpForm::Masked565) {
            EXPECT_EQ(h.Masks[0], 0xF800u);
            EXPECT_EQ(h.Masks[1], 0x07E0u);
            EXPECT_EQ(h.Masks[2], 0x001Fu);
        }
        EXPECT_EQ(h.PaletteAt, e.PaletteAt);
        EXPECT_EQ(h.PaletteEntrySize, e.PaletteEntrySize);
        EXPECT_EQ(h.PaletteEntries(), e.PaletteEntries);
        EXPECT_EQ(h.OffBits, e.PaletteAt + e.PaletteEntrySize * e.PaletteEntries);
        const bool plain = e.Compression != kBmpRle8 && e.Compression != kBmpRle4;
        if (plain) {
            EXPECT_EQ(h.Stride(), BmpStride(37, e.BitCount));
            EXPECT_TRUE(h.RowsFit(file.size()));
            EXPECT_FALSE(h.RowsFit(file.size() - 1));
        }
        // Headers cut anywhere short of their stated end are refused; the rest of the file
        // is for the readers to judge.
        for (std::size_t n = 0; n < file.size(); ++n)
            ASSERT_EQ(ParseBmpHeader({file.data(), n}, h), n >= 14 + e.InfoSize) << n;
    }
}

TEST(BmpFile, HeadersAreReadAsTheyAreWithoutJudgingThem) {
    const auto with = [](Bytes B, std::size_t At, std::uint32_t V) {
        for (int i = 0; i < 4; ++i)
            B[At + i] = std::uint8_t(V >> (8 * i));
        return B;
    };
    const Bytes plain =
        bmptest::EncodeBmpForm(bmptest::BandedPicture(5, 3), bmptest::TBmpForm::Plain8);
    TBmpHeader h;
    ASSERT_TRUE(ParseBmpHeader(with(plain, 22, 0x80000000u), h));
    EXPECT_TRUE(h.TopDown());
    EXPECT_EQ(h.Rows(), 0x80000000u);
    EXPECT_FALSE(h.RowsFit(plain.size()));
    ASSERT_TRUE(ParseBmpHeader(with(plain, 18, 0xFFFFFFFFu), h));
    EXPECT_EQ(h.Width, -1);
    EXPECT_EQ(h.Stride(), 0u);
    // A bigger header than the file holds, and sizes between the two known headers.
    EXPECT_FALSE(ParseBmpHeader(with(plain, 14, 0x7FFFFFFFu), h));
    for (std::uint32_t size : {0u, 4u, 11u, 13u, 39u})
        EXPECT_FALSE(ParseBmpHeader(with(plain, 14, size), h)) << size;
    Bytes notBm = plain;
    notBm[1] = 'A';
    EXPECT_FALSE(ParseBmpHeader(notBm, h));
    // Bit fields without the masks they need.
    Bytes maskless = with(Bytes(plain.begin(), plain.begin() + 54), 30, kBmpBitFields);
    ASSERT_TRUE(ParseBmpHeader(maskless, h));
    EXPECT_FALSE(h.HasMasks);
    // The surface loader's 40 bytes: a longer header is read as far as they go.
    ASSERT_TRUE(ReadBmpInfoHeader({with(plain, 14, 124).data() + 14, 40}, h));
    EXPECT_EQ(h.InfoSize, 124u);
    EXPECT_EQ(h.Width, 5);
}

TEST(BmpFile, WrittenFilesHaveTheExactBytesOfTheirHeaders) {
    TBmpShape shape;
    shape.Width = 2;
    shape.Height = -1;
    shape.BitCount = 4;
    shape.Palette = {0x112233, 0xA0B0C0};
    const Bytes file = EncodeBmpFile(shape, Bytes{0x10, 0, 0, 0});
    const Bytes expected{
        'B',  'M',  66,   0, 0,    0,    0,    0, 0,    0,    62,   0,    0,    0, // file header
        40,   0,    0,    0, 2,    0,    0,    0, 0xFF, 0xFF, 0xFF, 0xFF, 1,    0,
        4,    0, // size, width, height
        0,    0,    0,    0, 4,    0,    0,    0, 0x13, 0x0B, 0,    0,    0x13, 0x0B,
        0,    0,                                                        // rgb, 4 bytes, 72 dpi
        2,    0,    0,    0, 0,    0,    0,    0,                       // two colours
        0x33, 0x22, 0x11, 0, 0xC0, 0xB0, 0xA0, 0, 0x10, 0,    0,    0}; // palette, pixels
    EXPECT_EQ(file, expected);

    shape.CoreHeader = true;
    shape.Height = 1;
    const Bytes core = EncodeBmpFile(shape, Bytes{0x10, 0, 0, 0});
    const Bytes coreExpected{'B', 'M', 36,   0,    0,    0,    0,    0,    0,    0, 32, 0,
                             0,   0,   12,   0,    0,    0,    2,    0,    1,    0, 1,  0,
                             4,   0,   0x33, 0x22, 0x11, 0xC0, 0xB0, 0xA0, 0x10, 0, 0,  0};
    EXPECT_EQ(core, coreExpected);
}
