#include "dddd/DDDDTexture.h"
#include "dddd/LoaderMessages.h"
#include "tests/dddd/ArchiveBuilder.h"
#include "tests/dddd/BmpFiles.h"
#include "tests/dddd/DisplayFixture.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

DDPIXELFORMAT Format(DWORD Flags, DWORD Bits) {
    DDPIXELFORMAT f;
    f.dwSize = sizeof f;
    f.dwFlags = Flags;
    f.dwRGBBitCount = Bits;
    return f;
}

DDSURFACEDESC DescOf(IDirectDrawSurface* S) {
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    EXPECT_EQ(S->GetSurfaceDesc(&d), DD_OK);
    return d;
}

// Red, green, blue and white across, black and grey below.
const std::uint32_t kColours[2][4] = {{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF},
                                      {0x000000, 0x808080, 0x000000, 0x808080}};

Bytes Picture24() {
    return dddd::test::MakeBmp24(4, 2, [](int x, int y) { return kColours[y][x]; });
}

// The same picture with a six-colour table in a made-up order.
Bytes Picture8() {
    dddd::test::TBmpLayout l{4, 2, 8, 0, {0x808080, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0}};
    return dddd::test::MakeBmpFile(l, {5, 0, 5, 0, 1, 2, 3, 4});
}

// Picture8 in the 8-bit run-length code: runs of one, a line's end, the bitmap's end.
Bytes Picture8Rle() {
    dddd::test::TBmpLayout l{4, 2, 8, 1, {0x808080, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0}};
    return dddd::test::MakeBmpFile(l, {1, 5, 1, 0, 1, 5, 1, 0, 0, 0, 1, 1, 1, 2, 1, 3, 1, 4, 0, 1});
}

} // namespace

