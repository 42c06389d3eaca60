// The one bitmap decoder, over every form, each file's bytes and the picture they must give
// written out by hand: headers of every size, both row orders, every depth, each run-length
// escape and bit fields of every channel width.
#include "platform/image/BmpPicture.h"
#include "platform/image/BmpFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Index 0, the background of run-length codes, is no black, so that it shows. Entry 15 is
// stored 01 02 00 00, indices 1 and 2 for rows that start inside the table.
constexpr std::uint32_t kPalette[16] = {0x204060, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF,
                                        0xFF00FF, 0xFFFFFF, 0x800000, 0x008000, 0x000080, 0x808000,
                                        0x008080, 0x800080, 0x808080, 0x000201};

// A negative H stores the top row first; InfoSize 12 is the short header.
TBmpShape Shape(int W, int H, int Bits, std::uint32_t Compression = kBmpRgb,
                std::uint32_t InfoSize = 40, std::vector<std::uint32_t> Masks = {}) {
    TBmpShape s;
    s.Width = W;
    s.Height = H;
    s.BitCount = std::uint16_t(Bits);
    s.Compression = Compression;
    s.CoreHeader = InfoSize == kBmpCoreHeaderSize;
    s.LongHeaderSize = InfoSize > kBmpInfoHeaderSize ? InfoSize : 0;
    s.Masks = std::move(Masks);
    if (Bits <= 8)
        s.Palette.assign(kPalette, kPalette + std::min(16, 1 << Bits));
    // The short header has no colour count: its table is as long as an index can name.
    if (s.CoreHeader && Bits <= 8)
        s.Palette.resize(std::size_t{1} << Bits, 0);
    return s;
}

struct TCase {
    const char* What;
    TBmpShape Shape;
    Bytes Pixels;                                    // as they lie in the file
    std::vector<std::string> Indices;                // up to 8 bits: hex digits, top row first
    std::vector<std::vector<std::uint32_t>> Colours; // above: 0xRRGGBB, top row first
    std::uint32_t OffBits = 0;                       // else right after the colour table
};

const std::vector<std::uint32_t> k565 = {0xF800, 0x07E0, 0x001F};
const std::vector<std::uint32_t> k888 = {0xFF0000, 0x00FF00, 0x0000FF};
const std::vector<std::uint32_t> k101010 = {0x3FF00000, 0x000FFC00, 0x000003FF};

