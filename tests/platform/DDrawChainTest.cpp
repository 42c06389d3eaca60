// Building and releasing whole device chains as the display component does, and what the
// driver reports on the way.
#include "tests/platform/DDrawFixture.h"

#include "platform/ddraw/DDrawSurfaceAccess.h"

#include <QMainWindow>

#include <array>
#include <string>
#include <vector>

namespace {

// Everything the display component holds for one windowed or full-screen set-up.
struct TChain {
    IDirectDraw* DD = nullptr;
    IDirectDraw2* DD2 = nullptr;
    IDirectDrawSurface* Primary = nullptr;
    IDirectDrawSurface* Back = nullptr;
    IDirectDrawSurface* Z = nullptr;
    IDirectDrawClipper* Clipper = nullptr;
    IDirectDrawPalette* Palette = nullptr;
    IDirect3D2* D3D = nullptr;
    IDirect3DDevice2* Device = nullptr;
};

void Build(TChain& C, QWidget* Window, bool FullScreen, int Bits) {
    ASSERT_EQ(DirectDrawCreate(nullptr, &C.DD, nullptr), DD_OK);
    ASSERT_EQ(C.DD->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&C.DD2)), DD_OK);
    if (FullScreen) {
        ASSERT_EQ(C.DD2->SetCooperativeLevel(Window, 0x53), DD_OK);
        ASSERT_EQ(C.DD2->SetDisplayMode(640, 480, static_cast<DWORD>(Bits), 0, 0), DD_OK);
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        d.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        d.dwBackBufferCount = 1;
        d.ddsCaps.dwCaps =
            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
        ASSERT_EQ(C.DD2->CreateSurface(&d, &C.Primary, nullptr), DD_OK);
        DDSCAPS caps{DDSCAPS_BACKBUFFER};
        ASSERT_EQ(C.Primary->GetAttachedSurface(&caps, &C.Back), DD_OK);
    } else {
        ASSERT_EQ(C.DD2->SetCooperativeLevel(Window, DDSCL_NORMAL), DD_OK);
        DDSURFACEDESC p;
        p.dwSize = sizeof p;
        p.dwFlags = DDSD_CAPS;
        p.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        ASSERT_EQ(C.DD2->CreateSurface(&p, &C.Primary, nullptr), DD_OK);
        DDSURFACEDESC b;
        b.dwSize = sizeof b;
        b.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
        b.dwWidth = 640;
        b.dwHeight = 480;
        b.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY | DDSCAPS_3DDEVICE;
        ASSERT_EQ(C.DD2->CreateSurface(&b, &C.Back, nullptr), DD_OK);
        ASSERT_EQ(C.DD2->CreateClipper(0, &C.Clipper, nullptr), DD_OK);
        ASSERT_EQ(C.Clipper->SetHWnd(0, Window), DD_OK);
        ASSERT_EQ(C.Primary->SetClipper(C.Clipper), DD_OK);
    }
    if (Bits == 8) {
        std::array<PALETTEENTRY, 256> entries{};
        ASSERT_EQ(C.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &C.Palette, nullptr), DD_OK);
        ASSERT_EQ(C.Primary->SetPalette(C.Palette), DD_OK);
        ASSERT_EQ(C.Back->SetPalette(C.Palette), DD_OK);
    }
    DDSURFACEDESC z;
    z.dwSize = sizeof z;
    z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH;
    z.dwWidth = 640;
    z.dwHeight = 480;
    z.dwZBufferBitDepth = 16;
    z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY;
    ASSERT_EQ(C.DD2->CreateSurface(&z, &C.Z, nullptr), DD_OK);
    ASSERT_EQ(C.Back->AddAttachedSurface(C.Z), DD_OK);
    ASSERT_EQ(C.DD2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&C.D3D)), DD_OK);
    ASSERT_EQ(C.D3D->CreateDevice(IID_IDirect3DMMXDevice, C.Back, &C.Device), DD_OK);
}

// The component's release order; returns what the counted releases returned.
std::vector<ULONG> Release(TChain& C) {
    std::vector<ULONG> counted;
    counted.push_back(ReleaseRef(C.Device));
    ReleaseRef(C.Palette);
    ReleaseRef(C.D3D);
    ReleaseRef(C.Clipper);
    C.DD2->RestoreDisplayMode();
    counted.push_back(ReleaseRef(C.DD2));
    counted.push_back(ReleaseRef(C.DD));
    return counted;
}