TEST(TextureFormat, TheClosestFormatNoSmallerThanTheBitmapWinsElseTheFirstUsable) {
    const DDPIXELFORMAT pal8 = Format(DDPF_RGB | DDPF_PALETTEINDEXED8, 8);
    const DDPIXELFORMAT pal4 = Format(DDPF_RGB | DDPF_PALETTEINDEXED4, 4);
    const DDPIXELFORMAT rgb8 = Format(DDPF_RGB, 8);
    const DDPIXELFORMAT rgb16 = Format(DDPF_RGB, 16);
    const DDPIXELFORMAT rgb24 = Format(DDPF_RGB, 24);
    const DDPIXELFORMAT rgb32 = Format(DDPF_RGB, 32);
    const DDPIXELFORMAT argb16 = Format(DDPF_RGB | DDPF_ALPHAPIXELS, 16);
    const DDPIXELFORMAT alpha8 = Format(DDPF_PALETTEINDEXED8 | DDPF_ALPHA, 8);
    const DDPIXELFORMAT yuv16 = Format(0, 16);
    const struct {
        const char* What;
        std::vector<DDPIXELFORMAT> Offered;
        int Bits;
        int Want;
    } cases[] = {
        {"an exact match replaces the first", {pal8, rgb16, rgb24, rgb32}, 24, 2},
        {"an 8-bit bitmap keeps the palette", {pal8, rgb16, rgb24, rgb32}, 8, 0},
        {"a 4-bit bitmap takes the 8-bit palette", {rgb16, pal8}, 4, 1},
        {"smaller formats never replace", {rgb16, pal8}, 24, 0},
        {"nothing large enough: the first stays", {pal8, rgb16, rgb24}, 32, 0},
        {"closer, but only when no smaller", {rgb32, rgb24, rgb16}, 16, 2},
        {"unusable formats are passed over", {argb16, alpha8, pal4, rgb8, yuv16, rgb24}, 16, 5},
        {"nothing usable", {argb16, pal4, rgb8}, 8, -1},
        {"nothing offered", {}, 8, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dddd::ChooseTextureFormat(c.Offered, c.Bits), c.Want) << c.What;
}

using Texture = DisplayTest;

TEST_F(Texture, BitmapsBecomeTexturesOfTheirDepthWithTheirColours) {
    Start(16, true, {dddd::DontUseRGBEmulation, dddd::DontUseHAL});
    const struct {
        const char* What;
        Bytes File;
        DWORD Bits;
        std::uint32_t Raw[2][4];
    } cases[] = {
        {"24-bit",
         Picture24(),
         24,
         {{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, {0, 0x808080, 0, 0x808080}}},
        {"8-bit, indices as in the file", Picture8(), 8, {{1, 2, 3, 4}, {5, 0, 5, 0}}},
        {"8-bit run-length coded, as a paint program saves it",
         Picture8Rle(),
         8,
         {{1, 2, 3, 4}, {5, 0, 5, 0}}},
        {"16-bit",
         dddd::test::MakeBmpFile({2, 1, 16}, {0x00, 0x7C, 0xFF, 0x7F}),
         16,
         {{0xF800, 0xFFFF}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const std::string path = WriteFile("t.bmp", c.File);
        dddd::TDDDDTexture t(Display.get());
        t.LoadFromBitmap(path, -1, -1);
        EXPECT_TRUE(t.ImageLoaded);
        EXPECT_TRUE(t.SurfacesValid);
        EXPECT_NE(t.Handle, 0u);
        EXPECT_EQ(t.FileName, path);
        EXPECT_FALSE(t.FromArchive);
        // A software device draws from system memory: one surface serves as both.
        EXPECT_EQ(t.WorkSurface, t.DeviceSurface);
        const DDSURFACEDESC d = DescOf(t.DeviceSurface);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, c.Bits);
        EXPECT_EQ(d.ddsCaps.dwCaps & (DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY),
                  DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
        EXPECT_FALSE(d.dwFlags & DDSD_CKSRCBLT);
        for (int y = 0; y < t.Height; ++y)
            for (int x = 0; x < t.Width; ++x)
                EXPECT_EQ(t.DeviceWrapper->Pixels(x, y), c.Raw[y][x]) << x << "," << y;
        EXPECT_EQ(t.Palette != nullptr, c.Bits == 8);
        if (t.Palette) {
            PALETTEENTRY e[256];
            ASSERT_EQ(t.Palette->GetEntries(0, 0, 256, e), DD_OK);
            EXPECT_EQ(e[1], (PALETTEENTRY{0xFF, 0, 0, 0}));
            EXPECT_EQ(e[4], (PALETTEENTRY{0xFF, 0xFF, 0xFF, 0}));
            EXPECT_EQ(e[5], (PALETTEENTRY{0, 0, 0, 0}));
        }
    }
    EXPECT_TRUE(Logged().empty());
}

TEST_F(Texture, TheKeyPixelBecomesTheSourceColourKey) {
    Start(16, true, {dddd::DontUseHAL});
    const std::string path = WriteFile("t.bmp", Picture24());
    dddd::TDDDDTexture t(Display.get());
    for (auto [x, y, key] : {std::tuple{1, 0, 0x00FF00u}, {3, 1, 0x808080u}}) {
        t.LoadFromBitmap(path, x, y);
        const DDSURFACEDESC d = DescOf(t.DeviceSurface);
        ASSERT_TRUE(d.dwFlags & DDSD_CKSRCBLT);
        EXPECT_EQ(d.ddckCKSrcBlt.dwColorSpaceLowValue, key);
        EXPECT_EQ(d.ddckCKSrcBlt.dwColorSpaceHighValue, key);
        EXPECT_EQ(t.KeyX, x);
        EXPECT_EQ(t.KeyY, y);
    }
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}}) {
        t.LoadFromBitmap(path, x, y);
        EXPECT_FALSE(DescOf(t.DeviceSurface).dwFlags & DDSD_CKSRCBLT);
    }
}

TEST_F(Texture, WithHardwareTheDeviceSurfaceIsLoadedFromASystemMemoryTwin) {
    DDrawSetHardware3D(true);
    Start(16, true);
    const std::string path = WriteFile("t.bmp", Picture24());
    dddd::TDDDDTexture t(Display.get());
    t.LoadFromBitmap(path, -1, -1);
    ASSERT_NE(t.WorkSurface, t.DeviceSurface);
    EXPECT_TRUE(DescOf(t.DeviceSurface).ddsCaps.dwCaps & DDSCAPS_VIDEOMEMORY);
    EXPECT_TRUE(DescOf(t.WorkSurface).ddsCaps.dwCaps & DDSCAPS_SYSTEMMEMORY);
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), 1);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(t.DeviceWrapper->Pixels(x, y), kColours[y][x]);

    t.Transfer();
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), 2);
    DDrawLoseSurface(t.DeviceSurface);
    t.Transfer(); // nothing is loaded into a lost surface
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), 2);
    t.RestoreTexture();
    EXPECT_EQ(t.DeviceSurface->IsLost(), DD_OK);
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), 3);
    t.RestoreTexture(); // a loaded texture whose surfaces are kept needs nothing
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), 3);

    // Loading again gives the old surfaces back.
    const TDDrawCensus before = DDrawCensus();
    t.LoadFromBitmap(path, -1, -1);
    EXPECT_EQ(DDrawCensus(), before);
    EXPECT_TRUE(Logged().empty());
}