const TCase kCases[] = {
    {"1-bit", Shape(5, 2, 1), {0x48, 0, 0, 0, 0xB0, 0, 0, 0}, {"10110", "01001"}},
    // The table keeps the file's order: the bright colour is not moved first.
    {"1-bit short header",
     Shape(5, 2, 1, kBmpRgb, 12),
     {0x48, 0, 0, 0, 0xB0, 0, 0, 0},
     {"10110", "01001"}},
    {"4-bit top-down, 52-byte header",
     Shape(3, -2, 4, kBmpRgb, 52),
     {0x12, 0xF0, 0, 0, 0xA0, 0x50, 0, 0},
     {"12F", "A05"}},
    {"4-bit short header",
     Shape(3, 2, 4, kBmpRgb, 12),
     {0xA0, 0x50, 0, 0, 0x12, 0xF0, 0, 0},
     {"12F", "A05"}},
    {"8-bit, 56-byte header",
     Shape(3, 2, 8, kBmpRgb, 56),
     {4, 5, 6, 0, 1, 2, 3, 0},
     {"123", "456"}},
    {"8-bit short header", Shape(3, 2, 8, kBmpRgb, 12), {7, 8, 9, 0, 14, 15, 0, 0}, {"EF0", "789"}},
    {"8-bit top-down, 108-byte header",
     Shape(3, -2, 8, kBmpRgb, 108),
     {1, 2, 3, 0, 4, 5, 6, 0},
     {"123", "456"}},
    {"8-bit rows starting inside the colour table",
     Shape(2, 1, 8),
     {9, 9, 0, 0},
     {"12"},
     {},
     54 + 15 * 4},
    {"16-bit 5-5-5 top-down",
     Shape(3, -2, 16),
     {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0, 0xFF, 0x7F, 0x10, 0x42, 0, 0, 0, 0},
     {},
     {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x848484, 0}}},
    {"16-bit 5-6-5 bit fields, 52-byte header",
     Shape(3, 2, 16, kBmpBitFields, 52, k565),
     {0xFF, 0xFF, 0x10, 0x84, 0, 0, 0, 0, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0},
     {},
     {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x848284, 0}}},
    {"16-bit 5-6-5 bit fields top-down, 56-byte header",
     Shape(3, -2, 16, kBmpBitFields, 56, k565),
     {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0, 0xFF, 0xFF, 0x10, 0x84, 0, 0, 0, 0},
     {},
     {{0xFF0000, 0x00FF00, 0x0000FF}, {0xFFFFFF, 0x848284, 0}}},
    {"16-bit 4-4-4 bit fields after a 40-byte header",
     Shape(3, 1, 16, kBmpBitFields, 40, {0x0F00, 0x00F0, 0x000F}),
     {0x00, 0x0F, 0x80, 0x01, 0x0F, 0x00, 0, 0},
     {},
     {{0xFF0000, 0x118800, 0x0000FF}}},
    {"24-bit short header",
     Shape(3, 2, 24, kBmpRgb, 12),
     {0xFF, 0xFF, 0xFF, 3,    2,    1,    0x80, 0x80, 0x80, 0, 0, 0,
      0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0,    0,    0,    0, 0, 0},
     {},
     {{0x123456, 0xABCDEF, 0}, {0xFFFFFF, 0x010203, 0x808080}}},
    {"24-bit top-down, 124-byte header",
     Shape(3, -2, 24, kBmpRgb, 124),
     {0x56, 0x34, 0x12, 0xEF, 0xCD, 0xAB, 0,    0,    0,    0, 0, 0,
      0xFF, 0xFF, 0xFF, 3,    2,    1,    0x80, 0x80, 0x80, 0, 0, 0},
     {},
     {{0x123456, 0xABCDEF, 0}, {0xFFFFFF, 0x010203, 0x808080}}},
    {"32-bit, the fourth byte unused",
     Shape(2, 1, 32),
     {0x56, 0x34, 0x12, 0xAA, 3, 2, 1, 0xFF},
     {},
     {{0x123456, 0x010203}}},
    {"32-bit 8-8-8 bit fields, 124-byte header",
     Shape(2, 1, 32, kBmpBitFields, 124, k888),
     {0x56, 0x34, 0x12, 0xAA, 3, 2, 1, 0xFF},
     {},
     {{0x123456, 0x010203}}},
    {"32-bit 8-8-8 bit fields red first, 108-byte header",
     Shape(2, 1, 32, kBmpBitFields, 108, {0x0000FF, 0x00FF00, 0xFF0000}),
     {0x56, 0x34, 0x12, 0xAA, 3, 2, 1, 0xFF},
     {},
     {{0x563412, 0x030201}}},
    {"32-bit 10-10-10 bit fields after a 40-byte header",
     Shape(3, 1, 32, kBmpBitFields, 40, k101010),
     {0x04, 0x00, 0xF8, 0x3F, 0x00, 0xFE, 0x0F, 0x00, 0x55, 0x55, 0x55, 0x15},
     {},
     {{0xFF8001, 0x00FF80, 0x555555}}},
    {"32-bit 10-10-10 bit fields top-down, 56-byte header",
     Shape(1, -2, 32, kBmpBitFields, 56, k101010),
     {0x04, 0x00, 0xF8, 0x3F, 0x55, 0x55, 0x55, 0x15},
     {},
     {{0xFF8001}, {0x555555}}},
    {"RLE8 runs, an odd absolute stretch and its padding, a line's and the bitmap's end",
     Shape(5, 2, 8, kBmpRle8),
     {3, 1, 2, 2, 0, 0, 0, 3, 4, 5, 6, 0, 2, 7, 0, 1},
     {"45677", "11122"}},
    {"RLE8 delta over pixels that keep the background",
     Shape(4, 3, 8, kBmpRle8),
     {1, 5, 0, 2, 2, 1, 1, 6, 0, 1},
     {"0000", "0006", "5000"}},
    {"RLE8 early ends of a line and of the bitmap",
     Shape(4, 3, 8, kBmpRle8),
     {2, 9, 0, 0, 1, 3, 0, 1},
     {"0000", "3000", "9900"}},
    {"RLE8 codes stopping with the file, the last one cut off",
     Shape(3, 2, 8, kBmpRle8),
     {3, 4, 0, 0, 1, 5, 0, 3, 1, 2},
     {"500", "444"}},
    {"RLE8 delta cut off by the file's end", Shape(3, 1, 8, kBmpRle8), {3, 4, 0, 2, 1}, {"444"}},
    {"RLE8 run longer than its line, on a line drawn after the one below",
     Shape(3, 2, 8, kBmpRle8),
     {1, 3, 0, 0, 5, 7, 1, 2, 0, 1},
     {"777", "300"}},
    {"RLE8 absolute stretch longer than its line",
     Shape(3, 2, 8, kBmpRle8, 52),
     {0, 5, 1, 2, 3, 4, 5, 0, 0, 0, 2, 6, 0, 1},
     {"660", "123"}},
    {"RLE8 deltas past the right edge and past the top row",
     Shape(3, 2, 8, kBmpRle8),
     {1, 1, 0, 2, 5, 0, 1, 2, 0, 0, 1, 3, 0, 2, 0, 9, 1, 4, 0, 1},
     {"300", "100"}},
    {"RLE4 runs alternating their two colours, an odd absolute stretch and its padding",
     Shape(5, 2, 4, kBmpRle4),
     {5, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 1},
     {"34567", "12121"}},
    {"RLE4 stretch of three without padding, a delta, 56-byte header",
     Shape(4, 3, 4, kBmpRle4, 56),
     {0, 3, 0xAB, 0xC0, 0, 0, 0, 2, 1, 1, 2, 0xEF, 0, 1},
     {"0EF0", "0000", "ABC0"}},
    {"RLE4 run longer than its line",
     Shape(3, 2, 4, kBmpRle4),
     {4, 0x12, 0, 0, 1, 0x30, 0, 1},
     {"300", "121"}},
};