class DDrawChain : public DDrawTest, public ::testing::WithParamInterface<std::pair<bool, int>> {};

} // namespace

TEST_P(DDrawChain, ReleasedInTheComponentsOrderEveryCountEndsAtZero) {
    const auto [fullScreen, bits] = GetParam();
    if (!fullScreen)
        vcl::Screen().SetDesktop(1024, 768, bits, 0); // a windowed set-up has the desktop's depth
    QMainWindow window;
    window.resize(320, 240);
    window.show();
    TChain chain;
    Build(chain, &window, fullScreen, bits);
    ASSERT_FALSE(HasFatalFailure());
    const TDDrawCensus built = DDrawCensus();
    EXPECT_EQ(built.DirectDraws, Before.DirectDraws + 1);
    EXPECT_EQ(built.Surfaces, Before.Surfaces + 3);
    EXPECT_EQ(built.Devices, Before.Devices + 1);
    // The surfaces are never released by the component: they go with the object.
    EXPECT_EQ(Release(chain), (std::vector<ULONG>{0, 0, 0}));
    EXPECT_EQ(DDrawCensus(), Before);
    EXPECT_FALSE(vcl::Screen().ModeSet());
}

INSTANTIATE_TEST_SUITE_P(WindowedAndFullScreen, DDrawChain,
                         ::testing::Values(std::pair{false, 16}, std::pair{false, 8},
                                           std::pair{true, 16}, std::pair{true, 8},
                                           std::pair{true, 24}, std::pair{true, 32}));

TEST_F(DDrawTest, EachInterfaceCountsItsOwnReferences) {
    IDirectDraw* dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    IDirectDraw2* dd2 = nullptr;
    ASSERT_EQ(dd->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2)), DD_OK);
    IDirect3D2* d3d = nullptr;
    ASSERT_EQ(dd2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d)), DD_OK);
    EXPECT_EQ(dd->AddRef(), 2u);
    EXPECT_EQ(dd->Release(), 1u);
    EXPECT_EQ(d3d->Release(), 0u);
    EXPECT_EQ(dd2->Release(), 0u);
    EXPECT_EQ(DDrawCensus().DirectDraws, Before.DirectDraws + 1); // the first is still held
    EXPECT_EQ(dd->Release(), 0u);
    EXPECT_EQ(DDrawCensus(), Before);
}

TEST_F(DDrawTest, ALeakedDeviceKeepsItsObjectAndTargetAlive) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface* back = Offscreen(
        dd.DD2, 64, 64, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    IDirect3D2* d3d = nullptr;
    dd.DD2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d));
    IDirect3DDevice2* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DRGBDevice, back, &device), DD_OK);
    d3d->Release();
    EXPECT_EQ(dd.DD2->Release(), 0u);
    dd.DD2 = nullptr;
    EXPECT_EQ(dd.DD->Release(), 0u);
    dd.DD = nullptr;
    // The device still draws into a living surface.
    EXPECT_EQ(D3DDeviceRenderTarget(device), back);
    TSurfaceBits bits;
    ASSERT_TRUE(DDrawSurfaceBits(back, bits));
    EXPECT_NE(bits.Bits, nullptr);
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(DDrawCensus(), Before);
}

