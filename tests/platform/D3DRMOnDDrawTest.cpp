// The retained-mode device drawing into the display stand-in's back buffer, built and
// released in the display component's order.
#include "platform/com/ComRef.h"
#include "platform/d3drm/D3DRM.h"
#include "tests/platform/DDrawFixture.h"
#include "tests/platform/RenderFixture.h"

#include <QMainWindow>

#include <array>

namespace {

struct TCase {
    int Bits;
    DWORD ZDepth;
};

class D3DRMOnDDraw : public DDrawTest, public ::testing::WithParamInterface<TCase> {};

// Reads pixel (X, Y) of a locked back buffer as 0x00RRGGBB.
std::uint32_t Pixel(const DDSURFACEDESC& D, const PALETTEENTRY* Palette, int X, int Y) {
    const auto* row = static_cast<const std::uint8_t*>(D.lpSurface) + Y * D.lPitch;
    switch (D.ddpfPixelFormat.dwRGBBitCount) {
    case 8: {
        const PALETTEENTRY& e = Palette[row[X]];
        return (std::uint32_t(e.peRed) << 16) | (e.peGreen << 8) | e.peBlue;
    }
    case 16: {
        const unsigned v = reinterpret_cast<const std::uint16_t*>(row)[X];
        return (((v >> 11) & 31) * 255 / 31) << 16 | (((v >> 5) & 63) * 255 / 63) << 8 |
               (v & 31) * 255 / 31;
    }
    case 24:
        return row[X * 3] | (row[X * 3 + 1] << 8) | (std::uint32_t(row[X * 3 + 2]) << 16);
    default:
        return reinterpret_cast<const std::uint32_t*>(row)[X] & 0xFFFFFF;
    }
}

TEST_P(D3DRMOnDDraw, TheDeviceDrawsIntoTheBackBufferAndEveryCountEndsAtZero) {
    const TCase c = GetParam();
    vcl::Screen().SetDesktop(1024, 768, c.Bits, 0);
    QMainWindow window;
    window.resize(64, 64);
    window.show();

    IDirectDraw* dd = nullptr;
    IDirectDraw2* dd2 = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2)), DD_OK);
    ASSERT_EQ(dd2->SetCooperativeLevel(&window, DDSCL_NORMAL), DD_OK);
    IDirectDrawSurface* back =
        Offscreen(dd2, 64, 64, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE);
    ASSERT_NE(back, nullptr);
    IDirectDrawPalette* palette = nullptr;
    std::array<PALETTEENTRY, 256> entries{};
    for (int i = 0; i < 256; ++i)
        entries[i] = {BYTE(((i >> 5) & 7) * 255 / 7), BYTE(((i >> 2) & 7) * 255 / 7),
                      BYTE((i & 3) * 255 / 3), 0};
    if (c.Bits == 8) {
        ASSERT_EQ(dd2->CreatePalette(DDPCAPS_8BIT, entries.data(), &palette, nullptr), DD_OK);
        ASSERT_EQ(back->SetPalette(palette), DD_OK);
    }
    DDSURFACEDESC zd = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH,
                            DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, 64, 64);
    zd.dwZBufferBitDepth = c.ZDepth;
    IDirectDrawSurface* z = nullptr;
    ASSERT_EQ(dd2->CreateSurface(&zd, &z, nullptr), DD_OK);
    ASSERT_EQ(back->AddAttachedSurface(z), DD_OK);

    TComRef<IDirect3DRM> first;
    IDirect3DRM2* rm = nullptr;
    ASSERT_EQ(Direct3DRMCreate(first.Out()), D3DRM_OK);
    ASSERT_EQ(first->QueryInterface(IID_IDirect3DRM2, reinterpret_cast<void**>(&rm)), D3DRM_OK);
    first.Reset();
    IDirect3D2* d3d = nullptr;
    ASSERT_EQ(dd2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), DD_OK);
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRampDevice, back, &device), DD_OK);
    IDirect3DRMDevice2* rmDevice = nullptr;
    ASSERT_EQ(rm->CreateDeviceFromD3D(d3d, device, &rmDevice), D3DRM_OK);
    EXPECT_EQ(rmDevice->SetBufferCount(2), D3DRM_OK);

    IDirect3DRMFrame2* scene = nullptr;
    IDirect3DRMFrame2* camera = nullptr;
    IDirect3DRMFrame2* holder = nullptr;
    ASSERT_EQ(rm->CreateFrame(nullptr, &scene), D3DRM_OK);
    ASSERT_EQ(rm->CreateFrame(scene, &camera), D3DRM_OK);
    ASSERT_EQ(rm->CreateFrame(scene, &holder), D3DRM_OK);
    IDirect3DRMViewport* viewport = nullptr;
    ASSERT_EQ(rm->CreateViewport(rmDevice, camera, 0, 0, 64, 64, &viewport), D3DRM_OK);
    viewport->SetBack(5000);
    IDirect3DRMMeshBuilder2* mesh = nullptr;
    ASSERT_EQ(rm->CreateMeshBuilder(&mesh), D3DRM_OK);
    TRenderFixture::AddFace(mesh, TRenderFixture::Square(5), {1, 0, 0});
    TRenderFixture::AddFace(mesh, TRenderFixture::Square(4, 0.5f), {0, 0, 1});
    mesh->SetQuality(D3DRMRENDER_UNLITFLAT);
    holder->AddVisual(mesh);
    mesh->Release();
    holder->Release();

    EXPECT_EQ(viewport->Clear(), D3DRM_OK);
    EXPECT_EQ(viewport->Render(scene), D3DRM_OK);
    EXPECT_EQ(rmDevice->Update(), D3DRM_OK);

    DDSURFACEDESC locked;
    locked.dwSize = sizeof locked;
    ASSERT_EQ(back->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixel(locked, entries.data(), 32, 32), 0x0000FFu);
    EXPECT_EQ(Pixel(locked, entries.data(), 21, 32), 0xFF0000u);
    EXPECT_EQ(Pixel(locked, entries.data(), 2, 2), 0u);
    back->Unlock(nullptr);

    // A lost back buffer makes the viewport's calls fail instead of drawing into nothing.
    DDrawLoseSurface(back);
    EXPECT_EQ(viewport->Clear(), DDERR_SURFACELOST);
    EXPECT_EQ(viewport->Render(scene), DDERR_SURFACELOST);

    camera->Release();
    EXPECT_EQ(scene->Release(), 0u);
    EXPECT_EQ(viewport->Release(), 0u);
    EXPECT_EQ(rmDevice->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
    ReleaseRef(palette);
    EXPECT_EQ(rm->Release(), 0u);
    d3d->Release();
    EXPECT_EQ(dd2->Release(), 0u);
    EXPECT_EQ(dd->Release(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, D3DRMOnDDraw,
                         ::testing::Values(TCase{8, 16}, TCase{16, 16}, TCase{16, 24},
                                           TCase{24, 32}, TCase{32, 16}));

} // namespace
