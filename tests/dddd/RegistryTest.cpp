#include "dddd/DDDDRegisteredSurface.h"
#include "dddd/DDDDTexture.h"
#include "dddd/LoaderMessages.h"
#include "tests/dddd/ArchiveBuilder.h"
#include "tests/dddd/BmpFiles.h"
#include "tests/dddd/DisplayFixture.h"

using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Solid(std::uint32_t Rgb) {
    return dddd::test::MakeBmp24(4, 2, [Rgb](int, int) { return Rgb; });
}

constexpr DWORD kPlain = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;
// 5-6-5 values of the solid colours.
constexpr DWORD kRed565 = 0xF800, kGreen565 = 0x07E0, kBlue565 = 0x001F;

} // namespace

using Registry = DisplayTest;

TEST_F(Registry, ARebuildMakesEveryEntryAnewAndReloadsIt) {
    Start(16, true, {dddd::DontUseHAL});
    const std::string red = WriteFile("red.bmp", Solid(0xFF0000));
    const std::string archive =
        WriteFile("t.qda", dddd::test::BuildArchive(1, {{"blue.bmp", Solid(0x0000FF)}}));
    dddd::TDDDDRegisteredSurface fromFile(Display.get(), 4, 2, kPlain);
    fromFile.FileName = red;
    fromFile.ColorKey = 0x1234;
    fromFile.Recreate();
    dddd::TDDDDRegisteredSurface fromArchive(Display.get(), 4, 2, kPlain);
    fromArchive.FromArchive = true;
    fromArchive.ArchiveName = archive;
    fromArchive.EntryName = "blue.bmp";
    fromArchive.Recreate();
    dddd::TDDDDTexture texture(Display.get()), archived(Display.get()), empty(Display.get());
    texture.LoadFromBitmap(red, -1, -1);
    archived.LoadFromArchiveEntry(archive, "blue.bmp", -1, -1);
    for (auto* s : {&fromFile, &fromArchive})
        Display->Registry().Add(s);
    for (auto* t : {&texture, &archived, &empty})
        Display->Registry().Add(t);
    ASSERT_EQ(fromFile.Pixels(0, 0), kRed565);
    ASSERT_EQ(fromArchive.Pixels(0, 0), kBlue565);

    std::vector<bool> validAtCleanUp;
    Display->OnCleanUp = [&](dddd::TDDDD*) {
        for (auto* t : {&texture, &archived, &empty})
            validAtCleanUp.push_back(t->SurfacesValid);
    };
    bool changed = false;
    Display->OnChangeDisplayMode = [&](dddd::TDDDD*) {
        changed = true;
        EXPECT_EQ(fromFile.Pixels(0, 0), kRed565);
        EXPECT_EQ(fromArchive.Pixels(3, 1), kBlue565);
        EXPECT_TRUE(texture.SurfacesValid);
        EXPECT_EQ(texture.DeviceWrapper->Pixels(0, 0), 0xFF0000u);
        EXPECT_EQ(archived.DeviceWrapper->Pixels(0, 0), 0x0000FFu);
        EXPECT_TRUE(archived.FromArchive);
        EXPECT_FALSE(empty.ImageLoaded);
    };
    Display->SetDisplayMode(dddd::TDDDDDispMode::dmWin800x600x16);
    EXPECT_TRUE(changed);
    EXPECT_EQ(validAtCleanUp, (std::vector<bool>{false, false, false}));
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    ASSERT_EQ(fromFile.Surface->GetSurfaceDesc(&d), DD_OK);
    EXPECT_TRUE(d.dwFlags & DDSD_CKSRCBLT);
    EXPECT_EQ(d.ddckCKSrcBlt.dwColorSpaceLowValue, 0x1234u);
    EXPECT_EQ(d.dwWidth, 4u);
    EXPECT_TRUE(Logged().empty());
}

TEST_F(Registry, ARepaintRestoresAndReloadsOnlyWhatWasLost) {
    DDrawSetHardware3D(true);
    Start(16, true);
    const std::string path = WriteFile("pic.bmp", Solid(0xFF0000));
    dddd::TDDDDRegisteredSurface kept(Display.get(), 4, 2, kPlain),
        lost(Display.get(), 4, 2, kPlain);
    for (auto* s : {&kept, &lost}) {
        s->FileName = path;
        s->Recreate();
        Display->Registry().Add(s);
    }
    dddd::TDDDDTexture texture(Display.get());
    texture.LoadFromBitmap(path, -1, -1);
    Display->Registry().Add(&texture);
    ASSERT_NE(texture.DeviceSurface, texture.WorkSurface);

    WriteFile("pic.bmp", Solid(0x00FF00));
    DDrawLoseSurface(lost.Surface);
    DDrawLoseSurface(texture.DeviceSurface);
    const int loads = DDrawFailures().Calls("IDirect3DTexture2::Load");
    Display->RestoreSurfaces();
    EXPECT_FALSE(lost.IsLost());
    EXPECT_EQ(lost.Pixels(0, 0), kGreen565);
    EXPECT_EQ(kept.Pixels(0, 0), kRed565);
    EXPECT_EQ(texture.DeviceSurface->IsLost(), DD_OK);
    // Once to refill the restored device surface, once more for the pass's own transfer.
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), loads + 2);
    EXPECT_EQ(texture.DeviceWrapper->Pixels(0, 0), 0xFF0000u);
    Display->RestoreSurfaces();
    EXPECT_EQ(DDrawFailures().Calls("IDirect3DTexture2::Load"), loads + 3);
    EXPECT_EQ(Logged(), std::vector<std::string>{});
}