TEST_F(DDrawTest, DeviceClassesWithoutThreeDHardware) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface* sys = Offscreen(
        dd.DD2, 32, 32, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface* video =
        Offscreen(dd.DD2, 32, 32, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE);
    IDirectDrawSurface* plain = Offscreen(dd.DD2, 32, 32, 0);
    IDirect3D2* d3d = nullptr;
    dd.DD2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d));
    struct TCase {
        const GUID* Class;
        IDirectDrawSurface* Target;
        bool Hardware;
        HRESULT Expected;
    };
    const TCase cases[] = {
        {&IID_IDirect3DHALDevice, video, false, D3DERR_INVALID_DEVICE},
        {&IID_IDirect3DHALDevice, sys, true, D3DERR_SURFACENOTINVIDMEM},
        {&IID_IDirect3DHALDevice, video, true, DD_OK},
        {&IID_IDirect3DMMXDevice, sys, false, DD_OK},
        {&IID_IDirect3DRGBDevice, sys, false, DD_OK},
        {&IID_IDirect3DRampDevice, sys, false, DD_OK},
        {&IID_IDirect3DRGBDevice, plain, false, DDERR_INVALIDCAPS},
        {&GUID_NULL, sys, false, D3DERR_INVALID_DEVICE},
    };
    for (const TCase& c : cases) {
        DDrawSetHardware3D(c.Hardware);
        DDCAPS hw{}, hel{};
        hw.dwSize = hel.dwSize = sizeof(DDCAPS);
        ASSERT_EQ(dd.DD2->GetCaps(&hw, &hel), DD_OK);
        EXPECT_EQ((hw.dwCaps & DDCAPS_3D) != 0, c.Hardware);
        EXPECT_EQ((hw.ddsCaps.dwCaps & DDSCAPS_TEXTURE) != 0, c.Hardware);
        IDirect3DDevice2* device = nullptr;
        EXPECT_EQ(d3d->CreateDevice(*c.Class, c.Target, &device), c.Expected);
        EXPECT_EQ(device != nullptr, c.Expected == DD_OK);
        if (device) {
            EXPECT_EQ(D3DDeviceClass(device), *c.Class);
            IDirectDrawSurface* target = nullptr;
            EXPECT_EQ(device->GetRenderTarget(&target), DD_OK);
            EXPECT_EQ(target, c.Target);
            target->Release();
            EXPECT_EQ(device->Release(), 0u);
        }
    }
    DDrawSetHardware3D(false);
    d3d->Release();
}

TEST_F(DDrawTest, ZBuffersOfSixteenTwentyFourAndThirtyTwoBits) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    IDirectDrawSurface* back = Offscreen(
        dd.DD2, 64, 48, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    for (DWORD depth : {8u, 15u, 16u, 24u, 32u}) {
        DDSURFACEDESC d = Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH,
                               DDSCAPS_ZBUFFER | DDSCAPS_SYSTEMMEMORY, 64, 48);
        d.dwZBufferBitDepth = depth;
        IDirectDrawSurface* z = nullptr;
        const HRESULT hr = dd.DD2->CreateSurface(&d, &z, nullptr);
        if (depth != 16 && depth != 24 && depth != 32) {
            EXPECT_EQ(hr, DDERR_INVALIDPIXELFORMAT) << depth;
            continue;
        }
        ASSERT_EQ(hr, DD_OK) << depth;
        DDSURFACEDESC got;
        got.dwSize = sizeof got;
        ASSERT_EQ(z->GetSurfaceDesc(&got), DD_OK);
        EXPECT_EQ(got.dwZBufferBitDepth, depth);
        EXPECT_TRUE(got.ddsCaps.dwCaps & DDSCAPS_ZBUFFER);
        EXPECT_EQ(got.lPitch, depth == 16 ? 128 : 256);
        if (depth == 16) {
            ASSERT_EQ(back->AddAttachedSurface(z), DD_OK);
            EXPECT_EQ(back->AddAttachedSurface(z), DDERR_SURFACEALREADYATTACHED);
            EXPECT_EQ(DDrawAttachedZBuffer(back), z);
            DDSCAPS caps{DDSCAPS_ZBUFFER};
            IDirectDrawSurface* found = nullptr;
            ASSERT_EQ(back->GetAttachedSurface(&caps, &found), DD_OK);
            EXPECT_EQ(found, z);
            EXPECT_EQ(found->Release(), 2u); // the creator's and the attachment's
        }
    }
    // A Z-buffer of another size does not attach.
    IDirectDrawSurface* other = Offscreen(dd.DD2, 32, 32, 0);
    DDSURFACEDESC d =
        Desc(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_ZBUFFERBITDEPTH, DDSCAPS_ZBUFFER, 64, 48);
    d.dwZBufferBitDepth = 16;
    IDirectDrawSurface* z = nullptr;
    ASSERT_EQ(dd.DD2->CreateSurface(&d, &z, nullptr), DD_OK);
    EXPECT_EQ(other->AddAttachedSurface(z), DDERR_CANNOTATTACHSURFACE);
}