const TCase& Named(const std::string& What) {
    for (const TCase& c : kCases)
        if (What == c.What)
            return c;
    throw std::out_of_range(What);
}

Bytes FileOf(const TCase& C) {
    Bytes file = EncodeBmpFile(C.Shape, C.Pixels);
    for (int i = 0; C.OffBits && i < 4; ++i)
        file[10 + i] = std::uint8_t(C.OffBits >> (8 * i));
    return file;
}

} // namespace

TEST(BmpPicture, EveryFormDecodesToThePictureWrittenOutForIt) {
    for (const TCase& c : kCases) {
        SCOPED_TRACE(c.What);
        const Bytes file = FileOf(c);
        TBmpPicture p;
        ASSERT_TRUE(DecodeBmpPicture(file, 64, p));
        const bool indexed = c.Shape.BitCount <= 8;
        const std::size_t rows = indexed ? c.Indices.size() : c.Colours.size();
        ASSERT_EQ(p.Width, c.Shape.Width);
        ASSERT_EQ(std::size_t(p.Height), rows);
        EXPECT_EQ(p.BitCount, c.Shape.BitCount);
        ASSERT_EQ(p.Indexed(), indexed);
        if (indexed) {
            ASSERT_EQ(p.Palette.size(), std::size_t{1} << p.BitCount);
            ASSERT_EQ(p.Index.size(), std::size_t(p.Width) * rows);
        } else {
            ASSERT_EQ(p.Rgb.size(), std::size_t(p.Width) * rows);
        }
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                if (!indexed) {
                    EXPECT_EQ(p.At(x, y), c.Colours[y][x]) << x << "," << y;
                    continue;
                }
                const int index = std::stoi(std::string(1, c.Indices[y][x]), nullptr, 16);
                EXPECT_EQ(p.Index[std::size_t(y) * p.Width + x], index) << x << "," << y;
                EXPECT_EQ(p.At(x, y), kPalette[index]) << x << "," << y;
            }
    }
}

TEST(BmpPicture, WhatNoFormAllowsOrTheFileDoesNotHoldIsRefused) {
    const auto cut = [](const TCase& C) {
        Bytes f = FileOf(C);
        f.pop_back();
        return f;
    };
    const auto with = [](Bytes F, std::size_t At, std::uint32_t V) {
        for (int i = 0; i < 4; ++i)
            F[At + i] = std::uint8_t(V >> (8 * i));
        return F;
    };
    const TCase& rle8 =
        Named("RLE8 runs, an odd absolute stretch and its padding, a line's and the bitmap's end");
    const Bytes rle = FileOf(rle8);
    const Bytes plain32 = FileOf(Named("32-bit, the fourth byte unused"));
    const struct {
        const char* What;
        Bytes File;
    } cases[] = {
        {"short header rows one byte short", cut(Named("24-bit short header"))},
        {"16-bit bit-field rows one byte short",
         cut(Named("16-bit 5-6-5 bit fields, 52-byte header"))},
        {"32-bit bit-field rows one byte short",
         cut(Named("32-bit 10-10-10 bit fields after a 40-byte header"))},
        {"run-length codes starting past the file's end",
         with(rle, 10, std::uint32_t(rle.size() + 1))},
        {"a top-down run-length bitmap", with(rle, 22, std::uint32_t(-2))},
        {"8-bit codes at 4 bits", EncodeBmpFile(Shape(5, 2, 4, kBmpRle8), rle8.Pixels)},
        {"4-bit codes at 8 bits", EncodeBmpFile(Shape(5, 2, 8, kBmpRle4), rle8.Pixels)},
        {"bit fields at 24 bits",
         EncodeBmpFile(Shape(1, 1, 24, kBmpBitFields, 40, k888), Bytes(4))},
        {"bit fields without their masks",
         with(Bytes(plain32.begin(), plain32.begin() + 54), 30, kBmpBitFields)},
        {"16 bits in the short header", EncodeBmpFile(Shape(1, 1, 16, kBmpRgb, 12), Bytes(4))},
        {"a colour table past the file's end",
         with(FileOf(Named("8-bit, 56-byte header")), 46, 200)},
        {"17 colours at 4 bits", with(FileOf(Named("4-bit top-down, 52-byte header")), 46, 17)},
        {"two planes", with(rle, 26, 2)},
        {"wider than allowed", EncodeBmpFile(Shape(65, 1, 8, kBmpRle8), Bytes{0, 1})},
        {"taller than allowed", EncodeBmpFile(Shape(1, 65, 8, kBmpRle8), Bytes{0, 1})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TBmpPicture p;
        p.Width = 7;
        EXPECT_FALSE(DecodeBmpPicture(c.File, 64, p));
        EXPECT_EQ(p.Width, 7);
    }
    TBmpPicture p;
    EXPECT_TRUE(DecodeBmpPicture(EncodeBmpFile(Shape(64, 64, 8, kBmpRle8), Bytes{0, 1}), 64, p));
}