TEST_F(Registry, ASurfaceTheDriverRefusesFallsBackToSystemMemory) {
    Start(16);
    dddd::TDDDDRegisteredSurface s(Display.get(), 8, 8,
                                   DDSCAPS_OFFSCREENPLAIN | DDSCAPS_VIDEOMEMORY);
    DDrawFailures().Clear();
    DDrawFailures().Fail("IDirectDraw2::CreateSurface", DDERR_OUTOFVIDEOMEMORY);
    s.Recreate();
    ASSERT_NE(s.Surface, nullptr);
    EXPECT_EQ(s.Desc.ddsCaps.dwCaps, kPlain);
    EXPECT_EQ(DDrawFailures().Calls("IDirectDraw2::CreateSurface"), 2);
}

TEST_F(Registry, ImagesReloadFromWhereTheySayTheyComeFrom) {
    Start(16);
    const std::string red = WriteFile("red.bmp", Solid(0xFF0000));
    const std::string archive =
        WriteFile("t.qda", dddd::test::BuildArchive(0, {{"g", Solid(0x00FF00)}}));
    const struct {
        const char* What;
        bool FromArchive;
        std::string FileName, ArchiveName;
        DWORD Pixel;
    } cases[] = {
        {"a file", false, red, archive, kRed565},
        {"an archive entry", true, red, archive, kGreen565},
        {"an archive without a name", true, red, "", 0x5A5A},
        {"a file without a name", false, "", archive, 0x5A5A},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        dddd::TDDDDRegisteredSurface s(Display.get(), 4, 2, kPlain);
        s.Recreate();
        Fill(s.Surface, 0x5A);
        s.FromArchive = c.FromArchive;
        s.FileName = c.FileName;
        s.ArchiveName = c.ArchiveName;
        s.EntryName = "g";
        s.ReloadImage();
        EXPECT_EQ(s.Pixels(1, 1), c.Pixel);
    }
    EXPECT_TRUE(Logged().empty());
}

TEST_F(Registry, EntriesLeaveWhenFreedAndOutliveTheirComponent) {
    Start(16, true, {dddd::DontUseHAL});
    const std::string path = WriteFile("pic.bmp", Solid(0xFF0000));
    dddd::TDDDDRegistry other;
    auto texture = std::make_unique<dddd::TDDDDTexture>(Display.get());
    auto surface = std::make_unique<dddd::TDDDDRegisteredSurface>(Display.get(), 4, 2, kPlain);
    texture->LoadFromBitmap(path, -1, -1);
    surface->Recreate();
    {
        dddd::TDDDDTexture passing(Display.get());
        Display->Registry().Add(&passing);
        Display->Registry().Add(texture.get());
        Display->Registry().Add(surface.get());
        other.Add(surface.get()); // moves it
        EXPECT_EQ(Display->Registry().Textures().size(), 2u);
    }
    EXPECT_EQ(Display->Registry().Textures(), std::vector<dddd::TDDDDTexture*>{texture.get()});
    EXPECT_TRUE(Display->Registry().Surfaces().empty());
    EXPECT_EQ(other.Surfaces(), std::vector<dddd::TDDDDRegisteredSurface*>{surface.get()});

    // The chain and its surfaces go with the component; what is left touches none of them.
    Display.reset();
    EXPECT_FALSE(texture->SurfacesValid);
    texture->Transfer();
    texture->RestoreTexture();
    texture.reset();
    surface.reset();
    EXPECT_TRUE(other.Surfaces().empty());
}

using RegistryDeathTest = Registry;

TEST_F(RegistryDeathTest, ASurfaceThatCannotBeMadeAtAllEndsTheProgram) {
    EXPECT_EXIT(
        {
            Start(16);
            dddd::TDDDDRegisteredSurface s(Display.get(), 8, 8, kPlain);
            DDrawFailures().Fail("IDirectDraw2::CreateSurface", DDERR_OUTOFMEMORY, 0, 2);
            s.Recreate();
        },
        ::testing::ExitedWithCode(dddd::kHaltExitCode), "");
    EXPECT_EQ(Logged(), std::vector<std::string>{std::string(dddd::kMsgSurfaceCreate) +
                                                 dddd::ErrorCodeSuffix(DDERR_OUTOFMEMORY)});
}