TEST_F(DDrawTest, SurfaceDescriptionsOfEveryDepth) {
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    struct TCase {
        int Bits;
        LONG Pitch;
        DWORD R, G, B, Flags;
    };
    const TCase cases[] = {
        {8, 12, 0, 0, 0, DDPF_RGB | DDPF_PALETTEINDEXED8},
        {16, 20, 0xF800, 0x07E0, 0x001F, DDPF_RGB},
        {24, 32, 0xFF0000, 0xFF00, 0xFF, DDPF_RGB},
        {32, 40, 0xFF0000, 0xFF00, 0xFF, DDPF_RGB},
    };
    for (const TCase& c : cases) {
        IDirectDrawSurface* s = Offscreen(dd.DD2, 10, 7, c.Bits);
        ASSERT_NE(s, nullptr);
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        ASSERT_EQ(s->GetSurfaceDesc(&d), DD_OK);
        EXPECT_EQ(d.dwWidth, 10u);
        EXPECT_EQ(d.dwHeight, 7u);
        EXPECT_EQ(d.lPitch, c.Pitch) << c.Bits;
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, DWORD(c.Bits));
        EXPECT_EQ(d.ddpfPixelFormat.dwFlags, c.Flags);
        EXPECT_EQ(d.ddpfPixelFormat.dwRBitMask, c.R);
        EXPECT_EQ(d.ddpfPixelFormat.dwGBitMask, c.G);
        EXPECT_EQ(d.ddpfPixelFormat.dwBBitMask, c.B);
        EXPECT_EQ(d.ddsCaps.dwCaps, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_SYSTEMMEMORY);
        DDSURFACEDESC locked;
        locked.dwSize = sizeof locked;
        RECT r{2, 3, 5, 6};
        ASSERT_EQ(s->Lock(&r, &locked, DDLOCK_WAIT, nullptr), DD_OK);
        EXPECT_EQ(s->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
        TSurfaceBits bits;
        ASSERT_TRUE(DDrawSurfaceBits(s, bits));
        EXPECT_EQ(static_cast<BYTE*>(locked.lpSurface),
                  bits.Bits + 3 * c.Pitch + 2 * ((c.Bits + 7) / 8));
        EXPECT_EQ(s->Unlock(locked.lpSurface), DD_OK);
        EXPECT_EQ(s->Unlock(nullptr), DDERR_NOTLOCKED);
    }
    // A description of the wrong size is refused.
    DDSURFACEDESC wrong = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    wrong.dwSize = 100;
    IDirectDrawSurface* s = nullptr;
    EXPECT_EQ(dd.DD2->CreateSurface(&wrong, &s, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DDrawTest, TheWindowedPrimaryIsTheDesktopAtItsDepth) {
    for (int bits : {8, 16, 24, 32}) {
        vcl::Screen().SetDesktop(800, 600, bits, 0);
        TDDPair dd;
        IDirectDrawSurface* primary = nullptr;
        DDSURFACEDESC p = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
        EXPECT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DDERR_NOCOOPERATIVELEVELSET);
        dd.DD2->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
        ASSERT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DD_OK);
        DDSURFACEDESC d;
        d.dwSize = sizeof d;
        primary->GetSurfaceDesc(&d);
        EXPECT_EQ(d.dwWidth, 800u);
        EXPECT_EQ(d.dwHeight, 600u);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
        EXPECT_TRUE(d.ddsCaps.dwCaps & DDSCAPS_PRIMARYSURFACE);
        // Offscreen surfaces without a format take the display's.
        IDirectDrawSurface* back = Offscreen(dd.DD2, 16, 16, 0);
        back->GetSurfaceDesc(&d);
        EXPECT_EQ(d.ddpfPixelFormat.dwRGBBitCount, DWORD(bits));
        HDC dc = CreateICA("Display", nullptr, nullptr, nullptr);
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), bits);
        DeleteDC(dc);
    }
}

