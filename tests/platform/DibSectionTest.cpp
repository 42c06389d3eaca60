#include "platform/vcl/DibSection.h"

#include "tests/dddd/BmpFiles.h"
#include "tests/platform/BmpVariants.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using dddd::test::MakeBmpFile;
using dddd::test::TBmpLayout;
using Bytes = std::vector<std::uint8_t>;

namespace {

// 0xRRGGBB of a decoded pixel.
std::uint32_t Rgb(const QImage& Image, int X, int Y) {
    return Image.pixel(X, Y) & 0xFFFFFFu;
}

} // namespace

TEST(DibSection, EveryDepthDecodesToTheColoursItStores) {
    // Each file is 3 x 2: top row red, green, blue; bottom row white, black, grey (0x808080
    // where the depth allows it).
    const std::vector<std::uint32_t> pal{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0, 0x808080};
    const struct {
        const char* What;
        TBmpLayout Layout;
        Bytes Pixels;
        std::uint32_t Bottom[3];
    } cases[] = {
        {"8-bit", {3, 2, 8, 0, pal}, {3, 4, 5, 0, 0, 1, 2, 0}, {0xFFFFFF, 0, 0x808080}},
        {"4-bit", {3, 2, 4, 0, pal}, {0x34, 0x50, 0, 0, 0x01, 0x20, 0, 0}, {0xFFFFFF, 0, 0x808080}},
        {"1-bit, two colours of a 3-bit picture",
         {3, 2, 1, 0, {0x000000, 0xFFFFFF}},
         {0xA0, 0, 0, 0, 0x40, 0, 0, 0},
         {0xFFFFFF, 0, 0xFFFFFF}},
        {"24-bit",
         {3, 2, 24},
         {0xFF, 0xFF, 0xFF, 0, 0,    0, 0x80, 0x80, 0x80, 0, 0, 0,
          0,    0,    0xFF, 0, 0xFF, 0, 0xFF, 0,    0,    0, 0, 0},
         {0xFFFFFF, 0, 0x808080}},
        {"24-bit top-down",
         {3, -2, 24},
         {0,    0,    0xFF, 0, 0xFF, 0, 0xFF, 0,    0,    0, 0, 0,
          0xFF, 0xFF, 0xFF, 0, 0,    0, 0x80, 0x80, 0x80, 0, 0, 0},
         {0xFFFFFF, 0, 0x808080}},
        {"16-bit 5-5-5",
         {3, 2, 16},
         {0xFF, 0x7F, 0, 0, 0x10, 0x42, 0, 0, 0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0, 0},
         {0xFFFFFF, 0, 0x848484}},
        {"16-bit 5-6-5 bit fields",
         {3, 2, 16, 3, {}, {0xF800, 0x07E0, 0x001F}},
         {0xFF, 0xFF, 0, 0, 0x10, 0x84, 0, 0, 0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0},
         {0xFFFFFF, 0, 0x848284}},
        {"32-bit",
         {3, 2, 32},
         {0xFF, 0xFF, 0xFF, 0, 0, 0,    0, 0, 0x80, 0x80, 0x80, 0,
          0,    0,    0xFF, 0, 0, 0xFF, 0, 0, 0xFF, 0,    0,    0},
         {0xFFFFFF, 0, 0x808080}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const Bytes file = MakeBmpFile(c.Layout, c.Pixels);
        vcl::TDibSection dib;
        ASSERT_TRUE(vcl::DecodeDib(file.data(), file.size(), dib));
        EXPECT_EQ(dib.BitCount, c.Layout.Bits);
        ASSERT_EQ(dib.Image.width(), 3);
        ASSERT_EQ(dib.Image.height(), 2);
        EXPECT_EQ(dib.Image.format(),
                  c.Layout.Bits <= 8 ? QImage::Format_Indexed8 : QImage::Format_RGB32);
        if (c.Layout.Bits > 1) {
            EXPECT_EQ(Rgb(dib.Image, 0, 0), 0xFF0000u);
            EXPECT_EQ(Rgb(dib.Image, 1, 0), 0x00FF00u);
            EXPECT_EQ(Rgb(dib.Image, 2, 0), 0x0000FFu);
        }
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(Rgb(dib.Image, x, 1), c.Bottom[x]) << x;
    }
}

TEST(DibSection, FilesThatPromiseMoreThanTheyHoldAreRefused) {
    const Bytes good = MakeBmpFile({2, 2, 8, 0, {0, 0xFFFFFF}}, Bytes(8, 1));
    vcl::TDibSection dib;
    ASSERT_TRUE(vcl::DecodeDib(good.data(), good.size(), dib));
    auto with = [&](std::size_t At, std::uint32_t V, int N = 4) {
        Bytes b = good;
        for (int i = 0; i < N; ++i)
            b[At + i] = static_cast<std::uint8_t>(V >> (8 * i));
        return b;
    };
    const struct {
        const char* What;
        Bytes File;
    } cases[] = {
        {"empty", {}},
        {"not BM", with(0, 'B' | 'A' << 8, 2)},
        {"pixels cut short", Bytes(good.begin(), good.end() - 1)},
        {"header cut short", Bytes(good.begin(), good.begin() + 50)},
        {"pixel offset past the end", with(10, 0xFFFFFFF0u)},
        {"info header past the end", with(14, 0x7FFFFFFFu)},
        {"info header too small", with(14, 12)},
        {"width 0", with(18, 0)},
        {"negative width", with(18, 0xFFFFFFFFu)},
        {"height 0", with(22, 0)},
        {"huge height", with(22, 1u << 30)},
        {"huge top-down height", with(22, 0x80000000u)},
        {"two planes", with(26, 2, 2)},
        {"7 bits", with(28, 7, 2)},
        {"4-bit run-length code at 8 bits", with(30, 2)},
        {"more colours than the depth has", with(46, 257)},
        {"colour table past the end", with(46, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        vcl::TDibSection untouched;
        EXPECT_FALSE(vcl::DecodeDib(c.File.data(), c.File.size(), untouched));
        EXPECT_TRUE(untouched.Image.isNull());
    }
}

TEST(DibSection, BitmapsComeFromResourcesWhateverTheCaseOrFromFiles) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("marevo-dib-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const Bytes file = dddd::test::MakeBmp24(5, 3, [](int x, int) { return x * 0x10u; });
    const std::string path = (dir / "five.bmp").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));

    struct {
        const char* Name;
        UINT Flags;
        LONG Width, Height;
        WORD Bits;
    } const found[] = {
        {"SAMPLE.BMP", LR_CREATEDIBSECTION, 4, 2, 8},
        {"sample.bmp", LR_CREATEDIBSECTION, 4, 2, 8},
        {path.c_str(), LR_CREATEDIBSECTION | LR_LOADFROMFILE, 5, 3, 24},
    };
    for (const auto& c : found) {
        SCOPED_TRACE(c.Name);
        auto bmp = static_cast<HBITMAP>(LoadImageA(nullptr, c.Name, IMAGE_BITMAP, 0, 0, c.Flags));
        ASSERT_NE(bmp, nullptr);
        BITMAP bm;
        EXPECT_EQ(GetObjectA(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmWidth, c.Width);
        EXPECT_EQ(bm.bmHeight, c.Height);
        EXPECT_EQ(bm.bmBitsPixel, c.Bits);
        DeleteObject(bmp);
    }
    EXPECT_EQ(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, "missing.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE), nullptr);
    EXPECT_EQ(LoadImageA(nullptr, "Sample", IMAGE_BITMAP, 0, 0, 0), nullptr);
    std::filesystem::remove_all(dir);
}

TEST(DibSection, AMemoryContextGivesTheColourTableAndCopiesThePixels) {
    auto bmp = static_cast<HBITMAP>(
        LoadImageA(nullptr, "Sample.bmp", IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bmp, nullptr);
    HDC mem = CreateCompatibleDC(nullptr);
    SelectObject(mem, bmp);
    RGBQUAD table[256];
    ASSERT_EQ(GetDIBColorTable(mem, 0, 256, table), 256u); // 4 given, the rest black
    EXPECT_EQ(table[0].rgbRed, 0xFF);
    EXPECT_EQ(table[1].rgbGreen, 0xFF);
    EXPECT_EQ(table[2].rgbBlue, 0xFF);
    EXPECT_EQ(table[3].rgbRed + table[3].rgbGreen + table[3].rgbBlue, 3 * 0xFF);
    EXPECT_EQ(table[4].rgbRed + table[4].rgbGreen + table[4].rgbBlue, 0);
    EXPECT_EQ(GetDIBColorTable(mem, 254, 256, table), 2u);

    vcl::TDeviceContext dst(QImage(6, 3, QImage::Format_RGB32));
    dst.Target().fill(Qt::black);
    EXPECT_TRUE(BitBlt(&dst, 1, 1, 4, 2, mem, 0, 0, SRCCOPY));
    const QImage& out = dst.Target();
    EXPECT_EQ(out.pixel(0, 0) & 0xFFFFFF, 0u);
    const std::uint32_t top[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(out.pixel(1 + x, 1) & 0xFFFFFF, top[x]) << x;
        EXPECT_EQ(out.pixel(1 + x, 2) & 0xFFFFFF, top[3 - x]) << x;
    }
    EXPECT_FALSE(BitBlt(&dst, 0, 0, 1, 1, mem, 0, 0, 0x00EE0086));
    DeleteDC(mem);
    DeleteObject(bmp);
}

// The display framework's loaders read what a paint program saves, in every form, and keep the
// colour table of an indexed picture and the depth the file states.
TEST(DibSection, EveryFormAPaintProgramSavesDecodesToTheSamePicture) {
    const bmptest::TIndexedPicture picture = bmptest::BandedPicture(37, 23);
    for (const auto& form : bmptest::kBmpForms) {
        SCOPED_TRACE(form.Name);
        const Bytes file = bmptest::EncodeBmpForm(picture, form.Form);
        vcl::TDibSection dib;
        ASSERT_TRUE(vcl::DecodeDib(file.data(), file.size(), dib));
        ASSERT_EQ(dib.Image.size(), QSize(37, 23));
        EXPECT_EQ(dib.BitCount, file[14] == 12 ? file[24] : file[28]);
        if (dib.BitCount <= 8) {
            EXPECT_EQ(dib.Image.format(), QImage::Format_Indexed8);
            EXPECT_EQ(dib.Image.colorTable().size(), 1 << dib.BitCount);
        }
        // Channels of every width widen by repeating their bits, so full scale stays full; an
        // indexed picture keeps the file's indices, which the loaders' colour keys name.
        const bool indexed = dib.BitCount <= 8;
        int wrong = 0;
        for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 37; ++x)
                wrong += Rgb(dib.Image, x, y) != picture.At(x, y) ||
                         (indexed && dib.Image.pixelIndex(x, y) != picture.Index[y * 37 + x]);
        EXPECT_EQ(wrong, 0);
    }
}
