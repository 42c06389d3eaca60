// What the display component and its loaders leave behind when something they refer to is not
// there (yet or any more): a freed component, a surface not yet made, a chain rebuilt under a
// texture, a surface without rows.
#include "dddd/DDDDRegisteredSurface.h"
#include "dddd/DDDDTexture.h"
#include "tests/dddd/BmpFiles.h"
#include "tests/dddd/DisplayFixture.h"

#include "platform/ddraw/ScreenView.h"
#include "platform/rtl/MemoryStream.h"

#include <QPointer>

namespace {

constexpr DWORD kPlain = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY;

std::vector<std::uint8_t> Solid(std::uint32_t Rgb) {
    return dddd::test::MakeBmp24(4, 2, [Rgb](int, int) { return Rgb; });
}

// A surface of no rows: it locks, with no memory to show, and refuses everything else.
struct TRowlessSurface final : IDirectDrawSurface {
    int Locks = 0, Unlocks = 0;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT AddAttachedSurface(LPDIRECTDRAWSURFACE) override { return DDERR_UNSUPPORTED; }
    HRESULT Blt(LPRECT, LPDIRECTDRAWSURFACE, LPRECT, DWORD, LPDDBLTFX) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT BltFast(DWORD, DWORD, LPDIRECTDRAWSURFACE, LPRECT, DWORD) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT Flip(LPDIRECTDRAWSURFACE, DWORD) override { return DDERR_UNSUPPORTED; }
    HRESULT GetAttachedSurface(LPDDSCAPS, LPDIRECTDRAWSURFACE*) override { return DDERR_NOTFOUND; }
    HRESULT GetCaps(LPDDSCAPS) override { return DDERR_UNSUPPORTED; }
    HRESULT GetDC(HDC*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetPalette(LPDIRECTDRAWPALETTE*) override { return DDERR_UNSUPPORTED; }
    HRESULT GetSurfaceDesc(LPDDSURFACEDESC) override { return DDERR_UNSUPPORTED; }
    HRESULT IsLost() override { return DD_OK; }
    HRESULT Lock(LPRECT, LPDDSURFACEDESC Desc, DWORD, HANDLE) override {
        ++Locks;
        Desc->dwWidth = 4;
        Desc->dwHeight = 0;
        Desc->lPitch = -4; // stored bottom-up
        Desc->lpSurface = nullptr;
        return DD_OK;
    }
    HRESULT ReleaseDC(HDC) override { return DDERR_UNSUPPORTED; }
    HRESULT Restore() override { return DD_OK; }
    HRESULT SetClipper(LPDIRECTDRAWCLIPPER) override { return DDERR_UNSUPPORTED; }
    HRESULT SetColorKey(DWORD, LPDDCOLORKEY) override { return DDERR_UNSUPPORTED; }
    HRESULT SetPalette(LPDIRECTDRAWPALETTE) override { return DDERR_UNSUPPORTED; }
    HRESULT Unlock(LPVOID) override {
        ++Unlocks;
        return DD_OK;
    }
};

} // namespace

using Lifetime = DisplayTest;

TEST_F(Lifetime, TheViewExposedAfterItsComponentIsGoneStillPaintsTheForm) {
    Start(16);
    QPointer<TScreenView> view = Display->View();
    ASSERT_TRUE(view);
    int paints = 0;
    Display.reset();
    Form->OnPaint = [&](vcl::TForm*) { ++paints; };
    ASSERT_TRUE(view);
    ASSERT_TRUE(view->OnExpose);
    view->OnExpose();
    EXPECT_EQ(paints, 1);
}

TEST_F(Lifetime, ARegisteredSurfaceRepaintedBeforeItsFirstRebuildWaitsForIt) {
    Start(16, true, {dddd::DontUseHAL});
    const std::string path = WriteFile("pic.bmp", Solid(0xFF0000));
    dddd::TDDDDRegisteredSurface surface(Display.get(), 4, 2, kPlain);
    surface.FileName = path;
    Display->Registry().Add(&surface);
    EXPECT_FALSE(surface.IsLost());
    surface.RestoreIfLost();
    Display->RestoreSurfaces();
    EXPECT_EQ(surface.Surface, nullptr);
    // The rebuild makes it, and a later one makes it again in place of the old one.
    Display->SetDisplayMode(dddd::TDDDDDispMode::dmWin800x600x16);
    ASSERT_NE(surface.Surface, nullptr);
    EXPECT_EQ(surface.Pixels(0, 0), 0xF800u);
    Display->SetDisplayMode(dddd::TDDDDDispMode::dmWin640x480x16);
    EXPECT_EQ(surface.Pixels(3, 1), 0xF800u);
    EXPECT_TRUE(Logged().empty());
}

TEST_F(Lifetime, ATextureOutsideTheRegistryReloadsAfterARebuildAndOutlivesTheComponent) {
    for (const bool hardware : {false, true}) {
        DDrawSetHardware3D(hardware);
        Start(16, true, {dddd::DontUseRGBEmulation});
        const std::string red = WriteFile("red.bmp", Solid(0xFF0000));
        const std::string blue = WriteFile("blue.bmp", Solid(0x0000FF));
        const TDDrawCensus before = DDrawCensus();
        {
            dddd::TDDDDTexture texture(Display.get());
            texture.LoadFromBitmap(red, -1, -1);
            // The chain is made anew under the texture, which still holds the old surfaces.
            Display->SetDisplayMode(dddd::TDDDDDispMode::dmWin800x600x16);
            EXPECT_EQ(texture.DeviceSurface->IsLost(), DDERR_SURFACELOST);
            texture.Transfer();
            texture.LoadFromBitmap(blue, -1, -1);
            texture.Transfer();
            EXPECT_EQ(texture.DeviceWrapper->Pixels(0, 0), 0x0000FFu) << hardware;
            texture.LoadFromBitmap(red, 0, 0);
            texture.Transfer();
            EXPECT_EQ(texture.DeviceWrapper->Pixels(3, 1), 0xFF0000u) << hardware;
        }
        // A freed texture gives its surfaces back at once.
        EXPECT_EQ(DDrawCensus().Surfaces, before.Surfaces);
        auto outliving = std::make_unique<dddd::TDDDDTexture>(Display.get());
        outliving->LoadFromBitmap(blue, -1, -1);
        Display.reset();
        outliving.reset();
        EXPECT_TRUE(Logged().empty()) << hardware;
    }
}

TEST_F(Lifetime, ABitmapLoadedOntoASurfaceWithoutRowsWritesNothing) {
    Start(8);
    const auto file = dddd::test::MakeBmp8(
        4, 2, [](int x, int y) { return static_cast<std::uint8_t>(10 * y + x + 1); });
    TMemoryStream stream;
    stream.WriteBuffer(file.data(), static_cast<std::int64_t>(file.size()));
    stream.SetPosition(0);
    TRowlessSurface rowless;
    dddd::TDDDDGenSurface wrapper(Display.get(), &rowless, 4, 0);
    wrapper.LoadFromStream(stream);
    EXPECT_EQ(rowless.Locks, 1);
    EXPECT_EQ(rowless.Unlocks, 1);
    EXPECT_TRUE(Logged().empty());
}