TEST_F(DDrawTest, TheDisplayModesAreTheThreeSizesAndTheScreensAtFourDepths) {
    vcl::Screen().SetDesktop(1280, 720, 16, 60);
    TDDPair dd;
    std::vector<std::string> modes;
    DDSURFACEDESC all;
    all.dwSize = sizeof all;
    auto collect = [](LPDDSURFACEDESC d, LPVOID ctx) -> HRESULT {
        auto* list = static_cast<std::vector<std::string>*>(ctx);
        EXPECT_EQ(d->dwSize, sizeof(DDSURFACEDESC));
        EXPECT_EQ(d->dwRefreshRate, 60u);
        list->push_back(std::to_string(d->dwWidth) + "x" + std::to_string(d->dwHeight) + "x" +
                        std::to_string(d->ddpfPixelFormat.dwRGBBitCount));
        return DDENUMRET_OK;
    };
    ASSERT_EQ(dd.DD2->EnumDisplayModes(0, &all, &modes, collect), DD_OK);
    std::vector<std::string> expected;
    for (const char* size : {"640x480", "800x600", "1024x768", "1280x720"})
        for (const char* bits : {"8", "16", "24", "32"})
            expected.push_back(std::string(size) + "x" + bits);
    EXPECT_EQ(modes, expected);

    // The callback's answer stops the listing.
    int seen = 0;
    dd.DD2->EnumDisplayModes(0, &all, &seen, [](LPDDSURFACEDESC, LPVOID ctx) -> HRESULT {
        return ++*static_cast<int*>(ctx) < 3 ? DDENUMRET_OK : DDENUMRET_CANCEL;
    });
    EXPECT_EQ(seen, 3);
}