TEST_F(Texture, ResourcesComeBeforeFilesAndArchiveEntriesGoThroughATemporaryFile) {
    Start(16, true, {dddd::DontUseHAL});
    dddd::TDDDDTexture t(Display.get());
    // A file of the resource's name, in the folder a bare name is looked for in, loses to it.
    WriteFile("SAMPLE.BMP", dddd::test::MakeBmp24(5, 3, [](int, int) { return 0xFFFFFFu; }));
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(Folder);
    t.LoadFromBitmap("SAMPLE.BMP", -1, -1);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(t.Width, 4);
    EXPECT_EQ(t.Height, 2);
    EXPECT_EQ(DescOf(t.DeviceSurface).ddpfPixelFormat.dwRGBBitCount, 8u);

    const std::string archive =
        WriteFile("t.qda", dddd::test::BuildArchive(1, {{"a.bmp", Picture24()}}));
    t.LoadFromArchiveEntry(archive, "A.BMP", 0, 0);
    EXPECT_TRUE(t.ImageLoaded);
    EXPECT_TRUE(t.FromArchive);
    EXPECT_EQ(t.ArchiveName, archive);
    EXPECT_EQ(t.EntryName, "A.BMP");
    EXPECT_EQ(t.DeviceWrapper->Pixels(2, 0), 0x0000FFu);
    const std::filesystem::path temp(t.FileName);
    EXPECT_EQ(temp.parent_path(), std::filesystem::temp_directory_path());
    EXPECT_EQ(temp.filename().string().substr(0, 3), "tmp");
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_TRUE(Logged().empty());

    t.LoadFromArchiveEntry(archive, "b.bmp", 0, 0);
    t.LoadFromArchiveEntry(Folder.string() + "/none.qda", "a.bmp", 0, 0);
    EXPECT_EQ(Logged(),
              (std::vector<std::string>{"アーカイブファイル " + archive +
                                            " からの b.bmp のオープンに失敗しました",
                                        "アーカイブファイル " + Folder.string() +
                                            "/none.qda からの a.bmp のオープンに失敗しました"}));
    EXPECT_EQ(t.EntryName, "A.BMP"); // what was loaded stays
}

using TextureDeathTest = Texture;

TEST_F(TextureDeathTest, ABitmapThatCannotBeOpenedEndsTheProgram) {
    const std::string missing = (Folder / "none.bmp").string();
    EXPECT_EXIT(
        {
            Start(16, true, {dddd::DontUseHAL});
            dddd::TDDDDTexture t(Display.get());
            t.LoadFromBitmap(missing, -1, -1);
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(Logged(), std::vector<std::string>{missing + dddd::kMsgNotABitmapFile});
}

TEST_F(TextureDeathTest, ATextureSurfaceThatCannotBeMadeEndsTheProgram) {
    const std::string path = WriteFile("t.bmp", Picture24());
    EXPECT_EXIT(
        {
            Start(16, true, {dddd::DontUseHAL});
            dddd::TDDDDTexture t(Display.get());
            DDrawFailures().Fail("IDirectDraw2::CreateSurface", DDERR_OUTOFMEMORY);
            t.LoadFromBitmap(path, -1, -1);
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(Logged(), std::vector<std::string>{std::string(dddd::kMsgTexDeviceSurface) +
                                                 dddd::ErrorCodeSuffix(DDERR_OUTOFMEMORY)});
}