TEST_F(DDrawTest, SettingAModeNeedsExclusiveFullScreenAndAListedMode) {
    QMainWindow window;
    TDDPair dd;
    EXPECT_EQ(dd.DD2->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOCOOPERATIVELEVELSET);
    dd.DD2->SetCooperativeLevel(&window, DDSCL_NORMAL);
    EXPECT_EQ(dd.DD2->SetDisplayMode(640, 480, 16, 0, 0), DDERR_NOEXCLUSIVEMODE);
    EXPECT_EQ(dd.DD2->SetCooperativeLevel(&window, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd.DD2->SetCooperativeLevel(nullptr, 0x53), DDERR_INVALIDPARAMS);
    ASSERT_EQ(dd.DD2->SetCooperativeLevel(&window, 0x53), DD_OK);
    EXPECT_TRUE(window.isFullScreen());
    EXPECT_EQ(dd.DD2->SetDisplayMode(640, 400, 16, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dd.DD2->SetDisplayMode(640, 480, 15, 0, 0), DDERR_INVALIDMODE);
    // A second program cannot take the screen meanwhile.
    TDDPair other;
    EXPECT_EQ(other.DD2->SetCooperativeLevel(&window, 0x53), DDERR_NOEXCLUSIVEMODE);
    ASSERT_EQ(dd.DD2->SetDisplayMode(800, 600, 8, 0, 0), DD_OK);
    EXPECT_EQ(vcl::Screen().Width(), 800);
    EXPECT_EQ(vcl::Screen().BitsPerPixel(), 8);
    HDC dc = CreateICA("Display", nullptr, nullptr, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    EXPECT_EQ(dd.DD2->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 16);
    DeleteDC(dc);
    // Releasing the object gives the screen back even without RestoreDisplayMode.
    ASSERT_EQ(dd.DD2->SetDisplayMode(640, 480, 32, 0, 0), DD_OK);
    dd.DD2->Release();
    dd.DD2 = nullptr;
    dd.DD->Release();
    dd.DD = nullptr;
    EXPECT_FALSE(vcl::Screen().ModeSet());
    EXPECT_FALSE(window.isFullScreen());
}

TEST_F(DDrawTest, LostSurfacesFailUntilRestored) {
    QMainWindow window;
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(&window, DDSCL_NORMAL);
    IDirectDrawSurface* primary = nullptr;
    DDSURFACEDESC p = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    ASSERT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DD_OK);
    IDirectDrawSurface* back = Offscreen(dd.DD2, 64, 64, 0);
    EXPECT_EQ(back->IsLost(), DD_OK);
    EXPECT_EQ(back->Restore(), DD_OK); // not lost: nothing to do

    DDrawLoseSurface(back);
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(primary->IsLost(), DD_OK);
    DDSURFACEDESC d;
    d.dwSize = sizeof d;
    EXPECT_EQ(back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr), DDERR_SURFACELOST);
    HDC dc = nullptr;
    EXPECT_EQ(back->GetDC(&dc), DDERR_SURFACELOST);
    TSurfaceBits bits;
    ASSERT_TRUE(DDrawSurfaceBits(back, bits));
    EXPECT_EQ(bits.Bits, nullptr);
    EXPECT_EQ(back->GetSurfaceDesc(&d), DD_OK); // the description stays readable
    EXPECT_EQ(back->Restore(), DD_OK);
    EXPECT_EQ(back->IsLost(), DD_OK);

    // A mode change loses every surface; the windowed primary comes back only at its depth.
    DDrawLoseAllSurfaces();
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(back->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Restore(), DD_OK);
    vcl::Screen().SetDesktop(1024, 768, 32, 0);
    EXPECT_EQ(primary->IsLost(), DDERR_SURFACELOST);
    EXPECT_EQ(primary->Restore(), DDERR_WRONGMODE);
    vcl::Screen().SetDesktop(1024, 768, 16, 0);
    EXPECT_EQ(primary->Restore(), DD_OK);
}

TEST_F(DDrawTest, EveryCallCanBeMadeToFailWithAChosenCode) {
    QMainWindow window;
    TDDPair dd;
    dd.DD2->SetCooperativeLevel(&window, DDSCL_NORMAL);
    IDirectDrawSurface* back = Offscreen(
        dd.DD2, 8, 8, 0, DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE | DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface* primary = nullptr;
    DDSURFACEDESC p = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    ASSERT_EQ(dd.DD2->CreateSurface(&p, &primary, nullptr), DD_OK);
    const HRESULT code = MakeDDHResult(1234);
    std::array<PALETTEENTRY, 256> entries{};
    struct TCase {
        const char* Call;
        std::function<HRESULT()> Run;
    };
    const std::vector<TCase> cases = {
        {"DirectDrawEnumerateA",
         [] {
             return DirectDrawEnumerateA([](GUID*, LPSTR, LPSTR, LPVOID) { return TRUE; }, nullptr);
         }},
        {"DirectDrawCreate",
         [] {
             IDirectDraw* d = nullptr;
             return DirectDrawCreate(nullptr, &d, nullptr);
         }},
        {"IDirectDraw::QueryInterface",
         [&] {
             void* o = nullptr;
             return dd.DD->QueryInterface(IID_IDirectDraw2, &o);
         }},
        {"IDirectDraw2::QueryInterface",
         [&] {
             void* o = nullptr;
             return dd.DD2->QueryInterface(IID_IDirect3D2, &o);
         }},
        {"IDirectDraw2::GetCaps",
         [&] {
             DDCAPS c{};
             c.dwSize = sizeof c;
             return dd.DD2->GetCaps(&c, nullptr);
         }},
        {"IDirectDraw2::SetCooperativeLevel",
         [&] { return dd.DD2->SetCooperativeLevel(&window, DDSCL_NORMAL); }},
        {"IDirectDraw2::SetDisplayMode",
         [&] { return dd.DD2->SetDisplayMode(640, 480, 16, 0, 0); }},
        {"IDirectDraw2::CreateSurface",
         [&] {
             DDSURFACEDESC d = Desc(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
             IDirectDrawSurface* s = nullptr;
             return dd.DD2->CreateSurface(&d, &s, nullptr);
         }},
        {"IDirectDraw2::CreateClipper",
         [&] {
             IDirectDrawClipper* c = nullptr;
             return dd.DD2->CreateClipper(0, &c, nullptr);
         }},
        {"IDirectDraw2::CreatePalette",
         [&] {
             IDirectDrawPalette* pal = nullptr;
             return dd.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &pal, nullptr);
         }},
        {"IDirectDraw2::EnumDisplayModes",
         [&] {
             DDSURFACEDESC d;
             d.dwSize = sizeof d;
             return dd.DD2->EnumDisplayModes(
                 0, &d, nullptr, [](LPDDSURFACEDESC, LPVOID) -> HRESULT { return DDENUMRET_OK; });
         }},
        {"IDirectDraw2::WaitForVerticalBlank",
         [&] { return dd.DD2->WaitForVerticalBlank(DDWAITVB_BLOCKBEGIN, nullptr); }},
        {"IDirectDraw2::FlipToGDISurface", [&] { return dd.DD2->FlipToGDISurface(); }},
        {"IDirectDraw2::RestoreDisplayMode", [&] { return dd.DD2->RestoreDisplayMode(); }},
        {"IDirectDrawSurface::Blt",
         [&] { return primary->Blt(nullptr, back, nullptr, DDBLT_WAIT, nullptr); }},
        {"IDirectDrawSurface::BltFast",
         [&] { return back->BltFast(0, 0, back, nullptr, DDBLTFAST_WAIT); }},
        {"IDirectDrawSurface::Flip", [&] { return primary->Flip(nullptr, DDFLIP_WAIT); }},
        {"IDirectDrawSurface::GetSurfaceDesc",
         [&] {
             DDSURFACEDESC d;
             d.dwSize = sizeof d;
             return back->GetSurfaceDesc(&d);
         }},
        {"IDirectDrawSurface::IsLost", [&] { return back->IsLost(); }},
        {"IDirectDrawSurface::Restore", [&] { return back->Restore(); }},
        {"IDirectDrawSurface::Lock",
         [&] {
             DDSURFACEDESC d;
             d.dwSize = sizeof d;
             return back->Lock(nullptr, &d, DDLOCK_WAIT, nullptr);
         }},
        {"IDirectDrawSurface::GetDC",
         [&] {
             HDC dc = nullptr;
             return back->GetDC(&dc);
         }},
        {"IDirectDrawSurface::SetClipper", [&] { return primary->SetClipper(nullptr); }},
        {"IDirectDrawSurface::SetPalette", [&] { return back->SetPalette(nullptr); }},
        {"IDirectDrawSurface::AddAttachedSurface", [&] { return back->AddAttachedSurface(back); }},
        {"IDirectDrawSurface::GetAttachedSurface",
         [&] {
             DDSCAPS c{DDSCAPS_BACKBUFFER};
             IDirectDrawSurface* s = nullptr;
             return primary->GetAttachedSurface(&c, &s);
         }},
        {"IDirectDrawSurface::GetCaps",
         [&] {
             DDSCAPS c;
             return back->GetCaps(&c);
         }},
        {"IDirectDrawSurface::SetColorKey",
         [&] { return back->SetColorKey(DDCKEY_SRCBLT, nullptr); }},
        {"IDirect3D2::CreateDevice",
         [&] {
             IDirect3D2* d3d = nullptr;
             dd.DD2->QueryInterface(IID_IDirect3D2, reinterpret_cast<void**>(&d3d));
             IDirect3DDevice2* dev = nullptr;
             const HRESULT hr = d3d->CreateDevice(IID_IDirect3DRGBDevice, back, &dev);
             d3d->Release();
             return hr;
         }},
    };
    for (const TCase& c : cases) {
        DDrawFailures().Fail(c.Call, code);
        EXPECT_EQ(c.Run(), code) << c.Call;
        EXPECT_EQ(DDrawFailures().Calls(c.Call), 1) << c.Call;
        DDrawFailures().Clear();
    }
    // The clipper and palette calls of the component too.
    IDirectDrawClipper* clipper = nullptr;
    dd.DD2->CreateClipper(0, &clipper, nullptr);
    DDrawFailures().Fail("IDirectDrawClipper::SetHWnd", code);
    EXPECT_EQ(clipper->SetHWnd(0, &window), code);
    clipper->Release();
    IDirectDrawPalette* palette = nullptr;
    dd.DD2->CreatePalette(DDPCAPS_8BIT, entries.data(), &palette, nullptr);
    DDrawFailures().Fail("IDirectDrawPalette::SetEntries", code);
    EXPECT_EQ(palette->SetEntries(0, 0, 256, entries.data()), code);
    palette->Release();
}

TEST_F(DDrawTest, TheDriverListIsThePrimaryDisplayDriverWithoutIdentifier) {
    std::vector<std::string> seen;
    ASSERT_EQ(DirectDrawEnumerateA(
                  [](GUID* id, LPSTR description, LPSTR name, LPVOID ctx) -> BOOL {
                      EXPECT_EQ(id, nullptr);
                      static_cast<std::vector<std::string>*>(ctx)->push_back(
                          std::string(description) + " (" + name + ")");
                      return DDENUMRET_OK;
                  },
                  &seen),
              DD_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"Primary Display Driver (display)"}));
    GUID unknown{1};
    IDirectDraw* dd = nullptr;
    EXPECT_EQ(DirectDrawCreate(&unknown, &dd, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(dd, nullptr);
}
